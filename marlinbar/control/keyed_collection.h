// cKeyedCollection: a 1-based list of variants, each with an optional text
// key (compared without regard to letter case), as the property page and
// hosts see the control's menu objects and bitmap records.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "control/com_ptr.h"
#include "control/typed_dispatch.h"
#include "marlinbar_h.h"

namespace marlinbar {

class cKeyedCollection final : public DualObject<IKeyedCollection, IID_IKeyedCollection> {
 public:
  static ComPtr<cKeyedCollection> Create();

  // For the library's own use.
  bool Append(const VARIANT& item, const std::wstring& key);
  std::size_t Size() const { return items_.size(); }

  // IKeyedCollection
  HRESULT STDMETHODCALLTYPE Add(VARIANT Item, VARIANT Key) override;
  HRESULT STDMETHODCALLTYPE get_Count(LONG* Count) override;
  HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, VARIANT* Item) override;
  HRESULT STDMETHODCALLTYPE Remove(VARIANT Index) override;
  HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** Enum) override;

 private:
  cKeyedCollection();
  // Position of Index (a number from 1, or a key); -1 when none.
  long Find(const VARIANT& Index) const;
  long FindKey(const std::wstring& key) const;

  struct Entry {
    Variant item;
    std::wstring key;
  };
  std::vector<Entry> items_;
};

// Reads any automation collection with Count and Item (1-based).
HRESULT ReadCollection(IDispatch* collection, std::vector<Variant>* items);

}  // namespace marlinbar
