// IViewObject2: containers that draw inactive controls, or print them, get the face drawn by
// the same routine that paints the control's window, at the container's zoom (the bounds over
// the control's extent) from the bounds' top-left corner and clipped to them: at another
// extent than the face's own, the children keep their positions and sizes.
#include "package/face_paint.h"
#include "package/quillon_object.h"

namespace quillon {

HRESULT QuillonObject::ViewObject::Draw(DWORD aspect, LONG index, void* aspect_info,
                                        DVTARGETDEVICE* device, HDC target, HDC dc, LPCRECTL bounds,
                                        LPCRECTL window_bounds,
                                        BOOL(STDMETHODCALLTYPE* next)(ULONG_PTR),
                                        ULONG_PTR next_arg) {
  QUILLON_COM_TRACE("IViewObject2", Draw, aspect, index, aspect_info, device, target, dc, bounds,
                    window_bounds, next, next_arg);
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  const RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
  if (r.right <= r.left || r.bottom <= r.top) return E_INVALIDARG;
  QuillonObject& o = impl_from<IViewObject2>(this);
  const FaceScale scale = FaceScale::ForExtent(r, o.embedding_.extent);
  HFONT font = CreateFaceFont(scale);
  if (!font) return E_OUTOFMEMORY;
  PaintFace(dc, o.model().face(), scale, font, o.window_.colours(), POINT{r.left, r.top}, r);
  DeleteObject(font);
  return S_OK;
}

HRESULT QuillonObject::ViewObject::GetColorSet(DWORD aspect, LONG index, void* aspect_info,
                                               DVTARGETDEVICE* device, HDC target,
                                               LOGPALETTE** colours) {
  QUILLON_COM_TRACE("IViewObject2", GetColorSet, aspect, index, aspect_info, device, target,
                    colours);
  if (!colours) return E_POINTER;
  *colours = nullptr;
  return S_FALSE;
}

HRESULT QuillonObject::ViewObject::Freeze(DWORD aspect, LONG index, void* aspect_info,
                                          DWORD* cookie) {
  QUILLON_COM_TRACE("IViewObject2", Freeze, aspect, index, aspect_info, cookie);
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}

HRESULT QuillonObject::ViewObject::Unfreeze(DWORD cookie) {
  QUILLON_COM_TRACE("IViewObject2", Unfreeze, cookie);
  return E_NOTIMPL;
}

HRESULT QuillonObject::ViewObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  QUILLON_COM_TRACE("IViewObject2", SetAdvise, aspects, flags, sink);
  const ComPtr<IUnknown> alive = impl_from<IViewObject2>(this).KeepAlive();  // old sink's Release
  Embedding& e = impl_from<IViewObject2>(this).embedding_;
  if (sink) sink->AddRef();
  e.view_sink.Reset();
  *e.view_sink.Put() = sink;
  e.view_aspects = aspects;
  e.view_flags = flags;
  return S_OK;
}

HRESULT QuillonObject::ViewObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  QUILLON_COM_TRACE("IViewObject2", GetAdvise, aspects, flags, sink);
  const Embedding& e = impl_from<IViewObject2>(this).embedding_;
  if (aspects) *aspects = e.view_aspects;
  if (flags) *flags = e.view_flags;
  if (sink) {
    *sink = e.view_sink.Get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT QuillonObject::ViewObject::GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                             SIZEL* size) {
  QUILLON_COM_TRACE("IViewObject2", GetExtent, aspect, index, device, size);
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = impl_from<IViewObject2>(this).embedding_.extent;
  return S_OK;
}

}  // namespace quillon
