#include "package/point_page.h"

#include <new>
#include <variant>

#include "cache/fct_cache.h"
#include "cache/record.h"
#include "control/control_properties.h"
#include "control/tables.h"
#include "package/com_guard.h"
#include "HN_QuillonPD_h.h"
#include "package/com_text.h"
#include "package/module.h"
#include "package/point_page_ids.h"

namespace quillon {
namespace {

const DISPID kNtf = PropertyOf(PropertyId::NTF).dispid;
const DISPID kFormatage = PropertyOf(PropertyId::Formatage).dispid;
const DISPID kFrequence = PropertyOf(PropertyId::Frequence_Rafraichissement).dispid;

HRESULT GetProperty(IDispatch& control, DISPID id, VARIANT* out) {
  DISPPARAMS none = {};
  return control.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out,
                        nullptr, nullptr);
}

// Sets a property through the control's own dispatch interface, so that its setter runs.
HRESULT PutProperty(IDispatch& control, DISPID id, VARIANT value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&value, &named, 1, 1};
  return control.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                        nullptr, nullptr, nullptr);
}

HRESULT PutText(IDispatch& control, DISPID id, const Text& text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  const HRESULT made = BstrFromText(text, &value.bstrVal);
  if (FAILED(made)) return made;
  const HRESULT hr = PutProperty(control, id, value);
  VariantClear(&value);
  return hr;
}

Text GetText(IDispatch& control, DISPID id) {
  VARIANT value;
  VariantInit(&value);
  Text text;
  if (SUCCEEDED(GetProperty(control, id, &value)) &&
      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BSTR))) {
    text = TextFromBstr(value.bstrVal);
  }
  VariantClear(&value);
  return text;
}

}  // namespace

HRESULT CreatePointPage(IUnknown* outer, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ThreadEnvironment* env = ThreadEnvironment::Acquire();
  if (env == nullptr) return E_OUTOFMEMORY;
  PointPage* page = new (std::nothrow) PointPage(*env);
  if (page == nullptr) {
    env->Release();
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = page->QueryInterface(riid, out);
  page->Release();
  return hr;
}

PointPage::PointPage(ThreadEnvironment& env) : env_(env) { ModuleAddRef(); }

PointPage::~PointPage() {
  if (window_ != nullptr) DestroyWindow(window_);
  env_.Release();
  ModuleRelease();
}

HRESULT PointPage::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  static const IID* const kAnswers[] = {&IID_IUnknown, &IID_IPropertyPage, &IID_IPropertyPage2};
  for (const IID* iid : kAnswers) {
    if (IsEqualIID(riid, *iid)) {
      *out = static_cast<IPropertyPage2*>(this);
      AddRef();
      return S_OK;
    }
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG PointPage::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG PointPage::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT PointPage::SetPageSite(IPropertyPageSite* site) {
  site_.Reset();
  if (site != nullptr) {
    site->AddRef();
    *site_.Put() = site;
  }
  return S_OK;
}

// The first control gives the fields their values; every control must speak _QuillonPD's
// dispatch interface.
HRESULT PointPage::SetObjects(ULONG count, IUnknown** objects) {
  return GuardCall([&]() -> HRESULT {
    if (count > 0 && objects == nullptr) return E_POINTER;
    std::vector<ComPtr<IDispatch>> controls;
    for (ULONG i = 0; i < count; ++i) {
      ComPtr<IDispatch> control;
      if (objects[i] == nullptr ||
          FAILED(objects[i]->QueryInterface(IID__QuillonPD, control.PutVoid()))) {
        return E_NOINTERFACE;
      }
      controls.push_back(std::move(control));
    }
    objects_ = std::move(controls);
    ReadSettings();
    dirty_ = false;
    if (window_ != nullptr) ShowSettings();
    return S_OK;
  });
}

void PointPage::ReadSettings() {
  settings_ = PointSettings();
  if (objects_.empty()) return;
  IDispatch& first = *objects_.front().Get();
  settings_.ntf = GetText(first, kNtf);
  settings_.format = GetText(first, kFormatage);
  VARIANT value;
  VariantInit(&value);
  if (SUCCEEDED(GetProperty(first, kFrequence, &value)) &&
      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4))) {
    settings_.poll_time = value.lVal;
  }
  VariantClear(&value);
}

HRESULT PointPage::WriteSettings(IDispatch& control, bool with_reference) {
  HRESULT hr = S_OK;
  if (with_reference) hr = PutText(control, kNtf, settings_.ntf);
  const HRESULT format = PutText(control, kFormatage, settings_.format);
  VARIANT poll;
  VariantInit(&poll);
  poll.vt = VT_I4;
  poll.lVal = settings_.poll_time;
  const HRESULT period = PutProperty(control, kFrequence, poll);
  if (SUCCEEDED(hr)) hr = FAILED(format) ? format : period;
  return hr;
}

// The reference only when one control is selected; the period and the pattern to all.
HRESULT PointPage::Apply() {
  return GuardCall([&]() -> HRESULT {
    if (window_ != nullptr) {
      settings_.ntf = ItemText(IDC_POINT_NTF);
      settings_.format = ItemText(IDC_POINT_FORMAT);
      const LRESULT chosen = SendDlgItemMessageW(window_, IDC_POINT_POLLTIME, CB_GETCURSEL, 0, 0);
      if (chosen >= 0 && static_cast<size_t>(chosen) < kPollTimes.size()) {
        settings_.poll_time = kPollTimes[static_cast<size_t>(chosen)].value;
      }
    }
    HRESULT hr = S_OK;
    for (const ComPtr<IDispatch>& control : objects_) {
      const HRESULT one = WriteSettings(*control.Get(), objects_.size() == 1);
      if (SUCCEEDED(hr)) hr = one;
    }
    if (FAILED(hr)) return hr;
    dirty_ = false;
    if (site_) site_->OnStatusChange(PROPPAGESTATUS_CLEAN);
    return S_OK;
  });
}

HRESULT PointPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT PointPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT PointPage::TranslateAccelerator(MSG* msg) {
  if (msg == nullptr) return E_POINTER;
  if (window_ == nullptr) return S_FALSE;
  return IsDialogMessageW(window_, msg) ? S_OK : S_FALSE;
}

HRESULT PointPage::EditProperty(DISPID id) {
  int field = 0;
  if (id == kNtf) field = IDC_POINT_NTF;
  if (id == kFormatage) field = IDC_POINT_FORMAT;
  if (id == kFrequence) field = IDC_POINT_POLLTIME;
  if (field == 0) return E_INVALIDARG;
  if (window_ == nullptr) return E_UNEXPECTED;
  HWND item = GetDlgItem(window_, field);
  if (item == nullptr || !IsWindowEnabled(item)) return E_INVALIDARG;
  SetFocus(item);
  return S_OK;
}

// The cache file of the installation, where the control's cache finds it.
Text PointPage::CacheFilePath() {
  RegValue value = Text();
  env_.control().registry().LireValeurRegistre(kCleRacineInstall, kCleInstall, kValeurInstall,
                                               value, Text());
  const Text* install = std::get_if<Text>(&value);
  return quillon::CacheFilePath(install != nullptr ? *install : Text());
}

}  // namespace quillon
