#include <windows.h>

#include "common/oledate.h"
#include "platform/clock.h"

namespace quillon {
namespace {

class Win32Clock final : public Clock {
 public:
  double Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return DateFromParts(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                         st.wMilliseconds);
  }

  void Sleep(int milliseconds) override {
    if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
  }
};

}  // namespace

std::unique_ptr<Clock> NewPlatformClock() { return std::make_unique<Win32Clock>(); }

}  // namespace quillon
