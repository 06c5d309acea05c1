#include "hosted_control.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>

#include "entry_bag.h"

namespace quillon::host {
namespace {

std::wstring Wide(const std::string& utf8) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  }
  return out;
}

std::string Narrow(const wchar_t* s, size_t n) {
  return ToUtf8(TextView(reinterpret_cast<const char16_t*>(s), n));
}

std::string ErrorText(HRESULT hr) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "<error 0x%08lX>", static_cast<unsigned long>(hr));
  return buf;
}

}  // namespace

HRESULT ClassFromName(const std::string& name, CLSID* out) {
  const std::wstring wide = Wide(name);
  if (!name.empty() && name[0] == '{') return CLSIDFromString(wide.c_str(), out);
  return CLSIDFromProgID(wide.c_str(), out);
}

std::string VariantText(const VARIANT& v) {
  if (V_VT(&v) == VT_BSTR) return Narrow(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  if (V_VT(&v) == VT_EMPTY) return "";
  if (V_VT(&v) == VT_NULL) return "Null";
  if (V_VT(&v) == VT_ERROR) return ErrorText(V_ERROR(&v));
  VARIANT text;
  VariantInit(&text);
  const HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(&v), VARIANT_ALPHABOOL, VT_BSTR);
  std::string out =
      SUCCEEDED(hr) ? Narrow(V_BSTR(&text), SysStringLen(V_BSTR(&text))) : ErrorText(hr);
  VariantClear(&text);
  return out;
}

HostedControl::HostedControl(Container& container, std::string name, const RECT& rect)
    : container_(container), site_(Site::Create(container, std::move(name), rect)) {}

HRESULT HostedControl::Create(const CLSID& clsid) {
  ComPtr<IUnknown> object;
  HRESULT hr =
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid());
  if (FAILED(hr)) return hr;
  return Attach(object.Get());
}

HRESULT HostedControl::Attach(IUnknown* object) {
  if (!object) return E_POINTER;
  unknown_ = ComPtr<IUnknown>(object);
  ole_ = unknown_.As<IOleObject>(IID_IOleObject);
  if (!ole_) return E_NOINTERFACE;
  if (FAILED(ole_->GetMiscStatus(DVASPECT_CONTENT, &misc_))) misc_ = 0;
  if (misc_ & OLEMISC_SETCLIENTSITEFIRST) return SetClientSiteOnce();
  return S_OK;
}

HRESULT HostedControl::SetClientSiteOnce() {
  if (site_set_) return S_OK;
  site_set_ = true;
  return ole_->SetClientSite(static_cast<IOleClientSite*>(site_));
}

ComPtr<IConnectionPoint> HostedControl::FindPoint(const IID& iid) {
  ComPtr<IConnectionPoint> point;
  IID source = iid;
  if (IsEqualIID(iid, IID_NULL)) {
    auto info = unknown_.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
    if (!info || FAILED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source))) return point;
  }
  auto points = unknown_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (points && FAILED(points->FindConnectionPoint(source, point.Put()))) point.Reset();
  return point;
}

HRESULT HostedControl::ConnectSinks(IUnknown* events) {
  auto view = unknown_.As<IViewObject>(IID_IViewObject);
  if (!view) return E_NOINTERFACE;
  HRESULT hr = view->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(site_));
  view_advised_ = SUCCEEDED(hr);
  if (SUCCEEDED(hr) && events) {
    event_point_ = FindPoint(IID_NULL);
    hr = event_point_ ? event_point_->Advise(events, &event_cookie_) : E_NOINTERFACE;
  }
  if (SUCCEEDED(hr)) {
    notify_point_ = FindPoint(IID_IPropertyNotifySink);
    hr = notify_point_ ? notify_point_->Advise(static_cast<IPropertyNotifySink*>(site_),
                                               &notify_cookie_)
                       : E_NOINTERFACE;
  }
  return hr;
}

HRESULT HostedControl::QuickAttach(IUnknown* object, IUnknown* events) {
  if (!object) return E_POINTER;
  unknown_ = ComPtr<IUnknown>(object);
  ole_ = unknown_.As<IOleObject>(IID_IOleObject);
  auto quick = unknown_.As<IQuickActivate>(IID_IQuickActivate);
  if (!ole_ || !quick) return E_NOINTERFACE;
  QACONTAINER container{};
  container.cbSize = sizeof container;
  container.pClientSite = static_cast<IOleClientSite*>(site_);
  container.pAdviseSink = reinterpret_cast<IAdviseSinkEx*>(static_cast<IAdviseSink*>(site_));
  container.pPropertyNotifySink = static_cast<IPropertyNotifySink*>(site_);
  container.pUnkEventSink = events;
  container.dwAmbientFlags = container_.mode == AmbientMode::kRun ? QACONTAINER_USERMODE : 0;
  container.colorFore = container_.fore_colour;
  container.colorBack = container_.back_colour;
  container.lcid = static_cast<LONG>(GetUserDefaultLCID());
  QACONTROL control{};
  control.cbSize = sizeof control;
  const HRESULT hr = quick->QuickActivate(&container, &control);
  if (FAILED(hr)) return hr;
  misc_ = control.dwMiscStatus;
  site_set_ = true;
  view_advised_ = container.pAdviseSink != nullptr;
  if ((event_cookie_ = control.dwEventCookie) != 0) event_point_ = FindPoint(IID_NULL);
  if ((notify_cookie_ = control.dwPropNotifyCookie) != 0)
    notify_point_ = FindPoint(IID_IPropertyNotifySink);
  return hr;
}

HRESULT HostedControl::Load(std::vector<BagEntry>* entries) {
  if (!ole_) return E_UNEXPECTED;
  HRESULT hr = E_NOINTERFACE;
  auto bag = unknown_.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  if (!entries->empty()) {
    if (bag) {
      EntryBag* entry_bag = EntryBag::Create(entries);
      hr = bag->Load(entry_bag, nullptr);
      entry_bag->Release();
    }
  } else if (bag) {
    hr = bag->InitNew();
  } else if (auto stream = unknown_.As<IPersistStreamInit>(IID_IPersistStreamInit)) {
    hr = stream->InitNew();
  }
  if (FAILED(hr)) return hr;
  return SetClientSiteOnce();
}

HRESULT HostedControl::Activate() {
  if (!ole_) return E_UNEXPECTED;
  RECT r = site_->rect();
  if (r.right <= r.left || r.bottom <= r.top) {
    SIZEL extent{};
    if (FAILED(ole_->GetExtent(DVASPECT_CONTENT, &extent))) return E_FAIL;
    const SIZE px = HimetricToPixels(extent);
    r.right = r.left + px.cx;
    r.bottom = r.top + px.cy;
    site_->set_rect(r);
  } else {
    SIZEL extent = PixelsToHimetric({r.right - r.left, r.bottom - r.top});
    ole_->SetExtent(DVASPECT_CONTENT, &extent);
  }
  ole_->Advise(static_cast<IAdviseSink*>(site_), &advise_cookie_);
  auto points = unknown_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (points && notify_cookie_ == 0) {
    if (SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, notify_point_.Put())) &&
        FAILED(notify_point_->Advise(static_cast<IPropertyNotifySink*>(site_), &notify_cookie_))) {
      notify_cookie_ = 0;
    }
  }
  const HRESULT hr = ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                  static_cast<IOleClientSite*>(site_), 0, container_.window, &r);
  in_place_ = unknown_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  site_->set_in_place_object(in_place_.Get());
  return hr;
}

HRESULT HostedControl::Show(bool visible) {
  if (!ole_) return E_UNEXPECTED;
  RECT r = site_->rect();
  const HRESULT hr = ole_->DoVerb(visible ? OLEIVERB_SHOW : OLEIVERB_HIDE, nullptr,
                                  static_cast<IOleClientSite*>(site_), 0, container_.window, &r);
  if (visible && SUCCEEDED(hr)) site_->set_in_place_object(in_place_.Get());
  return hr;
}

HRESULT HostedControl::AmbientChanged(DISPID id) {
  auto control = unknown_.As<IOleControl>(IID_IOleControl);
  if (!control) return E_NOINTERFACE;
  return control->OnAmbientPropertyChange(id);
}

HRESULT HostedControl::Save(std::vector<BagEntry>* entries) {
  auto bag = unknown_.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  if (!bag) return E_NOINTERFACE;
  entries->clear();
  EntryBag* entry_bag = EntryBag::Create(entries);
  const HRESULT hr = bag->Save(entry_bag, TRUE, TRUE);
  entry_bag->Release();
  return hr;
}

std::vector<std::pair<std::string, std::string>> HostedControl::Properties(
    const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::string>> out;
  auto dispatch = unknown_.As<IDispatch>(IID_IDispatch);
  for (const std::string& name : names) {
    std::wstring wide = Wide(name);
    LPOLESTR list[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch ? dispatch->GetIDsOfNames(IID_NULL, list, 1, LOCALE_USER_DEFAULT, &id)
                          : E_NOINTERFACE;
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{};
    if (SUCCEEDED(hr)) {
      hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                            nullptr, nullptr);
    }
    out.emplace_back(name, SUCCEEDED(hr) ? VariantText(result) : ErrorText(hr));
    VariantClear(&result);
  }
  return out;
}

std::vector<std::string> HostedControl::PropertyNames() {
  std::vector<std::string> names;
  auto dispatch = unknown_.As<IDispatch>(IID_IDispatch);
  ComPtr<ITypeInfo> info;
  if (!dispatch || FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()))) return names;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return names;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    BSTR name = nullptr;
    if (f->invkind == INVOKE_PROPERTYGET && f->cParams == 0 &&
        !(f->wFuncFlags & FUNCFLAG_FRESTRICTED) &&
        SUCCEEDED(info->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr))) {
      const std::string n = Narrow(name, SysStringLen(name));
      if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
      SysFreeString(name);
    }
    info->ReleaseFuncDesc(f);
  }
  info->ReleaseTypeAttr(attr);
  return names;
}

void HostedControl::Close() {
  if (notify_cookie_ && notify_point_) notify_point_->Unadvise(notify_cookie_);
  notify_cookie_ = 0;
  notify_point_.Reset();
  if (event_cookie_ && event_point_) event_point_->Unadvise(event_cookie_);
  event_cookie_ = 0;
  event_point_.Reset();
  if (auto view = view_advised_ ? unknown_.As<IViewObject>(IID_IViewObject) : ComPtr<IViewObject>())
    view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
  view_advised_ = false;
  if (site_) site_->set_in_place_object(nullptr);
  in_place_.Reset();
  if (ole_) {
    ole_->Close(OLECLOSE_NOSAVE);  // the advise sink still hears OnClose
    if (advise_cookie_) ole_->Unadvise(advise_cookie_);
    if (site_set_) ole_->SetClientSite(nullptr);
  }
  advise_cookie_ = 0;
  site_set_ = false;
  ole_.Reset();
  unknown_.Reset();
}

HostedControl::~HostedControl() {
  Close();
  site_->Release();
}

}  // namespace quillon::host
