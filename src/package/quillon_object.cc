#include "package/quillon_object.h"

#include <new>

#include "package/control_object.h"
#include "package/module.h"

namespace quillon {

// Every interface the object answers, and the member that implements it.
const QuillonObject::InterfaceEntry QuillonObject::kInterfaces[] = {
    {&IID_IDispatch, [](QuillonObject& o) -> IUnknown* { return &o.automation_; }},
    {&IID__QuillonPD, [](QuillonObject& o) -> IUnknown* { return &o.automation_; }},
    {&IID_IProvideClassInfo, [](QuillonObject& o) -> IUnknown* { return &o.class_info_; }},
    {&IID_IProvideClassInfo2, [](QuillonObject& o) -> IUnknown* { return &o.class_info_; }},
    {&IID_IPersist, [](QuillonObject& o) -> IUnknown* { return &o.persist_stream_; }},
    {&IID_IPersistStreamInit, [](QuillonObject& o) -> IUnknown* { return &o.persist_stream_; }},
    // IPersistStreamInit begins with the methods of IPersistStream, in the same order.
    {&IID_IPersistStream, [](QuillonObject& o) -> IUnknown* { return &o.persist_stream_; }},
    {&IID_IPersistPropertyBag, [](QuillonObject& o) -> IUnknown* { return &o.persist_bag_; }},
    {&IID_IPersistStorage, [](QuillonObject& o) -> IUnknown* { return &o.persist_storage_; }},
    {&IID_IConnectionPointContainer, [](QuillonObject& o) -> IUnknown* { return &o.connections_; }},
    {&IID_IOleObject, [](QuillonObject& o) -> IUnknown* { return &o.ole_object_; }},
    {&IID_IOleControl, [](QuillonObject& o) -> IUnknown* { return &o.control_; }},
    {&IID_IOleWindow, [](QuillonObject& o) -> IUnknown* { return &o.in_place_object_; }},
    {&IID_IOleInPlaceObject, [](QuillonObject& o) -> IUnknown* { return &o.in_place_object_; }},
    {&IID_IOleInPlaceActiveObject,
     [](QuillonObject& o) -> IUnknown* { return &o.in_place_active_; }},
    {&IID_IViewObject, [](QuillonObject& o) -> IUnknown* { return &o.view_object_; }},
    {&IID_IViewObject2, [](QuillonObject& o) -> IUnknown* { return &o.view_object_; }},
    {&IID_IPerPropertyBrowsing,
     [](QuillonObject& o) -> IUnknown* { return &o.property_browsing_; }},
    {&IID_IQuickActivate, [](QuillonObject& o) -> IUnknown* { return &o.quick_activation_; }},
};

HRESULT CreateQuillonPD(IUnknown* outer, REFIID riid, void** out) {
  return QuillonObject::Create(outer, riid, out);
}

HRESULT QuillonObject::Create(IUnknown* outer, REFIID riid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  QuillonObject* object = nullptr;
  try {
    object = new QuillonObject(outer);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = object->InnerQueryInterface(riid, out);
  object->InnerRelease();
  return hr;
}

QuillonObject::QuillonObject(IUnknown* outer)
    : hold_(),
      inner_(*this),
      controlling_(outer != nullptr ? outer : &inner_),
      automation_(*this),
      class_info_(*this),
      persist_stream_(*this),
      persist_bag_(*this),
      persist_storage_(*this),
      connections_(*this),
      events_(*controlling_, connections_, DIID___QuillonPD),
      property_notify_(*controlling_, connections_, IID_IPropertyNotifySink),
      ole_object_(*this),
      control_(*this),
      in_place_object_(*this),
      in_place_active_(*this),
      view_object_(*this),
      property_browsing_(*this),
      quick_activation_(*this),
      site_([this](const ControlProperty& property) { return PropertyChanged(property); },
            [this] { model_.timerRead_Timer(); }, [this] { FaceChanged(); }),
      model_(site_, env().services()) {}

QuillonObject::~QuillonObject() = default;

namespace {
ThreadEnvironment& AcquireEnvironment() {
  ThreadEnvironment* env = ThreadEnvironment::Acquire();
  if (env == nullptr) throw std::bad_alloc();
  return *env;
}
}  // namespace

QuillonObject::Hold::Hold() : env(AcquireEnvironment()) { ModuleAddRef(); }

QuillonObject::Hold::~Hold() {
  env.Release();
  ModuleRelease();
}

// --- IUnknown -----------------------------------------------------------------------------

HRESULT QuillonObject::InnerQueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  IUnknown* found = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    found = &inner_;
  } else {
    for (const InterfaceEntry& entry : kInterfaces) {
      if (IsEqualIID(riid, *entry.iid)) {
        found = entry.member(*this);
        break;
      }
    }
  }
  *out = found;
  if (found == nullptr) return ComTraceSite::UnknownInterface(this, riid);
  found->AddRef();
  return S_OK;
}

ULONG QuillonObject::InnerAddRef() { return InterlockedIncrement(&refs_); }

ULONG QuillonObject::InnerRelease() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return refs;
}

HRESULT QuillonObject::Inner::QueryInterface(REFIID riid, void** out) {
  return object_.InnerQueryInterface(riid, out);
}
ULONG QuillonObject::Inner::AddRef() { return object_.InnerAddRef(); }
ULONG QuillonObject::Inner::Release() { return object_.InnerRelease(); }

// --- Change notifications -----------------------------------------------------------------

bool QuillonObject::PropertyChanged(const ControlProperty& property) noexcept {
  if (!property.saved_key.empty()) dirty_ = true;
  try {
    for (IUnknown* sink : property_notify_.Sinks()) {
      static_cast<IPropertyNotifySink*>(sink)->OnChanged(property.dispid);
      sink->Release();
    }
  } catch (...) {
    return false;  // no room to list the sinks
  }
  return true;
}

// --- IConnectionPointContainer ------------------------------------------------------------

HRESULT QuillonObject::Connections::EnumConnectionPoints(IEnumConnectionPoints** out) {
  QUILLON_COM_TRACE("IConnectionPointContainer", EnumConnectionPoints, out);
  QuillonObject& o = impl_from<IConnectionPointContainer>(this);
  try {
    return NewConnectionPointEnum({&o.events_, &o.property_notify_}, out);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT QuillonObject::Connections::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  QUILLON_COM_TRACE("IConnectionPointContainer", FindConnectionPoint, riid, out);
  if (out == nullptr) return E_POINTER;
  QuillonObject& o = impl_from<IConnectionPointContainer>(this);
  *out = nullptr;
  for (ConnectionPoint* point : {&o.events_, &o.property_notify_}) {
    if (IsEqualIID(riid, point->iid())) {
      *out = point;
      point->AddRef();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace quillon
