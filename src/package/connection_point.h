// A connection point embedded in a COM object: it lives and dies with its object, whose
// reference count it shares, and keeps the sinks advised to it.
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>
#include <olectl.h>

#include <vector>

namespace quillon {

class ConnectionPoint final : public IConnectionPoint {
 public:
  // `owner` is the object's controlling unknown; `container` its connection point container.
  ConnectionPoint(IUnknown& owner, IConnectionPointContainer& container, const IID& iid)
      : owner_(owner), container_(container), iid_(iid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;
  ~ConnectionPoint();

  // IUnknown: answers IUnknown and IConnectionPoint; counts go to the owner.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

  const IID& iid() const { return iid_; }
  // The sinks now advised, each AddRef'd: a sink may unadvise while it is being called.
  std::vector<IUnknown*> Sinks() const;

 private:
  IUnknown& owner_;
  IConnectionPointContainer& container_;
  const IID& iid_;
  std::vector<IUnknown*> sinks_;  // the sink of cookie n at n - 1; nullptr when unadvised
};

// Enumerators handed out by connection points and their container: each a small COM object
// of its own over a snapshot taken when it was made, holding a reference on every item.
HRESULT NewConnectionPointEnum(const std::vector<IConnectionPoint*>& points,
                               IEnumConnectionPoints** out);
HRESULT NewConnectionEnum(const std::vector<CONNECTDATA>& connections, IEnumConnections** out);

}  // namespace quillon
