// The by-name binding of platform functions, and the real ICMP service on a loopback address.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/win32/late_bound.h"
#include "services/fct_ping.h"

namespace quillon {
namespace {

using TickFn = DWORD(WINAPI*)();

TEST(LateBoundTest, MissingLibraryOrFunctionFailsOnlyThatCallAndAFoundAddressIsKept) {
  int32_t error = 0;
  LateBound<TickFn> no_library("quillon_absent.dll", "GetTickCount");
  EXPECT_EQ(no_library.Get(&error), nullptr);
  EXPECT_EQ(error, ERROR_MOD_NOT_FOUND);
  LateBound<TickFn> no_function("kernel32.dll", "QuillonAbsent");
  EXPECT_EQ(no_function.Get(&error), nullptr);
  EXPECT_EQ(error, ERROR_PROC_NOT_FOUND);
  LateBound<TickFn> tick("kernel32.dll", "GetTickCount");
  const TickFn first = tick.Get();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(tick.Get(), first);
  EXPECT_GT(first(), 0u);
}

TEST(Win32EchoTest, LoopbackAnswersThroughIcmp) {
  auto echo = NewPlatformEchoApi();
  auto code_page = NewPlatformCodePage();
  PingPD ping(*echo, *code_page);
  ASSERT_TRUE(ping.DemarrerSockets());
  ReponseEcho reply;
  EXPECT_EQ(ping.EnvoyerEcho(u"127.0.0.1", u"Test de ping", reply), 0);
  EXPECT_EQ(ping.EnvoyerEcho(u"serveur-pd", u"Test de ping", reply), -1);
  ping.ArreterSockets();
  EXPECT_EQ(TesterPing(ping, u"127.0.0.1", 3), 0);
  EXPECT_EQ(TesterPing(ping, u"serveur-pd", 3), 1);
}

}  // namespace
}  // namespace quillon
