#include <time.h>

#include "common/oledate.h"
#include "platform/clock.h"

namespace quillon {
namespace {

class PosixClock final : public Clock {
 public:
  double Now() override {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    struct tm local {};
    ::localtime_r(&ts.tv_sec, &local);
    return DateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
  }

  void Sleep(int milliseconds) override {
    if (milliseconds <= 0) return;
    struct timespec ts {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0) {
    }
  }
};

}  // namespace

std::unique_ptr<Clock> NewPlatformClock() { return std::make_unique<PosixClock>(); }

}  // namespace quillon
