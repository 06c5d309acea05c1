// The control's COM identity and lifetime, its class information, and the change
// notifications that reach a container through IPropertyNotifySink.
#include "com_fixture.h"

namespace quillon::testing {
namespace {

using Identity = ControlTest;
using Notifications = ControlTest;

TEST_F(Identity, EveryInterfaceBelongsToOneObject) {
  ComPtr<IUnknown> identity = Query<IUnknown>(pd_.Get(), IID_IUnknown);
  for (const IID* iid :
       {&IID_IDispatch, &IID__QuillonPD, &IID_IProvideClassInfo, &IID_IProvideClassInfo2,
        &IID_IPersist, &IID_IPersistStream, &IID_IPersistStreamInit, &IID_IPersistPropertyBag,
        &IID_IPersistStorage, &IID_IConnectionPointContainer, &IID_IOleObject, &IID_IOleControl,
        &IID_IOleWindow, &IID_IOleInPlaceObject, &IID_IOleInPlaceActiveObject, &IID_IViewObject,
        &IID_IViewObject2, &IID_IPerPropertyBrowsing, &IID_IQuickActivate,
        &IID_ISpecifyPropertyPages}) {
    ComPtr<IUnknown> member;
    ASSERT_EQ(pd_->QueryInterface(*iid, member.PutVoid()), S_OK) << Narrow(GuidText(*iid));
    EXPECT_EQ(Query<IUnknown>(member.Get(), IID_IUnknown).Get(), identity.Get());
    EXPECT_EQ(Query<_QuillonPD>(member.Get(), IID__QuillonPD).Get(), pd_.Get());
  }
  void* none = &none;
  EXPECT_EQ(pd_->QueryInterface(IID_IDataObject, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(pd_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// Script clients never call InitNew: until a container gives the control its settings, it
// has the state of a freshly created instance, and InitNew still gives the new-control values.
TEST_F(Identity, ControlUsedBeforeInitNewOrLoadHasTheFreshState) {
  ComPtr<_QuillonPD> script_made;
  ASSERT_EQ(library_.Create(nullptr, IID__QuillonPD, script_made.PutVoid()), S_OK);
  Bstr quality, valeur, formatee, ntf;
  E_POLLTIME period = Minute_01;
  double number = -1;
  EXPECT_EQ(script_made->get_Qualite(quality.out()), S_OK);
  EXPECT_EQ(quality.text(), L"0");
  EXPECT_EQ(script_made->get_Valeur(valeur.out()), S_OK);
  EXPECT_EQ(valeur.text(), L"");
  EXPECT_EQ(script_made->get_ValeurFormatee(formatee.out()), S_OK);
  EXPECT_EQ(formatee.text(), L"");
  EXPECT_EQ(script_made->get_ValeurNombre(&number), S_OK);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(script_made->get_Frequence_Rafraichissement(&period), S_OK);
  EXPECT_EQ(period, Minute_30);
  EXPECT_EQ(script_made->get_NTF(ntf.out()), S_OK);
  EXPECT_EQ(ntf.text(), L"Noeud:Tag.Field");

  ASSERT_EQ(Query<IPersistStreamInit>(script_made.Get(), IID_IPersistStreamInit)->InitNew(), S_OK);
  Bstr new_quality, new_valeur;
  script_made->get_Qualite(new_quality.out());
  script_made->get_Valeur(new_valeur.out());
  script_made->get_Frequence_Rafraichissement(&period);
  EXPECT_EQ(new_quality.text(), L"-2");
  EXPECT_EQ(new_valeur.text(), L"?");
  EXPECT_EQ(period, Minute_01);
}

// An outer object that aggregates the control and counts what reaches it.
class Outer final : public TestObject<IUnknown> {
 public:
  Outer() : TestObject(IID_IUnknown) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    ++queries;
    if (IsEqualIID(riid, IID_IUnknown)) return TestObject::QueryInterface(riid, out);
    return inner->QueryInterface(riid, out);
  }
  IUnknown* inner = nullptr;
  int queries = 0;
};

TEST_F(Identity, AggregatedControlDelegatesToItsOuterObject) {
  Outer outer;
  void* out = nullptr;
  EXPECT_EQ(library_.Create(&outer, IID__QuillonPD, &out), CLASS_E_NOAGGREGATION);
  ASSERT_EQ(library_.Create(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
  ComPtr<IPersistStreamInit> persist;
  ASSERT_EQ(outer.QueryInterface(IID_IPersistStreamInit, persist.PutVoid()), S_OK);
  const ULONG outer_refs = outer.refs();
  ComPtr<IUnknown> identity;
  ASSERT_EQ(persist->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
  EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.refs(), outer_refs + 1);  // counts go to the outer object
  identity.Reset();
  persist.Reset();
  EXPECT_EQ(outer.inner->Release(), 0u);
}

TEST_F(Identity, LibraryStaysInUseWhileAControlOrAnEnumeratorLives) {
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(Query<IConnectionPointContainer>(pd_.Get(), IID_IConnectionPointContainer)
                ->EnumConnectionPoints(points.Put()),
            S_OK);
  pd_.Reset();
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);  // the enumerator holds the control
  points.Reset();
  EXPECT_EQ(library_.CanUnloadNow(), S_OK);
  ASSERT_EQ(library_.Create(nullptr, IID__QuillonPD, pd_.PutVoid()), S_OK);
  EXPECT_EQ(library_.CanUnloadNow(), S_FALSE);
}

TEST_F(Identity, RegisteredClassIsCreatedByItsProgId) {
  ASSERT_EQ(library_.Register(), S_OK);
  CLSID clsid = {};
  ASSERT_EQ(CLSIDFromProgID(L"HN_QuillonPD.QuillonPD", &clsid), S_OK);
  ComPtr<IDispatch> control;
  ASSERT_EQ(
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.PutVoid()),
      S_OK);
  auto persist = Query<IPersistPropertyBag>(control.Get(), IID_IPersistPropertyBag);
  TestBag bag;
  bag.Put(L"strNTF", Variant(L"P:Q.R"));
  ASSERT_EQ(persist->Load(&bag, nullptr), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"NTF");
  DISPID id = 0;
  ASSERT_EQ(control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  Variant value;
  DISPPARAMS none = {};
  ASSERT_EQ(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(std::wstring(value.bstrVal), L"P:Q.R");
  control.Reset();
  persist.Reset();
  EXPECT_EQ(library_.Unregister(), S_OK);
}

class AdviseSink final : public TestObject<IAdviseSink> {
 public:
  AdviseSink() : TestObject(IID_IAdviseSink) {}
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override {}
};

// Counts what an enumerator of advise connections lists.
ULONG CountAdvised(IEnumSTATDATA* advised) {
  ULONG count = 0, fetched = 0;
  STATDATA data = {};
  while (advised->Next(1, &data, &fetched) == S_OK && fetched == 1) {
    ++count;
    if (data.pAdvSink) data.pAdvSink->Release();
  }
  return count;
}

TEST_F(Identity, EnumAdviseGivesAnEnumeratorBeforeAndAfterAdvise) {
  auto ole = Query<IOleObject>(pd_.Get(), IID_IOleObject);
  ComPtr<IEnumSTATDATA> advised;
  ASSERT_EQ(ole->EnumAdvise(advised.Put()), S_OK);
  ASSERT_TRUE(advised) << "success comes with an enumerator";
  EXPECT_EQ(CountAdvised(advised.Get()), 0u);
  AdviseSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(ole->Advise(&sink, &cookie), S_OK);
  ASSERT_EQ(ole->EnumAdvise(advised.Put()), S_OK);
  ASSERT_TRUE(advised);
  EXPECT_EQ(CountAdvised(advised.Get()), 1u);
  advised.Reset();
  EXPECT_EQ(ole->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.refs(), 1u);
  EXPECT_EQ(ole->EnumAdvise(nullptr), E_POINTER);
}

TEST_F(Identity, ClassInformationNamesTheClassAndItsSilentSource) {
  auto info = Query<IProvideClassInfo2>(pd_.Get(), IID_IProvideClassInfo2);
  GUID guid = {};
  EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
  EXPECT_TRUE(IsEqualGUID(guid, DIID___QuillonPD));
  EXPECT_EQ(info->GetGUID(2, &guid), E_INVALIDARG);
  EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);
  ComPtr<ITypeInfo> type;
  ASSERT_EQ(info->GetClassInfo(type.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(type->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_QuillonPD));
  type->ReleaseTypeAttr(attr);
  EXPECT_EQ(info->GetClassInfo(nullptr), E_POINTER);
}

// A property bag that lets the control go when it is first read, as a container releasing
// its last reference inside the control's Load; every key reads as absent.
class ReleasingBag final : public TestObject<IPropertyBag> {
 public:
  explicit ReleasingBag(ComPtr<_QuillonPD>* control)
      : TestObject(IID_IPropertyBag), control_(control) {}
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT*, IErrorLog*) override {
    ++reads;
    control_->Reset();
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
  int reads = 0;

 private:
  ComPtr<_QuillonPD>* control_;
};

TEST_F(Identity, BagThatLetsTheControlGoInsideLoad) {
  IPersistPropertyBag* persist =
      Query<IPersistPropertyBag>(pd_.Get(), IID_IPersistPropertyBag).Get();
  ReleasingBag bag(&pd_);  // pd_ holds the last reference; `persist` is borrowed
  EXPECT_EQ(persist->Load(&bag, nullptr), S_OK);
  EXPECT_EQ(bag.reads, 3) << "every key read on live memory";
  EXPECT_EQ(library_.CanUnloadNow(), S_OK) << "the control went when Load returned";
}

class NotificationsTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    container_ = Query<IConnectionPointContainer>(pd_.Get(), IID_IConnectionPointContainer);
    ASSERT_EQ(container_->FindConnectionPoint(IID_IPropertyNotifySink, point_.Put()), S_OK);
    ASSERT_EQ(point_->Advise(&sink_, &cookie_), S_OK);
  }
  void TearDown() override {
    if (point_) point_->Unadvise(cookie_);
  }

  ChangeSink sink_;
  ComPtr<IConnectionPointContainer> container_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

TEST_F(NotificationsTest, ChangesReachTheSinkByDispidInTheirOrder) {
  ASSERT_EQ(MaJNTF(L"1", L"1", 0), S_OK);
  EXPECT_EQ(sink_.changes,
            (std::vector<DISPID>{kValeur, kValeurNombre, kValeurFormatee, kQualite, kHorodatage}));
  sink_.changes.clear();
  Put(&_QuillonPD::put_NTF, L"A:B.C");
  Put(&_QuillonPD::put_Formatage, L"0");
  ASSERT_EQ(pd_->put_Frequence_Rafraichissement(Seconde_30), S_OK);
  EXPECT_EQ(sink_.changes, (std::vector<DISPID>{kNTF, kFormatage, kFrequence}));
  sink_.changes.clear();
  Put(&_QuillonPD::put_Valeur, L"x");  // discarded puts and Rafraichir change nothing
  Put(&_QuillonPD::put_Qualite, L"x");
  ASSERT_EQ(pd_->Rafraichir(), S_OK);
  EXPECT_TRUE(sink_.changes.empty());
  ASSERT_EQ(point_->Unadvise(cookie_), S_OK);
  EXPECT_EQ(point_->Unadvise(cookie_), CONNECT_E_NOCONNECTION);
  point_.Reset();
  Put(&_QuillonPD::put_NTF, L"D:E.F");
  EXPECT_TRUE(sink_.changes.empty());
}

TEST_F(NotificationsTest, CookieOfAnUnadvisedSinkNeverDisconnectsALaterOne) {
  ASSERT_EQ(point_->Unadvise(cookie_), S_OK);
  ChangeSink later;
  DWORD later_cookie = 0;
  ASSERT_EQ(point_->Advise(&later, &later_cookie), S_OK);
  EXPECT_NE(later_cookie, cookie_);
  for (DWORD stale_or_unknown : {cookie_, DWORD{0}, later_cookie + 1000}) {
    EXPECT_EQ(point_->Unadvise(stale_or_unknown), CONNECT_E_NOCONNECTION) << stale_or_unknown;
  }
  ASSERT_EQ(MaJNTF(L"1", L"1", 0), S_OK);
  EXPECT_EQ(later.changes.size(), 5u) << "still connected";
  EXPECT_TRUE(sink_.changes.empty());
  EXPECT_EQ(point_->Unadvise(later_cookie), S_OK);
  EXPECT_EQ(later.refs(), 1u);
  cookie_ = 0;
}

// A sink that, on the first change it hears, unadvises the sink of cookie `other`.
class UnadvisingSink final : public TestObject<IPropertyNotifySink> {
 public:
  explicit UnadvisingSink(IConnectionPoint* point)
      : TestObject(IID_IPropertyNotifySink), point_(point) {}
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    changes.push_back(id);
    if (other != 0) point_->Unadvise(other);
    other = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
  std::vector<DISPID> changes;
  DWORD other = 0;

 private:
  IConnectionPoint* point_;
};

TEST_F(NotificationsTest, SinkUnadvisedByAnotherInsideItsCallHearsNothingMore) {
  ASSERT_EQ(point_->Unadvise(cookie_), S_OK);
  UnadvisingSink first(point_.Get());
  ChangeSink second;
  DWORD first_cookie = 0;
  ASSERT_EQ(point_->Advise(&first, &first_cookie), S_OK);
  ASSERT_EQ(point_->Advise(&second, &first.other), S_OK);
  ASSERT_EQ(MaJNTF(L"1", L"1", 0), S_OK);
  EXPECT_EQ(first.changes.size(), 5u);
  EXPECT_TRUE(second.changes.empty()) << "unadvised before its turn";
  EXPECT_EQ(second.refs(), 1u);
  EXPECT_EQ(point_->Unadvise(first_cookie), S_OK);
  cookie_ = 0;
}

TEST_F(NotificationsTest, ConnectionPointsAndTheirEnumerators) {
  ComPtr<IConnectionPoint> events;
  ASSERT_EQ(container_->FindConnectionPoint(DIID___QuillonPD, events.Put()), S_OK);
  IID iid = {};
  EXPECT_EQ(events->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(IsEqualIID(iid, DIID___QuillonPD));
  ComPtr<IConnectionPointContainer> back;
  EXPECT_EQ(events->GetConnectionPointContainer(back.Put()), S_OK);
  EXPECT_EQ(back.Get(), container_.Get());
  ComPtr<IConnectionPoint> none;
  EXPECT_EQ(container_->FindConnectionPoint(IID_IDispatch, none.Put()), CONNECT_E_NOCONNECTION);
  DWORD cookie = 0;
  EXPECT_EQ(events->Advise(&sink_, &cookie), CONNECT_E_CANNOTCONNECT);  // not an event sink
  EXPECT_EQ(events->Advise(nullptr, &cookie), E_POINTER);

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container_->EnumConnectionPoints(points.Put()), S_OK);
  IConnectionPoint* found[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(3, found, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(found[0], events.Get());
  EXPECT_EQ(found[1], point_.Get());
  found[0]->Release();
  found[1]->Release();
  ComPtr<IEnumConnectionPoints> clone;
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Skip(1), S_OK);
  ASSERT_EQ(points->Clone(clone.Put()), S_OK);
  EXPECT_EQ(clone->Next(1, found, nullptr), S_OK);
  EXPECT_EQ(found[0], point_.Get());
  found[0]->Release();
  EXPECT_EQ(clone->Next(2, found, nullptr), E_INVALIDARG);

  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point_->EnumConnections(connections.Put()), S_OK);
  CONNECTDATA data[2] = {};
  EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(data[0].dwCookie, cookie_);
  EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(&sink_));
  data[0].pUnk->Release();
}

}  // namespace
}  // namespace quillon::testing
