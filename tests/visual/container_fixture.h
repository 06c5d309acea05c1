// A container of our own for the control library's tests: a window, sites that record every
// call they receive with its time, the library loaded from the build, a cache folder of the
// test's own named in the registry, and the stand-in server when a test wants served values.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "hosted_control.h"
#include "screenshot.h"
#include "site.h"

namespace quillon::testing {

// One call received by a site: when (ms since the fixture started), by which control, what.
struct Call {
  ULONGLONG at;
  std::string control;
  std::string what;
};

class ContainerTest : public ::testing::Test {
 protected:
  static constexpr char kPoint[] = "NOEUD1:Essai.Valeur";
  static constexpr DISPID kValeur = 0x68030005;

  void SetUp() override;
  void TearDown() override;

  // A control made through the library's class object, loaded from `bag` (InitNew when it
  // is empty) and activated in place at `left`, `top`. Null when a step failed.
  host::HostedControl* Place(std::vector<host::BagEntry> bag, int left = 10, int top = 10);
  // The same control, loaded but not activated; null when a step failed.
  host::HostedControl* Make(std::vector<host::BagEntry> bag, int left = 10, int top = 10);
  // How a container connects a new control before loading it: step by step (SetClientSite,
  // the view's advise sink, `events` on the default source, the change sink), or in one
  // IQuickActivate::QuickActivate. Then as Place.
  enum class Handshake { kClassic, kQuick };
  host::HostedControl* PlaceBy(Handshake how, IUnknown* events, std::vector<host::BagEntry> bag,
                               int left = 10, int top = 10);
  // Bag entries for a control of kPoint with this refresh code.
  static std::vector<host::BagEntry> Settings(int poll_time = 90, const char* ntf = kPoint);

  // Runs the message loop for `ms` milliseconds.
  static void Pump(DWORD ms);
  // Runs the message loop until `done` holds or `ms` milliseconds have passed; whether it held.
  template <typename Done>
  static bool WaitFor(Done done, ULONGLONG ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done() && GetTickCount64() < end) Pump(20);
    return done();
  }
  ULONGLONG Now() const { return GetTickCount64() - start_; }
  // Calls whose text starts with `prefix`, of one control or of all (empty name).
  std::vector<Call> Calls(const std::string& prefix, const std::string& control = "") const;
  // The times of the reads of a control: its notifications that Valeur changed.
  std::vector<ULONGLONG> Reads(const std::string& control = "") const;
  // A property of a control read by name through IDispatch, as text.
  static std::string Property(IUnknown* control, const std::string& name);
  static std::string Property(host::HostedControl* c, const std::string& name) {
    return Property(c->object(), name);
  }
  // Sets a property of a control by name through IDispatch.
  static HRESULT SetProperty(IUnknown* control, const std::string& name, const VARIANT& v);
  static HRESULT SetProperty(host::HostedControl* c, const std::string& name, const VARIANT& v) {
    return SetProperty(c->object(), name, v);
  }

  // Whether some process holds the cache file open (an exclusive open is refused).
  bool CacheHeldOpen() const;
  // Starts the stand-in server on the cache, serving `value`/`formatted` for kPoint.
  void StartServer(const std::string& value, const std::string& formatted);
  // Pixels of the container's client area.
  host::Image Shot() const;
  // Dark pixels inside a rectangle of the image, relative to a control's top-left corner.
  static int InkAt(const host::Image& image, const RECT& control, const RECT& area);
  // Pixels inside such a rectangle within 0x30 of `rgb` (0xRRGGBB) on each channel.
  static int PixelsLike(const host::Image& image, const RECT& control, const RECT& area,
                        uint32_t rgb);

  HRESULT DllCanUnloadNow() const;
  // A new control from the library's class object (a reference the caller releases).
  HRESULT NewObject(IUnknown** object) const;
  host::HostedControl* AddControl(int left, int top);

  host::Container container_;
  std::vector<std::unique_ptr<host::HostedControl>> controls_;
  std::vector<Call> calls_;
  HWND window_ = nullptr;
  HMODULE library_ = nullptr;
  std::wstring cache_dir_, cache_file_;
  PROCESS_INFORMATION server_{};
  ULONGLONG start_ = 0;
};

}  // namespace quillon::testing
