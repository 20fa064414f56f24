// cMemDC checked pixel by pixel, and its ownership rules checked by the
// handles it makes and deletes.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "drawing/gdi_tracking.h"
#include "drawing/mem_dc.h"
#include "test_container.h"

namespace marlinbar::test {
namespace {

constexpr long kRed = RGB(255, 0, 0);
constexpr long kGreen = RGB(0, 255, 0);
constexpr long kBlue = RGB(0, 0, 255);
constexpr long kMagenta = RGB(255, 0, 255);
constexpr long kWhite = RGB(255, 255, 255);

// Every test must leave the library holding no GDI object.
class MemDC : public testing::Test {
 protected:
  void SetUp() override { live = gdi::Live(); }
  void TearDown() override { EXPECT_EQ(gdi::Live(), live) << "GDI objects left by the library"; }
  long live = 0;
};

TEST_F(MemDC, FillRectTreatsEdgesBeforeTheirStartAsTheSurfaceEdges) {
  cMemDC dc;
  ASSERT_NE(dc.Init(10, 8, nullptr, nullptr), nullptr);
  EXPECT_TRUE(dc.IsCreated());
  EXPECT_TRUE(dc.IsMemoryDC());
  EXPECT_EQ(dc.Width(), 10);
  EXPECT_EQ(dc.Height(), 8);
  dc.FillRect(0, 0, -1, -1, kRed, nullptr);
  EXPECT_EQ(dc.GetPixel(0, 0), static_cast<COLORREF>(kRed));
  EXPECT_EQ(dc.GetPixel(9, 7), static_cast<COLORREF>(kRed)) << "-1 edges mean the whole surface";
  dc.FillRect(2, 2, 5, 5, kBlue, nullptr);
  EXPECT_EQ(dc.GetPixel(2, 2), static_cast<COLORREF>(kBlue));
  EXPECT_EQ(dc.GetPixel(4, 4), static_cast<COLORREF>(kBlue));
  EXPECT_EQ(dc.GetPixel(5, 5), static_cast<COLORREF>(kRed)) << "right and bottom edges excluded";
  // Only the bottom edge before its start: full height from row 6.
  dc.FillRect(0, 6, 3, 0, kGreen, nullptr);
  EXPECT_EQ(dc.GetPixel(2, 7), static_cast<COLORREF>(kGreen));
  EXPECT_EQ(dc.GetPixel(3, 7), static_cast<COLORREF>(kRed));
  // A brush handle is used when the colour is -1, and stays the caller's.
  HBRUSH brush = CreateSolidBrush(kWhite);
  dc.FillRect(0, 0, 1, 1, -1, brush);
  EXPECT_EQ(dc.GetPixel(0, 0), static_cast<COLORREF>(kWhite));
  EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
  DeleteObject(brush);
  dc.Cls(kBlue, nullptr);
  EXPECT_EQ(dc.GetPixel(9, 0), static_cast<COLORREF>(kBlue));
}

TEST_F(MemDC, DrawLineContinuesFromTheCurrentPositionForANegativeStart) {
  cMemDC dc;
  dc.Init(16, 16, nullptr, nullptr);
  dc.Cls(kWhite, nullptr);
  dc.DrawLine(0, 0, 10, 0, 0, nullptr);
  dc.DrawLine(-1, -1, 10, 10, kRed, nullptr);
  EXPECT_EQ(dc.GetPixel(5, 0), RGB(0, 0, 0));
  EXPECT_EQ(dc.GetPixel(10, 5), static_cast<COLORREF>(kRed)) << "from (10, 0), where the first line ended";
  EXPECT_EQ(dc.GetPixel(10, 10), static_cast<COLORREF>(kWhite)) << "the end point is not drawn";
  EXPECT_EQ(dc.GetPixel(5, 5), static_cast<COLORREF>(kWhite));
  // Pen 0 gives the context its own pen back and deletes the one made here.
  HPEN made = dc.Pen();
  dc.DrawLine(0, 15, 5, 15, -1, nullptr);
  EXPECT_EQ(dc.Pen(), nullptr);
  EXPECT_EQ(GetObjectType(made), 0u);
}

TEST_F(MemDC, RectangleAndGradientDrawTheirColours) {
  cMemDC dc;
  dc.Init(20, 20, nullptr, nullptr);
  dc.Cls(kWhite, nullptr);
  dc.Rectangle(2, 2, 10, 10, kGreen, nullptr, kBlue, nullptr);
  EXPECT_EQ(dc.GetPixel(2, 2), static_cast<COLORREF>(kBlue));
  EXPECT_EQ(dc.GetPixel(9, 9), static_cast<COLORREF>(kBlue));
  EXPECT_EQ(dc.GetPixel(5, 5), static_cast<COLORREF>(kGreen));
  EXPECT_EQ(dc.GetPixel(10, 10), static_cast<COLORREF>(kWhite));

  dc.FillGradient(0, 12, 20, 20, 0, kWhite, false, true, kRed);
  EXPECT_EQ(dc.GetPixel(0, 12), static_cast<COLORREF>(kRed)) << "the frame";
  COLORREF left = dc.GetPixel(1, 15), right = dc.GetPixel(18, 15);
  EXPECT_LT(GetRValue(left), 40);
  EXPECT_GT(GetRValue(right), 210);
  EXPECT_EQ(dc.GetPixel(1, 14), left) << "horizontal: a column has one colour";

  dc.FillGradient(0, 0, 10, 20, kBlue, 0, true, false, kRed);
  EXPECT_GT(GetBValue(dc.GetPixel(5, 0)), 230);
  EXPECT_LT(GetBValue(dc.GetPixel(5, 19)), 30);
  EXPECT_EQ(dc.GetPixel(0, 5), dc.GetPixel(8, 5)) << "vertical: a row has one colour";
}

TEST_F(MemDC, TransBltLeavesTheMaskColourOut) {
  cMemDC source, target;
  source.Init(8, 8, nullptr, nullptr);
  target.Init(8, 8, nullptr, nullptr);
  source.Cls(kGreen, nullptr);
  source.FillRect(0, 0, 4, 8, kMagenta, nullptr);
  target.Cls(kBlue, nullptr);
  source.TransBlt(target.hDC(), 0, 0, 0, 0, 0, 0, 0xFF00FF);
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(target.GetPixel(x, 3), static_cast<COLORREF>(x < 4 ? kBlue : kGreen)) << "x " << x;
  }
  // BitBlt copies everything; LoadBlt copies into the surface.
  source.BitBlt(target.hDC(), 0, 0, 0, 0, 0, 0, SRCCOPY);
  EXPECT_EQ(target.GetPixel(1, 1), static_cast<COLORREF>(kMagenta));
  target.FillRect(0, 0, 1, 1, kRed, nullptr);
  source.LoadBlt(target.hDC(), 0, 0, 6, 6, 1, 1, SRCCOPY);
  EXPECT_EQ(source.GetPixel(6, 6), static_cast<COLORREF>(kRed));
}

TEST_F(MemDC, PaintPictureSizesANewSurfaceToTheBitmap) {
  ComPtr<IPictureDisp> picture = MakeBitmapPicture(7, 5, kRed);
  ASSERT_TRUE(picture);
  cMemDC dc;
  dc.PaintPicture(picture.Get(), 0, 0, 0, 0, 0, 0, SRCCOPY, -1);
  ASSERT_TRUE(dc.IsCreated());
  EXPECT_EQ(dc.Width(), 7);
  EXPECT_EQ(dc.Height(), 5);
  EXPECT_EQ(dc.GetPixel(0, 0), static_cast<COLORREF>(kRed));
  EXPECT_EQ(dc.GetPixel(6, 4), static_cast<COLORREF>(kRed));

  // With a mask colour, pixels of that colour leave the surface alone.
  dc.Cls(kBlue, nullptr);
  dc.PaintPicture(picture.Get(), 0, 0, 0, 0, 0, 0, SRCCOPY, kRed);
  EXPECT_EQ(dc.GetPixel(3, 3), static_cast<COLORREF>(kBlue));
}

TEST_F(MemDC, PaintPictureDrawsIconsAndMetafiles) {
  cMemDC dc;
  dc.Init(32, 32, nullptr, nullptr);
  dc.Cls(kWhite, nullptr);
  ComPtr<IPictureDisp> icon = MakeIconPicture(16, kGreen);
  dc.PaintPicture(icon.Get(), 0, 0, 0, 0, 0, 0, SRCCOPY, -1);
  EXPECT_EQ(dc.GetPixel(5, 5), static_cast<COLORREF>(kGreen));
  EXPECT_EQ(dc.GetPixel(0, 0), static_cast<COLORREF>(kWhite)) << "the icon's mask";

  // An enhanced metafile with a blue rectangle over its whole frame.
  HDC ref = GetDC(nullptr);
  HDC record = CreateEnhMetaFileW(ref, nullptr, nullptr, nullptr);
  ReleaseDC(nullptr, ref);
  HBRUSH blue = CreateSolidBrush(kBlue);
  RECT all{0, 0, 100, 100};
  FillRect(record, &all, blue);
  DeleteObject(blue);
  HENHMETAFILE emf = CloseEnhMetaFile(record);
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_ENHMETAFILE;
  desc.emf.hemf = emf;
  ComPtr<IPicture> enhanced;
  ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(enhanced.Put())), S_OK);
  dc.Cls(kWhite, nullptr);
  dc.PaintPicture(enhanced.Get(), 16, 16, 10, 10, 0, 0, SRCCOPY, -1);
  EXPECT_EQ(dc.GetPixel(20, 20), static_cast<COLORREF>(kBlue));
  EXPECT_EQ(dc.GetPixel(8, 8), static_cast<COLORREF>(kWhite));

  // A Windows metafile goes through an enhanced one recorded on the spot.
  HDC meta = CreateMetaFileW(nullptr);
  SetWindowExtEx(meta, 100, 100, nullptr);
  HBRUSH red = CreateSolidBrush(kRed);
  FillRect(meta, &all, red);
  DeleteObject(red);
  HMETAFILE wmf = CloseMetaFile(meta);
  desc = PICTDESC{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_METAFILE;
  desc.wmf.hmeta = wmf;
  desc.wmf.xExt = 2540;
  desc.wmf.yExt = 2540;
  ComPtr<IPicture> windows;
  ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(windows.Put())), S_OK);
  dc.Cls(kWhite, nullptr);
  dc.PaintPicture(windows.Get(), 0, 0, 12, 12, 0, 0, SRCCOPY, -1);
  EXPECT_EQ(dc.GetPixel(6, 6), static_cast<COLORREF>(kRed));
  EXPECT_EQ(dc.GetPixel(20, 20), static_cast<COLORREF>(kWhite));
}

TEST_F(MemDC, TranslatesOleColoursAndConvertsHandlesToPictures) {
  cMemDC dc;
  dc.Init(2, 2, nullptr, nullptr);
  EXPECT_EQ(dc.TranslateColor(-1), -1);
  EXPECT_EQ(dc.TranslateColor(0x80000000 | COLOR_WINDOW), static_cast<long>(GetSysColor(COLOR_WINDOW)));
  EXPECT_EQ(dc.TranslateColor(0x123456), 0x123456);
  dc.SetPixel(1, 1, 0x80000000 | COLOR_HIGHLIGHT);
  EXPECT_EQ(dc.GetPixel(1, 1), GetSysColor(COLOR_HIGHLIGHT));
  dc.ForeColor(0x80000000 | COLOR_WINDOWTEXT);
  EXPECT_EQ(dc.ForeColor(), static_cast<long>(GetSysColor(COLOR_WINDOWTEXT)));
  dc.BackStyle(TRANSPARENT);
  EXPECT_EQ(dc.BackStyle(), TRANSPARENT);
  dc.DrawMode(R2_XORPEN);
  EXPECT_EQ(dc.DrawMode(), R2_XORPEN);

  EXPECT_FALSE(cMemDC::IconToPicture(nullptr));
  HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
  {
    ComPtr<IPictureDisp> picture = cMemDC::BitmapToPicture(bitmap, nullptr);
    ASSERT_TRUE(picture);
    EXPECT_EQ(PictureType(picture.Get()), PICTYPE_BITMAP);
    EXPECT_EQ(PictureHandle(picture.Get()), static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(bitmap)));
  }
  EXPECT_EQ(GetObjectType(bitmap), 0u) << "the picture owned the bitmap";

  long l = 8, t = 9, r = 2, b = 3;
  cMemDC::NormalizeRect(l, t, r, b);
  EXPECT_EQ(l, 2);
  EXPECT_EQ(t, 3);
  EXPECT_EQ(r, 8);
  EXPECT_EQ(b, 9);

  long left = 0, top = 0, right = 0, bottom = 0;
  dc.DrawText(L"中文 ABCHYg", left, top, right, bottom, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_GT(right, 10);
  EXPECT_GT(bottom, 5);
}

TEST_F(MemDC, OwnsAssignedBrushesButNeverDeletesTheDotBrushByAssignment) {
  cMemDC dc;
  dc.Init(8, 8, nullptr, nullptr);
  HBRUSH first = gdi::Created(CreateSolidBrush(kRed));
  HBRUSH second = gdi::Created(CreateSolidBrush(kBlue));
  HBRUSH original = static_cast<HBRUSH>(GetCurrentObject(dc.hDC(), OBJ_BRUSH));
  // Handing a brush over moves it from the test's count to the surface's.
  gdi::HandedOver(first);
  dc.Brush(first);
  gdi::HandedOver(second);
  dc.Brush(second);
  EXPECT_EQ(GetObjectType(first), 0u) << "the first brush was deleted when displaced";
  EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BRUSH));
  dc.Brush(second);
  EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BRUSH)) << "assigning it again keeps it";

  HBRUSH dot = dc.DotBrush();
  ASSERT_NE(dot, nullptr);
  EXPECT_EQ(dc.DotBrush(), dot) << "made once";
  dc.Brush(dot);
  EXPECT_EQ(GetObjectType(second), 0u);
  dc.Brush(nullptr);
  EXPECT_EQ(GetObjectType(dot), static_cast<DWORD>(OBJ_BRUSH)) << "the dot brush is not deleted";
  EXPECT_EQ(GetCurrentObject(dc.hDC(), OBJ_BRUSH), original) << "0 puts the context's brush back";

  // The dot pattern: a checkerboard of single pixels.
  dc.Cls(-1, dot);
  EXPECT_NE(dc.GetPixel(0, 0), dc.GetPixel(1, 0));
  EXPECT_EQ(dc.GetPixel(0, 0), dc.GetPixel(1, 1));

  HDC surface = dc.hDC();
  HGDIOBJ bitmap = GetCurrentObject(surface, OBJ_BITMAP);
  dc.Destroy();
  EXPECT_FALSE(dc.IsCreated());
  EXPECT_EQ(GetObjectType(dot), 0u);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_EQ(GetObjectType(surface), 0u);
}

TEST_F(MemDC, WithoutASurfaceNothingHappensAndAWrappedContextStaysTheCallers) {
  cMemDC idle;
  EXPECT_FALSE(idle.IsCreated());
  idle.FillRect(0, 0, 5, 5, kRed, nullptr);
  idle.ForeColor(kRed);
  EXPECT_EQ(idle.ForeColor(), 0);
  EXPECT_EQ(idle.BackStyle(), 0);
  EXPECT_EQ(idle.DotBrush(), nullptr);
  idle.Destroy();

  HDC screen = GetDC(nullptr);
  HDC callers = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(callers, bitmap);
  {
    cMemDC wrapper;
    EXPECT_EQ(wrapper.Init(4, 4, nullptr, callers), callers);
    EXPECT_FALSE(wrapper.IsMemoryDC());
    wrapper.Rectangle(0, 0, 4, 4, kGreen, nullptr, kGreen, nullptr);
    EXPECT_EQ(GetPixel(callers, 1, 1), static_cast<COLORREF>(kGreen));
    wrapper.Destroy();
    EXPECT_TRUE(wrapper.IsCreated()) << "a wrapped context is not forgotten";
    EXPECT_EQ(wrapper.hDC(), callers);
  }
  EXPECT_EQ(GetObjectType(callers), static_cast<DWORD>(OBJ_MEMDC));
  EXPECT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  SelectObject(callers, old);
  DeleteObject(bitmap);
  DeleteDC(callers);
}

TEST_F(MemDC, InitAgainResizesAndTheDestructorKeepsTheCallersErrorState) {
  auto* dc = new cMemDC;
  dc->Init(4, 4, nullptr, nullptr);
  HDC first = dc->hDC();
  dc->Init(9, 3, nullptr, nullptr);
  EXPECT_EQ(dc->Width(), 9);
  EXPECT_EQ(GetObjectType(first), 0u);
  SetLastError(1234);
  delete dc;
  EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace
}  // namespace marlinbar::test
