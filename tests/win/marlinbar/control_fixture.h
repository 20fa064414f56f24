// The fixture of the control tests: a form with its menu bar, the test
// container's site on it, and the checks that a test left nothing behind
// (library objects, GDI objects, subclass filters, references to the
// container's objects).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "control/marlinbar_control.h"
#include "control/module.h"
#include "drawing/gdi_tracking.h"
#include "hooks/thunk_memory.h"
#include "test_container.h"

namespace marlinbar::test {

// The control behind one of its interfaces (the library is linked in).
inline Marlinbar* Impl(IOleObject* object) { return static_cast<Marlinbar*>(object); }

constexpr DISPID kFont = 0x68030005;
constexpr DISPID kInit = 0x60030018;
constexpr DISPID kSetBitmap = 0x60030019;
constexpr DISPID kSetBitmapByCaption = 0x6003001A;
constexpr DISPID kSelectDisabled = 0x68030008;
constexpr DISPID kBitmapSize = 0x68030007;
constexpr DISPID kUseSystemFont = 0x68030006;
constexpr DISPID kUseOfice2003Style = 0x68030020;
constexpr DISPID kMenuControls = 0x6803002C;
constexpr DISPID kBitmapList = 0x6803002D;
constexpr DISPID kMenuBack = 0x6803000F;

inline constexpr OLE_COLOR Sys(int index) { return 0x80000000u | static_cast<OLE_COLOR>(index); }

inline OLE_COLOR Blend(OLE_COLOR a, OLE_COLOR b, long w) { return Marlinbar::pvBlendColor(a, b, w); }

struct ColourCase {
  const wchar_t* name;
  DISPID id;
  OLE_COLOR normal;
  OLE_COLOR low;
};

// The colour properties with their defaults on a normal and on a
// low-colour display.
inline std::vector<ColourCase> ColourCases() {
  OLE_COLOR s = Blend(Sys(COLOR_HIGHLIGHT), Sys(COLOR_WINDOW), 70);
  OLE_COLOR m = Blend(Sys(COLOR_BTNFACE), Sys(COLOR_WINDOW), 214);
  BOOL flat = FALSE;
  SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
  OLE_COLOR bar = flat ? GetSysColor(COLOR_MENUBAR) : Sys(COLOR_MENU);
  return {
      {L"MainSeprator", 0x68030017, 8552576, 8552576},
      {L"SelMenuBorder", 0x68030016, Sys(COLOR_HIGHLIGHT), Sys(COLOR_BTNTEXT)},
      {L"SelMenuFore", 0x68030015, Sys(COLOR_MENUTEXT), Sys(COLOR_WINDOWTEXT)},
      {L"SelMenuBack", 0x68030014, s, Sys(COLOR_WINDOW)},
      {L"CheckBack", 0x68030013, Blend(Sys(COLOR_WINDOW), s, 128), Sys(COLOR_WINDOW)},
      {L"CheckFore", 0x68030012, Sys(COLOR_MENUTEXT), Sys(COLOR_WINDOWTEXT)},
      {L"SelCheckBack", 0x68030011, Blend(Blend(Sys(COLOR_HIGHLIGHT), s, 128), s, 128), Sys(COLOR_WINDOW)},
      {L"MenuBorder", 0x68030010, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNTEXT)},
      {L"MenuBack", 0x6803000F, m, Sys(COLOR_BTNFACE)},
      {L"MenuFore", 0x6803000E, Sys(COLOR_WINDOWTEXT), Sys(COLOR_MENUTEXT)},
      {L"DisabledMenuBorder", 0x6803000D, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNTEXT)},
      {L"DisabledMenuBack", 0x6803000C, Blend(m, Sys(COLOR_WINDOW), 128), Sys(COLOR_WINDOW)},
      {L"DisabledMenuFore", 0x6803000B, Sys(COLOR_GRAYTEXT), Sys(COLOR_GRAYTEXT)},
      {L"MenuBarBack", 0x6803000A, bar, bar},
      {L"MenuPopupBack", 0x68030009, Sys(COLOR_WINDOW), Sys(COLOR_WINDOW)},
      {L"MenuBarStar", 0x6803002B, 16777215, 16777215},
      {L"MenuBarEnd", 0x6803002A, 15383449, 15383449},
      {L"MainHoveStar", 0x68030029, 16316671, 16316671},
      {L"MainHoveEnd", 0x68030028, 10344447, 10344447},
      {L"MenuPopupBack2003", 0x68030027, 16185078, 16185078},
      {L"SelMenuBack2003", 0x68030026, 12644607, 12644607},
      {L"CheckBack2003", 0x68030025, 15835050, 15835050},
      {L"SelCheckBack2003", 0x68030024, 10870520, 10870520},
      {L"MenuBorder2003", 0x68030023, 13339754, 13339754},
      {L"MenuShadow", 0x68030022, 0, 0},
      {L"MenuShadow2003", 0x68030021, 9448704, 9448704},
  };
}

class ControlTest : public testing::Test {
 protected:
  void SetUp() override {
    objects = LiveObjects();
    gdiObjects = gdi::Live();
    blocks = LiveThunkBlocks();
    form = std::make_unique<TestForm>(withMenu, mdi);
    site = std::make_unique<TestSite>(mdi ? form->client() : form->panel());
  }
  void TearDown() override {
    hosted.Close();
    form->Destroy();
    PumpMessages();
    EXPECT_EQ(site->Refs(), 1u) << "references to the site left";
    EXPECT_EQ(bag.Refs(), 1u) << "references to the property bag left";
    site.reset();
    EXPECT_EQ(LiveObjects(), objects) << "library objects left";
    EXPECT_EQ(gdi::Live(), gdiObjects) << "GDI objects left";
    EXPECT_EQ(LiveThunkBlocks(), blocks) << "subclass filters left";
    OverrideDisplayColourBits(0);
  }

  Marlinbar* control() { return Impl(hosted.object.Get()); }
  IDispatch* dispatch() { return hosted.dispatch.Get(); }

  bool withMenu = true;
  bool mdi = false;
  long objects = 0;
  long gdiObjects = 0;
  long blocks = 0;
  std::unique_ptr<TestForm> form;
  std::unique_ptr<TestSite> site;
  MemoryPropertyBag bag;
  HostedControl hosted;
};

}  // namespace marlinbar::test
