// IDispatch of a dual interface, answered from the library's type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "control/com_ptr.h"
#include "control/module.h"

namespace marlinbar {

// The type information of one interface, loaded on first use.
class TypedDispatch {
 public:
  explicit TypedDispatch(REFIID iid) : iid_(iid) {}

  HRESULT GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    HRESULT hr = Load();
    if (FAILED(hr)) return hr;
    return info_.CopyTo(info);
  }
  HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
    HRESULT hr = Load();
    if (FAILED(hr)) return hr;
    return info_->GetIDsOfNames(names, count, ids);
  }
  HRESULT Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                 UINT* argErr) {
    HRESULT hr = Load();
    if (FAILED(hr)) return hr;
    return info_->Invoke(object, id, flags, params, result, excep, argErr);
  }

 private:
  HRESULT Load() {
    if (info_) return S_OK;
    return LoadLibraryTypeInfo(iid_, info_.Put());
  }
  IID iid_;
  ComPtr<ITypeInfo> info_;
};

}  // namespace marlinbar

namespace marlinbar {

// The IUnknown and IDispatch halves of a library object with one dual
// interface: reference counting (the object counts as live for the
// module), QueryInterface for IUnknown, IDispatch and the interface, and
// dispatch through the type library.
template <class Interface>
class DualObject : public Interface {
 public:
  explicit DualObject(REFIID iid) : iid_(iid), dispatch_(iid) { ObjectCreated(); }
  DualObject(const DualObject&) = delete;
  DualObject& operator=(const DualObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
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
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return dispatch_.GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    return dispatch_.GetTypeInfo(index, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return dispatch_.GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    return dispatch_.Invoke(static_cast<Interface*>(this), id, flags, params, result, excep, argErr);
  }

 protected:
  virtual ~DualObject() { ObjectDestroyed(); }

 private:
  LONG refs_ = 1;
  IID iid_;
  TypedDispatch dispatch_;
};

}  // namespace marlinbar
