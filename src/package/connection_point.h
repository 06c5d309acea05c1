// A connection point embedded in a COM object: it lives and dies with its object, whose
// reference count it shares, and keeps the sinks advised to it. Each Advise gets a cookie
// never given before in the point's life, so a stale cookie cannot disconnect a later sink.
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "package/com_ptr.h"

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

  // A sink as advised, held by the list it is in.
  struct Sink {
    DWORD cookie;
    ComPtr<IUnknown> unknown;  // the sink's interface of iid()
  };
  // The sinks now advised, in the order of their cookies, each held: a sink may unadvise
  // itself or others while it is being called. Throws std::bad_alloc, holding nothing, when
  // the list cannot be made. Single-threaded, as the object is.
  std::vector<Sink> Sinks() const;
  // Whether `cookie` is still advised (a sink listed by Sinks() may have gone since).
  bool IsAdvised(DWORD cookie) const;

 private:
  struct Connection {
    DWORD cookie;
    IUnknown* sink;  // counted
  };

  IUnknown& owner_;
  IConnectionPointContainer& container_;
  const IID& iid_;
  std::vector<Connection> connections_;  // in the order of their cookies
  DWORD last_cookie_ = 0;                // cookies count up from 1 and are never given twice
};

// Enumerators handed out by connection points and their container: each a small COM object
// of its own over a snapshot taken when it was made, holding a reference on every item.
HRESULT NewConnectionPointEnum(const std::vector<IConnectionPoint*>& points,
                               IEnumConnectionPoints** out);
HRESULT NewConnectionEnum(const std::vector<CONNECTDATA>& connections, IEnumConnections** out);

}  // namespace quillon
