// The COM object of a QuillonPD control: one object holding the control model and one member
// per interface, all sharing the object's one reference count. Each member's IUnknown goes to
// the controlling unknown (the outer object's when the control is aggregated); impl_from()
// gives the object back from any of its members. QueryInterface is a table (quillon_object.cc)
// so that the visual interfaces can be added as members later.
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>

#include "HN_QuillonPD_h.h"
#include "control/control_properties.h"
#include "control/control_site.h"
#include "control/face.h"
#include "control/property_bag.h"
#include "control/quillon_pd.h"
#include "package/com_ptr.h"
#include "package/com_trace.h"
#include "package/connection_point.h"
#include "package/face_window.h"
#include "package/quick_ambients.h"
#include "package/thread_environment.h"

namespace quillon {

class QuillonObject;

// A member implementing `Interface` for its object.
template <class Interface>
class Member : public Interface {
 public:
  explicit Member(QuillonObject& object) : object_(object) {}
  Member(const Member&) = delete;
  Member& operator=(const Member&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  QuillonObject& object() { return object_; }

 private:
  QuillonObject& object_;
};

// The object that owns the member implementing `iface`.
template <class Interface>
QuillonObject& impl_from(Interface* iface) {
  return static_cast<Member<Interface>*>(iface)->object();
}

class QuillonObject {
 public:
  // Creates a control and returns its interface `riid` in *out (which must be valid). `outer`
  // aggregates it (riid must then be IID_IUnknown, which the class object checks). Throws
  // std::bad_alloc when there is no memory for it.
  static HRESULT Create(IUnknown* outer, REFIID riid, void** out);

  // The controlling unknown, where every member's IUnknown goes.
  IUnknown& controlling() { return *controlling_; }
  // The control model. Before any InitNew or Load (script clients never call them) it has
  // the state of a freshly created instance: empty texts, zeros, the zero date.
  QuillonPD& model() { return model_; }
  ThreadEnvironment& env() { return hold_.env; }
  // A reference to the object for the length of a call that calls out of the library: a
  // container may release the control inside any such call.
  ComPtr<IUnknown> KeepAlive() { return ComPtr<IUnknown>(controlling_); }

  // On the objects' own heap (made with the first object); a freed object is filled with
  // kFreedByte first, so that a use after free faults (the pattern is no valid address)
  // instead of reading what was there.
  static void* operator new(size_t size);
  static void operator delete(void* block, size_t size) noexcept;
  static constexpr unsigned char kFreedByte = 0xDD;
  // Destroys the objects' heap: the library is being unloaded, and no object lives.
  static void FreeHeapAtUnload() noexcept;

 private:
  // The object's own IUnknown (the inner unknown of an aggregate).
  class Inner final : public IUnknown {
   public:
    explicit Inner(QuillonObject& object) : object_(object) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

   private:
    QuillonObject& object_;
  };

  // _QuillonPD and IDispatch (quillon_automation.cc).
  class Automation final : public Member<_QuillonPD> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                                     UINT* arg_error) override;

    HRESULT STDMETHODCALLTYPE put_NTF(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_NTF(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Formatage(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Formatage(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Valeur(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Valeur(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_ValeurNombre(double* value) override;
    HRESULT STDMETHODCALLTYPE put_ValeurNombre(double value) override;
    HRESULT STDMETHODCALLTYPE get_ValeurFormatee(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_ValeurFormatee(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_HorodatageDernLect(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_HorodatageDernLect(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Qualite(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Qualite(BSTR value) override;
    HRESULT STDMETHODCALLTYPE put_Frequence_Rafraichissement(::E_POLLTIME value) override;
    HRESULT STDMETHODCALLTYPE get_Frequence_Rafraichissement(::E_POLLTIME* value) override;
    HRESULT STDMETHODCALLTYPE Rafraichir() override;
    HRESULT STDMETHODCALLTYPE MaJNTF(BSTR* valeur, BSTR* valeur_formatee, unsigned char* qualite,
                                     DATE* date_dern_lect) override;
  };

  // IProvideClassInfo2 (quillon_automation.cc).
  class ClassInfo final : public Member<IProvideClassInfo2> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;
  };

  // IPersistStreamInit, also answering IPersistStream (quillon_persist.cc).
  class PersistStream final : public Member<IPersistStreamInit> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clear_dirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
  };

  // IPersistPropertyBag (quillon_persist.cc).
  class PersistBag final : public Member<IPersistPropertyBag> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clear_dirty, BOOL all) override;
  };

  // IPersistStorage: the settings in a stream "Contents" of the storage (quillon_persist.cc).
  class PersistStorage final : public Member<IPersistStorage> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL same_as_load) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;
  };

  // IConnectionPointContainer (quillon_object.cc).
  class Connections final : public Member<IConnectionPointContainer> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;
  };

  // ISpecifyPropertyPages: the library's "Point" page (property_pages.cc).
  class PropertyPages final : public Member<ISpecifyPropertyPages> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
  };

  // --- The visual control: embedding, in-place activation, drawing ---------------------

  // IOleObject (ole_object.cc).
  class OleObject final : public Member<IOleObject> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD save_option) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index,
                                     HWND parent, LPCRECT pos) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;
  };

  // IOleControl (ole_object.cc).
  class Control final : public Member<IOleControl> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;
  };

  // IOleInPlaceObject, also answering IOleWindow (in_place.cc).
  class InPlaceObject final : public Member<IOleInPlaceObject> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  };

  // IOleInPlaceActiveObject (in_place.cc).
  class InPlaceActive final : public Member<IOleInPlaceActiveObject> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL active) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL active) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
  };

  // IViewObject2: the face drawn by the container, with the window's paint routine
  // (view_object.cc).
  class ViewObject final : public Member<IViewObject2> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspect_info,
                                   DVTARGETDEVICE* device, HDC target, HDC dc, LPCRECTL bounds,
                                   LPCRECTL window_bounds, BOOL(STDMETHODCALLTYPE* next)(ULONG_PTR),
                                   ULONG_PTR next_arg) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspect_info,
                                          DVTARGETDEVICE* device, HDC target,
                                          LOGPALETTE** colours) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspect_info,
                                     DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                        SIZEL* size) override;
  };

  // --- Placing the control: property grids, quick activation ------------------------------

  // IPerPropertyBrowsing: the refresh period's texts, the "Point" page for NTF and Formatage
  // (property_browsing.cc).
  class PropertyBrowsing final : public Member<IPerPropertyBrowsing> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID id, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID id, CLSID* page) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings,
                                                   CADWORD* cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override;
  };

  // IQuickActivate: the classic handshake in one call (quick_activate.cc).
  class QuickActivation final : public Member<IQuickActivate> {
   public:
    using Member::Member;
    HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override;
    HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override;
  };
  HRESULT QuickConnect(const QACONTAINER& container, QACONTROL& control);

  // The container as the model sees it, and the owner of the control's window: the model's
  // label changes, property notifications, timer and ambient mode land here, in the object
  // (quillon_object.cc).
  class ModelSite final : public ControlSite, public FaceOwner {
   public:
    explicit ModelSite(QuillonObject& object) : object_(object) {}
    void LabelChanged(Child label) noexcept override;
    bool PropertyChanged(const ControlProperty& property) noexcept override;
    bool EnableTimer(bool enabled) noexcept override;
    UserMode AmbientUserMode() noexcept override;
    const FaceState& face() noexcept override;
    void Tick() noexcept override;
    TickSlot tick_slot() noexcept override { return object_.model_.tick_slot(); }

   private:
    QuillonObject& object_;
  };

  // The container's side of the visual control, and the lifecycle steps the members share.
  struct Embedding {
    ComPtr<IOleClientSite> client_site;
    ComPtr<IOleInPlaceSite> in_place_site;  // while active in place
    ComPtr<IOleAdviseHolder> advise_holder;
    ComPtr<IAdviseSink> view_sink;
    DWORD view_aspects = 0, view_flags = 0;
    SIZEL extent;        // HIMETRIC, or whatever unit the container gave SetExtent
    RECT pos{};          // in the container's window, pixels
    bool shown = false;  // Show delivered and no Hide since
    Embedding();
  };
  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT pos);
  HRESULT DeactivateInPlace();
  void ShowFace();
  void HideFace();
  // A container that draws the control itself hears that the face changed.
  void FaceChanged() noexcept;
  // Reads the ambient colours again and draws the face in them when they changed.
  void AmbientColoursChanged() noexcept;

  struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*member)(QuillonObject&);
  };
  static const InterfaceEntry kInterfaces[];

  explicit QuillonObject(IUnknown* outer);
  ~QuillonObject();
  QuillonObject(const QuillonObject&) = delete;
  QuillonObject& operator=(const QuillonObject&) = delete;

  HRESULT InnerQueryInterface(REFIID riid, void** out);
  ULONG InnerAddRef();
  ULONG InnerRelease();

  HRESULT GetClassID(CLSID* clsid);
  // The model's state before the settings of the first InitNew or Load.
  void BeginSettings();
  HRESULT InitNew();
  // Restores the settings from `bag`, key by key; S_OK unless memory runs out.
  HRESULT Restore(PropertyBag& bag);
  HRESULT LoadStream(IStream* stream);
  HRESULT SaveStream(IStream* stream, BOOL clear_dirty);

  // One use of the thread's environment and one live object of the library, taken before
  // and given back after every other member.
  struct Hold {
    Hold();  // throws std::bad_alloc when the environment cannot be made
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ThreadEnvironment& env;
  };

  static constexpr LONG kDestroying = 1 << 30;  // refs_ while the object is being destroyed

  Hold hold_;
  LONG refs_ = 1;
  Inner inner_;
  IUnknown* controlling_;
  bool initialized_ = false;  // InitNew or Load has run
  bool dirty_ = false;
  bool closed_ = false;  // IOleObject::Close since the last activation: timerRead does nothing
  Automation automation_;
  ClassInfo class_info_;
  PersistStream persist_stream_;
  PersistBag persist_bag_;
  PersistStorage persist_storage_;
  Connections connections_;
  PropertyPages property_pages_;
  ConnectionPoint events_;
  ConnectionPoint property_notify_;
  OleObject ole_object_;
  Control control_;
  InPlaceObject in_place_object_;
  InPlaceActive in_place_active_;
  ViewObject view_object_;
  PropertyBrowsing property_browsing_;
  QuickActivation quick_activation_;
  Embedding embedding_;
  QuickAmbients quick_;
  ModelSite site_;
  QuillonPD model_;
  FaceWindow window_;  // paints the model's face: destroyed first
};

template <class Interface>
HRESULT Member<Interface>::QueryInterface(REFIID riid, void** out) {
  return object_.controlling().QueryInterface(riid, out);
}

template <class Interface>
ULONG Member<Interface>::AddRef() {
  return object_.controlling().AddRef();
}

template <class Interface>
ULONG Member<Interface>::Release() {
  return object_.controlling().Release();
}

}  // namespace quillon
