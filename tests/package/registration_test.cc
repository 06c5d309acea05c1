// Registration against Wine's registry, with a failure injected at each write in turn: a
// failed registration reports the failure and leaves nothing of the class behind.
#include "package/registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package_fixture.h"
// after windows.h
#include <comcat.h>

namespace quillon::testing {
namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}";
constexpr wchar_t kProgId[] = L"HN_QuillonPD.QuillonPD";
constexpr wchar_t kTypeLibKey[] = L"TypeLib\\{076EC573-D004-4E9F-9111-D0C8833C584B}";
constexpr wchar_t kInterfaceKey[] = L"Interface\\{2F9FF0C5-C161-4B69-AD18-C784EAFD6F05}";
// The property page "Point", a class of the same file.
constexpr wchar_t kPageKey[] = L"CLSID\\{6BBED569-77E8-42EC-BFD1-B79B46F93B38}";

// HKEY_CLASSES_ROOT, failing the call numbered fail_at (from 0) with ERROR_ACCESS_DENIED.
class FailingRoot final : public ClassesRoot {
 public:
  explicit FailingRoot(int fail_at) : fail_at_(fail_at) {}

  LONG CreateKey(const std::wstring& key) override {
    return Pass() ? real_.CreateKey(key) : ERROR_ACCESS_DENIED;
  }
  LONG SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) override {
    return Pass() ? real_.SetText(key, name, text) : ERROR_ACCESS_DENIED;
  }
  LONG DeleteTree(const std::wstring& key) override {
    return Pass() ? real_.DeleteTree(key) : ERROR_ACCESS_DENIED;
  }
  bool OtherViewHasKey(const std::wstring& key) override { return real_.OtherViewHasKey(key); }

 private:
  bool Pass() { return calls_++ != fail_at_; }

  MachineClassesRoot real_;
  int fail_at_;
  int calls_ = 0;
};

// HKEY_CLASSES_ROOT on a 64-bit system where the library of the other bitness is registered
// in the other view.
class RootBesideOtherBitness final : public ClassesRoot {
 public:
  LONG CreateKey(const std::wstring& key) override { return real_.CreateKey(key); }
  LONG SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) override {
    return real_.SetText(key, name, text);
  }
  LONG DeleteTree(const std::wstring& key) override { return real_.DeleteTree(key); }
  bool OtherViewHasKey(const std::wstring& key) override { return key.starts_with(kClassKey); }

 private:
  MachineClassesRoot real_;
};

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(UnregisterServer(root_), S_OK); }
  void TearDown() override { UnregisterServer(root_); }

  static bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(handle);
    return true;
  }

  static std::wstring Text(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t text[512] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS) {
      return L"<absent>";
    }
    return text;
  }

  static void ExpectNothingRegistered() {
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kProgId));
    EXPECT_FALSE(KeyExists(kTypeLibKey));
    EXPECT_FALSE(KeyExists(kInterfaceKey));
    EXPECT_FALSE(KeyExists(kPageKey));
  }

  static void ExpectRegistered() {
    EXPECT_EQ(Text(std::wstring(kClassKey) + L"\\InprocServer32"), OcxPath());
    EXPECT_EQ(Text(std::wstring(kProgId) + L"\\CLSID"), kClassKey + 6);
    EXPECT_EQ(Text(PlatformKey()), OcxPath());
    EXPECT_TRUE(KeyExists(kInterfaceKey));
    EXPECT_EQ(Text(kPageKey), L"Point");
    EXPECT_EQ(Text(std::wstring(kPageKey) + L"\\InprocServer32"), OcxPath());
    EXPECT_EQ(Text(std::wstring(kPageKey) + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  }

  static std::wstring PlatformKey() {
    return std::wstring(kTypeLibKey) + L"\\7.1\\0\\" + kBuildPlatform;
  }

  MachineClassesRoot root_;
};

TEST_F(RegistrationTest, FailureAtAnyWriteIsReportedAndRolledBack) {
  int fail_at = 0;
  for (;; ++fail_at) {
    SCOPED_TRACE("failing call " + std::to_string(fail_at));
    FailingRoot root(fail_at);
    const HRESULT hr = RegisterServer(OcxPath(), root);
    if (hr == S_OK) break;
    ASSERT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    ExpectNothingRegistered();
    ASSERT_LT(fail_at, 100) << "registration never succeeds";
  }
  EXPECT_GE(fail_at, 16);  // every entry of the table was a place to fail
  ExpectRegistered();
}

TEST_F(RegistrationTest, FailureOverAnEarlierRegistrationLeavesNoHalfClass) {
  ASSERT_EQ(RegisterServer(OcxPath(), root_), S_OK);
  FailingRoot root(5);
  EXPECT_EQ(RegisterServer(OcxPath(), root), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  ExpectNothingRegistered();
}

TEST_F(RegistrationTest, FileWithoutTypeLibraryRegistersNothing) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring kernel = std::wstring(system) + L"\\kernel32.dll";
  EXPECT_TRUE(FAILED(RegisterServer(kernel, root_)));
  EXPECT_TRUE(FAILED(RegisterServer(OcxPath() + L".absent", root_)));
  ExpectNothingRegistered();
}

TEST_F(RegistrationTest, RegisteringAgainLeavesOneSetWithoutStaleEntries) {
  ASSERT_EQ(RegisterServer(OcxPath(), root_), S_OK);
  ASSERT_EQ(root_.SetText(std::wstring(kClassKey) + L"\\Ancienne", nullptr, L"x"), ERROR_SUCCESS);
  ASSERT_EQ(RegisterServer(OcxPath(), root_), S_OK);
  EXPECT_FALSE(KeyExists(std::wstring(kClassKey) + L"\\Ancienne"));
  ExpectRegistered();
}

TEST_F(RegistrationTest, UnregisteringToleratesEntriesAlreadyGone) {
  ASSERT_EQ(RegisterServer(OcxPath(), root_), S_OK);
  ASSERT_EQ(root_.DeleteTree(kProgId), ERROR_SUCCESS);
  EXPECT_EQ(UnregisterServer(root_), S_OK);
  ExpectNothingRegistered();
  EXPECT_EQ(UnregisterServer(root_), S_OK);
}

// Unregistering one bitness leaves what both share to the other: the ProgID, the type
// library's version key and the interfaces; only its own class key and platform path go.
TEST_F(RegistrationTest, UnregisteringBesideTheOtherBitnessKeepsTheSharedEntries) {
  ASSERT_EQ(RegisterServer(OcxPath(), root_), S_OK);
  RootBesideOtherBitness beside;
  EXPECT_EQ(UnregisterServer(beside), S_OK);
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_FALSE(KeyExists(kPageKey));  // one per view, as the class key
  EXPECT_FALSE(KeyExists(PlatformKey()));
  EXPECT_EQ(Text(std::wstring(kProgId) + L"\\CLSID"), kClassKey + 6);
  EXPECT_EQ(Text(std::wstring(kTypeLibKey) + L"\\7.1"), L"Halvorn Quillon PD");
  EXPECT_TRUE(KeyExists(kInterfaceKey));
  // Registering again beside it, and unregistering the last one, behave as alone.
  ASSERT_EQ(RegisterServer(OcxPath(), beside), S_OK);
  ExpectRegistered();
  EXPECT_EQ(UnregisterServer(root_), S_OK);
  ExpectNothingRegistered();
}

// The control writes requests into the plant's shared cache file: it must not be created or
// initialised by a page of script without the user's consent. It registers as a control and
// in no category that claims safety (safe for scripting, safe for initialising), as the
// registry and the component categories manager both show.
TEST_F(RegistrationTest, ClassClaimsNoSafetyForScriptingOrInitialising) {
  ASSERT_EQ(RegisterServer(OcxPath(), root_), S_OK);
  const std::wstring categories = std::wstring(kClassKey) + L"\\Implemented Categories";
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, categories.c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  std::vector<std::wstring> implemented;
  wchar_t name[64];
  for (DWORD i = 0, n = 64; RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) ==
                            ERROR_SUCCESS;
       ++i, n = 64) {
    implemented.push_back(name);
  }
  RegCloseKey(key);
  EXPECT_EQ(implemented, std::vector<std::wstring>{L"{40FC6ED4-2438-11CF-A3DB-080036F12502}"});
  EXPECT_FALSE(KeyExists(std::wstring(kClassKey) + L"\\Required Categories"));

  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  ICatInformation* info = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICatInformation, reinterpret_cast<void**>(&info)),
            S_OK);
  CLSID clsid{};
  CLSIDFromString(kClassKey + 6, &clsid);
  const struct {
    const wchar_t* catid;
    HRESULT is_of;
  } cases[] = {{L"{40FC6ED4-2438-11CF-A3DB-080036F12502}", S_OK},   // control
               {L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}", S_FALSE},  // safe for scripting
               {L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}", S_FALSE}};  // safe for initialising
  for (const auto& c : cases) {
    CATID catid{};
    CLSIDFromString(c.catid, &catid);
    // The class requires no category (Wine wants the array even when it is empty).
    EXPECT_EQ(info->IsClassOfCategories(clsid, 1, &catid, 0, &catid), c.is_of) << Narrow(c.catid);
  }
  info->Release();
  CoUninitialize();
}

}  // namespace
}  // namespace quillon::testing
