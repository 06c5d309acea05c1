// IDispatch::Invoke with the arguments hostile or careless clients pass: the caller's memory
// stays the caller's, references are followed one level, and malformed DISPPARAMS are refused
// before anything reads them.
#include <atomic>
#include <cstdio>

#include "com_fixture.h"

namespace quillon::testing {
namespace {

// Records every block that the task allocator is asked to free, reallocate or size (freeing a
// BSTR asks its size first, and a BSTR cache may keep the block without freeing it).
class FreeSpy final : public IMallocSpy {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy)) {
      *out = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }  // static, never freed

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override { return Note(request); }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** new_request,
                                      BOOL) override {
    *new_request = Note(request);
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return Note(request); }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

  // Starts counting the calls on the blocks of these strings (none: stops counting).
  void Watch(BSTR first = nullptr, BSTR second = nullptr) {
    watched_[0] = reinterpret_cast<const char*>(first);
    watched_[1] = reinterpret_cast<const char*>(second);
    touched_ = 0;
  }
  int touched() const { return touched_; }

 private:
  // A BSTR's block starts a few bytes before its text (its length, and padding on 64-bit).
  void* Note(void* block) {
    const char* start = static_cast<const char*>(block);
    for (const auto& watched : watched_) {
      const char* text = watched;
      if (text != nullptr && start != nullptr && start <= text && text - start <= 16) ++touched_;
    }
    return block;
  }

  std::atomic<const char*> watched_[2] = {nullptr, nullptr};
  std::atomic<int> touched_{0};
};

FreeSpy spy;

class DispatchArguments : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    // Registered for the rest of the run: a spy cannot be revoked while blocks allocated
    // under it live, and it changes nothing while it watches no string.
    static const HRESULT registered = CoRegisterMallocSpy(&spy);
    ASSERT_EQ(registered, S_OK);
  }
  void TearDown() override { spy.Watch(); }

  // Invoke with the caller's DISPPARAMS as they are; *arg_error receives puArgErr.
  HRESULT InvokeRaw(DISPID id, WORD flags, DISPPARAMS* params, UINT* arg_error = nullptr) {
    Variant result;
    UINT arg = 99;
    const HRESULT hr = pd_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, &result,
                                   nullptr, &arg);
    if (arg_error != nullptr) *arg_error = arg;
    return hr;
  }
  HRESULT MaJNTFWith(VARIANT (&args)[4], UINT* arg_error = nullptr) {
    DISPPARAMS params = {args, nullptr, 4, 0};
    return InvokeRaw(kMaJNTF, DISPATCH_METHOD, &params, arg_error);
  }
  HRESULT PutNTFWith(VARIANT* arg, UINT* arg_error = nullptr) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {arg, &named, 1, 1};
    return InvokeRaw(kNTF, DISPATCH_PROPERTYPUT, &params, arg_error);
  }

  static VARIANT RefTo(VARIANT* target) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = target;
    return v;
  }
  static VARIANT Ui1(unsigned char value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI1;
    v.bVal = value;
    return v;
  }
  static VARIANT Date(DATE value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = value;
    return v;
  }
};

// The three ways a text reaches MaJNTF: by value (a script literal), as a BSTR reference and
// as a variant reference (a script variable). Arguments run last first.
TEST_F(DispatchArguments, MaJNTFNeverFreesNorChangesTheCallersStrings) {
  enum Kind { kByValue, kBstrRef, kVariantRef };
  for (const Kind kind : {kByValue, kBstrRef, kVariantRef}) {
    for (int run = 0; run < 3; ++run) {
      Variant valeur(L"41"), formatee(L"41,0");
      const BSTR text = valeur.bstrVal, formatted = formatee.bstrVal;
      VARIANT args[4] = {Date(45000.5), Ui1(1), formatee, valeur};  // shallow: the test owns
      if (kind == kBstrRef) {
        args[2] = {};
        args[2].vt = VT_BSTR | VT_BYREF;
        args[2].pbstrVal = &formatee.bstrVal;
        args[3] = {};
        args[3].vt = VT_BSTR | VT_BYREF;
        args[3].pbstrVal = &valeur.bstrVal;
      } else if (kind == kVariantRef) {
        args[2] = RefTo(&formatee);
        args[3] = RefTo(&valeur);
      }
      spy.Watch(text, formatted);
      ASSERT_EQ(MaJNTFWith(args), S_OK) << kind;
      EXPECT_EQ(spy.touched(), 0) << "a caller's string was freed, kind " << kind;
      spy.Watch();
      EXPECT_EQ(valeur.bstrVal, text) << kind;
      EXPECT_EQ(formatee.bstrVal, formatted) << kind;
      if (kind == kByValue) {
        EXPECT_EQ(args[3].vt, VT_BSTR);
        EXPECT_EQ(args[3].bstrVal, text) << "the caller's argument array was rewritten";
        EXPECT_EQ(args[2].bstrVal, formatted);
      }
      EXPECT_EQ(std::wstring(valeur.bstrVal), L"41");
      EXPECT_EQ(std::wstring(formatee.bstrVal), L"41,0");
      EXPECT_EQ(InvokeGetText(kValeur), L"41");
      EXPECT_EQ(InvokeGetText(kQualite), L"1");
    }
  }
}

TEST_F(DispatchArguments, PutsLeaveTheCallersStringsAlone) {
  Variant text(L"N:T.F");
  const BSTR original = text.bstrVal;
  VARIANT by_value = text;  // shallow: the test owns
  VARIANT by_ref = RefTo(&text);
  for (VARIANT* arg : {&by_value, &by_ref}) {
    spy.Watch(original);
    EXPECT_EQ(PutNTFWith(arg), S_OK);
    EXPECT_EQ(spy.touched(), 0);
    spy.Watch();
    EXPECT_EQ(text.bstrVal, original);
    EXPECT_EQ(by_value.bstrVal, original);
    EXPECT_EQ(InvokeGetText(kNTF), L"N:T.F");
  }
}

// Fails the test program when a call has not come back within its time: a loop for ever
// must not hang the run.
class Watchdog {
 public:
  explicit Watchdog(DWORD ms) : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), ms_(ms) {
    thread_ = CreateThread(nullptr, 0, &Watchdog::Run, this, 0, nullptr);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() {
    SetEvent(done_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(done_);
  }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* dog = static_cast<Watchdog*>(self);
    if (WaitForSingleObject(dog->done_, dog->ms_) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "a call did not come back within %lu ms\n", dog->ms_);
      std::fflush(stderr);
      ExitProcess(3);
    }
    return 0;
  }

  HANDLE done_;
  HANDLE thread_ = nullptr;
  DWORD ms_;
};

// COM allows one level: a variant reference to a variant that is itself a reference, a cycle
// or a variant referring to itself, is a type mismatch of that argument.
TEST_F(DispatchArguments, VariantReferencesAreFollowedOneLevelOnly) {
  Watchdog dog(20000);
  Put(&_QuillonPD::put_NTF, L"Gardé:T.F");
  UINT arg = 99;
  VARIANT self = RefTo(nullptr);
  self.pvarVal = &self;
  EXPECT_EQ(PutNTFWith(&self, &arg), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg, 0u);
  VARIANT a = RefTo(nullptr), b = RefTo(&a);
  a.pvarVal = &b;
  Variant text(L"9");
  VARIANT deep = RefTo(&text), deeper = RefTo(&deep);
  for (VARIANT* bad : {&a, &deeper}) {
    VARIANT args[4] = {Date(1), Ui1(0), Text(L"x"), *bad};  // *bad is the first argument
    arg = 99;
    EXPECT_EQ(MaJNTFWith(args, &arg), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(arg, 3u);
    VariantClear(&args[2]);
  }
  VARIANT null_ref = RefTo(nullptr);
  EXPECT_EQ(PutNTFWith(&null_ref, &arg), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"Gardé:T.F");
  EXPECT_EQ(Get(&_QuillonPD::get_Qualite), L"-2");
  // One level is what scripts pass, and works.
  EXPECT_EQ(PutNTFWith(&deep), S_OK);
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"9");
}

TEST_F(DispatchArguments, MalformedDispparamsAreRefusedBeforeAnythingReadsThem) {
  Put(&_QuillonPD::put_NTF, L"Gardé:T.F");
  DISPPARAMS no_args = {nullptr, nullptr, 4, 0};
  EXPECT_EQ(InvokeRaw(kMaJNTF, DISPATCH_METHOD, &no_args), E_INVALIDARG);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS no_put_value = {nullptr, &named, 1, 1};
  EXPECT_EQ(InvokeRaw(kNTF, DISPATCH_PROPERTYPUT, &no_put_value), E_INVALIDARG);
  Variant text(L"A:B.C");
  DISPPARAMS no_names = {&text, nullptr, 1, 1};
  EXPECT_EQ(InvokeRaw(kNTF, DISPATCH_PROPERTYPUT, &no_names), E_INVALIDARG);
  DISPID names[2] = {DISPID_PROPERTYPUT, 0};
  DISPPARAMS more_names_than_args = {&text, names, 1, 2};
  EXPECT_EQ(InvokeRaw(kNTF, DISPATCH_PROPERTYPUT, &more_names_than_args), DISP_E_BADPARAMCOUNT);
  DISPPARAMS get_without_args = {nullptr, nullptr, 1, 0};
  EXPECT_EQ(InvokeRaw(kNTF, DISPATCH_PROPERTYGET, &get_without_args), E_INVALIDARG);
  EXPECT_EQ(Get(&_QuillonPD::get_NTF), L"Gardé:T.F");
  // A get with no arguments needs no array.
  DISPPARAMS empty = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(InvokeRaw(kQualite, DISPATCH_PROPERTYGET, &empty), S_OK);
}

}  // namespace
}  // namespace quillon::testing
