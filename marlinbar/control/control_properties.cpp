// The control's life cycle, properties, fonts, bitmap records, Init and the
// support routines that the menu drawing shares.
#include <cmath>
#include <new>

#include "control/about_box.h"
#include "control/control_sinks.h"
#include "control/dispatch_util.h"
#include "control/keyed_collection.h"
#include "control/marlinbar_control.h"
#include "control/menu_objects.h"
#include "control/module.h"
#include "control/resource_ids.h"
#include "drawing/gdi_tracking.h"
#include "drawing/mem_dc.h"
#include "hooks/menu_hook.h"

namespace marlinbar {

namespace {

constexpr DISPID kFontId = 0x68030005;
constexpr DISPID kSelectDisabledId = 0x68030008;
constexpr DISPID kBitmapSizeId = 0x68030007;
constexpr DISPID kUseSystemFontId = 0x68030006;
constexpr DISPID kUseOfice2003StyleId = 0x68030020;
constexpr DISPID kBitmapListId = 0x6803002D;

struct ColourInfo {
  const wchar_t* key;
  DISPID id;
};

const ColourInfo kColours[kColourCount] = {
    {L"MenuBarStar", 0x6803002B},       {L"MenuBarEnd", 0x6803002A},     {L"MainHoveStar", 0x68030029},
    {L"MainHoveEnd", 0x68030028},       {L"MenuPopupBack2003", 0x68030027}, {L"SelMenuBack2003", 0x68030026},
    {L"CheckBack2003", 0x68030025},     {L"SelCheckBack2003", 0x68030024}, {L"MenuBorder2003", 0x68030023},
    {L"MenuShadow2003", 0x68030021},    {L"MenuShadow", 0x68030022},     {L"MainSeprator", 0x68030017},
    {L"SelMenuBorder", 0x68030016},     {L"SelMenuFore", 0x68030015},    {L"SelMenuBack", 0x68030014},
    {L"CheckBack", 0x68030013},         {L"CheckFore", 0x68030012},      {L"SelCheckBack", 0x68030011},
    {L"MenuBorder", 0x68030010},        {L"MenuBack", 0x6803000F},       {L"MenuFore", 0x6803000E},
    {L"DisabledMenuBorder", 0x6803000D}, {L"DisabledMenuBack", 0x6803000C}, {L"DisabledMenuFore", 0x6803000B},
    {L"MenuBarBack", 0x6803000A},       {L"MenuPopupBack", 0x68030009},
};

const OLE_COLOR kWindow = SysColour(COLOR_WINDOW);
const OLE_COLOR kMenu = SysColour(COLOR_MENU);
const OLE_COLOR kMenuText = SysColour(COLOR_MENUTEXT);
const OLE_COLOR kWindowText = SysColour(COLOR_WINDOWTEXT);
const OLE_COLOR kHighlight = SysColour(COLOR_HIGHLIGHT);
const OLE_COLOR kButtonFace = SysColour(COLOR_BTNFACE);
const OLE_COLOR kButtonShadow = SysColour(COLOR_BTNSHADOW);
const OLE_COLOR kGrayText = SysColour(COLOR_GRAYTEXT);
const OLE_COLOR kButtonText = SysColour(COLOR_BTNTEXT);

COLORREF ToRgb(OLE_COLOR colour) {
  COLORREF rgb = 0;
  if (FAILED(OleTranslateColor(colour, nullptr, &rgb))) return 0;
  return rgb & 0xFFFFFF;
}

bool PictureIsEmpty(IPictureDisp* picture) {
  if (!picture) return true;
  ComPtr<IPicture> pic;
  picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.Put()));
  if (!pic) return false;
  OLE_HANDLE handle = 0;
  SHORT type = PICTYPE_NONE;
  pic->get_Type(&type);
  pic->get_Handle(&handle);
  return type == PICTYPE_NONE || type == PICTYPE_UNINITIALIZED || handle == 0;
}

ComPtr<IPictureDisp> LoadGlyph(int id) {
  HBITMAP bitmap = gdi::Created(static_cast<HBITMAP>(
      LoadImageW(ThisModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!bitmap) return nullptr;
  ComPtr<IPictureDisp> picture = cMemDC::BitmapToPicture(bitmap, nullptr);
  if (picture) {
    gdi::HandedOver(bitmap);
  } else {
    gdi::DeleteObject(bitmap);
  }
  return picture;
}

// A three-element array: picture, mask colour, key.
HRESULT RecordToVariant(const BitmapRecord& record, VARIANT* out) {
  VariantInit(out);
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 1, 3);
  if (!array) return E_OUTOFMEMORY;
  Variant picture = Variant::Object(record.Picture.Get());
  if (record.Picture) {
    picture.vt = VT_DISPATCH;  // the same pointer, as IPictureDisp
  }
  Variant mask = Variant::Long(record.MaskColor);
  Variant key = Variant::String(record.Key.c_str());
  LONG i = 1;
  SafeArrayPutElement(array, &i, &picture);
  i = 2;
  SafeArrayPutElement(array, &i, &mask);
  i = 3;
  SafeArrayPutElement(array, &i, &key);
  out->vt = VT_ARRAY | VT_VARIANT;
  out->parray = array;
  return S_OK;
}

bool VariantToRecord(const VARIANT& value, BitmapRecord* record) {
  const VARIANT* v = &value;
  if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
  if (v->vt != (VT_ARRAY | VT_VARIANT) || !v->parray || SafeArrayGetDim(v->parray) != 1) return false;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(v->parray, 1, &lower);
  SafeArrayGetUBound(v->parray, 1, &upper);
  if (upper - lower + 1 < 3) return false;
  Variant picture, mask, key;
  LONG i = lower;
  SafeArrayGetElement(v->parray, &i, &picture);
  i = lower + 1;
  SafeArrayGetElement(v->parray, &i, &mask);
  i = lower + 2;
  SafeArrayGetElement(v->parray, &i, &key);
  record->Picture = nullptr;
  if ((picture.vt == VT_DISPATCH || picture.vt == VT_UNKNOWN) && picture.punkVal) {
    picture.punkVal->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(record->Picture.Put()));
  }
  LONG maskColour = 0;
  VariantLong(mask, &maskColour);
  record->MaskColor = maskColour;
  record->Key = VariantText(key);
  return true;
}

}  // namespace

const wchar_t* ColourKey(Colour colour) { return kColours[static_cast<int>(colour)].key; }

// ---- life cycle

void Marlinbar::Initialize() {
  m_lHotItem = -1;
  m_colPopups.clear();
  m_colBitmaps.clear();
  m_colFrames.clear();
  m_colItems.clear();
  // The control's own font object, watched for changes; it starts as the
  // system menu font and takes the container's font with InitProperties.
  std::wstring face;
  FONTDESC desc = SystemMenuFontDesc(&face);
  OleCreateFontIndirect(&desc, IID_IFont, reinterpret_cast<void**>(m_oFont.Put()));
  fontNotify_ = new (std::nothrow) FontNotify(this);
  if (m_oFont && fontNotify_) {
    ComPtr<IConnectionPointContainer> points = m_oFont.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    if (points && SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()))) {
      point->Advise(fontNotify_, &fontCookie_);
    }
  }
  sink_ = new (std::nothrow) SinkImpl(this);
  ImgMinimize = LoadGlyph(IDB_GLYPH_MINIMIZE);
  ImgMaximize = LoadGlyph(IDB_GLYPH_MAXIMIZE);
  ImgNext = LoadGlyph(IDB_GLYPH_NEXT);
  ImgClose = LoadGlyph(IDB_GLYPH_CLOSE);
  ImgRestore = LoadGlyph(IDB_GLYPH_RESTORE);
  for (int i = 0; i < kColourCount; ++i) colours_[i] = 0;
  menuHook_ = cMenuHook::Acquire();
}

void Marlinbar::Terminate() {
  InPlaceDeactivate();
  m_oFormSubclass.reset();
  m_oClientSubclass.reset();
  if (sink_) {
    sink_->Detach();
    sink_->Release();
    sink_ = nullptr;
  }
  if (m_oFont && fontCookie_) {
    ComPtr<IConnectionPointContainer> points = m_oFont.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    if (points && SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()))) {
      point->Unadvise(fontCookie_);
    }
    fontCookie_ = 0;
  }
  if (fontNotify_) {
    fontNotify_->Detach();
    fontNotify_->Release();
    fontNotify_ = nullptr;
  }
  m_hFont = nullptr;
  m_oFont = nullptr;
  m_colPopups.clear();
  m_colFrames.clear();
  m_colItems.clear();
  if (m_hSysFont) gdi::DeleteObject(std::exchange(m_hSysFont, nullptr));
  m_colBitmaps.clear();
  ImgMinimize = ImgMaximize = ImgNext = ImgClose = ImgRestore = nullptr;
  eventsPoint_.DisconnectAll();
  notifyPoint_.DisconnectAll();
  viewSink_ = nullptr;
  adviseHolder_ = nullptr;
  inPlaceSite_ = nullptr;
  site_ = nullptr;
  if (m_oCurrent == this) m_oCurrent = nullptr;
  menuHook_.reset();
}

// ---- colours

HRESULT Marlinbar::GetColour(Colour colour, OLE_COLOR* value) {
  if (!value) return E_POINTER;
  *value = colours_[static_cast<int>(colour)];
  return S_OK;
}

HRESULT Marlinbar::PutColour(Colour colour, OLE_COLOR value) {
  // A system colour is stored as its present RGB value, so later changes of
  // the system colours leave a colour the user chose alone.
  if (value & 0x80000000u) value = GetSysColor(static_cast<int>(value & 0x7FFFFFFFu)) & 0xFFFFFF;
  colours_[static_cast<int>(colour)] = value;
  PropertyChanged(kColours[static_cast<int>(colour)].id);
  return S_OK;
}

OLE_COLOR Marlinbar::DefaultColour(Colour colour, OLE_COLOR menuBack) const {
  bool low = m_bLowColor;
  OLE_COLOR s = pvBlendColor(kHighlight, kWindow, 70);
  switch (colour) {
    case Colour::MenuBarStar: return 16777215;
    case Colour::MenuBarEnd: return 15383449;
    case Colour::MainHoveStar: return 16316671;
    case Colour::MainHoveEnd: return 10344447;
    case Colour::MenuPopupBack2003: return 16185078;
    case Colour::SelMenuBack2003: return 12644607;
    case Colour::CheckBack2003: return 15835050;
    case Colour::SelCheckBack2003: return 10870520;
    case Colour::MenuBorder2003: return 13339754;
    case Colour::MenuShadow2003: return 9448704;
    case Colour::MenuShadow: return 0;
    case Colour::MainSeprator: return 8552576;
    case Colour::SelMenuBorder: return low ? kButtonText : kHighlight;
    case Colour::SelMenuFore: return low ? kWindowText : kMenuText;
    case Colour::SelMenuBack: return low ? kWindow : s;
    case Colour::CheckBack: return low ? kWindow : pvBlendColor(kWindow, s, 128);
    case Colour::CheckFore: return low ? kWindowText : kMenuText;
    case Colour::SelCheckBack: return low ? kWindow : pvBlendColor(pvBlendColor(kHighlight, s, 128), s, 128);
    case Colour::MenuBorder: return low ? kButtonText : kButtonShadow;
    case Colour::MenuBack: return low ? kButtonFace : pvBlendColor(kButtonFace, kWindow, 214);
    case Colour::MenuFore: return low ? kMenuText : kWindowText;
    case Colour::DisabledMenuBorder: return low ? kButtonText : kButtonShadow;
    case Colour::DisabledMenuBack: return low ? kWindow : pvBlendColor(menuBack, kWindow, 128);
    case Colour::DisabledMenuFore: return kGrayText;
    case Colour::MenuBarBack: return pvFlatMenus() ? (GetSysColor(COLOR_MENUBAR) & 0xFFFFFF) : kMenu;
    case Colour::MenuPopupBack: return kWindow;
    case Colour::Count: break;
  }
  return 0;
}

// ---- other properties

HRESULT Marlinbar::get_SelectDisabled(VARIANT_BOOL* Value) {
  if (!Value) return E_POINTER;
  *Value = m_bSelectDisabled;
  return S_OK;
}

HRESULT Marlinbar::put_SelectDisabled(VARIANT_BOOL Value) {
  m_bSelectDisabled = Value ? VARIANT_TRUE : VARIANT_FALSE;
  PropertyChanged(kSelectDisabledId);
  return S_OK;
}

HRESULT Marlinbar::get_BitmapSize(LONG* Value) {
  if (!Value) return E_POINTER;
  *Value = m_lBitmapSize;
  return S_OK;
}

HRESULT Marlinbar::put_BitmapSize(LONG Value) {
  m_lBitmapSize = Value;
  pvRefreshMetrics();
  PropertyChanged(kBitmapSizeId);
  return S_OK;
}

HRESULT Marlinbar::get_UseOfice2003Style(VARIANT_BOOL* Value) {
  if (!Value) return E_POINTER;
  *Value = m_bUseOfice2003Style;
  return S_OK;
}

HRESULT Marlinbar::put_UseOfice2003Style(VARIANT_BOOL Value) {
  m_bUseOfice2003Style = Value ? VARIANT_TRUE : VARIANT_FALSE;
  pvRefreshMetrics();
  PropertyChanged(kUseOfice2003StyleId);
  return S_OK;
}

HRESULT Marlinbar::get_UseSystemFont(VARIANT_BOOL* Value) {
  if (!Value) return E_POINTER;
  *Value = m_bUseSystemFont;
  return S_OK;
}

HRESULT Marlinbar::put_UseSystemFont(VARIANT_BOOL Value) {
  m_bUseSystemFont = Value ? VARIANT_TRUE : VARIANT_FALSE;
  if (!m_bUseSystemFont) {
    RefreshControlFont();
  } else if (!m_hSysFont) {
    MakeSysFont();
  }
  pvRefreshMetrics();
  PropertyChanged(kUseSystemFontId);
  return S_OK;
}

void Marlinbar::MakeSysFont() {
  if (m_hSysFont) return;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    m_hSysFont = gdi::Created(CreateFontIndirectW(&metrics.lfMenuFont));
  }
}

void Marlinbar::RefreshControlFont() {
  // The control's window shows the font object's font; m_hFont is that
  // font as the window has it (the font object owns the handle).
  HFONT font = nullptr;
  if (m_oFont) m_oFont->get_hFont(&font);
  if (m_hWndControl) {
    SendMessageW(m_hWndControl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    m_hFont = reinterpret_cast<HFONT>(SendMessageW(m_hWndControl, WM_GETFONT, 0, 0));
  } else {
    m_hFont = font;
  }
}

void Marlinbar::OnFontChanged() {
  if (fontQuiet_) return;
  RefreshControlFont();
  pvRefreshMetrics();
}

HRESULT Marlinbar::get_Font(IFontDisp** Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  if (!m_bUseSystemFont) {
    RefreshControlFont();
  } else {
    MakeSysFont();
  }
  if (!m_oFont) return S_OK;
  return m_oFont->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(Value));
}

void Marlinbar::CopyFontInto(IFont* from) {
  if (!from || !m_oFont || from == m_oFont.Get()) return;
  fontQuiet_ = true;
  Bstr name;
  CY size{};
  BOOL flag = FALSE;
  SHORT number = 0;
  if (SUCCEEDED(from->get_Name(name.Put()))) m_oFont->put_Name(name.Get());
  if (SUCCEEDED(from->get_Size(&size))) m_oFont->put_Size(size);
  if (SUCCEEDED(from->get_Bold(&flag))) m_oFont->put_Bold(flag);
  if (SUCCEEDED(from->get_Italic(&flag))) m_oFont->put_Italic(flag);
  if (SUCCEEDED(from->get_Underline(&flag))) m_oFont->put_Underline(flag);
  if (SUCCEEDED(from->get_Strikethrough(&flag))) m_oFont->put_Strikethrough(flag);
  if (SUCCEEDED(from->get_Weight(&number))) m_oFont->put_Weight(number);
  if (SUCCEEDED(from->get_Charset(&number))) m_oFont->put_Charset(number);
  fontQuiet_ = false;
}

HRESULT Marlinbar::putref_Font(IFontDisp* oSrc) {
  ComPtr<IFont> source;
  if (oSrc) oSrc->QueryInterface(IID_IFont, reinterpret_cast<void**>(source.Put()));
  if (oSrc && !source) return E_INVALIDARG;
  CopyFontInto(source.Get());
  if (m_bUseSystemFont) {
    MakeSysFont();
  } else {
    RefreshControlFont();
  }
  pvRefreshMetrics();
  PropertyChanged(kFontId);
  return S_OK;
}

bool Marlinbar::SameFont(IFont* a, IFont* b) const {
  if (!a || !b) return a == b;
  Bstr nameA, nameB;
  CY sizeA{}, sizeB{};
  BOOL ia = FALSE, ib = FALSE, ua = FALSE, ub = FALSE, sa = FALSE, sb = FALSE;
  SHORT wa = 0, wb = 0, ca = 0, cb = 0;
  a->get_Name(nameA.Put());
  b->get_Name(nameB.Put());
  a->get_Size(&sizeA);
  b->get_Size(&sizeB);
  a->get_Italic(&ia);
  b->get_Italic(&ib);
  a->get_Underline(&ua);
  b->get_Underline(&ub);
  a->get_Strikethrough(&sa);
  b->get_Strikethrough(&sb);
  a->get_Weight(&wa);
  b->get_Weight(&wb);
  a->get_Charset(&ca);
  b->get_Charset(&cb);
  return lstrcmpiW(nameA.Get() ? nameA.Get() : L"", nameB.Get() ? nameB.Get() : L"") == 0 &&
         sizeA.int64 == sizeB.int64 && !ia == !ib && !ua == !ub && !sa == !sb && wa == wb && ca == cb;
}

// ---- ambient properties

HRESULT Marlinbar::AmbientProperty(DISPID id, VARIANT* value) const {
  VariantInit(value);
  if (!site_) return E_FAIL;
  ComPtr<IDispatch> ambient = site_.As<IDispatch>(IID_IDispatch);
  if (!ambient) return E_NOINTERFACE;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
}

void Marlinbar::ReadAmbientUserMode() {
  Variant mode;
  m_bUserMode = true;
  if (SUCCEEDED(AmbientProperty(DISPID_AMBIENT_USERMODE, &mode))) {
    Variant b;
    if (SUCCEEDED(VariantChangeType(&b, &mode, 0, VT_BOOL))) m_bUserMode = b.boolVal != VARIANT_FALSE;
  }
}

ComPtr<IFontDisp> Marlinbar::AmbientFont() const {
  Variant font;
  ComPtr<IFontDisp> result;
  if (SUCCEEDED(AmbientProperty(DISPID_AMBIENT_FONT, &font)) &&
      (font.vt == VT_DISPATCH || font.vt == VT_UNKNOWN) && font.punkVal) {
    font.punkVal->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(result.Put()));
  }
  if (result) return result;
  // No ambient font: the system's menu font.
  std::wstring face;
  FONTDESC desc = SystemMenuFontDesc(&face);
  OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(result.Put()));
  return result;
}

// ---- bitmap records

HRESULT Marlinbar::SetBitmap(IDispatch* Menu, IPictureDisp** Pic, OLE_COLOR MaskColor) {
  if (!Menu) return E_INVALIDARG;
  std::wstring key = pvMenuKey(Menu);
  Bstr name(key.c_str(), static_cast<UINT>(key.size()));
  return SetBitmapByCaption(name.Get(), Pic, MaskColor);
}

HRESULT Marlinbar::SetBitmapByCaption(BSTR sCtlName, IPictureDisp** Pic, OLE_COLOR MaskColor) {
  std::wstring key = L"#" + std::wstring(sCtlName ? sCtlName : L"", SysStringLen(sCtlName));
  for (auto it = m_colBitmaps.begin(); it != m_colBitmaps.end(); ++it) {
    if (SameKey(it->Key, key)) {
      m_colBitmaps.erase(it);
      break;
    }
  }
  IPictureDisp* picture = Pic ? *Pic : nullptr;
  if (!PictureIsEmpty(picture)) {
    m_colBitmaps.push_back(BitmapRecord{ComPtr<IPictureDisp>(picture), static_cast<LONG>(MaskColor), key});
  }
  PropertyChanged(kBitmapListId);
  return S_OK;
}

HRESULT Marlinbar::get_BitmapList(IKeyedCollection** Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  ComPtr<cKeyedCollection> list = cKeyedCollection::Create();
  if (!list) return E_OUTOFMEMORY;
  for (const BitmapRecord& record : m_colBitmaps) {
    Variant item;
    if (SUCCEEDED(RecordToVariant(record, &item))) list->Append(item, record.Key);
  }
  *Value = list.Detach();
  return S_OK;
}

HRESULT Marlinbar::putref_BitmapList(IDispatch* Value) {
  std::vector<Variant> items;
  HRESULT hr = ReadCollection(Value, &items);
  if (FAILED(hr)) return hr;
  std::vector<BitmapRecord> records;
  for (const Variant& item : items) {
    BitmapRecord record;
    if (!VariantToRecord(item, &record)) continue;
    bool duplicate = false;
    for (const BitmapRecord& r : records) duplicate = duplicate || SameKey(r.Key, record.Key);
    if (!duplicate) records.push_back(std::move(record));
  }
  m_colBitmaps = std::move(records);
  PropertyChanged(kBitmapListId);
  return S_OK;
}

HRESULT Marlinbar::get_MenuControls(IKeyedCollection** Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  ComPtr<cKeyedCollection> list = cKeyedCollection::Create();
  if (!list) return E_OUTOFMEMORY;
  std::vector<ComPtr<IDispatch>> menus = ContainerMenuObjects(site_.Get());
  if (menus.empty()) {
    HWND form = m_hWnd ? m_hWnd : HostFormOf(ContainerWindow());
    menus = MenuTreeObjects(form ? GetMenu(form) : nullptr);
  }
  for (const ComPtr<IDispatch>& menu : menus) {
    Variant item;
    item.vt = VT_DISPATCH;
    item.pdispVal = menu.Get();
    menu->AddRef();
    list->Append(item, std::wstring());
  }
  *Value = list.Detach();
  return S_OK;
}

HRESULT Marlinbar::ShowAboutBox() {
  HWND owner = m_hWnd ? m_hWnd : HostFormOf(ContainerWindow());
  ShowAboutWindow(owner);
  return S_OK;
}

// ---- support routines

OLE_COLOR Marlinbar::pvBlendColor(OLE_COLOR a, OLE_COLOR b, long w) {
  COLORREF ca = ToRgb(a), cb = ToRgb(b);
  auto mix = [w](int x, int y) {
    return static_cast<int>(std::nearbyint((w * x + (255.0 - w) * y) / 255.0));
  };
  return RGB(mix(GetRValue(ca), GetRValue(cb)), mix(GetGValue(ca), GetGValue(cb)), mix(GetBValue(ca), GetBValue(cb)));
}

long Marlinbar::pvBrightness(OLE_COLOR c) {
  COLORREF rgb = ToRgb(c);
  return (76 * GetRValue(rgb) + 150 * GetGValue(rgb) + 29 * GetBValue(rgb)) / 255;
}

long Marlinbar::pvWinVersion() {
  if (winVersion_ < 0) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&info)) {
#pragma GCC diagnostic pop
      winVersion_ = static_cast<long>(info.dwMajorVersion * 256 + info.dwMinorVersion);
      platformId_ = static_cast<long>(info.dwPlatformId);
    } else {
      winVersion_ = 0;
      platformId_ = 0;
    }
  }
  return winVersion_;
}

bool Marlinbar::pvIsNT() {
  if (platformId_ < 0) pvWinVersion();
  return platformId_ == VER_PLATFORM_WIN32_NT;
}

bool Marlinbar::pvFlatMenus() {
  BOOL flat = FALSE;
  if (!SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0)) return false;
  return flat != FALSE;
}

HWND Marlinbar::pvActiveMdiChild() {
  if (!m_oClientSubclass || !m_oClientSubclass->hwnd()) return nullptr;
  std::optional<LRESULT> active = m_oClientSubclass->CallOrigWndProc(WM_MDIGETACTIVE, 0, 0);
  return active ? reinterpret_cast<HWND>(*active) : nullptr;
}

void Marlinbar::RefreshDisplayMetrics() {
  m_lEdge = GetSystemMetrics(SM_CXEDGE);
  m_lFrame = GetSystemMetrics(SM_CXDLGFRAME);
  m_bLowColor = DisplayColourBits() < 9;
}

void Marlinbar::pvRefreshMetrics() {
  RefreshDisplayMetrics();

  cMemDC measure;
  measure.Init(1, 1, nullptr, nullptr);
  long bottom = 0;
  if (measure.IsCreated()) {
    HFONT font = m_bUseSystemFont ? m_hSysFont : m_hFont;
    HGDIOBJ previous = font ? SelectObject(measure.hDC(), font) : nullptr;
    long left = 0, top = 0, right = 0;
    measure.DrawText(L"ABCHYg", left, top, right, bottom, DT_CALCRECT | DT_SINGLELINE);
    if (previous) SelectObject(measure.hDC(), previous);
  }
  m_lTextHeight = bottom + 8;
  m_lItemHeight = m_lTextHeight;
  if (m_lBitmapSize + 8 > m_lItemHeight) m_lItemHeight = m_lBitmapSize + 8;
  pvInitMenu(m_hMenu, true);
}

// Menu conversion comes with the menu drawing; until then the menus stay
// as they are and only the current control is noted.
void Marlinbar::pvInitMenu(HMENU, bool) { m_oCurrent = this; }

void Marlinbar::pvRestoreMenu(HMENU) {}

void Marlinbar::pvHookPopup(HWND) {
  if (!m_bInMenuLoop) return;
}

HRESULT Marlinbar::Init(LONG_PTR* hwnd) {
  HWND form = hwnd ? reinterpret_cast<HWND>(*hwnd) : nullptr;
  m_hWnd = form;
  m_hMenu = GetMenu(form);
  m_oFormSubclass = std::make_unique<cSubclassingThunk>();
  m_oClientSubclass = std::make_unique<cSubclassingThunk>();
  pvRefreshMetrics();
  if (!form || !IsWindow(form)) {
    // Nothing to attach to: the control stays idle instead of
    // "subclassing" a window that is not there.
    return S_OK;
  }
  m_oFormSubclass->Subclass(form, sink_, false, true);
  if (!m_lInitMenuMsg) m_lInitMenuMsg = RegisterWindowMessageW(L"InitMenuMsg");
  m_oFormSubclass->AddBeforeMsgs({WM_SETCURSOR, WM_INITMENUPOPUP, WM_MEASUREITEM, WM_DRAWITEM, WM_MDISETMENU,
                                  WM_NCCALCSIZE, WM_MENUSELECT, WM_SYSCOLORCHANGE, WM_NCDESTROY, m_lInitMenuMsg,
                                  WM_ENTERMENULOOP, WM_EXITMENULOOP, WM_UNINITMENUPOPUP});
  if (HWND client = FindWindowExW(form, nullptr, L"MDIClient", nullptr)) {
    m_oClientSubclass->Subclass(client, sink_, false, true);
    m_oClientSubclass->AddBeforeMsgs({WM_MDISETMENU});
  }
  return S_OK;
}

// ---- messages of the form and its MDI client

void Marlinbar::Before(VARIANT_BOOL*, LONG_PTR*, LONG_PTR* hwnd, long* uMsg, LONG_PTR*, LONG_PTR*) {
  if (!m_oFormSubclass || !m_oClientSubclass) return;
  HWND window = reinterpret_cast<HWND>(*hwnd);
  if (window != m_hWnd && window != m_oClientSubclass->hwnd()) return;
  switch (static_cast<UINT>(*uMsg)) {
    case WM_SYSCOLORCHANGE:
      pvRefreshMetrics();
      break;
    case WM_NCDESTROY:
      // The form is going: give the menus back and let go of both windows.
      // The form's filter was installed with DontFree, so unsubclassing
      // inside its own message is safe.
      pvRestoreMenu(nullptr);
      m_colPopups.clear();
      m_colBitmaps.clear();
      m_colFrames.clear();
      m_oFormSubclass->Unsubclass();
      m_oClientSubclass->Unsubclass();
      if (m_oCurrent == this) m_oCurrent = nullptr;
      break;
    default:
      break;
  }
}

void Marlinbar::After(LONG_PTR*, LONG_PTR*, long*, LONG_PTR*, LONG_PTR*) {}

}  // namespace marlinbar
