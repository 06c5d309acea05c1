// A clock that moves only when told to.
#pragma once

#include "common/oledate.h"
#include "platform/clock.h"

namespace quillon::testing {

class FakeClock final : public Clock {
 public:
  explicit FakeClock(double now = DateFromParts(2026, 12, 7, 14, 5, 9)) : now_(now) {}

  double Now() override { return now_; }
  void Sleep(int milliseconds) override { AdvanceSeconds(milliseconds / 1000.0); }

  void Set(double now) { now_ = now; }
  void AdvanceSeconds(double seconds) { AddSeconds(now_, seconds, &now_); }

 private:
  double now_;
};

}  // namespace quillon::testing
