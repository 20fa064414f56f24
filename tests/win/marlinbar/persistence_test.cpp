// The control saved into and loaded from a property bag and a stream: key
// order, what is left out, defaults for missing keys, bitmap records with
// icons and bitmaps, duplicate keys, and failing reads.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/property_bag.h"
#include "control_fixture.h"
#include "drawing/mem_dc.h"

namespace marlinbar::test {
namespace {

const wchar_t* const kStyleAndColourKeys[] = {
    L"UseOfice2003Style", L"MenuBarStar", L"MenuBarEnd", L"MainHoveStar", L"MainHoveEnd", L"MenuPopupBack2003",
    L"SelMenuBack2003", L"CheckBack2003", L"SelCheckBack2003", L"MenuBorder2003", L"MenuShadow2003",
    L"MenuShadow", L"MainSeprator", L"SelMenuBorder", L"SelMenuFore", L"SelMenuBack", L"CheckBack",
    L"CheckFore", L"SelCheckBack", L"MenuBorder", L"MenuBack", L"MenuFore", L"DisabledMenuBorder",
    L"DisabledMenuBack", L"DisabledMenuFore", L"MenuBarBack", L"MenuPopupBack", L"SelectDisabled",
    L"BitmapSize"};

class Persistence : public ControlTest {
 protected:
  // Gives every property a value other than its default and the control
  // two bitmap records: a bitmap and an icon.
  void ChangeEverything(IDispatch* control) {
    OLE_COLOR value = 0x102030;
    for (const ColourCase& colour : ColourCases()) {
      PutProperty(control, colour.id, Variant::Long(static_cast<LONG>(value)));
      value += 0x010101;
    }
    PutProperty(control, kUseOfice2003Style, Variant::Bool(false));
    PutProperty(control, kSelectDisabled, Variant::Bool(false));
    PutProperty(control, kBitmapSize, Variant::Long(24));
    PutProperty(control, kUseSystemFont, Variant::Bool(false));
    std::wstring face = L"Courier New";
    FONTDESC desc{sizeof(FONTDESC), face.data(), {{140000, 0}}, FW_BOLD, DEFAULT_CHARSET, TRUE, FALSE, FALSE};
    ComPtr<IFontDisp> font;
    OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(font.Put()));
    Variant f = Variant::Object(font.Get());
    f.vt = VT_DISPATCH;
    PutProperty(control, kFont, f, DISPATCH_PROPERTYPUTREF);
    bitmap = MakeBitmapPicture(16, 16, RGB(255, 0, 0));
    icon = MakeIconPicture(16, RGB(0, 255, 0));
    Variant pic;
    pic.vt = VT_DISPATCH | VT_BYREF;
    IDispatch* p = bitmap.Get();
    pic.ppdispVal = &p;
    CallMethod(control, kSetBitmapByCaption, {Variant::String(L"mnuOpen"), pic, Variant::Long(0xC0C0C0)});
    p = icon.Get();
    CallMethod(control, kSetBitmapByCaption, {Variant::String(L"mnuRecent:3"), pic});
  }

  // Every property of two controls is the same.
  void ExpectSameProperties(IDispatch* a, IDispatch* b) {
    for (const ColourCase& colour : ColourCases()) {
      EXPECT_EQ(GetLong(a, colour.id), GetLong(b, colour.id)) << colour.id;
    }
    for (DISPID id : {kUseOfice2003Style, kSelectDisabled, kBitmapSize, kUseSystemFont}) {
      EXPECT_EQ(GetLong(a, id), GetLong(b, id)) << id;
    }
    Variant fa, fb;
    GetProperty(a, kFont, &fa);
    GetProperty(b, kFont, &fb);
    ComPtr<IFont> ia, ib;
    fa.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(ia.Put()));
    fb.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(ib.Put()));
    Bstr na, nb;
    ia->get_Name(na.Put());
    ib->get_Name(nb.Put());
    EXPECT_STREQ(na.Get(), nb.Get());
    CY sa{}, sb{};
    ia->get_Size(&sa);
    ib->get_Size(&sb);
    EXPECT_EQ(sa.int64, sb.int64);
    BOOL ba = FALSE, bb = FALSE;
    ia->get_Bold(&ba);
    ib->get_Bold(&bb);
    EXPECT_EQ(!ba, !bb);
  }

  // The two records of ChangeEverything, loaded back: a bitmap, and an icon
  // whose mask still leaves its frame transparent.
  void ExpectRecordsSurvived(Marlinbar* c) {
    ASSERT_EQ(c->m_colBitmaps.size(), 2u);
    EXPECT_EQ(c->m_colBitmaps[0].Key, L"#mnuOpen");
    EXPECT_EQ(c->m_colBitmaps[0].MaskColor, 0xC0C0C0);
    EXPECT_EQ(PictureType(c->m_colBitmaps[0].Picture.Get()), PICTYPE_BITMAP);
    EXPECT_EQ(c->m_colBitmaps[1].Key, L"#mnuRecent:3");
    EXPECT_EQ(c->m_colBitmaps[1].MaskColor, 0xFF00FF);
    EXPECT_EQ(PictureType(c->m_colBitmaps[1].Picture.Get()), PICTYPE_ICON);
    cMemDC surface;
    surface.Init(16, 16, nullptr, nullptr);
    surface.Cls(RGB(255, 255, 255), nullptr);
    surface.PaintPicture(c->m_colBitmaps[1].Picture.Get(), 0, 0, 0, 0, 0, 0, SRCCOPY, -1);
    EXPECT_EQ(surface.GetPixel(0, 0), RGB(255, 255, 255)) << "the mask came back";
    EXPECT_EQ(surface.GetPixel(8, 8), RGB(0, 255, 0));
    surface.Cls(RGB(255, 255, 255), nullptr);
    surface.PaintPicture(c->m_colBitmaps[0].Picture.Get(), 0, 0, 0, 0, 0, 0, SRCCOPY, -1);
    EXPECT_EQ(surface.GetPixel(8, 8), RGB(255, 0, 0));
  }

  ComPtr<IPictureDisp> bitmap;
  ComPtr<IPictureDisp> icon;
};

TEST_F(Persistence, PropertyBagRoundTripKeepsEverySettingInTheKeyOrder) {
  hosted = HostedControl::Create(site.get());
  ChangeEverything(dispatch());
  ComPtr<IPersistPropertyBag> persist = hosted.object.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);

  std::vector<std::wstring> expected(std::begin(kStyleAndColourKeys), std::end(kStyleAndColourKeys));
  for (const wchar_t* key : {L"BmpCount", L"Bmp:1", L"Mask:1", L"Key:1", L"Bmp:2", L"Mask:2", L"Key:2",
                             L"UseSystemFont", L"Font"}) {
    expected.emplace_back(key);
  }
  EXPECT_EQ(bag.keys, expected);
  EXPECT_TRUE(bag.IsObject(L"Bmp:1")) << "a bitmap is written as a picture";
  ASSERT_NE(bag.Get(L"Bmp:2"), nullptr);
  EXPECT_EQ(bag.Get(L"Bmp:2")->vt, VT_ARRAY | VT_UI1) << "an icon as the bytes of a bag of its own";
  EXPECT_EQ(bag.Get(L"Key:2")->vt, VT_BSTR);
  EXPECT_EQ(bag.Get(L"BmpCount")->lVal, 2);

  HostedControl first = std::move(hosted);
  hosted = HostedControl::Create(site.get(), &bag);
  ExpectSameProperties(first.dispatch.Get(), dispatch());
  ExpectRecordsSurvived(control());
  EXPECT_EQ(control()->m_hWnd, form->hwnd()) << "ReadProperties ends with Init";
  first.Close();
}

TEST_F(Persistence, ANewControlWritesOnlyTheBitmapCountAndMissingKeysTakeDefaults) {
  hosted = HostedControl::Create(site.get());
  ComPtr<IPersistPropertyBag> persist = hosted.object.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
  EXPECT_EQ(bag.keys, std::vector<std::wstring>{L"BmpCount"}) << "defaults are left out";
  EXPECT_EQ(bag.Get(L"BmpCount")->lVal, 0);
  hosted.Close();

  // Loading from it (or from an empty bag) gives a control in its defaults,
  // with no bitmap records.
  bag.Clear();
  hosted = HostedControl::Create(site.get(), &bag);
  for (const ColourCase& colour : ColourCases()) {
    EXPECT_EQ(static_cast<OLE_COLOR>(GetLong(dispatch(), colour.id)), colour.normal) << colour.id;
  }
  EXPECT_EQ(GetLong(dispatch(), kBitmapSize), 16);
  EXPECT_EQ(GetLong(dispatch(), kSelectDisabled), VARIANT_TRUE);
  EXPECT_TRUE(control()->m_colBitmaps.empty());
}

TEST_F(Persistence, AFormSavedOnANormalDisplayKeepsItsColoursOnALowColourOne) {
  hosted = HostedControl::Create(site.get());
  PutProperty(dispatch(), 0x6803000F, Variant::Long(0x123456));  // MenuBack
  PutProperty(dispatch(), 0x68030014, Variant::Long(0x654321));  // SelMenuBack
  ComPtr<IPersistPropertyBag> persist = hosted.object.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  persist->Save(&bag, TRUE, TRUE);
  hosted.Close();

  ASSERT_TRUE(bag.Has(L"MenuBack"));
  ASSERT_TRUE(bag.Has(L"SelMenuBack"));
  EXPECT_TRUE(bag.Has(L"DisabledMenuBack")) << "its blended default follows MenuBack, which changed";

  OverrideDisplayColourBits(8);
  hosted = HostedControl::Create(site.get(), &bag);
  EXPECT_TRUE(control()->m_bLowColor);
  for (const ColourCase& colour : ColourCases()) {
    const VARIANT* written = bag.Get(colour.name);
    OLE_COLOR expected = written ? static_cast<OLE_COLOR>(written->lVal) : colour.low;
    EXPECT_EQ(static_cast<OLE_COLOR>(GetLong(dispatch(), colour.id)), expected) << colour.id;
  }
}

TEST_F(Persistence, BitmapRecordsWithTheSameKeyLoadAsOneAndEachReadIsGuardedOnItsOwn) {
  ComPtr<IPictureDisp> red = MakeBitmapPicture(4, 4, RGB(255, 0, 0));
  Variant pic = Variant::Object(red.Get());
  pic.vt = VT_DISPATCH;
  bag.Put(L"BmpCount", Variant::Long(3));
  bag.Put(L"Bmp:1", pic);
  bag.Put(L"Mask:1", Variant::Long(1));
  bag.Put(L"Key:1", Variant::String(L"#mnuA"));
  bag.Put(L"Mask:2", Variant::Long(2));
  bag.Put(L"Key:2", Variant::String(L"#mnuA"));
  bag.Put(L"Mask:3", Variant::Long(3));
  // Values that cannot be read as their type leave their defaults.
  bag.Put(L"BitmapSize", Variant::String(L"not a number"));
  bag.Put(L"SelectDisabled", Variant::Bool(false));
  bag.Put(L"MenuShadow", Variant::String(L"nor is this"));
  hosted = HostedControl::Create(site.get(), &bag);
  Marlinbar* c = control();
  ASSERT_EQ(c->m_colBitmaps.size(), 2u);
  EXPECT_EQ(c->m_colBitmaps[0].Key, L"#mnuA");
  EXPECT_EQ(c->m_colBitmaps[0].MaskColor, 1) << "the first of the same key wins";
  EXPECT_EQ(PictureType(c->m_colBitmaps[0].Picture.Get()), PICTYPE_BITMAP);
  EXPECT_EQ(c->m_colBitmaps[1].Key, L"#3") << "a missing key reads as # and the number";
  EXPECT_FALSE(c->m_colBitmaps[1].Picture) << "no picture stored";
  EXPECT_EQ(GetLong(dispatch(), kBitmapSize), 16);
  EXPECT_EQ(GetLong(dispatch(), kSelectDisabled), VARIANT_FALSE);
  EXPECT_EQ(GetLong(dispatch(), 0x68030022), 0);
}

TEST_F(Persistence, StreamRoundTripKeepsEverySettingAndTheDataAfterIt) {
  hosted = HostedControl::Create(site.get());
  ChangeEverything(dispatch());
  ComPtr<IPersistStreamInit> persist = hosted.object.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
  ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  const DWORD kMarker = 0xC0FFEE11;
  stream->Write(&kMarker, sizeof kMarker, nullptr);
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  ULARGE_INTEGER max{};
  ASSERT_EQ(persist->GetSizeMax(&max), S_OK);
  EXPECT_GE(max.QuadPart, stat.cbSize.QuadPart - sizeof kMarker);

  HostedControl first = std::move(hosted);
  hosted.object = NewControl();
  hosted.object->SetClientSite(site.get());
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ComPtr<IPersistStreamInit> second = hosted.object.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_EQ(second->Load(stream.Get()), S_OK);
  hosted.dispatch = hosted.object.As<IDispatch>(IID_IDispatch);
  DWORD after = 0;
  stream->Read(&after, sizeof after, nullptr);
  EXPECT_EQ(after, kMarker) << "the control reads only its own bytes";
  ExpectSameProperties(first.dispatch.Get(), dispatch());
  ExpectRecordsSurvived(control());
  EXPECT_EQ(control()->m_hWnd, form->hwnd());
  first.Close();

  // A stream that is not ours is refused, and the control stays usable.
  ComPtr<IStream> junk;
  CreateStreamOnHGlobal(nullptr, TRUE, junk.Put());
  const BYTE bytes[] = {8, 0, 0, 0, 'n', 'o', 't', ' ', 'o', 'u', 'r', 's'};
  junk->Write(bytes, sizeof bytes, nullptr);
  junk->Seek(zero, STREAM_SEEK_SET, nullptr);
  EXPECT_TRUE(FAILED(second->Load(junk.Get())));
  EXPECT_EQ(GetLong(dispatch(), kBitmapSize), 24);
}

TEST(PropertyBagBytes, ContentsRoundTripEveryKindOfValue) {
  ComPtr<cPropertyBag> bag = cPropertyBag::Create();
  Variant number = Variant::Long(-7);
  Variant flag = Variant::Bool(true);
  Variant text = Variant::String(L"中文 text");
  Variant bytes;
  BytesToVariant({1, 2, 3}, &bytes);
  ComPtr<IPictureDisp> picture = MakeBitmapPicture(3, 3, RGB(1, 2, 3));
  Variant object = Variant::Object(picture.Get());
  bag->Write(L"n", &number);
  bag->Write(L"b", &flag);
  bag->Write(L"t", &text);
  bag->Write(L"a", &bytes);
  bag->Write(L"o", &object);
  std::vector<BYTE> contents = bag->Contents();

  ComPtr<cPropertyBag> copy = cPropertyBag::Create();
  ASSERT_TRUE(copy->LoadContents(contents.data(), contents.size()));
  EXPECT_EQ(copy->Keys(), (std::vector<std::wstring>{L"n", L"b", L"t", L"a", L"o"}));
  Variant v;
  v.vt = VT_I4;
  ASSERT_EQ(copy->Read(L"N", &v, nullptr), S_OK) << "keys ignore letter case";
  EXPECT_EQ(v.lVal, -7);
  v.Clear();
  copy->Read(L"t", &v, nullptr);
  EXPECT_STREQ(v.bstrVal, L"中文 text");
  v.Clear();
  copy->Read(L"a", &v, nullptr);
  std::vector<BYTE> back;
  ASSERT_TRUE(VariantToBytes(v, &back));
  EXPECT_EQ(back, (std::vector<BYTE>{1, 2, 3}));
  v.Clear();
  copy->Read(L"o", &v, nullptr);
  ASSERT_EQ(v.vt, VT_DISPATCH);
  EXPECT_NE(v.pdispVal, static_cast<IDispatch*>(picture.Get())) << "a stored copy, not a reference";
  EXPECT_EQ(PictureType(v.pdispVal), PICTYPE_BITMAP);
  v.Clear();
  EXPECT_EQ(copy->Read(L"missing", &v, nullptr), E_INVALIDARG);

  // Cut short anywhere, the bytes are refused as a whole.
  for (std::size_t n = 0; n < contents.size(); n += 7) {
    ComPtr<cPropertyBag> cut = cPropertyBag::Create();
    EXPECT_FALSE(cut->LoadContents(contents.data(), n)) << n;
    EXPECT_TRUE(cut->Keys().empty());
  }
}

}  // namespace
}  // namespace marlinbar::test
