// HN_Quillon_PD.ocx loaded as a container loads it: its exports, its class object and the
// answer to DllCanUnloadNow.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "package_fixture.h"

namespace quillon::testing {
namespace {

using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(OcxPath().c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
    can_unload_ = reinterpret_cast<CanUnloadNowFn>(Export("DllCanUnloadNow"));
    get_class_object_ = reinterpret_cast<GetClassObjectFn>(Export("DllGetClassObject"));
    ASSERT_NE(can_unload_, nullptr);
    ASSERT_NE(get_class_object_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  void* Export(const char* name) { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }

  ComPtr<IClassFactory> Factory() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(get_class_object_(CLSID_QuillonPD, IID_IClassFactory, factory.PutVoid()), S_OK);
    return factory;
  }

  HMODULE module_ = nullptr;
  CanUnloadNowFn can_unload_ = nullptr;
  GetClassObjectFn get_class_object_ = nullptr;

 private:
  ComScope com_;
};

TEST_F(LibraryTest, ExportsAtOrdinalsOneToFour) {
  const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                         "DllUnregisterServer"};
  for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
    const FARPROC by_ordinal = GetProcAddress(module_, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(by_ordinal, nullptr) << ordinal;
    EXPECT_EQ(by_ordinal, GetProcAddress(module_, names[ordinal - 1])) << names[ordinal - 1];
  }
}

TEST_F(LibraryTest, ClassObjectOnlyForQuillonPD) {
  const struct {
    GUID clsid;
    GUID iid;
    HRESULT expected;
  } cases[] = {
      {CLSID_QuillonPD, IID_IClassFactory, S_OK},
      {CLSID_QuillonPD, IID_IUnknown, S_OK},
      {CLSID_QuillonPD, IID_IDispatch, E_NOINTERFACE},
      {IID__QuillonPD, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {LIBID_HN_QuillonPD, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {GUID_NULL, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(GuidText(c.clsid) + L" " + GuidText(c.iid)));
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(get_class_object_(c.clsid, c.iid, reinterpret_cast<void**>(&object)), c.expected);
    if (c.expected == S_OK) {
      ASSERT_NE(object, nullptr);
      object->Release();
    } else {
      EXPECT_EQ(object, nullptr);
    }
  }
  EXPECT_EQ(get_class_object_(CLSID_QuillonPD, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(LibraryTest, UnloadWaitsForLocksAndLiveObjects) {
  ComPtr<IClassFactory> factory = Factory();
  ASSERT_TRUE(factory);
  EXPECT_EQ(can_unload_(), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(can_unload_(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(can_unload_(), S_OK);
  // An unlock without a lock does not let a later lock go unnoticed.
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(can_unload_(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);

  ComPtr<IUnknown> first;
  ComPtr<IUnknown> second;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, first.PutVoid()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, second.PutVoid()), S_OK);
  EXPECT_EQ(can_unload_(), S_FALSE);
  first.Reset();
  EXPECT_EQ(can_unload_(), S_FALSE);
  second.Reset();
  EXPECT_EQ(can_unload_(), S_OK);
}

// The controls' memory stays with the library while it is loaded, for the next display, and
// goes with it: unloading the library leaves no heap of its own behind.
TEST_F(LibraryTest, TheControlsHeapGoesWithTheLibrary) {
  {  // the first control makes the thread's environment, and what that loads
    ComPtr<IUnknown> control;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IUnknown, control.PutVoid()), S_OK);
  }
  const DWORD heaps = GetProcessHeaps(0, nullptr);
  for (int display = 0; display < 2; ++display) {
    std::vector<ComPtr<IUnknown>> controls(300);
    for (auto& control : controls) {
      ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_IUnknown, control.PutVoid()), S_OK);
    }
  }
  EXPECT_EQ(GetProcessHeaps(0, nullptr), heaps);
  ASSERT_EQ(can_unload_(), S_OK);
  ASSERT_TRUE(FreeLibrary(module_));
  module_ = nullptr;
  EXPECT_EQ(GetProcessHeaps(0, nullptr), heaps - 1);
}

TEST_F(LibraryTest, CreateInstanceRefusesBadArguments) {
  ComPtr<IClassFactory> factory = Factory();
  ASSERT_TRUE(factory);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  ComPtr<IUnknown> outer;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, outer.PutVoid()), S_OK);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IClassFactory, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  outer.Reset();
  EXPECT_EQ(can_unload_(), S_OK);
}

// Run with icmp.dll disabled (WINEDLLOVERRIDES=icmp=d): proves the override took effect, so
// that the tests above show the library loads and serves its class without it.
TEST(WithoutIcmpTest, IcmpIsUnavailableWhenDisabled) {
  const char* overrides = std::getenv("WINEDLLOVERRIDES");
  if (overrides == nullptr || std::string(overrides).find("icmp=d") == std::string::npos) {
    GTEST_SKIP() << "icmp.dll is not disabled in this run";
  }
  HMODULE icmp = LoadLibraryA("icmp.dll");
  EXPECT_EQ(icmp, nullptr);
  if (icmp != nullptr) FreeLibrary(icmp);
}

}  // namespace
}  // namespace quillon::testing
