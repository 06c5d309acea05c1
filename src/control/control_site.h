// What a QuillonPD needs of the container that hosts it. A COM container and a headless one
// both implement it; the control reaches its face, timer and ambient properties only here.
// No call throws: a container that cannot do what is asked says so by the result, and the
// control goes on with its next step.
#pragma once

#include <cstdint>

#include "common/text.h"
#include "control/control_properties.h"
#include "control/face.h"

namespace quillon {

// The container's ambient "UserMode".
enum class UserMode : uint8_t {
  kRun,          // true
  kDesign,       // false, or any value other than true
  kUnavailable,  // the container cannot report it
};

class ControlSite {
 public:
  ControlSite() = default;
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;
  virtual ~ControlSite() = default;

  // Sets the caption that a label of the face shows; false when the label kept its caption.
  virtual bool SetCaption(Child label, const Text& caption) noexcept = 0;
  // Sets the text colour (0x00BBGGRR) of a label of the face; false when it kept its colour.
  virtual bool SetForeColor(Child label, uint32_t colour) noexcept = 0;
  // Starts (true) or stops (false) timerRead, which ticks every 1000 ms while started; false
  // when the timer could not be switched.
  virtual bool EnableTimer(bool enabled) noexcept = 0;
  // Tells the container that a property changed, so that its saved state counts as changed;
  // false when the notification could not be delivered.
  virtual bool PropertyChanged(const ControlProperty& property) noexcept = 0;
  // The container's ambient "UserMode" now; kUnavailable when the container cannot say.
  virtual UserMode AmbientUserMode() noexcept = 0;
};

}  // namespace quillon
