// IOleObject and IOleControl of the control: the client site, verbs, extent, advise sinks,
// closing, and the container's ambient changes. The control shows itself in place only.
// Every member that calls the container holds the object for the length of the call: the
// container may close and release the control inside any call it receives.
#include <olectl.h>

#include "package/com_guard.h"
#include "package/identities.h"
#include "package/quillon_object.h"

namespace quillon {
namespace {

// The face's size, 4275 x 2325 twips, in HIMETRIC (2540 to the inch).
constexpr LONG TwipsToHimetric(int twips) { return (twips * 2540 + 720) / 1440; }

}  // namespace

QuillonObject::Embedding::Embedding()
    : extent{TwipsToHimetric(kFaceWidth), TwipsToHimetric(kFaceHeight)} {}

// --- IOleObject ---------------------------------------------------------------------------

HRESULT QuillonObject::OleObject::SetClientSite(IOleClientSite* site) {
  QUILLON_COM_TRACE("IOleObject", SetClientSite, site);
  QuillonObject& o = impl_from<IOleObject>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();  // the old site's Release is a call out
  if (site) site->AddRef();
  o.embedding_.client_site.Reset();
  *o.embedding_.client_site.Put() = site;
  if (site != o.quick_.site) o.quick_ = {};  // quick ambients answer for their own site
  o.AmbientColoursChanged();
  return S_OK;
}

HRESULT QuillonObject::OleObject::GetClientSite(IOleClientSite** site) {
  QUILLON_COM_TRACE("IOleObject", GetClientSite, site);
  if (!site) return E_POINTER;
  *site = impl_from<IOleObject>(this).embedding_.client_site.Get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

HRESULT QuillonObject::OleObject::SetHostNames(LPCOLESTR app, LPCOLESTR object) {
  QUILLON_COM_TRACE("IOleObject", SetHostNames, app, object);
  return S_OK;
}

// A closed control runs no tick until it is activated again.
HRESULT QuillonObject::OleObject::Close(DWORD save_option) {
  QUILLON_COM_TRACE("IOleObject", Close, save_option);
  QuillonObject& o = impl_from<IOleObject>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();
  o.closed_ = true;
  return GuardCall([&] {
    const ComPtr<IOleClientSite> site(o.embedding_.client_site.Get());
    if (o.dirty_ && save_option == OLECLOSE_SAVEIFDIRTY && site) site->SaveObject();
    o.DeactivateInPlace();
    if (o.embedding_.advise_holder) o.embedding_.advise_holder->SendOnClose();
    o.embedding_.view_sink.Reset();
    return S_OK;
  });
}

HRESULT QuillonObject::OleObject::SetMoniker(DWORD which, IMoniker* moniker) {
  QUILLON_COM_TRACE("IOleObject", SetMoniker, which, moniker);
  return E_NOTIMPL;
}

HRESULT QuillonObject::OleObject::GetMoniker(DWORD assign, DWORD which, IMoniker** out) {
  QUILLON_COM_TRACE("IOleObject", GetMoniker, assign, which, out);
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT QuillonObject::OleObject::InitFromData(IDataObject* data, BOOL creation, DWORD value) {
  QUILLON_COM_TRACE("IOleObject", InitFromData, data, creation, value);
  return E_NOTIMPL;
}

HRESULT QuillonObject::OleObject::GetClipboardData(DWORD value, IDataObject** out) {
  QUILLON_COM_TRACE("IOleObject", GetClipboardData, value, out);
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// Every showing verb activates the control in place and shows it; OLEIVERB_HIDE hides it.
// A container that closes the control while it is being activated leaves it closed.
HRESULT QuillonObject::OleObject::DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index,
                                         HWND parent, LPCRECT pos) {
  QUILLON_COM_TRACE("IOleObject", DoVerb, verb, msg, site, index, parent, pos);
  QuillonObject& o = impl_from<IOleObject>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();
  return GuardCall([&]() -> HRESULT {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_OPEN:
      case OLEIVERB_UIACTIVATE:
      case OLEIVERB_INPLACEACTIVATE: {
        o.closed_ = false;
        const HRESULT hr = o.ActivateInPlace(site, parent, pos);
        if (SUCCEEDED(hr) && !o.closed_) o.ShowFace();
        if (SUCCEEDED(hr) && o.closed_) {
          o.DeactivateInPlace();
          return E_UNEXPECTED;
        }
        return hr;
      }
      case OLEIVERB_HIDE:
        o.HideFace();
        return S_OK;
      case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;
      default:
        return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
  });
}

HRESULT QuillonObject::OleObject::EnumVerbs(IEnumOLEVERB** out) {
  QUILLON_COM_TRACE("IOleObject", EnumVerbs, out);
  return OleRegEnumVerbs(CLSID_QuillonPD, out);
}

HRESULT QuillonObject::OleObject::Update() {
  QUILLON_COM_TRACE("IOleObject", Update);
  return S_OK;
}
HRESULT QuillonObject::OleObject::IsUpToDate() {
  QUILLON_COM_TRACE("IOleObject", IsUpToDate);
  return S_OK;
}

HRESULT QuillonObject::OleObject::GetUserClassID(CLSID* clsid) {
  QUILLON_COM_TRACE("IOleObject", GetUserClassID, clsid);
  if (!clsid) return E_POINTER;
  *clsid = CLSID_QuillonPD;
  return S_OK;
}

HRESULT QuillonObject::OleObject::GetUserType(DWORD form, LPOLESTR* type) {
  QUILLON_COM_TRACE("IOleObject", GetUserType, form, type);
  return OleRegGetUserType(CLSID_QuillonPD, form, type);
}

// The size is kept as given (some containers give pixels); the face is not laid out again.
HRESULT QuillonObject::OleObject::SetExtent(DWORD aspect, SIZEL* size) {
  QUILLON_COM_TRACE("IOleObject", SetExtent, aspect, size);
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  impl_from<IOleObject>(this).embedding_.extent = *size;
  return S_OK;
}

HRESULT QuillonObject::OleObject::GetExtent(DWORD aspect, SIZEL* size) {
  QUILLON_COM_TRACE("IOleObject", GetExtent, aspect, size);
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = impl_from<IOleObject>(this).embedding_.extent;
  return S_OK;
}

HRESULT QuillonObject::OleObject::Advise(IAdviseSink* sink, DWORD* cookie) {
  QUILLON_COM_TRACE("IOleObject", Advise, sink, cookie);
  if (!sink || !cookie) return E_POINTER;
  Embedding& e = impl_from<IOleObject>(this).embedding_;
  if (!e.advise_holder) {
    const HRESULT hr = CreateOleAdviseHolder(e.advise_holder.Put());
    if (FAILED(hr)) return hr;
  }
  return e.advise_holder->Advise(sink, cookie);
}

HRESULT QuillonObject::OleObject::Unadvise(DWORD cookie) {
  QUILLON_COM_TRACE("IOleObject", Unadvise, cookie);
  const ComPtr<IUnknown> alive = impl_from<IOleObject>(this).KeepAlive();
  Embedding& e = impl_from<IOleObject>(this).embedding_;
  if (!e.advise_holder) return OLE_E_NOCONNECTION;
  return e.advise_holder->Unadvise(cookie);
}

// Before any Advise the enumerator is an empty one; success always comes with an enumerator.
HRESULT QuillonObject::OleObject::EnumAdvise(IEnumSTATDATA** out) {
  QUILLON_COM_TRACE("IOleObject", EnumAdvise, out);
  if (!out) return E_POINTER;
  *out = nullptr;
  Embedding& e = impl_from<IOleObject>(this).embedding_;
  HRESULT hr = e.advise_holder ? S_OK : CreateOleAdviseHolder(e.advise_holder.Put());
  if (SUCCEEDED(hr)) hr = e.advise_holder->EnumAdvise(out);
  if (SUCCEEDED(hr) && !*out) hr = E_FAIL;
  return hr;
}

HRESULT QuillonObject::OleObject::GetMiscStatus(DWORD aspect, DWORD* status) {
  QUILLON_COM_TRACE("IOleObject", GetMiscStatus, aspect, status);
  if (!status) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}

HRESULT QuillonObject::OleObject::SetColorScheme(LOGPALETTE* palette) {
  QUILLON_COM_TRACE("IOleObject", SetColorScheme, palette);
  return E_NOTIMPL;
}

// --- IOleControl --------------------------------------------------------------------------

HRESULT QuillonObject::Control::GetControlInfo(CONTROLINFO* info) {
  QUILLON_COM_TRACE("IOleControl", GetControlInfo, info);
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT QuillonObject::Control::OnMnemonic(MSG* msg) {
  QUILLON_COM_TRACE("IOleControl", OnMnemonic, msg);
  return E_NOTIMPL;
}

// A change of UserMode, or of any ambient property the container does not name, goes to
// the run/design switch; a change of the ambient colours, or of any, redraws the face.
HRESULT QuillonObject::Control::OnAmbientPropertyChange(DISPID id) {
  QUILLON_COM_TRACE("IOleControl", OnAmbientPropertyChange, id);
  QuillonObject& o = impl_from<IOleControl>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();
  return GuardCall([&] {
    o.quick_.Forget(id);
    if (id == DISPID_AMBIENT_FORECOLOR || id == DISPID_AMBIENT_BACKCOLOR || id == DISPID_UNKNOWN)
      o.AmbientColoursChanged();
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN)
      o.model().AmbientChanged(Ambient::kUserMode);
    return S_OK;
  });
}

HRESULT QuillonObject::Control::FreezeEvents(BOOL freeze) {
  QUILLON_COM_TRACE("IOleControl", FreezeEvents, freeze);
  return S_OK;
}

}  // namespace quillon
