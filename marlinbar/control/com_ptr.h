// An owning COM interface pointer: the one place where AddRef and Release of
// the library's references happen.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace marlinbar {

// VariantCopy with a source it does not change (the headers lack const).
inline HRESULT CopyVariant(VARIANT* dest, const VARIANT* src) {
  return ::VariantCopy(dest, const_cast<VARIANT*>(src));
}

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new counted reference to p.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Takes over a reference the caller already holds (no AddRef).
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  // Hands a counted reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }
  // Copies a new counted reference into an out-parameter.
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }

  template <class U>
  ComPtr<U> As() const {
    ComPtr<U> result;
    if (p_) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result.Put()));
    return result;
  }
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> result;
    if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(result.Put()));
    return result;
  }

 private:
  T* p_ = nullptr;
};

// A VARIANT that clears itself.
class Variant : public VARIANT {
 public:
  Variant() { VariantInit(this); }
  Variant(const Variant& other) : Variant() { CopyVariant(this, &other); }
  Variant& operator=(const Variant& other) {
    if (this != &other) CopyVariant(this, &other);
    return *this;
  }
  ~Variant() { VariantClear(this); }
  void Clear() { VariantClear(this); }
  static Variant Long(LONG value) {
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }
  static Variant Bool(bool value) {
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  static Variant String(const wchar_t* text) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
  }
  static Variant Object(IUnknown* object) {
    Variant v;
    if (object) {
      v.vt = VT_UNKNOWN;
      v.punkVal = object;
      object->AddRef();
    }
    return v;
  }
};

// A BSTR that frees itself.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : s_(SysAllocString(text)) {}
  Bstr(const wchar_t* text, UINT length) : s_(SysAllocStringLen(text, length)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR Get() const { return s_; }
  BSTR* Put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  BSTR Detach() { return std::exchange(s_, nullptr); }
  UINT Length() const { return SysStringLen(s_); }

 private:
  BSTR s_ = nullptr;
};

}  // namespace marlinbar
