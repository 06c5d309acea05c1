// What the controls of one thread share: one set of cache services (the shared value cache
// and the platform seams under it), the clock, the locale, the formatter, and the control's
// type information. Controls are apartment-threaded, so each thread that creates controls
// gets its own environment, made with its first control and destroyed with its last one
// (docs/com-object.md).
#pragma once

#include <windows.h>
// after windows.h
#include <oaidl.h>

#include "control/control_environment.h"
#include "package/member_shapes.h"
#include "package/thread_registry.h"

namespace quillon {

// The type information of the control, read from the type library embedded in this library
// on first use and kept until the environment goes.
class TypeInfoCache {
 public:
  enum Kind { kDispatch, kInterface, kClass };

  TypeInfoCache() = default;
  TypeInfoCache(const TypeInfoCache&) = delete;
  TypeInfoCache& operator=(const TypeInfoCache&) = delete;
  ~TypeInfoCache();

  // The type information of `_QuillonPD` as a dispatch interface (what GetTypeInfo hands
  // out), as the interface whose table ITypeInfo::Invoke calls, or of the class `QuillonPD`.
  // Not AddRef'd: valid while the cache lives. A load that failed fails every later call.
  HRESULT Get(Kind kind, ITypeInfo** out);
  // The members of `_QuillonPD`, loaded with the type information (empty before).
  const MemberShapes& shapes() const { return shapes_; }

 private:
  HRESULT Load();

  HRESULT loaded_ = S_FALSE;  // S_FALSE until the first load
  ITypeLib* library_ = nullptr;
  ITypeInfo* infos_[3] = {};
  MemberShapes shapes_;
};

class ThreadEnvironment final : public WakeBurst {
 public:
  // The calling thread's environment, made when the thread has none; each successful call
  // is matched by one Release(). nullptr when it cannot be made.
  static ThreadEnvironment* Acquire() noexcept;
  // Drops one use; the last one destroys the environment. Any thread.
  void Release() noexcept override;

  void BeginBurst() noexcept override { control_.shared().BeginBurst(); }
  void EndBurst() noexcept override { control_.shared().EndBurst(); }
  TickBoard& tick_board() noexcept override { return control_.ticks(); }

  ThreadEnvironment(const ThreadEnvironment&) = delete;
  ThreadEnvironment& operator=(const ThreadEnvironment&) = delete;

  // What the thread's controls are created with.
  ControlServices services() { return control_.services(); }
  Locale& locale() { return control_.locale(); }
  // The seams and services under them, for the library's other classes (the property page).
  ControlEnvironment& control() { return control_; }
  TypeInfoCache& type_info() { return type_info_; }

 private:
  explicit ThreadEnvironment(DWORD thread);
  ~ThreadEnvironment();

  DWORD thread_;  // whose environment it is (ThreadRegistry counts its uses)
  ControlEnvironment control_;
  TypeInfoCache type_info_;
};

}  // namespace quillon
