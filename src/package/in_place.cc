// In-place activation of the control: its window in the container's window, shown and
// hidden with the lifecycle notifications Show and Hide of the control model.
#include "package/com_guard.h"
#include "package/quillon_object.h"

namespace quillon {

HRESULT QuillonObject::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT pos) {
  FaceWindow& window = window_;
  if (window.handle()) return S_OK;
  if (!site) site = embedding_.client_site.Get();
  if (!site) return E_INVALIDARG;
  ComPtr<IOleInPlaceSite> in_place;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, in_place.PutVoid())) || !in_place) {
    return E_NOINTERFACE;
  }
  if (in_place->CanInPlaceActivate() != S_OK) return E_FAIL;
  in_place->OnInPlaceActivate();
  HWND container = nullptr;
  if (FAILED(in_place->GetWindow(&container)) || !container) container = parent;
  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> document;
  RECT where{}, clip{};
  OLEINPLACEFRAMEINFO info{};
  info.cb = sizeof info;
  if (FAILED(in_place->GetWindowContext(frame.Put(), document.Put(), &where, &clip, &info))) {
    if (pos) where = *pos;
    clip = where;
  }
  if (!container || !window.Create(container, where)) {
    in_place->OnInPlaceDeactivate();
    return E_FAIL;
  }
  window.Move(where, clip);
  embedding_.pos = where;
  embedding_.in_place_site = std::move(in_place);
  return S_OK;
}

HRESULT QuillonObject::DeactivateInPlace() {
  HideFace();
  window_.Destroy();
  if (embedding_.in_place_site) {
    ComPtr<IOleInPlaceSite> in_place = std::move(embedding_.in_place_site);
    in_place->OnInPlaceDeactivate();
  }
  return S_OK;
}

void QuillonObject::ShowFace() {
  window_.Show(true);
  if (embedding_.shown) return;
  embedding_.shown = true;
  model().Show();
}

void QuillonObject::HideFace() {
  window_.Show(false);
  if (!embedding_.shown) return;
  embedding_.shown = false;
  model().Hide();
}

void QuillonObject::FaceChanged() noexcept {
  if (!embedding_.view_sink || window_.handle()) return;
  const ComPtr<IUnknown> alive = KeepAlive();
  const ComPtr<IAdviseSink> sink(embedding_.view_sink.Get());
  sink->OnViewChange(DVASPECT_CONTENT, -1);
}

// --- IOleInPlaceObject --------------------------------------------------------------------

HRESULT QuillonObject::InPlaceObject::GetWindow(HWND* window) {
  QUILLON_COM_TRACE("IOleInPlaceObject", GetWindow, window);
  if (!window) return E_POINTER;
  *window = impl_from<IOleInPlaceObject>(this).window_.handle();
  return *window ? S_OK : E_FAIL;
}

HRESULT QuillonObject::InPlaceObject::ContextSensitiveHelp(BOOL enter) {
  QUILLON_COM_TRACE("IOleInPlaceObject", ContextSensitiveHelp, enter);
  return E_NOTIMPL;
}

HRESULT QuillonObject::InPlaceObject::InPlaceDeactivate() {
  QUILLON_COM_TRACE("IOleInPlaceObject", InPlaceDeactivate);
  QuillonObject& o = impl_from<IOleInPlaceObject>(this);
  const ComPtr<IUnknown> alive = o.KeepAlive();
  return GuardCall([&] { return o.DeactivateInPlace(); });
}

HRESULT QuillonObject::InPlaceObject::UIDeactivate() {
  QUILLON_COM_TRACE("IOleInPlaceObject", UIDeactivate);
  return S_OK;
}

HRESULT QuillonObject::InPlaceObject::SetObjectRects(LPCRECT pos, LPCRECT clip) {
  QUILLON_COM_TRACE("IOleInPlaceObject", SetObjectRects, pos, clip);
  if (!pos) return E_POINTER;
  QuillonObject& o = impl_from<IOleInPlaceObject>(this);
  o.embedding_.pos = *pos;
  o.window_.Move(*pos, clip ? *clip : *pos);
  return S_OK;
}

HRESULT QuillonObject::InPlaceObject::ReactivateAndUndo() {
  QUILLON_COM_TRACE("IOleInPlaceObject", ReactivateAndUndo);
  return E_NOTIMPL;
}

// --- IOleInPlaceActiveObject --------------------------------------------------------------

HRESULT QuillonObject::InPlaceActive::GetWindow(HWND* window) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", GetWindow, window);
  if (!window) return E_POINTER;
  *window = impl_from<IOleInPlaceActiveObject>(this).window_.handle();
  return *window ? S_OK : E_FAIL;
}

HRESULT QuillonObject::InPlaceActive::ContextSensitiveHelp(BOOL enter) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", ContextSensitiveHelp, enter);
  return E_NOTIMPL;
}
HRESULT QuillonObject::InPlaceActive::TranslateAccelerator(LPMSG msg) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", TranslateAccelerator, msg);
  return S_FALSE;
}
HRESULT QuillonObject::InPlaceActive::OnFrameWindowActivate(BOOL active) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", OnFrameWindowActivate, active);
  return S_OK;
}
HRESULT QuillonObject::InPlaceActive::OnDocWindowActivate(BOOL active) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", OnDocWindowActivate, active);
  return S_OK;
}
HRESULT QuillonObject::InPlaceActive::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                                   BOOL frame) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", ResizeBorder, border, window, frame);
  return S_OK;
}
HRESULT QuillonObject::InPlaceActive::EnableModeless(BOOL enable) {
  QUILLON_COM_TRACE("IOleInPlaceActiveObject", EnableModeless, enable);
  return S_OK;
}

}  // namespace quillon
