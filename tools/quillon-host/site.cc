#include "site.h"

#include <cstdio>

namespace quillon::host {
namespace {

std::string Hex(DISPID id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(id));
  return buf;
}

void SetBool(VARIANT* v, bool b) {
  V_VT(v) = VT_BOOL;
  V_BOOL(v) = b ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

Site* Site::Create(Container& container, std::string name, const RECT& rect) {
  return new Site(container, std::move(name), rect);
}

void Site::Record(const std::string& call) {
  if (container_.record) container_.record(name_, call);
}

STDMETHODIMP Site::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
    *out = static_cast<IOleClientSite*>(this);
  } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite) ||
             IsEqualIID(iid, IID_IOleInPlaceSiteEx)) {
    *out = static_cast<IOleInPlaceSiteEx*>(this);
  } else if (IsEqualIID(iid, IID_IOleControlSite)) {
    *out = static_cast<IOleControlSite*>(this);
  } else if (IsEqualIID(iid, IID_IDispatch) && container_.mode != AmbientMode::kNoDispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
    *out = static_cast<IPropertyNotifySink*>(this);
  } else if (IsEqualIID(iid, IID_IAdviseSink)) {
    *out = static_cast<IAdviseSink*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) Site::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) Site::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

// IOleClientSite
STDMETHODIMP Site::SaveObject() { return S_OK; }
STDMETHODIMP Site::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Site::GetContainer(IOleContainer** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP Site::ShowObject() { return S_OK; }
STDMETHODIMP Site::OnShowWindow(BOOL show) {
  Record(show ? "OnShowWindow 1" : "OnShowWindow 0");
  return S_OK;
}
STDMETHODIMP Site::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow
STDMETHODIMP Site::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = container_.window;
  return S_OK;
}
STDMETHODIMP Site::ContextSensitiveHelp(BOOL) { return S_OK; }

// IOleInPlaceSite
STDMETHODIMP Site::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP Site::OnInPlaceActivate() {
  Record("OnInPlaceActivate");
  in_place_ = true;
  return S_OK;
}
STDMETHODIMP Site::OnUIActivate() { return S_OK; }

STDMETHODIMP Site::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                    LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
  *frame = container_.frame;
  if (*frame) (*frame)->AddRef();
  *doc = nullptr;
  *pos = rect_;
  GetClientRect(container_.window, clip);
  info->fMDIApp = FALSE;
  info->hwndFrame = container_.window;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

STDMETHODIMP Site::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP Site::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP Site::OnInPlaceDeactivate() {
  Record("OnInPlaceDeactivate");
  in_place_ = false;
  in_place_object_ = nullptr;
  return S_OK;
}
STDMETHODIMP Site::DiscardUndoState() { return S_OK; }
STDMETHODIMP Site::DeactivateAndUndo() { return S_OK; }

STDMETHODIMP Site::OnPosRectChange(LPCRECT rect) {
  if (!rect) return E_POINTER;
  rect_ = *rect;
  if (in_place_object_) {
    RECT clip;
    GetClientRect(container_.window, &clip);
    in_place_object_->SetObjectRects(&rect_, &clip);
  }
  return S_OK;
}

// IOleInPlaceSiteEx
STDMETHODIMP Site::OnInPlaceActivateEx(BOOL* no_redraw, DWORD) {
  if (no_redraw) *no_redraw = FALSE;
  return OnInPlaceActivate();
}
STDMETHODIMP Site::OnInPlaceDeactivateEx(BOOL) { return OnInPlaceDeactivate(); }
STDMETHODIMP Site::RequestUIActivate() { return S_OK; }

// IOleControlSite
STDMETHODIMP Site::OnControlInfoChanged() { return S_OK; }
STDMETHODIMP Site::LockInPlaceActive(BOOL) { return S_OK; }
STDMETHODIMP Site::GetExtendedControl(IDispatch** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// The container's coordinates are pixels of the screen.
STDMETHODIMP Site::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
  if (!himetric || !container) return E_POINTER;
  const SIZE dpi = ScreenDpi();
  if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
    container->x = static_cast<float>(himetric->x) * dpi.cx / 2540.0f;
    container->y = static_cast<float>(himetric->y) * dpi.cy / 2540.0f;
  } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
    himetric->x = static_cast<LONG>(container->x * 2540.0f / dpi.cx + 0.5f);
    himetric->y = static_cast<LONG>(container->y * 2540.0f / dpi.cy + 0.5f);
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

STDMETHODIMP Site::TranslateAccelerator(MSG*, DWORD) { return S_FALSE; }
STDMETHODIMP Site::OnFocus(BOOL) { return S_OK; }
STDMETHODIMP Site::ShowPropertyFrame() { return E_NOTIMPL; }

// IDispatch
STDMETHODIMP Site::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
STDMETHODIMP Site::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
STDMETHODIMP Site::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
  for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP Site::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                          EXCEPINFO*, UINT*) {
  Record("ambient " + std::to_string(id));
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  VARIANT scratch;
  VariantInit(&scratch);
  const HRESULT hr = Ambient(id, result ? result : &scratch);
  VariantClear(&scratch);
  return hr;
}

HRESULT Site::Ambient(DISPID id, VARIANT* result) {
  VariantInit(result);
  switch (id) {
    case DISPID_AMBIENT_USERMODE:
      if (container_.mode == AmbientMode::kMemberNotFound) return DISP_E_MEMBERNOTFOUND;
      SetBool(result, container_.mode == AmbientMode::kRun);
      return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_SUPPORTSMNEMONICS:
      SetBool(result, false);
      return S_OK;
    case DISPID_AMBIENT_AUTOCLIP:
      SetBool(result, true);
      return S_OK;
    case DISPID_AMBIENT_LOCALEID:
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(GetUserDefaultLCID());
      return S_OK;
    case DISPID_AMBIENT_BACKCOLOR:
    case DISPID_AMBIENT_FORECOLOR:
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(id == DISPID_AMBIENT_BACKCOLOR ? container_.back_colour
                                                                      : container_.fore_colour);
      return S_OK;
    case DISPID_AMBIENT_DISPLAYNAME: {
      const int n = MultiByteToWideChar(CP_UTF8, 0, name_.c_str(), -1, nullptr, 0);
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocStringLen(nullptr, n > 0 ? n - 1 : 0);
      if (n > 0) MultiByteToWideChar(CP_UTF8, 0, name_.c_str(), -1, V_BSTR(result), n);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

// IPropertyNotifySink
STDMETHODIMP Site::OnChanged(DISPID id) {
  Record("changed " + Hex(id));
  if (container_.changed) container_.changed(name_, id);
  return S_OK;
}
STDMETHODIMP Site::OnRequestEdit(DISPID) { return S_OK; }

// IAdviseSink
STDMETHODIMP_(void) Site::OnDataChange(FORMATETC*, STGMEDIUM*) {}
STDMETHODIMP_(void) Site::OnViewChange(DWORD, LONG) { Record("OnViewChange"); }
STDMETHODIMP_(void) Site::OnRename(IMoniker*) {}
STDMETHODIMP_(void) Site::OnSave() { Record("OnSave"); }
STDMETHODIMP_(void) Site::OnClose() { Record("OnClose"); }

SIZE ScreenDpi() {
  HDC dc = GetDC(nullptr);
  SIZE dpi{GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY)};
  ReleaseDC(nullptr, dc);
  if (dpi.cx <= 0) dpi.cx = 96;
  if (dpi.cy <= 0) dpi.cy = 96;
  return dpi;
}

SIZEL PixelsToHimetric(SIZE pixels) {
  const SIZE dpi = ScreenDpi();
  return {MulDiv(pixels.cx, 2540, dpi.cx), MulDiv(pixels.cy, 2540, dpi.cy)};
}

SIZE HimetricToPixels(SIZEL himetric) {
  const SIZE dpi = ScreenDpi();
  return {MulDiv(himetric.cx, dpi.cx, 2540), MulDiv(himetric.cy, dpi.cy, 2540)};
}

}  // namespace quillon::host
