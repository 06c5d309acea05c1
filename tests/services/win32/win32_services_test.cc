// The by-name binding of platform functions, the registry view keys are read in, and the real
// ICMP service on a loopback address.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/registry_api.h"
#include "platform/win32/late_bound.h"
#include "services/tester_ping.h"

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

// A library that nothing else in this program loads: its only references are the binder's.
constexpr char kUnusedLibrary[] = "icmp.dll";

TEST(LateBoundTest, ALibraryIsLoadedOnceWhateverTheCallsAndFreedAtDetach) {
  ASSERT_EQ(GetModuleHandleA(kUnusedLibrary), nullptr);
  int32_t error = 0;
  for (int i = 0; i < 20; ++i) {
    LateBound<TickFn> missing(kUnusedLibrary, "QuillonAbsent");
    EXPECT_EQ(missing.Get(&error), nullptr);
    EXPECT_EQ(missing.Get(&error), nullptr);
    EXPECT_EQ(error, ERROR_PROC_NOT_FOUND);
  }
  LateBound<TickFn> found(kUnusedLibrary, "IcmpCreateFile");
  EXPECT_NE(found.Get(), nullptr);
  ASSERT_NE(GetModuleHandleA(kUnusedLibrary), nullptr);
  FreeBoundLibraries();
  EXPECT_EQ(GetModuleHandleA(kUnusedLibrary), nullptr) << "a reference was left behind";
  // Bound again after that, as a library loaded anew would.
  LateBound<TickFn> again(kUnusedLibrary, "IcmpCreateFile");
  EXPECT_NE(again.Get(), nullptr);
  FreeBoundLibraries();
  EXPECT_EQ(GetModuleHandleA(kUnusedLibrary), nullptr);
}

// Writes `text` as the value "Chemin PD" of `key` in the registry view `view`.
void WriteInView(const wchar_t* key, REGSAM view, const char* text) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, &h,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(h, "Chemin PD", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(strlen(text) + 1));
  RegCloseKey(h);
}

// A 64-bit build reads the value a 32-bit one would: where both views exist they differ, and
// the 32-bit view wins; on a 32-bit system both writes land in the one key, the last wins.
TEST(Win32RegistryTest, KeysOpenInTheThirtyTwoBitView) {
  const wchar_t* key = L"SOFTWARE\\QuillonVue";
  WriteInView(key, KEY_WOW64_64KEY, "C:\\Vue64");
  WriteInView(key, KEY_WOW64_32KEY, "C:\\Vue32");
  auto registry = NewPlatformRegistryApi();
  RegKeyHandle h = 0;
  ASSERT_EQ(registry->OpenKeyEx(kHkeyLocalMachine, "SOFTWARE\\QuillonVue", 0, kKeyRead, &h), 0);
  char text[32] = {};
  uint32_t type = 0;
  uint32_t size = sizeof text;
  EXPECT_EQ(registry->QueryValueEx(h, "Chemin PD", &type, reinterpret_cast<uint8_t*>(text), &size),
            0);
  EXPECT_STREQ(text, "C:\\Vue32");
  registry->CloseKey(h);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY, 0);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, 0);
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
