// IQuickActivate: the handshake of a container that creates many controls, in one call. The
// control does with the QACONTAINER what the classic path does step by step (SetClientSite,
// IViewObject::SetAdvise, the two connection points' Advise) and keeps the ambient values the
// container gives, so that it need not ask the site for them; QACONTROL returns what the
// container would have asked (MiscStatus, view status, the two cookies).
#include <cstddef>

#include "package/com_guard.h"
#include "package/ambient_properties.h"
#include "package/quillon_object.h"

namespace quillon {
namespace {

// The oldest structures a container may give: the fields read or written here.
constexpr ULONG kContainerSizeMin = offsetof(QACONTAINER, pFont);
constexpr ULONG kControlSizeMin = offsetof(QACONTROL, dwPointerActivationPolicy);

// The face fills its whole area with the surface's colour.
constexpr DWORD kViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;

}  // namespace

HRESULT QuillonObject::QuickActivation::QuickActivate(QACONTAINER* container,
                                                      QACONTROL* control) {
  QUILLON_COM_TRACE("IQuickActivate", QuickActivate, container, control);
  if (container == nullptr || control == nullptr) return E_POINTER;
  if (container->cbSize < kContainerSizeMin || control->cbSize < kControlSizeMin) {
    return E_INVALIDARG;
  }
  QuillonObject& o = impl_from<IQuickActivate>(this);
  return GuardCall([&] { return o.QuickConnect(*container, *control); });
}

HRESULT QuillonObject::QuickActivation::SetContentExtent(LPSIZEL size) {
  QUILLON_COM_TRACE("IQuickActivate", SetContentExtent, size);
  return impl_from<IQuickActivate>(this).ole_object_.SetExtent(DVASPECT_CONTENT, size);
}

HRESULT QuillonObject::QuickActivation::GetContentExtent(LPSIZEL size) {
  QUILLON_COM_TRACE("IQuickActivate", GetContentExtent, size);
  return impl_from<IQuickActivate>(this).ole_object_.GetExtent(DVASPECT_CONTENT, size);
}

// The steps of the classic path in its order; a step that fails undoes the ones before it,
// so that a container that falls back to the classic path finds the control as created.
HRESULT QuillonObject::QuickConnect(const QACONTAINER& container, QACONTROL& control) {
  const SurfaceColours system;
  quick_ = {
      container.pClientSite,
      (container.dwAmbientFlags & QACONTAINER_USERMODE) ? UserMode::kRun : UserMode::kDesign,
      SurfaceColours{SurfaceColour(container.colorFore, system.text),
                     SurfaceColour(container.colorBack, system.back)}};
  DWORD events = 0, notify = 0;
  HRESULT hr = ole_object_.SetClientSite(container.pClientSite);
  if (SUCCEEDED(hr) && container.pAdviseSink) {
    hr = view_object_.SetAdvise(DVASPECT_CONTENT, 0, container.pAdviseSink);
  }
  if (SUCCEEDED(hr) && container.pUnkEventSink) hr = events_.Advise(container.pUnkEventSink, &events);
  if (SUCCEEDED(hr) && container.pPropertyNotifySink) {
    hr = property_notify_.Advise(container.pPropertyNotifySink, &notify);
  }
  if (FAILED(hr)) {
    if (notify) property_notify_.Unadvise(notify);
    if (events) events_.Unadvise(events);
    if (container.pAdviseSink) view_object_.SetAdvise(0, 0, nullptr);
    ole_object_.SetClientSite(nullptr);
    return hr;
  }
  ole_object_.GetMiscStatus(DVASPECT_CONTENT, &control.dwMiscStatus);
  control.dwViewStatus = kViewStatus;
  control.dwEventCookie = events;
  control.dwPropNotifyCookie = notify;
  if (control.cbSize >= sizeof(QACONTROL)) control.dwPointerActivationPolicy = 0;
  return S_OK;
}

}  // namespace quillon
