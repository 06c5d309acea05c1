// One control in a container, driven through its OLE interfaces in the order a container
// uses them: create, client site (first when the control asks for it), InitNew or Load from
// a property bag, extent, change sink, in-place activation; then mode changes, hide and show,
// saving, property reads by name, and close.
#pragma once

#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <utility>
#include <vector>

#include "display_file.h"
#include "package/com_ptr.h"
#include "site.h"

namespace quillon::host {

// A ProgID or a "{CLSID}" as a class identifier.
HRESULT ClassFromName(const std::string& name, CLSID* out);

class HostedControl {
 public:
  HostedControl(Container& container, std::string name, const RECT& rect);
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;
  ~HostedControl();

  HRESULT Create(const CLSID& clsid);
  // Takes a control made elsewhere (by its class object, say) as Create does.
  HRESULT Attach(IUnknown* object);
  // Connects the container's sinks, as containers do before loading: the site as the view's
  // advise sink, `events` (may be null) on the control's default source, and the site as
  // its change sink (which Activate connects otherwise).
  HRESULT ConnectSinks(IUnknown* events);
  // Attach and ConnectSinks in one call, IQuickActivate::QuickActivate, with the container's
  // UserMode, ForeColor and BackColor as ambient values. E_NOINTERFACE when the control has
  // none.
  HRESULT QuickAttach(IUnknown* object, IUnknown* events);
  // Load from these entries, or InitNew when there are none. The entries must outlive the call.
  HRESULT Load(std::vector<BagEntry>* entries);
  // Sets the extent from the rectangle (or the rectangle from the natural extent when it is
  // empty), connects the change sink and activates the control in place.
  HRESULT Activate();
  // In-place show (OLEIVERB_SHOW) or hide (OLEIVERB_HIDE).
  HRESULT Show(bool visible);
  // IOleControl::OnAmbientPropertyChange.
  HRESULT AmbientChanged(DISPID id);
  // IPersistPropertyBag::Save into these entries (cleared first).
  HRESULT Save(std::vector<BagEntry>* entries);
  // Property gets by name through IDispatch, as text; an error reads "<error 0x...>".
  std::vector<std::pair<std::string, std::string>> Properties(
      const std::vector<std::string>& names);
  // The names of the property gets of the control's default interface, in its order.
  std::vector<std::string> PropertyNames();
  // Close, SetClientSite(NULL), and every reference to the control released; the site stays
  // until the HostedControl goes.
  void Close();

  const std::string& name() const { return site_->name(); }
  Site& site() { return *site_; }
  IUnknown* object() const { return unknown_.Get(); }
  const RECT& rect() const { return site_->rect(); }

 private:
  HRESULT SetClientSiteOnce();
  // The connection point of `iid` (the default source when it is IID_NULL).
  ComPtr<IConnectionPoint> FindPoint(const IID& iid);

  Container& container_;
  Site* site_;
  ComPtr<IUnknown> unknown_;
  ComPtr<IOleObject> ole_;
  ComPtr<IOleInPlaceObject> in_place_;
  ComPtr<IConnectionPoint> notify_point_;
  DWORD notify_cookie_ = 0;
  ComPtr<IConnectionPoint> event_point_;
  DWORD event_cookie_ = 0;
  bool view_advised_ = false;
  DWORD advise_cookie_ = 0;
  DWORD misc_ = 0;
  bool site_set_ = false;
};

// Text of a variant for people: texts as they are, other values converted, errors as codes.
std::string VariantText(const VARIANT& v);

}  // namespace quillon::host
