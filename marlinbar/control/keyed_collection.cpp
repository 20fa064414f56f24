#include "control/keyed_collection.h"

#include <new>

#include "control/dispatch_util.h"
#include "control/list_enumerator.h"
#include "control/module.h"

namespace marlinbar {
namespace {

struct VariantItem {
  using Out = VARIANT;
  Variant value;
  void CopyOut(VARIANT* out) const {
    VariantInit(out);
    CopyVariant(out, &value);
  }
};

}  // namespace

cKeyedCollection::cKeyedCollection() = default;

ComPtr<cKeyedCollection> cKeyedCollection::Create() {
  return ComPtr<cKeyedCollection>::Adopt(new (std::nothrow) cKeyedCollection());
}

long cKeyedCollection::FindKey(const std::wstring& key) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i].key.empty() && SameKey(items_[i].key, key)) return static_cast<long>(i);
  }
  return -1;
}

long cKeyedCollection::Find(const VARIANT& Index) const {
  const VARIANT* index = &Index;
  if (index->vt == (VT_VARIANT | VT_BYREF) && index->pvarVal) index = index->pvarVal;
  if (index->vt == VT_BSTR || index->vt == (VT_BSTR | VT_BYREF)) {
    return FindKey(VariantText(*index));
  }
  LONG position = 0;
  if (!VariantLong(*index, &position)) return -1;
  if (position < 1 || static_cast<std::size_t>(position) > items_.size()) return -1;
  return position - 1;
}

bool cKeyedCollection::Append(const VARIANT& item, const std::wstring& key) {
  if (!key.empty() && FindKey(key) >= 0) return false;
  Entry entry;
  CopyVariant(&entry.item, &item);
  entry.key = key;
  items_.push_back(std::move(entry));
  return true;
}

HRESULT cKeyedCollection::Add(VARIANT Item, VARIANT Key) {
  std::wstring key;
  if (Key.vt != VT_ERROR && Key.vt != VT_EMPTY) {
    key = VariantText(Key);
    if (key.empty()) return E_INVALIDARG;
  }
  const VARIANT* item = &Item;
  if (item->vt == (VT_VARIANT | VT_BYREF) && item->pvarVal) item = item->pvarVal;
  // A key used twice is refused, as automation collections do.
  return Append(*item, key) ? S_OK : HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
}

HRESULT cKeyedCollection::get_Count(LONG* Count) {
  if (!Count) return E_POINTER;
  *Count = static_cast<LONG>(items_.size());
  return S_OK;
}

HRESULT cKeyedCollection::get_Item(VARIANT Index, VARIANT* Item) {
  if (!Item) return E_POINTER;
  VariantInit(Item);
  long at = Find(Index);
  if (at < 0) return DISP_E_BADINDEX;
  return CopyVariant(Item, &items_[at].item);
}

HRESULT cKeyedCollection::Remove(VARIANT Index) {
  long at = Find(Index);
  if (at < 0) return DISP_E_BADINDEX;
  items_.erase(items_.begin() + at);
  return S_OK;
}

HRESULT cKeyedCollection::get__NewEnum(IUnknown** Enum) {
  if (!Enum) return E_POINTER;
  std::vector<VariantItem> snapshot;
  for (const Entry& entry : items_) snapshot.push_back({entry.item});
  auto* e = new (std::nothrow) ListEnumerator<IEnumVARIANT, VariantItem, IID_IEnumVARIANT>(std::move(snapshot));
  if (!e) return E_OUTOFMEMORY;
  *Enum = e;
  return S_OK;
}

HRESULT ReadCollection(IDispatch* collection, std::vector<Variant>* items) {
  items->clear();
  if (!collection) return S_OK;
  Variant count;
  HRESULT hr = GetPropertyByName(collection, L"Count", &count);
  if (FAILED(hr)) return hr;
  LONG n = 0;
  if (!VariantLong(count, &n)) return DISP_E_TYPEMISMATCH;
  DISPID itemId = DISPID_VALUE;
  LPOLESTR name[] = {const_cast<LPOLESTR>(L"Item")};
  if (FAILED(collection->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &itemId))) itemId = DISPID_VALUE;
  for (LONG i = 1; i <= n; ++i) {
    Variant index = Variant::Long(i);
    Variant item;
    hr = InvokeGet(collection, itemId, &index, 1, &item);
    if (FAILED(hr)) return hr;
    items->push_back(item);
  }
  return S_OK;
}

}  // namespace marlinbar
