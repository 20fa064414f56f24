#include "drawing/mem_dc.h"

#include <cmath>
#include <utility>

#include "drawing/gdi_tracking.h"

namespace marlinbar {
namespace {

constexpr DWORD kSrcAndNot = 0x220326;  // destination AND NOT source

COLORREF Rgb(long colour, HPALETTE pal) {
  COLORREF rgb = 0;
  if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(colour), pal, &rgb))) return 0;
  return rgb & 0xFFFFFF;
}

// Restores an error state across a destructor.
class ErrorStateKeeper {
 public:
  ErrorStateKeeper() : last_error_(GetLastError()) { GetErrorInfo(0, &info_); }
  ~ErrorStateKeeper() {
    SetErrorInfo(0, info_);
    if (info_) info_->Release();
    SetLastError(last_error_);
  }

 private:
  DWORD last_error_;
  IErrorInfo* info_ = nullptr;
};

}  // namespace

cMemDC::~cMemDC() {
  ErrorStateKeeper keep;
  Destroy();
}

HDC cMemDC::Init(long PixelWidth, long PixelHeight, HDC hParentDC, HDC hMemoryDC) {
  if (IsCreated()) Destroy();
  m_lWidth = PixelWidth;
  m_lHeight = PixelHeight;
  m_hDCParent = hParentDC ? hParentDC : GetDC(nullptr);
  if (hMemoryDC) {
    m_hDC = hMemoryDC;
    m_hBmp = nullptr;
  } else {
    m_hDC = gdi::Created(CreateCompatibleDC(m_hDCParent));
    m_hBmp = gdi::Created(CreateCompatibleBitmap(m_hDCParent, m_lWidth, m_lHeight));
    if (m_hDC && m_hBmp) m_hBmpOld = SelectObject(m_hDC, m_hBmp);
  }
  if (m_hDC && (GetDeviceCaps(m_hDCParent, RASTERCAPS) & RC_PALETTE) &&
      GetDeviceCaps(m_hDCParent, SIZEPALETTE) == 256) {
    struct {
      LOGPALETTE header;
      PALETTEENTRY more[255];
    } pal{};
    pal.header.palVersion = 0x300;
    pal.header.palNumEntries = 256;
    GetSystemPaletteEntries(m_hDCParent, 0, 256, pal.header.palPalEntry);
    m_hPal = gdi::Created(CreatePalette(&pal.header));
    if (m_hPal) {
      m_hPalOld = SelectPalette(m_hDC, m_hPal, FALSE);
      RealizePalette(m_hDC);
    }
  }
  if (hParentDC) {
    if (m_hDC) {
      SetBkColor(m_hDC, GetBkColor(hParentDC));
      SetTextColor(m_hDC, GetTextColor(hParentDC));
      SetBkMode(m_hDC, GetBkMode(hParentDC));
    }
  } else {
    ReleaseDC(nullptr, m_hDCParent);
    m_hDCParent = nullptr;
  }
  return m_hDC;
}

void cMemDC::Destroy() {
  if (!IsCreated()) return;
  if (m_hPenOld) SelectObject(m_hDC, std::exchange(m_hPenOld, nullptr));
  if (m_hBrushOld) SelectObject(m_hDC, std::exchange(m_hBrushOld, nullptr));
  if (m_hPalOld) {
    SelectPalette(m_hDC, std::exchange(m_hPalOld, nullptr), FALSE);
    RealizePalette(m_hDC);
  }
  if (m_hBmpOld) SelectObject(m_hDC, std::exchange(m_hBmpOld, nullptr));
  gdi::DeleteObject(std::exchange(m_hPen, nullptr));
  // The dot brush may be the assigned brush too; it is deleted once.
  HBRUSH brush = std::exchange(m_hBrush, nullptr);
  if (brush != m_hDotBrush) gdi::DeleteObject(brush);
  HBRUSH dot = std::exchange(m_hDotBrush, nullptr);
  if (std::exchange(m_bDotBrushOwned, false)) gdi::DeleteObject(dot);
  gdi::DeleteObject(std::exchange(m_hDotBmp, nullptr));
  gdi::DeleteObject(std::exchange(m_hPal, nullptr));
  if (m_hBmp) {
    gdi::DeleteObject(std::exchange(m_hBmp, nullptr));
    gdi::DeleteDC(std::exchange(m_hDC, nullptr));
  }
}

long cMemDC::ForeColor() const { return IsCreated() ? static_cast<long>(GetTextColor(m_hDC)) : 0; }
void cMemDC::ForeColor(long NewValue) {
  if (IsCreated()) SetTextColor(m_hDC, static_cast<COLORREF>(TranslateColor(NewValue)));
}
long cMemDC::BackColor() const { return IsCreated() ? static_cast<long>(GetBkColor(m_hDC)) : 0; }
void cMemDC::BackColor(long NewValue) {
  if (IsCreated()) SetBkColor(m_hDC, static_cast<COLORREF>(TranslateColor(NewValue)));
}
long cMemDC::BackStyle() const { return IsCreated() ? GetBkMode(m_hDC) : 0; }
void cMemDC::BackStyle(long NewValue) {
  if (IsCreated()) SetBkMode(m_hDC, NewValue);
}
long cMemDC::DrawMode() const { return IsCreated() ? GetROP2(m_hDC) : 0; }
void cMemDC::DrawMode(long dwValue) {
  if (IsCreated()) SetROP2(m_hDC, dwValue);
}

void cMemDC::Pen(HPEN lValue) {
  if (!IsCreated()) return;
  if (lValue && lValue != m_hPen) gdi::CountCreated();  // owned from now on
  HGDIOBJ displaced = nullptr;
  if (lValue) {
    displaced = SelectObject(m_hDC, lValue);
    if (!m_hPenOld) m_hPenOld = displaced;
  } else if (m_hPenOld) {
    displaced = SelectObject(m_hDC, std::exchange(m_hPenOld, nullptr));
  }
  if (displaced && displaced == m_hPen && displaced != lValue) gdi::DeleteObject(displaced);
  m_hPen = lValue;
}

void cMemDC::Brush(HBRUSH lValue) {
  if (!IsCreated()) return;
  if (lValue && lValue != m_hBrush && lValue != m_hDotBrush) gdi::CountCreated();
  HGDIOBJ displaced = nullptr;
  if (lValue) {
    displaced = SelectObject(m_hDC, lValue);
    if (!m_hBrushOld) m_hBrushOld = displaced;
  } else if (m_hBrushOld) {
    displaced = SelectObject(m_hDC, std::exchange(m_hBrushOld, nullptr));
  }
  if (displaced && displaced == m_hBrush && displaced != lValue && displaced != m_hDotBrush) {
    gdi::DeleteObject(displaced);
  }
  m_hBrush = lValue;
}

HBRUSH cMemDC::DotBrush() {
  if (!IsCreated()) return nullptr;
  if (!m_hDotBrush) {
    static const WORD kPattern[8] = {0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555};
    m_hDotBmp = gdi::Created(CreateBitmap(8, 8, 1, 1, kPattern));
    if (m_hDotBmp) m_hDotBrush = gdi::Created(CreatePatternBrush(m_hDotBmp));
    gdi::DeleteObject(std::exchange(m_hDotBmp, nullptr));
    m_bDotBrushOwned = m_hDotBrush != nullptr;
    if (!m_hDotBrush) m_hDotBrush = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
  }
  return m_hDotBrush;
}

::RECT cMemDC::EdgeRect(long LeftX, long TopY, long RightX, long BottomY) const {
  // A right edge left of the left edge means the surface's width; the same
  // for the bottom edge and the height.
  return ::RECT{LeftX, TopY, RightX < LeftX ? m_lWidth : RightX, BottomY < TopY ? m_lHeight : BottomY};
}

void cMemDC::FillRect(long LeftX, long TopY, long RightX, long BottomY, long clrFill, HBRUSH hbrFill) {
  if (!IsCreated()) return;
  HBRUSH made = nullptr;
  if (clrFill != -1) made = gdi::Created(CreateSolidBrush(static_cast<COLORREF>(TranslateColor(clrFill))));
  ::RECT rc = EdgeRect(LeftX, TopY, RightX, BottomY);
  if (HBRUSH brush = made ? made : hbrFill) ::FillRect(m_hDC, &rc, brush);
  gdi::DeleteObject(made);
}

void cMemDC::Cls(long clrFill, HBRUSH hbrFill) { FillRect(0, 0, m_lWidth, m_lHeight, clrFill, hbrFill); }

void cMemDC::FillGradient(long LeftX, long TopY, long RightX, long BottomY, long clrFirst, long clrSecond,
                          bool bVertical, bool bDrawBorder, long clrBorder) {
  if (!IsCreated()) return;
  auto vertex = [this](long x, long y, long colour) {
    COLORREF rgb = static_cast<COLORREF>(TranslateColor(colour));
    TRIVERTEX v{};
    v.x = x;
    v.y = y;
    v.Red = static_cast<COLOR16>(GetRValue(rgb) << 8);
    v.Green = static_cast<COLOR16>(GetGValue(rgb) << 8);
    v.Blue = static_cast<COLOR16>(GetBValue(rgb) << 8);
    v.Alpha = 0;
    return v;
  };
  TRIVERTEX vertices[2] = {vertex(LeftX, TopY, clrFirst), vertex(RightX, BottomY, clrSecond)};
  GRADIENT_RECT joint{0, 1};
  GradientFill(m_hDC, vertices, 2, &joint, 1, bVertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
  if (bDrawBorder && clrBorder != -1) {
    HBRUSH border = gdi::Created(CreateSolidBrush(static_cast<COLORREF>(TranslateColor(clrBorder))));
    ::RECT rc{LeftX, TopY, RightX, BottomY};
    if (border) FrameRect(m_hDC, &rc, border);
    gdi::DeleteObject(border);
  }
}

void cMemDC::Rectangle(long LeftX, long TopY, long RightX, long BottomY, long clrFill, HBRUSH hbrFill,
                       long clrOutline, HPEN hpnOutline) {
  if (!IsCreated()) return;
  HBRUSH brush = hbrFill;
  bool brushMade = clrFill != -1;
  if (brushMade) brush = CreateSolidBrush(static_cast<COLORREF>(TranslateColor(clrFill)));
  if (brush) Brush(brush);
  HPEN pen = hpnOutline;
  if (clrOutline != -1) pen = CreatePen(PS_SOLID, 1, static_cast<COLORREF>(TranslateColor(clrOutline)));
  if (pen) Pen(pen);
  ::RECT rc = EdgeRect(LeftX, TopY, RightX, BottomY);
  ::Rectangle(m_hDC, rc.left, rc.top, rc.right, rc.bottom);
}

void cMemDC::DrawLine(long X1, long Y1, long X2, long Y2, long clrLine, HPEN hpnLine) {
  if (!IsCreated()) return;
  if (clrLine != -1) hpnLine = CreatePen(PS_SOLID, 1, static_cast<COLORREF>(TranslateColor(clrLine)));
  Pen(hpnLine);
  if (X1 >= 0) MoveToEx(m_hDC, X1, Y1, nullptr);
  LineTo(m_hDC, X2, Y2);
}

void cMemDC::DrawText(const std::wstring& Text, long& LeftX, long& TopY, long& RightX, long& BottomY,
                      UINT dtFlags) {
  if (!IsCreated()) return;
  ::RECT rc{LeftX, TopY, RightX, BottomY};
  DRAWTEXTPARAMS params{};
  params.cbSize = sizeof params;
  std::wstring text = Text;  // DrawTextEx may write to it with DT_MODIFYSTRING
  DrawTextExW(m_hDC, text.data(), -1, &rc, dtFlags & ~static_cast<UINT>(DT_MODIFYSTRING), &params);
  LeftX = rc.left;
  TopY = rc.top;
  RightX = rc.right;
  BottomY = rc.bottom;
}

void cMemDC::BitBlt(HDC hdcDest, long xDest, long yDest, long nWidth, long nHeight, long xSrc, long ySrc,
                    DWORD dwRop) {
  if (!IsCreated()) return;
  ::BitBlt(hdcDest ? hdcDest : m_hDCParent, xDest, yDest, nWidth ? nWidth : m_lWidth,
           nHeight ? nHeight : m_lHeight, m_hDC, xSrc, ySrc, dwRop);
}

void cMemDC::LoadBlt(HDC hdcSrc, long xSrc, long ySrc, long xDest, long yDest, long nWidth, long nHeight,
                     DWORD dwRop) {
  if (!IsCreated()) return;
  ::BitBlt(m_hDC, xDest, yDest, nWidth ? nWidth : m_lWidth, nHeight ? nHeight : m_lHeight,
           hdcSrc ? hdcSrc : m_hDCParent, xSrc, ySrc, dwRop);
}

void cMemDC::TransBlt(HDC hdcDest, long xDest, long yDest, long nWidth, long nHeight, long xSrc, long ySrc,
                      long clrMask) {
  if (!IsCreated()) return;
  pvMaskCopy(hdcDest ? hdcDest : m_hDCParent, xDest, yDest, nWidth ? nWidth : m_lWidth,
             nHeight ? nHeight : m_lHeight, m_hDC, xSrc, ySrc, TranslateColor(clrMask), nullptr);
}

void pvMaskCopy(HDC hdcDest, long xDest, long yDest, long w, long h, HDC hdcSrc, long xSrc, long ySrc,
                long clrMask, HPALETTE hPal) {
  HDC screen = GetDC(nullptr);
  HPALETTE halftone = nullptr;
  if (!hPal) hPal = halftone = gdi::Created(CreateHalftonePalette(screen));
  COLORREF mask = Rgb(clrMask, hPal);

  // The target area as it is.
  HDC back = gdi::Created(CreateCompatibleDC(screen));
  HBITMAP backBmp = gdi::Created(CreateCompatibleBitmap(screen, w, h));
  HGDIOBJ backOld = SelectObject(back, backBmp);
  HPALETTE backPal = SelectPalette(back, hPal, TRUE);
  RealizePalette(back);
  ::BitBlt(back, 0, 0, w, h, hdcDest, xDest, yDest, SRCCOPY);

  // The source area.
  HDC src = gdi::Created(CreateCompatibleDC(screen));
  HBITMAP srcBmp = gdi::Created(CreateCompatibleBitmap(screen, w, h));
  HGDIOBJ srcOld = SelectObject(src, srcBmp);
  HPALETTE srcPal = SelectPalette(src, hPal, TRUE);
  RealizePalette(src);
  SetBkColor(src, GetBkColor(hdcSrc));
  SetTextColor(src, GetTextColor(hdcSrc));
  ::BitBlt(src, 0, 0, w, h, hdcSrc, xSrc, ySrc, SRCCOPY);

  // Mask: 1 where the source has the mask colour.
  HDC maskDC = gdi::Created(CreateCompatibleDC(screen));
  HBITMAP maskBmp = gdi::Created(CreateBitmap(w, h, 1, 1, nullptr));
  HGDIOBJ maskOld = SelectObject(maskDC, maskBmp);
  SetBkColor(src, mask);
  SetTextColor(src, RGB(255, 255, 255));
  ::BitBlt(maskDC, 0, 0, w, h, src, 0, 0, SRCCOPY);

  // Source black where masked; background black where not; then joined.
  SetTextColor(src, RGB(0, 0, 0));
  SetBkColor(src, RGB(255, 255, 255));
  ::BitBlt(src, 0, 0, w, h, maskDC, 0, 0, kSrcAndNot);
  ::BitBlt(back, 0, 0, w, h, maskDC, 0, 0, SRCAND);
  ::BitBlt(back, 0, 0, w, h, src, 0, 0, SRCPAINT);
  ::BitBlt(hdcDest, xDest, yDest, w, h, back, 0, 0, SRCCOPY);

  SelectObject(maskDC, maskOld);
  gdi::DeleteObject(maskBmp);
  SelectObject(src, srcOld);
  gdi::DeleteObject(srcBmp);
  SelectObject(back, backOld);
  gdi::DeleteObject(backBmp);
  SelectPalette(src, srcPal, TRUE);
  RealizePalette(src);
  SelectPalette(back, backPal, TRUE);
  RealizePalette(back);
  gdi::DeleteDC(maskDC);
  gdi::DeleteDC(src);
  gdi::DeleteDC(back);
  ReleaseDC(nullptr, screen);
  gdi::DeleteObject(halftone);
}

long cMemDC::pvHimetricToPixel(long himetric) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  if (dpi <= 0) dpi = 96;
  double twipsPerPixel = 1440.0 / dpi;
  // nearbyint rounds halves to even in the default rounding mode.
  return static_cast<long>(std::nearbyint(himetric * 1440.0 / 2540.0 / twipsPerPixel));
}

void cMemDC::PaintPicture(IUnknown* oPic, long xDest, long yDest, long nWidth, long nHeight, long xSrc,
                          long ySrc, DWORD dwRop, long clrMask) {
  ComPtr<IPicture> pic;
  if (oPic) oPic->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.Put()));
  if (!pic) return;
  OLE_XSIZE_HIMETRIC himetricWidth = 0;
  OLE_YSIZE_HIMETRIC himetricHeight = 0;
  pic->get_Width(&himetricWidth);
  pic->get_Height(&himetricHeight);
  long pixelWidth = pvHimetricToPixel(himetricWidth);
  long pixelHeight = pvHimetricToPixel(himetricHeight);
  if (!IsCreated()) Init(pixelWidth, pixelHeight, nullptr, nullptr);
  if (!IsCreated()) return;
  if (nWidth == 0) nWidth = pixelWidth;
  if (nHeight == 0) nHeight = pixelHeight;
  long mask = TranslateColor(clrMask);
  SHORT type = PICTYPE_NONE;
  pic->get_Type(&type);
  OLE_HANDLE handle = 0;
  pic->get_Handle(&handle);
  // OLE_HANDLE is 32 bits; GDI and user handles are sign-extended from 32
  // bits on 64-bit Windows.
  void* h = reinterpret_cast<void*>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
  switch (type) {
    case PICTYPE_BITMAP: {
      HDC temp = gdi::Created(CreateCompatibleDC(m_hDC));
      if (!temp) break;
      HGDIOBJ old = SelectObject(temp, static_cast<HBITMAP>(h));
      if (mask == -1) {
        ::BitBlt(m_hDC, xDest, yDest, nWidth, nHeight, temp, xSrc, ySrc, dwRop);
      } else {
        pvMaskCopy(m_hDC, xDest, yDest, nWidth, nHeight, temp, xSrc, ySrc, mask, nullptr);
      }
      SelectObject(temp, old);
      gdi::DeleteDC(temp);
      break;
    }
    case PICTYPE_ICON:
      DrawIconEx(m_hDC, xDest, yDest, static_cast<HICON>(h), nWidth, nHeight, 0, nullptr, DI_NORMAL);
      break;
    case PICTYPE_METAFILE:
    case PICTYPE_ENHMETAFILE: {
      ::RECT rc{xDest, yDest, xDest + nWidth, yDest + nHeight};
      HENHMETAFILE emf = static_cast<HENHMETAFILE>(h);
      HENHMETAFILE recorded = nullptr;
      if (type == PICTYPE_METAFILE) {
        UINT size = GetMetaFileBitsEx(static_cast<HMETAFILE>(h), 0, nullptr);
        std::basic_string<BYTE> bits(size, 0);
        if (size && GetMetaFileBitsEx(static_cast<HMETAFILE>(h), size, bits.data())) {
          METAFILEPICT mfp{MM_ANISOTROPIC, himetricWidth, himetricHeight, nullptr};
          recorded = gdi::Created(SetWinMetaFileBits(size, bits.data(), m_hDC, &mfp));
        }
        emf = recorded;
      }
      if (emf) PlayEnhMetaFile(m_hDC, emf, &rc);
      if (recorded) {
        gdi::HandedOver(recorded);
        DeleteEnhMetaFile(recorded);
      }
      break;
    }
    default:
      break;
  }
}

ComPtr<IPictureDisp> cMemDC::BitmapToPicture(HBITMAP hBmp, HPALETTE hPal) {
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = hBmp;
  desc.bmp.hpal = hPal;
  ComPtr<IPictureDisp> picture;
  OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture.Put()));
  return picture;
}

ComPtr<IPictureDisp> cMemDC::IconToPicture(HICON hIcon) {
  if (!hIcon) return nullptr;
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_ICON;
  desc.icon.hicon = hIcon;
  ComPtr<IPictureDisp> picture;
  OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture.Put()));
  return picture;
}

long cMemDC::TranslateColor(long clrColor) const {
  if (clrColor == -1) return -1;
  return static_cast<long>(Rgb(clrColor, m_hPal));
}

void cMemDC::NormalizeRect(long& LeftX, long& TopY, long& RightX, long& BottomY) {
  if (BottomY < TopY) std::swap(TopY, BottomY);
  if (RightX < LeftX) std::swap(LeftX, RightX);
}

void cMemDC::SetPixel(long LeftX, long TopY, long clrColor) {
  if (IsCreated()) ::SetPixel(m_hDC, LeftX, TopY, static_cast<COLORREF>(TranslateColor(clrColor)));
}

COLORREF cMemDC::GetPixel(long LeftX, long TopY) const {
  return IsCreated() ? ::GetPixel(m_hDC, LeftX, TopY) : CLR_INVALID;
}

}  // namespace marlinbar
