// cPropertyBag: an in-memory property bag whose contents can be taken out
// as bytes and loaded back. The control uses it for the nested bag of an
// icon's two bitmaps and for its stream persistence, where the bag's bytes
// are the stream format.
//
// Byte format, little-endian: "MBPB", format version (32 bits), number of
// entries, then per entry the key (32-bit length in UTF-16 units and the
// units), a 16-bit variant type and the value: VT_I2 16 bits, VT_I4 and
// VT_BOOL 32 bits, VT_R4, VT_R8 and VT_CY their bytes, VT_BSTR a 32-bit
// length in units and the units, VT_ARRAY|VT_UI1 a 32-bit length and the
// bytes, VT_UNKNOWN a 32-bit length and the object as OleSaveToStream
// writes it (its class and its IPersistStream data), kBitmapPicture a
// 32-bit length and a bitmap picture as a packed DIB (header, colour table,
// rows) at 1, 24 or 32 bits per pixel. Objects are stored when written, so
// a bag holds values, not references.
//
// Bitmap pictures are stored as DIBs of our own rather than through the
// picture's IPersistStream: some systems write 32-bit device bitmaps there
// with a header that their own reader takes apart wrongly, and the colours
// are lost.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "control/com_ptr.h"

namespace marlinbar {

class cPropertyBag final : public IPropertyBag {
 public:
  static constexpr std::uint32_t kMagic = 0x4250424D;  // "MBPB"
  static constexpr std::uint32_t kVersion = 1;
  static constexpr VARTYPE kBitmapPicture = 0x0FFF;

  static ComPtr<cPropertyBag> Create();

  std::vector<BYTE> Contents() const;
  // False (and the bag left empty) when the bytes are not a bag.
  bool LoadContents(const BYTE* data, std::size_t size);
  // The contents with a 32-bit length ahead, so a stream can hold more
  // after them.
  HRESULT SaveToStream(IStream* stream) const;
  HRESULT LoadFromStream(IStream* stream);

  // Keys in the order first written.
  std::vector<std::wstring> Keys() const;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

 private:
  cPropertyBag();
  ~cPropertyBag();

  struct Entry {
    std::wstring key;
    VARTYPE type = VT_EMPTY;
    Variant value;            // plain values
    std::vector<BYTE> bytes;  // byte arrays and stored objects
  };
  Entry* Find(const std::wstring& key);

  LONG refs_ = 1;
  std::vector<Entry> entries_;
};

// Byte array variants (VT_ARRAY | VT_UI1).
HRESULT BytesToVariant(const std::vector<BYTE>& bytes, VARIANT* value);
bool VariantToBytes(const VARIANT& value, std::vector<BYTE>* bytes);

}  // namespace marlinbar
