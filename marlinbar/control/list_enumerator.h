// A COM enumerator (IEnumVARIANT, IEnumConnections, ...) over a snapshot
// of items. Item supplies the element type (Out) and how to copy one out.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <new>
#include <vector>

#include "control/com_object.h"

namespace marlinbar {

template <class Interface, class Item, REFIID Iid>
class ListEnumerator final : public ComObject<Interface, Iid> {
 public:
  explicit ListEnumerator(std::vector<Item> items) : items_(std::move(items)) {}

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
  static void Copy(const Item& item, typename Item::Out* out) { item.CopyOut(out); }
  std::vector<Item> items_;
  std::size_t next_ = 0;
};

}  // namespace marlinbar
