#include "control/menu_objects.h"

#include <new>

#include "control/dispatch_util.h"
#include "control/com_object.h"

namespace marlinbar {
namespace {

constexpr DISPID kNameId = 1;
constexpr DISPID kCaptionId = 2;

// A menu item as an automation object with two read-only properties.
class cMenuObject final : public ComObject<IDispatch, IID_IDispatch> {
 public:
  cMenuObject(std::wstring name, std::wstring caption) : name_(std::move(name)), caption_(std::move(caption)) {}

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      if (i == 0 && names[i] && lstrcmpiW(names[i], L"Name") == 0) {
        ids[i] = kNameId;
      } else if (i == 0 && names[i] && lstrcmpiW(names[i], L"Caption") == 0) {
        ids[i] = kCaptionId;
      } else {
        hr = DISP_E_UNKNOWNNAME;
      }
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id != kNameId && id != kCaptionId) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    VariantInit(result);
    const std::wstring& text = id == kNameId ? name_ : caption_;
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  }

 private:
  std::wstring name_;
  std::wstring caption_;
};

void AddTreeItems(HMENU menu, std::wstring path, std::vector<ComPtr<IDispatch>>* out, int depth) {
  int count = GetMenuItemCount(menu);
  // Menus may not contain themselves, but a damaged tree must not loop.
  if (count <= 0 || depth > 32) return;
  for (int p = 0; p < count; ++p) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STRING;
    wchar_t text[1024] = L"";
    info.dwTypeData = text;
    info.cch = ARRAYSIZE(text);
    if (!GetMenuItemInfoW(menu, p, TRUE, &info)) continue;
    std::wstring position = path.empty() ? std::to_wstring(p) : path + L"_" + std::to_wstring(p);
    std::wstring caption = (info.fType & MFT_SEPARATOR) ? std::wstring(L"-") : std::wstring(text);
    std::wstring name = info.hSubMenu ? L"mnuPopup" + position : L"mnu" + std::to_wstring(info.wID);
    auto* object = new (std::nothrow) cMenuObject(name, caption);
    if (object) out->push_back(ComPtr<IDispatch>::Adopt(object));
    if (info.hSubMenu) AddTreeItems(info.hSubMenu, position, out, depth + 1);
  }
}

}  // namespace

std::vector<ComPtr<IDispatch>> MenuTreeObjects(HMENU bar) {
  std::vector<ComPtr<IDispatch>> objects;
  if (bar && IsMenu(bar)) AddTreeItems(bar, std::wstring(), &objects, 0);
  return objects;
}

std::vector<ComPtr<IDispatch>> ContainerMenuObjects(IOleClientSite* site) {
  std::vector<ComPtr<IDispatch>> objects;
  if (!site) return objects;
  ComPtr<IOleContainer> container;
  if (FAILED(site->GetContainer(container.Put())) || !container) return objects;
  ComPtr<IEnumUnknown> items;
  if (FAILED(container->EnumObjects(OLECONTF_EMBEDDINGS | OLECONTF_OTHERS, items.Put())) || !items) {
    return objects;
  }
  for (;;) {
    IUnknown* item = nullptr;
    ULONG fetched = 0;
    if (items->Next(1, &item, &fetched) != S_OK || !item) break;
    ComPtr<IUnknown> held = ComPtr<IUnknown>::Adopt(item);
    ComPtr<IDispatch> object = held.As<IDispatch>(IID_IDispatch);
    // Menu objects are those with a name, a caption and a check mark.
    if (object && HasNames(object.Get(), {L"Name", L"Caption", L"Checked"})) objects.push_back(object);
  }
  return objects;
}

std::wstring pvMenuKey(IDispatch* menu) {
  Variant name;
  GetPropertyByName(menu, L"Name", &name);
  std::wstring key = VariantText(name);
  Variant index;
  LONG number = -1;
  if (SUCCEEDED(GetPropertyByName(menu, L"Index", &index)) && VariantLong(index, &number) && number >= 0) {
    key += L":" + std::to_wstring(number);
  }
  return key;
}

}  // namespace marlinbar
