#include "package/quillon_object.h"

#include <atomic>
#include <new>

#include "package/ambient_properties.h"
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
    {&IID_ISpecifyPropertyPages, [](QuillonObject& o) -> IUnknown* { return &o.property_pages_; }},
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

HRESULT QuillonObject::Create(IUnknown* outer, REFIID riid, void** out) {
  QuillonObject* object = new QuillonObject(outer);
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
      property_pages_(*this),
      events_(*controlling_, connections_, DIID___QuillonPD),
      property_notify_(*controlling_, connections_, IID_IPropertyNotifySink),
      ole_object_(*this),
      control_(*this),
      in_place_object_(*this),
      in_place_active_(*this),
      view_object_(*this),
      property_browsing_(*this),
      quick_activation_(*this),
      site_(*this),
      model_(site_, env().services()),
      window_(site_) {}

QuillonObject::~QuillonObject() = default;

namespace {

// The objects' heap keeps the memory of the controls released, where the process heap gives
// it back to the system: a container that closes a display of a thousand controls and opens
// the next one would fault every page of them in again, which under Wine was half the cost of
// opening a display. Its first 2 MiB (some 1,600 objects on 32 bits, 1,200 on 64) stay
// committed; pages are touched only as objects fill them. The process heap stands in for it
// when it cannot be made.
constexpr SIZE_T kObjectHeapCommit = SIZE_T{2} << 20;
std::atomic<HANDLE> object_heap{nullptr};

HANDLE ObjectHeap() noexcept {
  HANDLE heap = object_heap.load(std::memory_order_acquire);
  if (heap != nullptr) return heap;
  HANDLE made = HeapCreate(0, kObjectHeapCommit, 0);
  if (made == nullptr) made = GetProcessHeap();
  if (object_heap.compare_exchange_strong(heap, made, std::memory_order_acq_rel)) return made;
  if (made != GetProcessHeap()) HeapDestroy(made);  // another thread made it first
  return heap;
}

}  // namespace

void* QuillonObject::operator new(size_t size) {
  void* block = HeapAlloc(ObjectHeap(), 0, size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void QuillonObject::operator delete(void* block, size_t size) noexcept {
  if (block == nullptr) return;
  FillMemory(block, size, kFreedByte);
  HeapFree(object_heap.load(std::memory_order_acquire), 0, block);
}

void QuillonObject::FreeHeapAtUnload() noexcept {
  HANDLE heap = object_heap.exchange(nullptr);
  if (heap != nullptr && heap != GetProcessHeap()) HeapDestroy(heap);
}

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

// A reference taken and given back while the object is being destroyed (by a sink or site
// released with it) must not destroy it twice: the count is lifted out of reach first.
ULONG QuillonObject::InnerRelease() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) {
    refs_ = kDestroying;
    delete this;
  }
  return refs;
}

HRESULT QuillonObject::Inner::QueryInterface(REFIID riid, void** out) {
  return object_.InnerQueryInterface(riid, out);
}
ULONG QuillonObject::Inner::AddRef() { return object_.InnerAddRef(); }
ULONG QuillonObject::Inner::Release() { return object_.InnerRelease(); }

// --- The model's site ---------------------------------------------------------------------

void QuillonObject::ModelSite::LabelChanged(Child label) noexcept {
  object_.window_.LabelChanged(label);
  object_.FaceChanged();
}

// The container hears of a change through IPropertyNotifySink::OnChanged, and a change of a
// saved setting makes the control dirty. A sink unadvised inside an earlier sink's call hears
// nothing more.
bool QuillonObject::ModelSite::PropertyChanged(const ControlProperty& property) noexcept {
  QuillonObject& o = object_;
  if (!property.saved_key.empty()) o.dirty_ = true;
  const ComPtr<IUnknown> alive = o.KeepAlive();
  try {
    for (const ConnectionPoint::Sink& sink : o.property_notify_.Sinks()) {
      if (!o.property_notify_.IsAdvised(sink.cookie)) continue;
      static_cast<IPropertyNotifySink*>(sink.unknown.Get())->OnChanged(property.dispid);
    }
  } catch (...) {
    return false;  // no room to list the sinks
  }
  return true;
}

bool QuillonObject::ModelSite::EnableTimer(bool enabled) noexcept {
  return object_.window_.EnableTimer(enabled);
}

// Ambients handed over with quick activation answer for their own client site only.
UserMode QuillonObject::ModelSite::AmbientUserMode() noexcept {
  const QuickAmbients& quick = object_.quick_;
  if (quick.user_mode) return *quick.user_mode;
  return ReadAmbientUserMode(object_.embedding_.client_site.Get());
}

const FaceState& QuillonObject::ModelSite::face() noexcept { return object_.model_.face(); }

// A tick comes from the window's message loop, where nobody holds the control: the tick
// holds it while it notifies the container, which may close and release it meanwhile.
void QuillonObject::ModelSite::Tick() noexcept {
  if (object_.closed_) return;
  const ComPtr<IUnknown> alive = object_.KeepAlive();
  try {
    object_.model_.timerRead_Timer();
  } catch (...) {  // no memory: nothing leaves a tick, the next one tries again
  }
}

// The site is held through both reads: the container may drop it inside the first.
void QuillonObject::AmbientColoursChanged() noexcept {
  const ComPtr<IOleClientSite> site(embedding_.client_site.Get());
  const SurfaceColours colours = quick_.colours ? *quick_.colours : ReadAmbientColours(site.Get());
  if (colours == window_.colours()) return;
  window_.SetColours(colours);
  FaceChanged();
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
