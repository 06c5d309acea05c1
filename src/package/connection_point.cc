#include "package/connection_point.h"

#include <new>
#include <type_traits>

#include "package/com_trace.h"
#include "package/module.h"

namespace quillon {
namespace {

void AddRefItem(IConnectionPoint* point) { point->AddRef(); }
void ReleaseItem(IConnectionPoint* point) { point->Release(); }
void AddRefItem(const CONNECTDATA& data) { data.pUnk->AddRef(); }
void ReleaseItem(const CONNECTDATA& data) { data.pUnk->Release(); }

// IEnumConnectionPoints and IEnumConnections over a vector of items.
template <class Interface, class Item>
class Enumerator final : public Interface {
 public:
  Enumerator(const std::vector<Item>& items, size_t position) : items_(items), pos_(position) {
    for (const Item& item : items_) AddRefItem(item);
    ModuleAddRef();
  }
  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  static HRESULT Create(const std::vector<Item>& items, size_t position, Interface** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    try {
      *out = new Enumerator(items, position);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(Interface))) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return ComTraceSite::UnknownInterface(this, riid);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) override {
    QUILLON_COM_TRACE(kName, Next, count, items, fetched);
    if (items == nullptr) return E_POINTER;
    if (fetched == nullptr && count != 1) return E_INVALIDARG;
    ULONG n = 0;
    for (; n < count && pos_ < items_.size(); ++n, ++pos_) {
      items[n] = items_[pos_];
      AddRefItem(items[n]);
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    QUILLON_COM_TRACE(kName, Skip, count);
    const size_t left = items_.size() - pos_;
    if (count > left) {
      pos_ = items_.size();
      return S_FALSE;
    }
    pos_ += count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    QUILLON_COM_TRACE(kName, Reset);
    pos_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
    QUILLON_COM_TRACE(kName, Clone, out);
    return Create(items_, pos_, out);
  }

 private:
  ~Enumerator() {
    for (const Item& item : items_) ReleaseItem(item);
    ModuleRelease();
  }

  static constexpr const char* kName =
      std::is_same_v<Interface, IEnumConnections> ? "IEnumConnections" : "IEnumConnectionPoints";

  LONG refs_ = 1;
  std::vector<Item> items_;
  size_t pos_;
};

}  // namespace

HRESULT NewConnectionPointEnum(const std::vector<IConnectionPoint*>& points,
                               IEnumConnectionPoints** out) {
  return Enumerator<IEnumConnectionPoints, IConnectionPoint*>::Create(points, 0, out);
}

HRESULT NewConnectionEnum(const std::vector<CONNECTDATA>& connections, IEnumConnections** out) {
  return Enumerator<IEnumConnections, CONNECTDATA>::Create(connections, 0, out);
}

// --- ConnectionPoint ----------------------------------------------------------------------

ConnectionPoint::~ConnectionPoint() {
  for (const Connection& c : connections_) c.sink->Release();
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return ComTraceSite::UnknownInterface(this, riid);
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  QUILLON_COM_TRACE("IConnectionPoint", GetConnectionInterface, iid);
  if (iid == nullptr) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  QUILLON_COM_TRACE("IConnectionPoint", GetConnectionPointContainer, out);
  if (out == nullptr) return E_POINTER;
  *out = &container_;
  container_.AddRef();
  return S_OK;
}

// The sink's QueryInterface is a call out: the object is held across it.
HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  QUILLON_COM_TRACE("IConnectionPoint", Advise, sink, cookie);
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  if (last_cookie_ == MAXDWORD) return CONNECT_E_ADVISELIMIT;
  const ComPtr<IUnknown> alive(&owner_);
  IUnknown* typed = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed))) || typed == nullptr) {
    return CONNECT_E_CANNOTCONNECT;
  }
  try {
    connections_.push_back({last_cookie_ + 1, typed});
  } catch (...) {
    typed->Release();
    return E_OUTOFMEMORY;
  }
  *cookie = ++last_cookie_;
  return S_OK;
}

// The sink is let go last, with the object held: its Release may release the object.
HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  QUILLON_COM_TRACE("IConnectionPoint", Unadvise, cookie);
  for (auto c = connections_.begin(); c != connections_.end(); ++c) {
    if (c->cookie != cookie) continue;
    const ComPtr<IUnknown> alive(&owner_);
    IUnknown* sink = c->sink;
    connections_.erase(c);
    sink->Release();
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
  QUILLON_COM_TRACE("IConnectionPoint", EnumConnections, out);
  try {
    std::vector<CONNECTDATA> connections;
    for (const Connection& c : connections_) connections.push_back({c.sink, c.cookie});
    return NewConnectionEnum(connections, out);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

std::vector<ConnectionPoint::Sink> ConnectionPoint::Sinks() const {
  std::vector<Sink> sinks;
  sinks.reserve(connections_.size());  // the one step that may fail, before any is held
  for (const Connection& c : connections_) sinks.push_back({c.cookie, ComPtr<IUnknown>(c.sink)});
  return sinks;
}

bool ConnectionPoint::IsAdvised(DWORD cookie) const {
  for (const Connection& c : connections_) {
    if (c.cookie == cookie) return true;
  }
  return false;
}

}  // namespace quillon
