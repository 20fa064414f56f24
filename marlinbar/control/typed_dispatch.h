// IDispatch of a dual interface, answered from the library's type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "control/com_object.h"
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

// A library object with one dual interface: ComObject's IUnknown, and
// IDispatch answered through the type library.
template <class Interface, REFIID Iid>
class DualObject : public ComObject<Interface, Iid> {
 public:
  DualObject() : dispatch_(Iid) {}
  DualObject(const DualObject&) = delete;
  DualObject& operator=(const DualObject&) = delete;

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

 private:
  TypedDispatch dispatch_;
};

}  // namespace marlinbar
