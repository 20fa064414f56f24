// The IUnknown of a library object that offers one interface: the interface,
// IUnknown and (for an interface built on it) IDispatch from QueryInterface, a reference count that deletes the
// object at zero, and the module's count of live objects (which keeps the
// library loaded while any object lives).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

#include <type_traits>

#include "control/module.h"

namespace marlinbar {

template <class Interface, REFIID Iid>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == Iid || (std::is_base_of_v<IDispatch, Interface> && iid == IID_IDispatch)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }

 protected:
  ComObject() { ObjectCreated(); }
  virtual ~ComObject() { ObjectDestroyed(); }

 private:
  LONG refs_ = 1;
};

}  // namespace marlinbar
