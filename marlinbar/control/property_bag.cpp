#include "control/property_bag.h"

#include <olectl.h>

#include <cstring>
#include <new>

#include "control/dispatch_util.h"
#include "control/module.h"

namespace marlinbar {
namespace {

class Writer {
 public:
  void Raw(const void* data, std::size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    out.insert(out.end(), p, p + size);
  }
  template <class T>
  void Value(T v) {
    Raw(&v, sizeof v);
  }
  void Text(const std::wstring& text) {
    Value<std::uint32_t>(static_cast<std::uint32_t>(text.size()));
    Raw(text.data(), text.size() * sizeof(wchar_t));
  }
  void Bytes(const std::vector<BYTE>& bytes) {
    Value<std::uint32_t>(static_cast<std::uint32_t>(bytes.size()));
    Raw(bytes.data(), bytes.size());
  }
  std::vector<BYTE> out;
};

class Reader {
 public:
  Reader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
  bool Raw(void* to, std::size_t n) {
    if (n > size_ - at_) return false;
    std::memcpy(to, data_ + at_, n);
    at_ += n;
    return true;
  }
  template <class T>
  bool Value(T* v) {
    return Raw(v, sizeof *v);
  }
  bool Text(std::wstring* text) {
    std::uint32_t n = 0;
    if (!Value(&n) || n > (size_ - at_) / sizeof(wchar_t)) return false;
    text->resize(n);
    return Raw(text->data(), n * sizeof(wchar_t));
  }
  bool Bytes(std::vector<BYTE>* bytes) {
    std::uint32_t n = 0;
    if (!Value(&n) || n > size_ - at_) return false;
    bytes->resize(n);
    return n == 0 || Raw(bytes->data(), n);
  }

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The object in the form OleSaveToStream writes.
bool SaveObject(IUnknown* object, std::vector<BYTE>* bytes) {
  ComPtr<IPersistStream> persist;
  object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(persist.Put()));
  if (!persist) return false;
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) return false;
  if (FAILED(OleSaveToStream(persist.Get(), stream.Get()))) return false;
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
  bytes->resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  return bytes->empty() ||
         (SUCCEEDED(stream->Read(bytes->data(), static_cast<ULONG>(bytes->size()), &read)) &&
          read == bytes->size());
}

// A bitmap picture's pixels as a packed DIB; false for other objects.
bool SaveBitmapPicture(IUnknown* object, std::vector<BYTE>* bytes) {
  ComPtr<IPicture> picture;
  object->QueryInterface(IID_IPicture, reinterpret_cast<void**>(picture.Put()));
  SHORT type = PICTYPE_NONE;
  OLE_HANDLE handle = 0;
  if (!picture || FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP) return false;
  picture->get_Handle(&handle);
  auto bitmap = reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  BITMAP bm{};
  if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
  WORD bits = bm.bmBitsPixel == 1 ? 1 : (bm.bmBitsPixel <= 24 ? 24 : 32);
  DWORD colours = bits == 1 ? 2 : 0;
  DWORD stride = ((static_cast<DWORD>(bm.bmWidth) * bits + 31) / 32) * 4;
  DWORD header = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
  bytes->assign(header + stride * static_cast<DWORD>(bm.bmHeight), 0);
  auto* info = reinterpret_cast<BITMAPINFO*>(bytes->data());
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = bm.bmWidth;
  info->bmiHeader.biHeight = bm.bmHeight;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = bits;
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = colours;
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bm.bmHeight), bytes->data() + header, info,
                       DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  // GetDIBits may have rewritten the header; keep ours.
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = colours;
  return rows == bm.bmHeight;
}

HRESULT LoadBitmapPicture(const std::vector<BYTE>& bytes, IDispatch** object) {
  *object = nullptr;
  if (bytes.size() < sizeof(BITMAPINFOHEADER)) return E_INVALIDARG;
  BITMAPINFOHEADER h{};
  std::memcpy(&h, bytes.data(), sizeof h);
  if (h.biSize != sizeof h || h.biWidth <= 0 || h.biHeight <= 0 || h.biWidth > 32767 || h.biHeight > 32767 ||
      (h.biBitCount != 1 && h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB) {
    return E_INVALIDARG;
  }
  DWORD colours = h.biBitCount == 1 ? 2 : 0;
  DWORD stride = ((static_cast<DWORD>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  std::size_t header = sizeof h + colours * sizeof(RGBQUAD);
  if (bytes.size() < header + static_cast<std::size_t>(stride) * static_cast<DWORD>(h.biHeight)) return E_INVALIDARG;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data());
  const BYTE* pixels = bytes.data() + header;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = nullptr;
  if (h.biBitCount == 1) {
    // A monochrome bitmap stays monochrome (an icon's mask).
    bitmap = CreateBitmap(h.biWidth, h.biHeight, 1, 1, nullptr);
    if (bitmap) SetDIBits(screen, bitmap, 0, static_cast<UINT>(h.biHeight), pixels, info, DIB_RGB_COLORS);
  } else {
    bitmap = CreateDIBitmap(screen, &h, CBM_INIT, pixels, info, DIB_RGB_COLORS);
  }
  ReleaseDC(nullptr, screen);
  if (!bitmap) return E_OUTOFMEMORY;
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = bitmap;
  HRESULT hr = OleCreatePictureIndirect(&desc, IID_IDispatch, TRUE, reinterpret_cast<void**>(object));
  if (FAILED(hr)) DeleteObject(bitmap);
  return hr;
}

HRESULT LoadObject(const std::vector<BYTE>& bytes, IDispatch** object) {
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (FAILED(hr)) return hr;
  ULONG written = 0;
  hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return OleLoadFromStream(stream.Get(), IID_IDispatch, reinterpret_cast<void**>(object));
}

}  // namespace

HRESULT BytesToVariant(const std::vector<BYTE>& bytes, VARIANT* value) {
  VariantInit(value);
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!array) return E_OUTOFMEMORY;
  if (!bytes.empty()) {
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  value->vt = VT_ARRAY | VT_UI1;
  value->parray = array;
  return S_OK;
}

bool VariantToBytes(const VARIANT& value, std::vector<BYTE>* bytes) {
  const VARIANT* v = &value;
  if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
  SAFEARRAY* array = nullptr;
  if (v->vt == (VT_ARRAY | VT_UI1)) array = v->parray;
  if (v->vt == (VT_ARRAY | VT_UI1 | VT_BYREF) && v->pparray) array = *v->pparray;
  if (!array || SafeArrayGetDim(array) != 1) return false;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  bytes->resize(static_cast<std::size_t>(upper - lower + 1));
  if (!bytes->empty()) {
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return false;
    std::memcpy(bytes->data(), data, bytes->size());
    SafeArrayUnaccessData(array);
  }
  return true;
}

cPropertyBag::cPropertyBag() { ObjectCreated(); }
cPropertyBag::~cPropertyBag() { ObjectDestroyed(); }

ComPtr<cPropertyBag> cPropertyBag::Create() {
  return ComPtr<cPropertyBag>::Adopt(new (std::nothrow) cPropertyBag());
}

HRESULT cPropertyBag::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
    *out = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG cPropertyBag::AddRef() { return InterlockedIncrement(&refs_); }

ULONG cPropertyBag::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return n;
}

cPropertyBag::Entry* cPropertyBag::Find(const std::wstring& key) {
  for (Entry& entry : entries_) {
    if (SameKey(entry.key, key)) return &entry;
  }
  return nullptr;
}

std::vector<std::wstring> cPropertyBag::Keys() const {
  std::vector<std::wstring> keys;
  for (const Entry& entry : entries_) keys.push_back(entry.key);
  return keys;
}

HRESULT cPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
  if (!name || !value) return E_POINTER;
  const VARIANT* v = value;
  if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
  Entry entry;
  entry.key = name;
  Variant plain;
  if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(v)))) return E_INVALIDARG;
  switch (plain.vt) {
    case VT_EMPTY:
    case VT_I2:
    case VT_I4:
    case VT_BOOL:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_BSTR:
      entry.type = plain.vt;
      CopyVariant(&entry.value, &plain);
      break;
    case VT_ARRAY | VT_UI1:
      entry.type = plain.vt;
      VariantToBytes(plain, &entry.bytes);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      entry.type = VT_UNKNOWN;
      if (!plain.punkVal) {
        entry.type = VT_EMPTY;
      } else if (SaveBitmapPicture(plain.punkVal, &entry.bytes)) {
        entry.type = kBitmapPicture;
      } else if (!SaveObject(plain.punkVal, &entry.bytes)) {
        return E_INVALIDARG;
      }
      break;
    default: {
      // Other numbers and dates are kept as text.
      entry.type = VT_BSTR;
      if (FAILED(VariantChangeType(&entry.value, &plain, 0, VT_BSTR))) return E_INVALIDARG;
      break;
    }
  }
  if (Entry* existing = Find(entry.key)) {
    existing->type = entry.type;
    CopyVariant(&existing->value, &entry.value);
    existing->bytes = std::move(entry.bytes);
  } else {
    entries_.push_back(std::move(entry));
  }
  return S_OK;
}

HRESULT cPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  if (!name || !value) return E_POINTER;
  Entry* entry = Find(name);
  if (!entry) return E_INVALIDARG;
  VARTYPE wanted = value->vt;
  Variant stored;
  switch (entry->type) {
    case VT_ARRAY | VT_UI1: {
      HRESULT hr = BytesToVariant(entry->bytes, &stored);
      if (FAILED(hr)) return hr;
      break;
    }
    case VT_UNKNOWN:
    case kBitmapPicture: {
      IDispatch* object = nullptr;
      HRESULT hr = entry->type == kBitmapPicture ? LoadBitmapPicture(entry->bytes, &object)
                                                 : LoadObject(entry->bytes, &object);
      if (FAILED(hr)) return hr;
      stored.vt = VT_DISPATCH;
      stored.pdispVal = object;
      break;
    }
    default:
      CopyVariant(&stored, &entry->value);
      break;
  }
  VariantClear(value);
  if (wanted == VT_EMPTY || wanted == stored.vt) return CopyVariant(value, &stored);
  if (wanted == VT_UNKNOWN && stored.vt == VT_DISPATCH) {
    value->vt = VT_UNKNOWN;
    value->punkVal = stored.pdispVal;
    stored.pdispVal->AddRef();
    return S_OK;
  }
  return VariantChangeType(value, &stored, 0, wanted);
}

std::vector<BYTE> cPropertyBag::Contents() const {
  Writer w;
  w.Value<std::uint32_t>(kMagic);
  w.Value<std::uint32_t>(kVersion);
  w.Value<std::uint32_t>(static_cast<std::uint32_t>(entries_.size()));
  for (const Entry& entry : entries_) {
    w.Text(entry.key);
    w.Value<std::uint16_t>(entry.type);
    switch (entry.type) {
      case VT_I2:
        w.Value<std::int16_t>(entry.value.iVal);
        break;
      case VT_I4:
        w.Value<std::int32_t>(entry.value.lVal);
        break;
      case VT_BOOL:
        w.Value<std::int32_t>(entry.value.boolVal);
        break;
      case VT_R4:
        w.Value(entry.value.fltVal);
        break;
      case VT_R8:
        w.Value(entry.value.dblVal);
        break;
      case VT_CY:
        w.Value(entry.value.cyVal.int64);
        break;
      case VT_BSTR:
        w.Text(entry.value.bstrVal ? std::wstring(entry.value.bstrVal, SysStringLen(entry.value.bstrVal))
                                   : std::wstring());
        break;
      case VT_ARRAY | VT_UI1:
      case VT_UNKNOWN:
      case kBitmapPicture:
        w.Bytes(entry.bytes);
        break;
      default:
        break;
    }
  }
  return std::move(w.out);
}

bool cPropertyBag::LoadContents(const BYTE* data, std::size_t size) {
  entries_.clear();
  Reader r(data, size);
  std::uint32_t magic = 0, version = 0, count = 0;
  if (!r.Value(&magic) || magic != kMagic || !r.Value(&version) || version < 1 || !r.Value(&count)) {
    return false;
  }
  std::vector<Entry> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    Entry entry;
    std::uint16_t type = 0;
    if (!r.Text(&entry.key) || !r.Value(&type)) return false;
    entry.type = type;
    bool ok = true;
    switch (type) {
      case VT_EMPTY:
        break;
      case VT_I2: {
        std::int16_t v = 0;
        ok = r.Value(&v);
        entry.value.vt = VT_I2;
        entry.value.iVal = v;
        break;
      }
      case VT_I4: {
        std::int32_t v = 0;
        ok = r.Value(&v);
        entry.value.vt = VT_I4;
        entry.value.lVal = v;
        break;
      }
      case VT_BOOL: {
        std::int32_t v = 0;
        ok = r.Value(&v);
        entry.value.vt = VT_BOOL;
        entry.value.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      }
      case VT_R4:
        entry.value.vt = VT_R4;
        ok = r.Value(&entry.value.fltVal);
        break;
      case VT_R8:
        entry.value.vt = VT_R8;
        ok = r.Value(&entry.value.dblVal);
        break;
      case VT_CY:
        entry.value.vt = VT_CY;
        ok = r.Value(&entry.value.cyVal.int64);
        break;
      case VT_BSTR: {
        std::wstring text;
        ok = r.Text(&text);
        entry.value.vt = VT_BSTR;
        entry.value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        break;
      }
      case VT_ARRAY | VT_UI1:
      case VT_UNKNOWN:
      case kBitmapPicture:
        ok = r.Bytes(&entry.bytes);
        break;
      default:
        ok = false;
        break;
    }
    if (!ok) return false;
    entries.push_back(std::move(entry));
  }
  entries_ = std::move(entries);
  return true;
}

HRESULT cPropertyBag::SaveToStream(IStream* stream) const {
  if (!stream) return E_POINTER;
  std::vector<BYTE> bytes = Contents();
  std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
  ULONG written = 0;
  HRESULT hr = stream->Write(&size, sizeof size, &written);
  if (FAILED(hr)) return hr;
  if (written != sizeof size) return STG_E_WRITEFAULT;
  hr = stream->Write(bytes.data(), size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_WRITEFAULT;
}

HRESULT cPropertyBag::LoadFromStream(IStream* stream) {
  if (!stream) return E_POINTER;
  std::uint32_t size = 0;
  ULONG read = 0;
  HRESULT hr = stream->Read(&size, sizeof size, &read);
  if (FAILED(hr)) return hr;
  if (read != sizeof size || size > 64u * 1024 * 1024) return STG_E_READFAULT;
  std::vector<BYTE> bytes(size);
  hr = stream->Read(bytes.data(), size, &read);
  if (FAILED(hr)) return hr;
  if (read != size) return STG_E_READFAULT;
  return LoadContents(bytes.data(), bytes.size()) ? S_OK : E_FAIL;
}

}  // namespace marlinbar
