// The connection point on its own, linked into the test: the list of sinks it hands to the
// object when memory runs out part way, which the library loaded as a client cannot show.
#include "package/connection_point.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <new>

#include "failing_allocations.h"

using quillon::testing::allocations_until_failure;

namespace quillon {
// The library's count of live objects, which the point's enumerators hold.
void ModuleAddRef() {}
void ModuleRelease() {}
}  // namespace quillon

namespace quillon::testing {
namespace {

// An object counting its references, answering IUnknown and `Interface`.
template <class Interface>
class Counted : public Interface {
 public:
  explicit Counted(const IID& iid) : iid_(iid) {}
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  virtual ~Counted() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, iid_)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;

 private:
  const IID& iid_;
};

class Sink final : public Counted<IPropertyNotifySink> {
 public:
  Sink() : Counted(IID_IPropertyNotifySink) {}
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

class Container final : public Counted<IConnectionPointContainer> {
 public:
  Container() : Counted(IID_IConnectionPointContainer) {}
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint**) override {
    return E_NOTIMPL;
  }
};

class ConnectionPointTest : public ::testing::Test {
 protected:
  void TearDown() override { allocations_until_failure = 0; }

  Counted<IUnknown> owner_{IID_IUnknown};
  Container container_;
  ConnectionPoint point_{owner_, container_, IID_IPropertyNotifySink};
  Sink sinks_[3];
};

TEST_F(ConnectionPointTest, SinksListedWhenMemoryRunsOutHoldNothing) {
  DWORD cookies[3] = {};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(point_.Advise(&sinks_[i], &cookies[i]), S_OK);
  for (int failing = 1; failing <= 4; ++failing) {
    SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
    std::vector<ConnectionPoint::Sink> listed;
    allocations_until_failure = failing;
    try {
      listed = point_.Sinks();
    } catch (const std::bad_alloc&) {
    }
    allocations_until_failure = 0;
    if (!listed.empty()) {
      EXPECT_EQ(listed.size(), 3u);
      for (Sink& sink : sinks_) EXPECT_EQ(sink.refs, 3u) << "the point's and the list's";
    }
    listed.clear();
    for (Sink& sink : sinks_) EXPECT_EQ(sink.refs, 2u) << "the point's only";
  }
  EXPECT_EQ(owner_.refs, 1u);
}

TEST_F(ConnectionPointTest, CookiesAreNeverGivenTwice) {
  DWORD first = 0, second = 0, third = 0;
  ASSERT_EQ(point_.Advise(&sinks_[0], &first), S_OK);
  ASSERT_EQ(point_.Unadvise(first), S_OK);
  ASSERT_EQ(point_.Advise(&sinks_[1], &second), S_OK);
  EXPECT_NE(second, first);
  EXPECT_EQ(point_.Unadvise(first), CONNECT_E_NOCONNECTION);
  EXPECT_TRUE(point_.IsAdvised(second));
  ASSERT_EQ(point_.Advise(&sinks_[2], &third), S_OK);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
  for (DWORD unknown : {DWORD{0}, DWORD{12345}, DWORD{MAXDWORD}}) {
    EXPECT_EQ(point_.Unadvise(unknown), CONNECT_E_NOCONNECTION);
  }
  EXPECT_EQ(sinks_[0].refs, 1u);
  EXPECT_EQ(sinks_[1].refs, 2u);
  EXPECT_EQ(point_.Unadvise(second), S_OK);
  EXPECT_EQ(sinks_[1].refs, 1u);
  EXPECT_TRUE(point_.IsAdvised(third));
  EXPECT_EQ(point_.Unadvise(third), S_OK);
  EXPECT_EQ(owner_.refs, 1u) << "held only across the calls";
}

}  // namespace
}  // namespace quillon::testing
