// The place of one control in a container: its client site with ambient properties, its
// in-place site, its control site, and the sinks through which it reports changes.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace quillon::host {

// What the container answers for the ambient "UserMode".
enum class AmbientMode {
  kRun,             // true
  kDesign,          // false
  kNoDispatch,      // the site has no IDispatch at all (as some containers do)
  kMemberNotFound,  // the site has IDispatch but does not know UserMode
};

// State shared by the sites of one container.
struct Container {
  HWND window = nullptr;  // the window that holds the controls
  IOleInPlaceFrame* frame = nullptr;
  AmbientMode mode = AmbientMode::kDesign;
  // What the container answers for the ambient ForeColor and BackColor (OLE_COLOR values:
  // 0x00BBGGRR, or a system colour 0x800000nn).
  uint32_t fore_colour = 0x80000000u | COLOR_BTNTEXT;
  uint32_t back_colour = 0x80000000u | COLOR_BTNFACE;
  // Every call a site receives, as a short line ("OnInPlaceActivate", "ambient -709",
  // "changed 0x68030005"); may be empty.
  std::function<void(const std::string& control, const std::string& call)> record;
  // A control's property changed (IPropertyNotifySink::OnChanged).
  std::function<void(const std::string& control, DISPID id)> changed;
};

class Site final : public IOleClientSite,
                   public IOleInPlaceSiteEx,
                   public IOleControlSite,
                   public IDispatch,
                   public IPropertyNotifySink,
                   public IAdviseSink {
 public:
  static Site* Create(Container& container, std::string name, const RECT& rect);

  const std::string& name() const { return name_; }
  const RECT& rect() const { return rect_; }
  void set_rect(const RECT& rect) { rect_ = rect; }
  bool in_place_active() const { return in_place_; }
  // The control's in-place object, kept while it is active so that moves reach it.
  void set_in_place_object(IOleInPlaceObject* object) { in_place_object_ = object; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** out) override;
  STDMETHODIMP GetContainer(IOleContainer** out) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL show) override;
  STDMETHODIMP RequestNewObjectLayout() override;
  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE extent) override;
  STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT rect) override;
  // IOleInPlaceSiteEx
  STDMETHODIMP OnInPlaceActivateEx(BOOL* no_redraw, DWORD flags) override;
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL no_redraw) override;
  STDMETHODIMP RequestUIActivate() override;
  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override;
  STDMETHODIMP LockInPlaceActive(BOOL lock) override;
  STDMETHODIMP GetExtendedControl(IDispatch** out) override;
  STDMETHODIMP TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
  STDMETHODIMP TranslateAccelerator(MSG* msg, DWORD modifiers) override;
  STDMETHODIMP OnFocus(BOOL got) override;
  STDMETHODIMP ShowPropertyFrame() override;
  // IDispatch: the ambient properties
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* error, UINT* arg_error) override;
  // IPropertyNotifySink
  STDMETHODIMP OnChanged(DISPID id) override;
  STDMETHODIMP OnRequestEdit(DISPID id) override;
  // IAdviseSink
  STDMETHODIMP_(void) OnDataChange(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG index) override;
  STDMETHODIMP_(void) OnRename(IMoniker* moniker) override;
  STDMETHODIMP_(void) OnSave() override;
  STDMETHODIMP_(void) OnClose() override;

 private:
  Site(Container& container, std::string name, const RECT& rect)
      : container_(container), name_(std::move(name)), rect_(rect) {}
  ~Site() = default;
  void Record(const std::string& call);
  HRESULT Ambient(DISPID id, VARIANT* result);

  LONG refs_ = 1;
  Container& container_;
  std::string name_;
  RECT rect_;
  bool in_place_ = false;
  IOleInPlaceObject* in_place_object_ = nullptr;  // not counted: the control holds the site
};

// Pixels of the screen per inch, horizontally and vertically.
SIZE ScreenDpi();
// HIMETRIC (hundredths of a millimetre) and pixels of the screen.
SIZEL PixelsToHimetric(SIZE pixels);
SIZE HimetricToPixels(SIZEL himetric);

}  // namespace quillon::host
