// The control's connection points: its event interface (no events are
// raised) and IPropertyNotifySink, through which containers learn that a
// property changed and the control needs saving.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "control/com_ptr.h"

namespace marlinbar {

class cConnectionPoint final : public IConnectionPoint {
 public:
  // `container` is not counted: the point lives inside it.
  cConnectionPoint(IConnectionPointContainer* container, REFIID iid);
  ~cConnectionPoint();
  cConnectionPoint(const cConnectionPoint&) = delete;
  cConnectionPoint& operator=(const cConnectionPoint&) = delete;

  // The connected sinks, each with a new reference.
  std::vector<ComPtr<IUnknown>> Sinks() const;
  void DisconnectAll();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

 private:
  IConnectionPointContainer* container_;
  IID iid_;
  struct Connection {
    DWORD cookie;
    ComPtr<IUnknown> sink;
  };
  std::vector<Connection> connections_;
  DWORD next_cookie_ = 1;
};

// IEnumConnectionPoints over a fixed list.
HRESULT CreateConnectionPointEnumerator(std::vector<ComPtr<IConnectionPoint>> points,
                                        IEnumConnectionPoints** out);

}  // namespace marlinbar
