// The control's persistence: defaults for a new control, the property bag
// keys in their order, the icon encoding, and the stream form of the same
// keys.
#include <new>
#include <string>

#include "control/dispatch_util.h"
#include "control/marlinbar_control.h"
#include "control/property_bag.h"
#include "drawing/gdi_tracking.h"
#include "drawing/mem_dc.h"

namespace marlinbar {
namespace {

// Writes a value unless it equals the default, as property bags of forms
// keep only what differs from a new control's state.
void WriteLong(IPropertyBag* bag, const wchar_t* key, LONG value, LONG def) {
  if (value == def) return;
  Variant v = Variant::Long(value);
  bag->Write(key, &v);
}

void WriteBool(IPropertyBag* bag, const wchar_t* key, VARIANT_BOOL value, VARIANT_BOOL def) {
  if (!value == !def) return;
  Variant v = Variant::Bool(value != VARIANT_FALSE);
  bag->Write(key, &v);
}

// Reads a value of the given type; false when the key is missing or the
// value cannot be read as that type.
bool ReadTyped(IPropertyBag* bag, const wchar_t* key, VARTYPE type, VARIANT* value) {
  VariantInit(value);
  value->vt = type;
  if (FAILED(bag->Read(key, value, nullptr))) {
    VariantClear(value);
    return false;
  }
  if (type != VT_EMPTY && value->vt != type) {
    Variant typed;
    if (FAILED(VariantChangeType(&typed, value, 0, type))) {
      VariantClear(value);
      return false;
    }
    VariantClear(value);
    CopyVariant(value, &typed);
  }
  return true;
}

LONG ReadLong(IPropertyBag* bag, const wchar_t* key, LONG def) {
  Variant v;
  return ReadTyped(bag, key, VT_I4, &v) ? v.lVal : def;
}

VARIANT_BOOL ReadBool(IPropertyBag* bag, const wchar_t* key, VARIANT_BOOL def) {
  Variant v;
  if (!ReadTyped(bag, key, VT_BOOL, &v)) return def;
  return v.boolVal ? VARIANT_TRUE : VARIANT_FALSE;
}

std::wstring Numbered(const wchar_t* prefix, std::size_t i) { return prefix + std::to_wstring(i); }

}  // namespace

// ---- new control

void Marlinbar::InitProperties() {
  RefreshDisplayMetrics();
  put_UseOfice2003Style(VARIANT_TRUE);
  OLE_COLOR menuBack = DefaultColour(Colour::MenuBack, 0);
  for (int i = 0; i < kColourCount; ++i) colours_[i] = DefaultColour(static_cast<Colour>(i), menuBack);
  put_SelectDisabled(VARIANT_TRUE);
  put_BitmapSize(16);
  put_UseSystemFont(VARIANT_TRUE);
  ComPtr<IFontDisp> ambient = AmbientFont();
  if (ambient) putref_Font(ambient.Get());
  m_lHotItem = -1;
  InitWithContainer();
}

void Marlinbar::InitWithContainer() {
  HWND container = ContainerWindow();
  if (!container) {
    // Not sited yet: attach when the container gives the control its site.
    initPending_ = true;
    return;
  }
  LONG_PTR form = reinterpret_cast<LONG_PTR>(HostFormOf(container));
  Init(&form);
}

// ---- property bag

void Marlinbar::WriteProperties(IPropertyBag* bag) {
  WriteBool(bag, L"UseOfice2003Style", m_bUseOfice2003Style, VARIANT_TRUE);
  OLE_COLOR menuBack = colours_[static_cast<int>(Colour::MenuBack)];
  for (int i = 0; i < kColourCount; ++i) {
    Colour c = static_cast<Colour>(i);
    OLE_COLOR def = DefaultColour(c, c == Colour::DisabledMenuBack ? menuBack : 0);
    WriteLong(bag, ColourKey(c), static_cast<LONG>(colours_[i]), static_cast<LONG>(def));
  }
  WriteBool(bag, L"SelectDisabled", m_bSelectDisabled, VARIANT_TRUE);
  WriteLong(bag, L"BitmapSize", m_lBitmapSize, 16);
  Variant count = Variant::Long(static_cast<LONG>(m_colBitmaps.size()));
  bag->Write(L"BmpCount", &count);
  for (std::size_t i = 1; i <= m_colBitmaps.size(); ++i) {
    const BitmapRecord& record = m_colBitmaps[i - 1];
    Variant picture = pvSaveIcon(record.Picture.Get());
    if (picture.vt != VT_EMPTY) bag->Write(Numbered(L"Bmp:", i).c_str(), &picture);
    WriteLong(bag, Numbered(L"Mask:", i).c_str(), record.MaskColor, 0);
    std::wstring defaultKey = Numbered(L"#", i);
    if (record.Key != defaultKey) {
      Variant key = Variant::String(record.Key.c_str());
      bag->Write(Numbered(L"Key:", i).c_str(), &key);
    }
  }
  WriteBool(bag, L"UseSystemFont", m_bUseSystemFont, VARIANT_TRUE);
  ComPtr<IFontDisp> ambient = AmbientFont();
  ComPtr<IFont> ambientFont = ambient.As<IFont>(IID_IFont);
  if (m_oFont && !SameFont(m_oFont.Get(), ambientFont.Get())) {
    Variant font = Variant::Object(m_oFont.Get());
    bag->Write(L"Font", &font);
  }
}

void Marlinbar::ReadProperties(IPropertyBag* bag) {
  put_UseOfice2003Style(ReadBool(bag, L"UseOfice2003Style", VARIANT_TRUE));
  OLE_COLOR menuBack = 0;
  for (int i = 0; i < kColourCount; ++i) {
    Colour c = static_cast<Colour>(i);
    OLE_COLOR def = DefaultColour(c, menuBack);
    colours_[i] = static_cast<OLE_COLOR>(ReadLong(bag, ColourKey(c), static_cast<LONG>(def)));
    if (c == Colour::MenuBack) menuBack = colours_[i];
  }
  put_SelectDisabled(ReadBool(bag, L"SelectDisabled", VARIANT_TRUE));
  put_BitmapSize(ReadLong(bag, L"BitmapSize", 16));

  m_colBitmaps.clear();
  LONG count = ReadLong(bag, L"BmpCount", 0);
  for (LONG i = 1; i <= count; ++i) {
    BitmapRecord record;
    Variant picture;
    if (ReadTyped(bag, Numbered(L"Bmp:", i).c_str(), VT_EMPTY, &picture)) record.Picture = pvLoadIcon(picture);
    record.MaskColor = ReadLong(bag, Numbered(L"Mask:", i).c_str(), 0);
    Variant key;
    record.Key = ReadTyped(bag, Numbered(L"Key:", i).c_str(), VT_BSTR, &key) ? VariantText(key)
                                                                           : Numbered(L"#", i);
    bool present = false;
    for (const BitmapRecord& r : m_colBitmaps) {
      present = present || CompareStringOrdinal(r.Key.c_str(), -1, record.Key.c_str(), -1, TRUE) == CSTR_EQUAL;
    }
    // The first record of a key wins; later ones with the same key drop.
    if (!present) m_colBitmaps.push_back(std::move(record));
  }

  ComPtr<IFontDisp> font;
  Variant saved;
  if (ReadTyped(bag, L"Font", VT_EMPTY, &saved) && (saved.vt == VT_DISPATCH || saved.vt == VT_UNKNOWN) &&
      saved.punkVal) {
    saved.punkVal->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(font.Put()));
  }
  if (!font) font = AmbientFont();
  if (font) {
    ComPtr<IFont> f = font.As<IFont>(IID_IFont);
    CopyFontInto(f.Get());
  }
  put_UseSystemFont(ReadBool(bag, L"UseSystemFont", VARIANT_TRUE));
  if (font) putref_Font(font.Get());
  InitWithContainer();
}

Variant Marlinbar::pvSaveIcon(IPictureDisp* picture) {
  Variant value;
  if (!picture) return value;
  ComPtr<IPicture> pic;
  picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.Put()));
  SHORT type = PICTYPE_NONE;
  OLE_HANDLE handle = 0;
  if (pic) {
    pic->get_Type(&type);
    pic->get_Handle(&handle);
  }
  if (type != PICTYPE_ICON || handle == 0) {
    if (handle == 0) return value;  // an empty picture leaves its key out
    value.vt = VT_DISPATCH;
    value.pdispVal = picture;
    picture->AddRef();
    return value;
  }
  // An icon goes as its two bitmaps in a bag of its own, whose bytes are
  // the value: hosts keep pictures as bitmaps, and the mask would be lost.
  ICONINFO info{};
  HICON icon = reinterpret_cast<HICON>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  if (!GetIconInfo(icon, &info)) return value;
  gdi::Created(info.hbmColor);
  gdi::Created(info.hbmMask);
  ComPtr<IPictureDisp> colour, mask;
  if (info.hbmColor) {
    colour = cMemDC::BitmapToPicture(info.hbmColor, nullptr);
    if (colour) {
      gdi::HandedOver(info.hbmColor);
    } else {
      gdi::DeleteObject(info.hbmColor);
    }
  }
  if (info.hbmMask) {
    mask = cMemDC::BitmapToPicture(info.hbmMask, nullptr);
    if (mask) {
      gdi::HandedOver(info.hbmMask);
    } else {
      gdi::DeleteObject(info.hbmMask);
    }
  }
  ComPtr<cPropertyBag> nested = cPropertyBag::Create();
  if (!nested) return value;
  Variant c = Variant::Object(colour.Get());
  Variant m = Variant::Object(mask.Get());
  if (colour) nested->Write(L"c", &c);
  if (mask) nested->Write(L"m", &m);
  BytesToVariant(nested->Contents(), &value);
  return value;
}

ComPtr<IPictureDisp> Marlinbar::pvLoadIcon(const VARIANT& value) {
  std::vector<BYTE> bytes;
  if (!VariantToBytes(value, &bytes)) {
    ComPtr<IPictureDisp> picture;
    if ((value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) && value.punkVal) {
      value.punkVal->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(picture.Put()));
    }
    return picture;
  }
  ComPtr<cPropertyBag> nested = cPropertyBag::Create();
  if (!nested || !nested->LoadContents(bytes.data(), bytes.size())) return nullptr;
  auto bitmapOf = [&nested](const wchar_t* key, ComPtr<IPicture>* picture) -> HBITMAP {
    Variant v;
    if (!ReadTyped(nested.Get(), key, VT_EMPTY, &v) || !(v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) || !v.punkVal) {
      return nullptr;
    }
    v.punkVal->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture->Put()));
    OLE_HANDLE handle = 0;
    if (*picture) (*picture)->get_Handle(&handle);
    return reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  };
  ComPtr<IPicture> colourPicture, maskPicture;
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = bitmapOf(L"c", &colourPicture);
  info.hbmMask = bitmapOf(L"m", &maskPicture);
  if (!info.hbmMask) return nullptr;
  HICON icon = gdi::Created(CreateIconIndirect(&info));
  if (!icon) return nullptr;
  ComPtr<IPictureDisp> picture = cMemDC::IconToPicture(icon);
  if (picture) {
    gdi::HandedOver(icon);
  } else {
    gdi::DestroyIcon(icon);
  }
  return picture;
}

// ---- IPersist, IPersistPropertyBag, IPersistStreamInit

HRESULT Marlinbar::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_Marlinbar;
  return S_OK;
}

HRESULT Marlinbar::InitNew() {
  InitProperties();
  dirty_ = true;
  return S_OK;
}

HRESULT Marlinbar::Load(IPropertyBag* bag, IErrorLog*) {
  if (!bag) return E_POINTER;
  ReadProperties(bag);
  dirty_ = false;
  return S_OK;
}

HRESULT Marlinbar::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
  if (!bag) return E_POINTER;
  WriteProperties(bag);
  if (clearDirty) dirty_ = false;
  return S_OK;
}

HRESULT Marlinbar::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT Marlinbar::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  ComPtr<cPropertyBag> bag = cPropertyBag::Create();
  if (!bag) return E_OUTOFMEMORY;
  HRESULT hr = bag->LoadFromStream(stream);
  if (FAILED(hr)) return hr;
  ReadProperties(bag.Get());
  dirty_ = false;
  return S_OK;
}

HRESULT Marlinbar::Save(LPSTREAM stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  ComPtr<cPropertyBag> bag = cPropertyBag::Create();
  if (!bag) return E_OUTOFMEMORY;
  WriteProperties(bag.Get());
  HRESULT hr = bag->SaveToStream(stream);
  if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
  return hr;
}

HRESULT Marlinbar::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  ComPtr<cPropertyBag> bag = cPropertyBag::Create();
  if (!bag) return E_OUTOFMEMORY;
  WriteProperties(bag.Get());
  size->QuadPart = bag->Contents().size() + sizeof(DWORD);
  return S_OK;
}

}  // namespace marlinbar
