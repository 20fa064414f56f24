#include "control/dispatch_util.h"

namespace marlinbar {

HRESULT GetPropertyByName(IDispatch* object, const wchar_t* name, VARIANT* value) {
  if (!object || !value) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  return InvokeGet(object, id, nullptr, 0, value);
}

HRESULT InvokeGet(IDispatch* object, DISPID id, VARIANT* args, UINT count, VARIANT* result) {
  DISPPARAMS params{args, nullptr, count, 0};
  VariantInit(result);
  EXCEPINFO info{};
  HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                              &params, result, &info, nullptr);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  return hr;
}

bool HasNames(IDispatch* object, std::initializer_list<const wchar_t*> names) {
  if (!object) return false;
  for (const wchar_t* name : names) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR one[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, one, 1, LOCALE_USER_DEFAULT, &id))) return false;
  }
  return true;
}

std::wstring VariantText(const VARIANT& value) {
  if (value.vt == VT_BSTR) return value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"";
  Variant text;
  if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)) || !text.bstrVal) return std::wstring();
  return std::wstring(text.bstrVal, SysStringLen(text.bstrVal));
}

bool VariantLong(const VARIANT& value, LONG* number) {
  Variant n;
  if (value.vt == VT_EMPTY || value.vt == VT_NULL || value.vt == VT_ERROR) return false;
  if (FAILED(VariantChangeType(&n, const_cast<VARIANT*>(&value), 0, VT_I4))) return false;
  *number = n.lVal;
  return true;
}

bool SameKey(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

FONTDESC SystemMenuFontDesc(std::wstring* face) {
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  *face = L"MS Shell Dlg";
  desc.cySize.int64 = 80000;  // 8 points
  desc.sWeight = FW_NORMAL;
  desc.sCharset = DEFAULT_CHARSET;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpi <= 0) dpi = 96;
    const LOGFONTW& lf = metrics.lfMenuFont;
    *face = lf.lfFaceName;
    long height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    desc.cySize.int64 = static_cast<LONGLONG>(height) * 72 * 10000 / dpi;
    desc.sWeight = static_cast<SHORT>(lf.lfWeight);
    desc.sCharset = lf.lfCharSet;
    desc.fItalic = lf.lfItalic != 0;
    desc.fUnderline = lf.lfUnderline != 0;
    desc.fStrikethrough = lf.lfStrikeOut != 0;
  }
  desc.lpstrName = face->data();
  return desc;
}

}  // namespace marlinbar
