// A container without windows: it holds the timer's state and the ambient mode, and delivers
// ticks when asked; a viewer draws the control's face when its revision moves. Used by the
// quillon tool and the benchmarks.
#pragma once

#include <cstdint>

#include "control/control_site.h"
#include "control/quillon_pd.h"

namespace quillon {

class HeadlessSite final : public ControlSite {
 public:
  explicit HeadlessSite(UserMode mode = UserMode::kRun) : mode_(mode) {}

  void LabelChanged(Child) noexcept override {}
  bool EnableTimer(bool enabled) noexcept override {
    timer_enabled_ = enabled;
    return true;
  }
  bool PropertyChanged(const ControlProperty&) noexcept override {
    saved_state_changed_ = true;
    return true;
  }
  UserMode AmbientUserMode() noexcept override { return mode_; }

  void set_user_mode(UserMode mode) { mode_ = mode; }
  bool timer_enabled() const { return timer_enabled_; }
  bool saved_state_changed() const { return saved_state_changed_; }

 private:
  UserMode mode_;
  bool timer_enabled_ = false;
  bool saved_state_changed_ = false;
};

// One control in a headless container.
class HeadlessControl {
 public:
  explicit HeadlessControl(const ControlServices& services, UserMode mode = UserMode::kRun)
      : site_(mode), control_(site_, services) {}

  HeadlessSite& site() { return site_; }
  QuillonPD& control() { return control_; }

  // Delivers a tick of timerRead if the timer is enabled; false when it is not.
  bool Tick() {
    if (!site_.timer_enabled()) return false;
    control_.timerRead_Timer();
    return true;
  }

 private:
  HeadlessSite site_;
  QuillonPD control_;
};

}  // namespace quillon
