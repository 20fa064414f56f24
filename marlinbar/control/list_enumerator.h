// A COM enumerator (IEnumVARIANT, IEnumConnections, ...) over a snapshot
// of items. Item supplies the element type (Out) and how to copy one out.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <new>
#include <vector>

#include "control/module.h"

namespace marlinbar {

template <class Interface, class Item, REFIID Iid>
class ListEnumerator final : public Interface {
 public:
  explicit ListEnumerator(std::vector<Item> items) : items_(std::move(items)) { ObjectCreated(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == Iid) {
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
  template <class Out>
  HRESULT NextItems(ULONG count, Out* out, ULONG* fetched) {
    if (!out) return E_POINTER;
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) Copy(items_[next_], &out[n]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    next_ += count;
    if (next_ > items_.size()) {
      next_ = items_.size();
      return S_FALSE;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
    if (!out) return E_POINTER;
    auto* copy = new (std::nothrow) ListEnumerator(items_);
    if (!copy) return E_OUTOFMEMORY;
    copy->next_ = next_;
    *out = copy;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, typename Item::Out* out, ULONG* fetched) override {
    return NextItems(count, out, fetched);
  }

 private:
  ~ListEnumerator() { ObjectDestroyed(); }
  static void Copy(const Item& item, typename Item::Out* out) { item.CopyOut(out); }
  LONG refs_ = 1;
  std::vector<Item> items_;
  std::size_t next_ = 0;
};

}  // namespace marlinbar
