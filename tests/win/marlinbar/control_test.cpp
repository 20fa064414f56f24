// The control in the test container: siting and attaching to its form,
// ambient properties, every property through IDispatch with its default,
// fonts, bitmap records, menu objects, the support routines, the
// design-time view and the about window.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/dispatch_util.h"
#include "control/keyed_collection.h"
#include "control/menu_objects.h"
#include "control_fixture.h"
#include "drawing/mem_dc.h"
#include "ui_automation/ui_automation.h"

namespace marlinbar::test {
namespace {

// Counts change notifications, as a container does to know it must save.
class NotifySink final : public IPropertyNotifySink, public RefCounted {
 public:
  std::vector<DISPID> changed;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyNotifySink) {
      *out = static_cast<IPropertyNotifySink*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    changed.push_back(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

std::wstring FontName(IDispatch* control) {
  Variant font;
  if (FAILED(GetProperty(control, kFont, &font)) || font.vt != VT_DISPATCH || !font.pdispVal) return L"";
  ComPtr<IFont> f;
  font.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(f.Put()));
  Bstr name;
  f->get_Name(name.Put());
  return name.Get() ? name.Get() : L"";
}

// The name a font object reports for a face (the system may substitute
// another face for one it lacks).
std::wstring ReportedName(const wchar_t* face) {
  std::wstring name(face);
  FONTDESC desc{sizeof(FONTDESC), name.data(), {{120000, 0}}, FW_NORMAL, DEFAULT_CHARSET, FALSE, FALSE, FALSE};
  ComPtr<IFont> font;
  OleCreateFontIndirect(&desc, IID_IFont, reinterpret_cast<void**>(font.Put()));
  HFONT realised = nullptr;
  font->get_hFont(&realised);
  Bstr reported;
  font->get_Name(reported.Put());
  return reported.Get() ? reported.Get() : L"";
}

std::wstring SystemMenuFontName() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return metrics.lfMenuFont.lfFaceName;
}

TEST_F(ControlTest, AttachesToTheFormThatHoldsItsContainerWindow) {
  WNDPROC formProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(form->hwnd(), GWLP_WNDPROC));
  hosted = HostedControl::Create(site.get());
  ASSERT_TRUE(hosted.object);
  Marlinbar* c = control();
  EXPECT_EQ(c->m_hWnd, form->hwnd()) << "the form above the panel the control sits in";
  EXPECT_EQ(c->m_hMenu, form->menu());
  ASSERT_TRUE(c->m_oFormSubclass);
  EXPECT_EQ(c->m_oFormSubclass->hwnd(), form->hwnd());
  EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(form->hwnd(), GWLP_WNDPROC)), formProc);
  for (UINT msg : {WM_SETCURSOR, WM_INITMENUPOPUP, WM_MEASUREITEM, WM_DRAWITEM, WM_MDISETMENU, WM_NCCALCSIZE,
                   WM_MENUSELECT, WM_SYSCOLORCHANGE, WM_NCDESTROY, WM_ENTERMENULOOP, WM_EXITMENULOOP,
                   WM_UNINITMENUPOPUP}) {
    EXPECT_TRUE(c->m_oFormSubclass->HasBeforeMsgs(msg)) << msg;
  }
  EXPECT_EQ(c->m_lInitMenuMsg, RegisterWindowMessageW(L"InitMenuMsg"));
  EXPECT_TRUE(c->m_oFormSubclass->HasBeforeMsgs(c->m_lInitMenuMsg));
  EXPECT_EQ(c->m_oClientSubclass->hwnd(), nullptr) << "no MDI client on this form";
  EXPECT_EQ(Marlinbar::m_oCurrent, c);
  EXPECT_TRUE(site->in_place_active);
  EXPECT_FALSE(IsWindowVisible(c->ControlWindow())) << "invisible at run time";

  // The form still works through the filter, and its end detaches the
  // control from it.
  EXPECT_TRUE(SetWindowTextW(form->hwnd(), L"窗体"));
  form->Destroy();
  EXPECT_EQ(c->m_oFormSubclass->hwnd(), nullptr);
  EXPECT_EQ(Marlinbar::m_oCurrent, nullptr);
  EXPECT_EQ(LiveThunkBlocks(), blocks + 1) << "only the menu hook's procedure is left";
}

TEST_F(ControlTest, AControlLoadedBeforeItIsSitedAttachesWhenItGetsItsSite) {
  hosted.object = NewControl();
  ComPtr<IPersistStreamInit> persist = hosted.object.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(control()->m_hWnd, nullptr);
  ASSERT_EQ(hosted.object->SetClientSite(site.get()), S_OK);
  EXPECT_EQ(control()->m_hWnd, form->hwnd());
  EXPECT_EQ(control()->m_oFormSubclass->hwnd(), form->hwnd());
  // A new control needs saving; closing with "save if dirty" asks the site.
  EXPECT_EQ(persist->IsDirty(), S_OK);
  EXPECT_EQ(hosted.object->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
  EXPECT_EQ(site->save_requests, 1);
}

TEST_F(ControlTest, InitOnAnMdiFrameSubclassesItsClientAndServesTheActiveChild) {
  TestForm frame(true, true);
  HWND child = frame.AddMdiChild();
  ASSERT_NE(child, nullptr);
  hosted = HostedControl::Create(site.get());
  Marlinbar* c = control();
  LONG_PTR hwnd = reinterpret_cast<LONG_PTR>(frame.hwnd());
  Variant byRef;
  byRef.vt = VT_I8 | VT_BYREF;
  byRef.pllVal = reinterpret_cast<LONGLONG*>(&hwnd);
  ASSERT_EQ(CallMethod(dispatch(), kInit, {byRef}), S_OK);
  EXPECT_EQ(c->m_hWnd, frame.hwnd());
  EXPECT_EQ(c->m_oClientSubclass->hwnd(), frame.client());
  EXPECT_TRUE(c->m_oClientSubclass->HasBeforeMsgs(WM_MDISETMENU));
  EXPECT_EQ(c->pvActiveMdiChild(), child);
  frame.Destroy();
  EXPECT_EQ(c->m_oClientSubclass->hwnd(), nullptr);
  EXPECT_EQ(c->pvActiveMdiChild(), nullptr);
}

class MdiControlTest : public ControlTest {
 protected:
  MdiControlTest() { mdi = true; }
};

TEST_F(MdiControlTest, AControlOnAnMdiChildAttachesToTheChildNotTheFrame) {
  HWND child = form->AddMdiChild();
  site = std::make_unique<TestSite>(form->panel());
  hosted = HostedControl::Create(site.get());
  EXPECT_EQ(control()->m_hWnd, child);
  EXPECT_EQ(control()->m_oClientSubclass->hwnd(), nullptr);
}

TEST_F(ControlTest, EveryPropertyHasItsDefaultOnNormalAndLowColourDisplays) {
  for (int bits : {24, 8}) {
    OverrideDisplayColourBits(bits);
    HostedControl c = HostedControl::Create(site.get());
    EXPECT_EQ(Impl(c.object.Get())->m_bLowColor, bits == 8);
    for (const ColourCase& colour : ColourCases()) {
      EXPECT_EQ(static_cast<OLE_COLOR>(GetLong(c.dispatch.Get(), colour.id)), bits == 8 ? colour.low : colour.normal)
          << colour.id << " at " << bits << " bits";
    }
    EXPECT_EQ(GetLong(c.dispatch.Get(), kSelectDisabled), VARIANT_TRUE);
    EXPECT_EQ(GetLong(c.dispatch.Get(), kBitmapSize), 16);
    EXPECT_EQ(GetLong(c.dispatch.Get(), kUseSystemFont), VARIANT_TRUE);
    EXPECT_EQ(GetLong(c.dispatch.Get(), kUseOfice2003Style), VARIANT_TRUE);
    EXPECT_EQ(FontName(c.dispatch.Get()), ReportedName(L"Arial")) << "the container's ambient font";
    c.Close();
  }
}

TEST_F(ControlTest, EveryPropertyCanBeSetAndReadThroughDispatch) {
  hosted = HostedControl::Create(site.get());
  NotifySink notify;
  ComPtr<IConnectionPointContainer> points = hosted.object.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&notify, &cookie), S_OK);
  ComPtr<IPersistStreamInit> persist = hosted.object.As<IPersistStreamInit>(IID_IPersistStreamInit);
  persist->Save(nullptr, TRUE);  // fails, clears nothing
  OLE_COLOR value = 0x010203;
  for (const ColourCase& colour : ColourCases()) {
    ASSERT_EQ(PutProperty(dispatch(), colour.id, Variant::Long(static_cast<LONG>(value))), S_OK);
    EXPECT_EQ(static_cast<OLE_COLOR>(GetLong(dispatch(), colour.id)), value);
    EXPECT_EQ(notify.changed.back(), colour.id) << "marks the property changed";
    value += 0x030201;
  }
  EXPECT_EQ(persist->IsDirty(), S_OK);

  EXPECT_EQ(PutProperty(dispatch(), kSelectDisabled, Variant::Bool(false)), S_OK);
  EXPECT_EQ(GetLong(dispatch(), kSelectDisabled), VARIANT_FALSE);
  EXPECT_EQ(PutProperty(dispatch(), kUseOfice2003Style, Variant::Bool(false)), S_OK);
  EXPECT_EQ(GetLong(dispatch(), kUseOfice2003Style), VARIANT_FALSE);
  long itemHeight = control()->m_lItemHeight;
  EXPECT_EQ(PutProperty(dispatch(), kBitmapSize, Variant::Long(40)), S_OK);
  EXPECT_EQ(GetLong(dispatch(), kBitmapSize), 40);
  EXPECT_EQ(control()->m_lItemHeight, 48) << "the picture size plus 8 now rules the item height";
  EXPECT_GE(48, itemHeight);
  EXPECT_EQ(PutProperty(dispatch(), kBitmapSize, Variant::Long(-5)), S_OK) << "not range-checked";
  EXPECT_EQ(GetLong(dispatch(), kBitmapSize), -5);
  EXPECT_EQ(control()->m_lItemHeight, control()->m_lTextHeight);
  EXPECT_EQ(notify.changed.back(), kBitmapSize);
  EXPECT_EQ(PutProperty(dispatch(), kUseSystemFont, Variant::Bool(false)), S_OK);
  EXPECT_EQ(GetLong(dispatch(), kUseSystemFont), VARIANT_FALSE);

  // The font, assigned by reference (and by value, as some hosts do).
  std::wstring face = L"Times New Roman";
  FONTDESC desc{sizeof(FONTDESC), face.data(), {{200000, 0}}, FW_NORMAL, DEFAULT_CHARSET, TRUE, FALSE, FALSE};
  ComPtr<IFontDisp> font;
  ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(font.Put())), S_OK);
  Variant fontValue = Variant::Object(font.Get());
  fontValue.vt = VT_DISPATCH;
  ASSERT_EQ(PutProperty(dispatch(), kFont, fontValue, DISPATCH_PROPERTYPUTREF), S_OK);
  EXPECT_EQ(FontName(dispatch()), ReportedName(face.c_str()));
  EXPECT_EQ(notify.changed.back(), kFont);
  Variant read;
  GetProperty(dispatch(), kFont, &read);
  EXPECT_NE(read.pdispVal, static_cast<IDispatch*>(font.Get())) << "the control keeps its own font object";
  ComPtr<IFont> own;
  read.pdispVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(own.Put()));
  BOOL italic = FALSE;
  own->get_Italic(&italic);
  EXPECT_TRUE(italic);
  face = L"Arial";
  ComPtr<IFontDisp> arial;
  desc.fItalic = FALSE;
  OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(arial.Put()));
  Variant arialValue = Variant::Object(arial.Get());
  arialValue.vt = VT_DISPATCH;
  EXPECT_EQ(PutProperty(dispatch(), kFont, arialValue, DISPATCH_PROPERTYPUT), S_OK);
  EXPECT_EQ(FontName(dispatch()), ReportedName(L"Arial"));

  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(notify.Refs(), 1u);
}

TEST_F(ControlTest, ASystemColourIsStoredAsItsPresentValueButDefaultsKeepFollowingIt) {
  hosted = HostedControl::Create(site.get());
  EXPECT_EQ(static_cast<OLE_COLOR>(GetLong(dispatch(), 0x68030010)), Sys(COLOR_BTNSHADOW))
      << "MenuBorder's default stays a system colour reference";
  ASSERT_EQ(PutProperty(dispatch(), kMenuBack, Variant::Long(static_cast<LONG>(Sys(COLOR_BTNFACE)))), S_OK);
  EXPECT_EQ(static_cast<OLE_COLOR>(GetLong(dispatch(), kMenuBack)), GetSysColor(COLOR_BTNFACE));
  ASSERT_EQ(PutProperty(dispatch(), kMenuBack, Variant::Long(0x00FF8040)), S_OK);
  EXPECT_EQ(GetLong(dispatch(), kMenuBack), 0x00FF8040) << "plain colours are stored unchanged";
}

TEST_F(ControlTest, TheAmbientFontIsCopiedNotKept) {
  hosted = HostedControl::Create(site.get());
  EXPECT_EQ(FontName(dispatch()), ReportedName(L"Arial"));
  hosted.Close();
  EXPECT_EQ(RefsOf(site->ambient_font.Get()), 1u);
}

TEST_F(ControlTest, FontsComeFromTheAmbientFontOrTheSystemMenuFontAndChangesRefreshMetrics) {
  site->ambient = false;
  hosted = HostedControl::Create(site.get());
  Marlinbar* c = control();
  EXPECT_TRUE(c->UserMode()) << "without ambient properties: run mode";
  EXPECT_EQ(FontName(dispatch()), SystemMenuFontName());
  ASSERT_NE(c->m_hSysFont, nullptr);
  LOGFONTW lf{};
  GetObjectW(c->m_hSysFont, sizeof lf, &lf);
  EXPECT_EQ(std::wstring(lf.lfFaceName), SystemMenuFontName());
  HFONT sysFont = c->m_hSysFont;

  // With the control's own font in use, a change of the font object's size
  // refreshes the metrics.
  PutProperty(dispatch(), kUseSystemFont, Variant::Bool(false));
  EXPECT_NE(c->m_hFont, nullptr);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(c->ControlWindow(), WM_GETFONT, 0, 0)), c->m_hFont);
  long before = c->m_lTextHeight;
  CY big{};
  big.int64 = 400000;  // 40 points
  c->m_oFont->put_Size(big);
  EXPECT_GT(c->m_lTextHeight, before + 10);
  EXPECT_EQ(c->m_hSysFont, sysFont) << "made once";
  hosted.Close();
  EXPECT_EQ(GetObjectType(sysFont), 0u) << "deleted with the control";
}

TEST_F(ControlTest, SupportRoutinesBlendMeasureAndKey) {
  // Each channel (w a + (255 - w) b) / 255, rounded.
  EXPECT_EQ(Marlinbar::pvBlendColor(RGB(255, 0, 10), RGB(0, 255, 20), 255), RGB(255, 0, 10));
  EXPECT_EQ(Marlinbar::pvBlendColor(RGB(255, 0, 10), RGB(0, 255, 20), 0), RGB(0, 255, 20));
  EXPECT_EQ(Marlinbar::pvBlendColor(RGB(255, 255, 255), RGB(0, 0, 0), 128), RGB(128, 128, 128));
  EXPECT_EQ(Marlinbar::pvBlendColor(RGB(100, 0, 0), RGB(0, 0, 0), 70), RGB(27, 0, 0));  // 27.45
  EXPECT_EQ(Marlinbar::pvBlendColor(Sys(COLOR_WINDOW), Sys(COLOR_WINDOW), 70), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(Marlinbar::pvBrightness(RGB(255, 255, 255)), 255);
  EXPECT_EQ(Marlinbar::pvBrightness(RGB(10, 20, 30)), (76 * 10 + 150 * 20 + 29 * 30) / 255);

  MenuObject inArray(L"mnuRecent", L"Recent", 3);
  MenuObject first(L"mnuRecent", L"Recent", 0);
  MenuObject single(L"mnuOpen", L"&Open");
  MenuObject negative(L"mnuOdd", L"Odd", -1);
  EXPECT_EQ(pvMenuKey(&inArray), L"mnuRecent:3");
  EXPECT_EQ(pvMenuKey(&first), L"mnuRecent:0");
  EXPECT_EQ(pvMenuKey(&single), L"mnuOpen");
  EXPECT_EQ(pvMenuKey(&negative), L"mnuOdd");

  hosted = HostedControl::Create(site.get());
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&info);
#pragma GCC diagnostic pop
  EXPECT_EQ(control()->pvWinVersion(), static_cast<long>(info.dwMajorVersion * 256 + info.dwMinorVersion));
  EXPECT_TRUE(control()->pvIsNT());
  BOOL flat = FALSE;
  SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
  EXPECT_EQ(Marlinbar::pvFlatMenus(), flat != FALSE);
  EXPECT_EQ(control()->pvActiveMdiChild(), nullptr);
}

TEST_F(ControlTest, BitmapRecordsAreKeyedByMenuKeyAndHandedToThePropertyPageAsCollections) {
  hosted = HostedControl::Create(site.get());
  ComPtr<IPictureDisp> red = MakeBitmapPicture(16, 16, RGB(255, 0, 0));
  ComPtr<IPictureDisp> green = MakeBitmapPicture(16, 16, RGB(0, 255, 0));
  MenuObject recent(L"mnuRecent", L"Recent", 3);

  // SetBitmap with the mask colour left out: magenta.
  Variant menu;
  menu.vt = VT_DISPATCH;
  menu.pdispVal = &recent;
  recent.AddRef();
  Variant pic;
  pic.vt = VT_DISPATCH | VT_BYREF;
  IDispatch* redDisp = red.Get();
  pic.ppdispVal = &redDisp;
  ASSERT_EQ(CallMethod(dispatch(), kSetBitmap, {menu, pic}), S_OK);
  ASSERT_EQ(control()->m_colBitmaps.size(), 1u);
  EXPECT_EQ(control()->m_colBitmaps[0].Key, L"#mnuRecent:3");
  EXPECT_EQ(control()->m_colBitmaps[0].MaskColor, 0xFF00FF);

  // By key: replaces the record of that key; an empty picture only removes.
  IDispatch* greenDisp = green.Get();
  pic.ppdispVal = &greenDisp;
  ASSERT_EQ(CallMethod(dispatch(), kSetBitmapByCaption,
                       {Variant::String(L"mnuOpen"), pic, Variant::Long(0xC0C0C0)}),
            S_OK);
  pic.ppdispVal = &redDisp;
  ASSERT_EQ(CallMethod(dispatch(), kSetBitmapByCaption, {Variant::String(L"mnuRecent:3"), pic}), S_OK);
  ASSERT_EQ(control()->m_colBitmaps.size(), 2u);
  EXPECT_EQ(control()->m_colBitmaps[0].Key, L"#mnuOpen");
  EXPECT_EQ(control()->m_colBitmaps[0].MaskColor, 0xC0C0C0);
  IDispatch* none = nullptr;
  pic.ppdispVal = &none;
  ASSERT_EQ(CallMethod(dispatch(), kSetBitmapByCaption, {Variant::String(L"mnuOpen"), pic}), S_OK);
  ASSERT_EQ(control()->m_colBitmaps.size(), 1u);
  EXPECT_EQ(control()->m_colBitmaps[0].Key, L"#mnuRecent:3");

  // BitmapList: a new collection of (picture, mask, key) records.
  Variant list;
  ASSERT_EQ(GetProperty(dispatch(), kBitmapList, &list), S_OK);
  ASSERT_EQ(list.vt, VT_DISPATCH);
  std::vector<Variant> items;
  ASSERT_EQ(ReadCollection(list.pdispVal, &items), S_OK);
  ASSERT_EQ(items.size(), 1u);
  ASSERT_EQ(items[0].vt, VT_ARRAY | VT_VARIANT);
  Variant byKey;
  Variant key = Variant::String(L"#MNURECENT:3");
  EXPECT_EQ(InvokeGet(list.pdispVal, DISPID_VALUE, &key, 1, &byKey), S_OK) << "keys ignore letter case";

  // The page hands back its working copy: it replaces the store.
  Variant greenRecord;
  {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 1, 3);
    Variant p = Variant::Object(green.Get());
    p.vt = VT_DISPATCH;
    Variant m = Variant::Long(0x00FF00);
    Variant k = Variant::String(L"#mnuSave");
    LONG i = 1;
    SafeArrayPutElement(array, &i, &p);
    i = 2;
    SafeArrayPutElement(array, &i, &m);
    i = 3;
    SafeArrayPutElement(array, &i, &k);
    greenRecord.vt = VT_ARRAY | VT_VARIANT;
    greenRecord.parray = array;
  }
  Variant added = Variant::String(L"#mnuSave");
  ASSERT_EQ(CallMethod(list.pdispVal, 1, {greenRecord, added}), S_OK);  // Add
  Variant listRef;
  listRef.vt = VT_DISPATCH;
  listRef.pdispVal = list.pdispVal;
  listRef.pdispVal->AddRef();
  ASSERT_EQ(PutProperty(dispatch(), kBitmapList, listRef, DISPATCH_PROPERTYPUTREF), S_OK);
  ASSERT_EQ(control()->m_colBitmaps.size(), 2u);
  EXPECT_EQ(control()->m_colBitmaps[1].Key, L"#mnuSave");
  EXPECT_EQ(control()->m_colBitmaps[1].MaskColor, 0x00FF00);
  EXPECT_EQ(control()->m_colBitmaps[1].Picture.Get(), green.Get());
  EXPECT_EQ(recent.Refs(), 2u) << "the menu variant still holds one";

  // Once the control and the collections are gone, nothing holds the
  // pictures but the test.
  list.Clear();
  listRef.Clear();
  byKey.Clear();
  items.clear();
  greenRecord.Clear();
  hosted.Close();
  EXPECT_EQ(RefsOf(red.Get()), 1u);
  EXPECT_EQ(RefsOf(green.Get()), 1u);
}

std::vector<std::pair<std::wstring, std::wstring>> MenuNamesAndCaptions(IDispatch* control, bool* anyIndex) {
  Variant list;
  GetProperty(control, kMenuControls, &list);
  std::vector<Variant> items;
  ReadCollection(list.pdispVal, &items);
  std::vector<std::pair<std::wstring, std::wstring>> result;
  *anyIndex = false;
  for (const Variant& item : items) {
    Variant name, caption, index;
    GetPropertyByName(item.pdispVal, L"Name", &name);
    GetPropertyByName(item.pdispVal, L"Caption", &caption);
    if (SUCCEEDED(GetPropertyByName(item.pdispVal, L"Index", &index))) *anyIndex = true;
    result.emplace_back(VariantText(name), VariantText(caption));
  }
  return result;
}

TEST_F(ControlTest, MenuControlsComeFromTheContainerWhenItOffersMenuObjects) {
  MenuObject file(L"mnuFile", L"&File"), open(L"mnuOpen", L"&Open"), recent(L"mnuRecent", L"Recent", 0);
  MenuObject button(L"cmdGo", L"Go", std::nullopt, false);
  site->objects = {ComPtr<IUnknown>(&file), ComPtr<IUnknown>(&button), ComPtr<IUnknown>(&open),
                   ComPtr<IUnknown>(&recent)};
  hosted = HostedControl::Create(site.get());
  bool anyIndex = false;
  auto menus = MenuNamesAndCaptions(dispatch(), &anyIndex);
  std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"mnuFile", L"&File"}, {L"mnuOpen", L"&Open"}, {L"mnuRecent", L"Recent"}};
  EXPECT_EQ(menus, expected) << "menus in the container's order, other controls left out";
  EXPECT_TRUE(anyIndex);
  site->objects.clear();
}

TEST_F(ControlTest, MenuControlsAreBuiltFromTheMenuTreeWhenTheContainerHasNone) {
  hosted = HostedControl::Create(site.get());
  bool anyIndex = true;
  auto menus = MenuNamesAndCaptions(dispatch(), &anyIndex);
  std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"mnuPopup0", L"&File"}, {L"mnu101", L"&Open\tCtrl+O"}, {L"mnu102", L"&Save"}, {L"mnu0", L"-"},
      {L"mnuPopup0_3", L"Recent"}, {L"mnu111", L"One"},         {L"mnu112", L"Two"},   {L"mnu103", L"E&xit"},
      {L"mnuPopup1", L"&Edit"},     {L"mnu201", L"Cu&t"},        {L"mnu202", L"中文菜单"},
      {L"mnuPopup2", L"  Help"},    {L"mnu301", L"&About"}};
  EXPECT_EQ(menus, expected);
  EXPECT_FALSE(anyIndex) << "tree menus have no Index";
}

TEST_F(ControlTest, DesignTimeShowsTheFixedSquareWithItsIconAndRunTimeNothing) {
  site->user_mode = false;
  hosted = HostedControl::Create(site.get());
  HWND window = control()->ControlWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT rc;
  GetWindowRect(window, &rc);
  long side = GetSystemMetrics(SM_CXEDGE) + 33;
  EXPECT_EQ(rc.right - rc.left, side);
  EXPECT_EQ(rc.bottom - rc.top, side);
  SIZEL size{5000, 5000};
  EXPECT_EQ(hosted.object->SetExtent(DVASPECT_CONTENT, &size), S_OK);
  SIZEL fixed{};
  hosted.object->GetExtent(DVASPECT_CONTENT, &fixed);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(fixed.cx, MulDiv(side, 2540, GetDeviceCaps(screen, LOGPIXELSX)));
  ReleaseDC(nullptr, screen);

  ComPtr<IViewObject2> view = hosted.object.As<IViewObject2>(IID_IViewObject2);
  cMemDC surface;
  surface.Init(side, side, nullptr, nullptr);
  surface.Cls(RGB(1, 2, 3), nullptr);
  RECTL bounds{0, 0, side, side};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, surface.hDC(), &bounds, nullptr, nullptr, 0),
            S_OK);
  EXPECT_EQ(surface.GetPixel(side - 3, 2), GetSysColor(COLOR_BTNFACE));
  EXPECT_NE(surface.GetPixel(side / 2, side / 2), RGB(1, 2, 3)) << "the icon";

  // Switching to run mode hides it; drawing then paints nothing.
  site->user_mode = true;
  ComPtr<IOleControl> ole = hosted.object.As<IOleControl>(IID_IOleControl);
  ole->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
  EXPECT_FALSE(IsWindowVisible(window));
  surface.Cls(RGB(1, 2, 3), nullptr);
  view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, surface.hDC(), &bounds, nullptr, nullptr, 0);
  EXPECT_EQ(surface.GetPixel(side / 2, side / 2), RGB(1, 2, 3));
}

TEST_F(ControlTest, CarriesTheFiveWindowMenuGlyphsOnSilver) {
  hosted = HostedControl::Create(site.get());
  Marlinbar* c = control();
  for (IPictureDisp* glyph : {c->ImgMinimize.Get(), c->ImgMaximize.Get(), c->ImgNext.Get(), c->ImgClose.Get(),
                              c->ImgRestore.Get()}) {
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(PictureType(glyph), PICTYPE_BITMAP);
    cMemDC surface;
    surface.PaintPicture(glyph, 0, 0, 0, 0, 0, 0, SRCCOPY, -1);
    EXPECT_EQ(surface.Width(), 16);
    EXPECT_EQ(surface.Height(), 16);
    EXPECT_EQ(surface.GetPixel(0, 0), RGB(192, 192, 192)) << "silver is the transparent colour";
    int dark = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) dark += surface.GetPixel(x, y) == RGB(0, 0, 0);
    }
    EXPECT_GT(dark, 8) << "a glyph is drawn";
  }
  // Drawn with silver as the mask, only the glyph reaches the surface.
  cMemDC surface;
  surface.Init(16, 16, nullptr, nullptr);
  surface.Cls(RGB(0, 0, 255), nullptr);
  surface.PaintPicture(c->ImgClose.Get(), 0, 0, 0, 0, 0, 0, SRCCOPY, 12632256);
  EXPECT_EQ(surface.GetPixel(0, 0), RGB(0, 0, 255));
}

TEST_F(ControlTest, ProvidesClassInformationAndTheStandardIdentity) {
  hosted = HostedControl::Create(site.get());
  ComPtr<IProvideClassInfo2> classInfo = hosted.object.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
  ASSERT_TRUE(classInfo);
  GUID events{};
  EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
  EXPECT_TRUE(IsEqualGUID(events, DIID___Marlinbar));
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(classInfo->GetClassInfo(info.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_Marlinbar));
  info->ReleaseTypeAttr(attr);
  ComPtr<ISpecifyPropertyPages> pages = hosted.object.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
  CAUUID list{};
  EXPECT_EQ(pages->GetPages(&list), S_OK);
  CoTaskMemFree(list.pElems);
  ComPtr<IConnectionPointContainer> points = hosted.object.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> eventsPoint;
  EXPECT_EQ(points->FindConnectionPoint(DIID___Marlinbar, eventsPoint.Put()), S_OK);
  ComPtr<IEnumConnectionPoints> all;
  ASSERT_EQ(points->EnumConnectionPoints(all.Put()), S_OK);
  IConnectionPoint* fetched[3] = {};
  ULONG count = 0;
  all->Next(3, fetched, &count);
  EXPECT_EQ(count, 2u);
  for (ULONG i = 0; i < count; ++i) fetched[i]->Release();
  // The same object behind every interface.
  ComPtr<IUnknown> a = hosted.object.As<IUnknown>(IID_IUnknown);
  ComPtr<IUnknown> b = hosted.dispatch.As<IUnknown>(IID_IUnknown);
  EXPECT_EQ(a.Get(), b.Get());
}

TEST_F(ControlTest, ShowAboutBoxShowsTheLibrarysAboutWindowModally) {
  hosted = HostedControl::Create(site.get());
  tarn::ui::DialogAnswerer answerer;
  ASSERT_EQ(CallMethod(dispatch(), DISPID_ABOUTBOX, {}), S_OK);
  std::vector<tarn::ui::Box> boxes = answerer.take_boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "关于 Marlinbar");
  EXPECT_NE(boxes[0].text.find("Marlinbar"), std::string::npos);
}

}  // namespace
}  // namespace marlinbar::test
