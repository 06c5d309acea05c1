// What a QuillonPD needs of the container that hosts it: to hear that a label of the face
// shows something else, that a property changed, to run timerRead, and the ambient
// "UserMode". The face itself belongs to the control (QuillonPD::face()); a site only draws
// it. A COM object, a headless container and the test fakes implement it. Called on the
// control's thread; no call throws: a container that cannot do what is asked says so by the
// result, and the control goes on with its next step.
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

// An ambient property whose change the control hears of. Only "UserMode" matters to it.
enum class Ambient : uint8_t {
  kUserMode,
  kOther,
};

// The ambient property of that name: kUserMode for "UserMode" spelled exactly, else kOther.
Ambient AmbientNamed(TextView name);

class ControlSite {
 public:
  ControlSite() = default;
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;
  virtual ~ControlSite() = default;

  // `label` of the control's face shows another caption or colour: draw it again.
  virtual void LabelChanged(Child label) noexcept = 0;
  // Tells the container that a property changed, so that its saved state counts as changed;
  // false when the notification could not be delivered.
  virtual bool PropertyChanged(const ControlProperty& property) noexcept = 0;
  // Starts (true) or stops (false) timerRead, which ticks every 1000 ms while started; false
  // when the timer could not be switched.
  virtual bool EnableTimer(bool enabled) noexcept = 0;
  // The container's ambient "UserMode" now; kUnavailable when the container cannot say.
  virtual UserMode AmbientUserMode() noexcept = 0;
};

}  // namespace quillon
