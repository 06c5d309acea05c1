// Clock seam: the current local date and time.
#pragma once

namespace quillon {

// The platform's clock keeps no state: any thread, at the same time as others.
class Clock {
 public:
  Clock() = default;
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;
  virtual ~Clock() = default;

  // Now, local time, as an Automation date (see common/oledate.h). Never fails.
  virtual double Now() = 0;
  // Blocks the calling thread (only it) for about `milliseconds`.
  virtual void Sleep(int milliseconds) = 0;
};

}  // namespace quillon

#include <memory>

namespace quillon {
// The platform's wall clock in local time.
std::unique_ptr<Clock> NewPlatformClock();
}  // namespace quillon
