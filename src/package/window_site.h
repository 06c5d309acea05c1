// The container as a QuillonPD sees it inside a COM container: the face kept as data and
// shown in the control's window, timerRead on that window, change notifications passed to
// the COM object, and the ambient "UserMode", ForeColor and BackColor read through the client
// site's IDispatch.
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include <functional>

#include "control/control_site.h"
#include "control/face.h"
#include "package/face_window.h"
#include "package/quick_ambients.h"

namespace quillon {

// The container's ambient "UserMode" through the client site's IDispatch: a site without
// IDispatch, a failed read or a value that is no boolean is a read that failed.
UserMode ReadAmbientUserMode(IOleClientSite* site) noexcept;

// The surface colours the container gives as its ambient ForeColor and BackColor: each one a
// site does not give, or that is no colour OleTranslateColor knows, is the system's.
SurfaceColours ReadAmbientColours(IOleClientSite* site) noexcept;
// An OLE_COLOR as the surface keeps it: a system colour as its index (so that it follows the
// colour scheme), any other colour as 0x00BBGGRR; `fallback` for one that is no colour.
uint32_t SurfaceColour(OLE_COLOR colour, uint32_t fallback) noexcept;

class WindowSite final : public ControlSite {
 public:
  // `changed` hears every PropertyChanged (and says whether it reached the container);
  // `tick` runs on every tick of timerRead; `face_changed` hears every change of what the
  // face shows.
  WindowSite(std::function<bool(const ControlProperty&)> changed, std::function<void()> tick,
             std::function<void()> face_changed = nullptr);

  bool SetCaption(Child label, const Text& caption) noexcept override;
  bool SetForeColor(Child label, uint32_t colour) noexcept override;
  bool EnableTimer(bool enabled) noexcept override { return window_.EnableTimer(enabled); }
  bool PropertyChanged(const ControlProperty& property) noexcept override;
  UserMode AmbientUserMode() noexcept override {
    return quick_.user_mode ? *quick_.user_mode : ReadAmbientUserMode(client_site_);
  }

  // The client site to read ambient properties from (not counted: the object holds it).
  // Ambients handed over with quick activation hold for their own site only.
  void set_client_site(IOleClientSite* site) {
    if (site != quick_.site) quick_ = {};
    client_site_ = site;
  }
  QuickAmbients& quick_ambients() { return quick_; }
  // Reads the ambient colours again and draws the face in them when they changed.
  void AmbientColoursChanged() noexcept;
  const FaceState& face() const { return face_; }
  FaceWindow& window() { return window_; }

 private:
  void Changed(Child label) noexcept;

  std::function<bool(const ControlProperty&)> changed_;
  std::function<void()> face_changed_;
  IOleClientSite* client_site_ = nullptr;
  QuickAmbients quick_;
  FaceState face_;
  FaceWindow window_;
};

}  // namespace quillon
