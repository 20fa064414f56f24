#include "control/connection_points.h"

#include <olectl.h>

#include <new>

#include "control/list_enumerator.h"
#include "control/module.h"

namespace marlinbar {
namespace {

struct PointItem {
  using Out = IConnectionPoint*;
  ComPtr<IConnectionPoint> point;
  void CopyOut(IConnectionPoint** out) const { point.CopyTo(out); }
};

struct ConnectionItem {
  using Out = CONNECTDATA;
  ComPtr<IUnknown> sink;
  DWORD cookie;
  void CopyOut(CONNECTDATA* out) const {
    sink.CopyTo(&out->pUnk);
    out->dwCookie = cookie;
  }
};

}  // namespace

cConnectionPoint::cConnectionPoint(IConnectionPointContainer* container, REFIID iid)
    : container_(container), iid_(iid) {}

cConnectionPoint::~cConnectionPoint() = default;

std::vector<ComPtr<IUnknown>> cConnectionPoint::Sinks() const {
  std::vector<ComPtr<IUnknown>> sinks;
  for (const Connection& c : connections_) sinks.push_back(c.sink);
  return sinks;
}

void cConnectionPoint::DisconnectAll() { connections_.clear(); }

// The point shares the life of its container.
HRESULT cConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG cConnectionPoint::AddRef() { return container_->AddRef(); }
ULONG cConnectionPoint::Release() { return container_->Release(); }

HRESULT cConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT cConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = container_;
  container_->AddRef();
  return S_OK;
}

HRESULT cConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ComPtr<IUnknown> typed;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(typed.Put())))) return CONNECT_E_CANNOTCONNECT;
  connections_.push_back({next_cookie_, typed});
  *cookie = next_cookie_++;
  return S_OK;
}

HRESULT cConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->cookie == cookie) {
      ComPtr<IUnknown> sink = std::move(it->sink);
      connections_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT cConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (!connections) return E_POINTER;
  std::vector<ConnectionItem> items;
  for (const Connection& c : connections_) items.push_back({c.sink, c.cookie});
  auto* e = new (std::nothrow) ListEnumerator<IEnumConnections, ConnectionItem, IID_IEnumConnections>(items);
  *connections = e;
  return e ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateConnectionPointEnumerator(std::vector<ComPtr<IConnectionPoint>> points,
                                        IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  std::vector<PointItem> items;
  for (auto& p : points) items.push_back({p});
  auto* e = new (std::nothrow) ListEnumerator<IEnumConnectionPoints, PointItem, IID_IEnumConnectionPoints>(items);
  *out = e;
  return e ? S_OK : E_OUTOFMEMORY;
}

}  // namespace marlinbar
