// What a QuillonPD needs of the container that hosts it. A COM container and a headless one
// both implement it; the control reaches its face, timer and ambient properties only here.
#pragma once

#include <cstdint>

#include "common/text.h"
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

  // Sets the caption that a label of the face shows.
  virtual void SetCaption(Child label, const Text& caption) = 0;
  // Sets the text colour (0x00BBGGRR) of a label of the face.
  virtual void SetForeColor(Child label, uint32_t colour) = 0;
  // Starts (true) or stops (false) timerRead; while started it ticks every 1000 ms.
  virtual void EnableTimer(bool enabled) = 0;
  // Tells the container that a property changed, so that its saved state counts as changed.
  virtual void PropertyChanged(TextView name) = 0;
  // The container's ambient "UserMode" now.
  virtual UserMode AmbientUserMode() = 0;
};

}  // namespace quillon
