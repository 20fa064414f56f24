// cMemDC: an off-screen drawing surface (a device context with a bitmap of
// its own) or a wrapper around a caller's device context, with the pen,
// brush, palette and colour state the menu drawing needs and the fills,
// lines, text, transfers and picture conversions it uses.
//
// Colours are OLE colours (system colour references allowed); -1 means "no
// colour", and where a member takes a colour and a handle, -1 selects the
// handle. The object owns the bitmap and context it makes, its palette, the
// dot brush, and every pen and brush assigned through Pen and Brush; the
// pens and brushes passed to Rectangle and DrawLine become such assigned
// objects. Other handles passed in stay the caller's.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "control/com_ptr.h"

namespace marlinbar {

class cMemDC {
 public:
  cMemDC() = default;
  ~cMemDC();
  cMemDC(const cMemDC&) = delete;
  cMemDC& operator=(const cMemDC&) = delete;

  HDC hDC() const { return m_hDC; }
  long Width() const { return m_lWidth; }
  long Height() const { return m_lHeight; }
  bool IsMemoryDC() const { return m_hBmp != nullptr; }
  bool IsCreated() const { return m_hDC != nullptr; }

  long ForeColor() const;
  void ForeColor(long NewValue);
  long BackColor() const;
  void BackColor(long NewValue);
  long BackStyle() const;
  void BackStyle(long NewValue);
  long DrawMode() const;
  void DrawMode(long dwValue);
  HPEN Pen() const { return m_hPen; }
  void Pen(HPEN lValue);
  HBRUSH Brush() const { return m_hBrush; }
  void Brush(HBRUSH lValue);
  HBRUSH DotBrush();

  HDC Init(long PixelWidth, long PixelHeight, HDC hParentDC, HDC hMemoryDC);
  void Destroy();

  void Cls(long clrFill, HBRUSH hbrFill);
  void FillRect(long LeftX, long TopY, long RightX, long BottomY, long clrFill, HBRUSH hbrFill);
  void FillGradient(long LeftX, long TopY, long RightX, long BottomY, long clrFirst, long clrSecond,
                    bool bVertical, bool bDrawBorder, long clrBorder);
  void Rectangle(long LeftX, long TopY, long RightX, long BottomY, long clrFill, HBRUSH hbrFill,
                 long clrOutline, HPEN hpnOutline);
  void DrawLine(long X1, long Y1, long X2, long Y2, long clrLine, HPEN hpnLine);
  // Draws (or with DT_CALCRECT measures) Text; the rectangle comes back as
  // the system leaves it.
  void DrawText(const std::wstring& Text, long& LeftX, long& TopY, long& RightX, long& BottomY,
                UINT dtFlags);

  void BitBlt(HDC hdcDest, long xDest, long yDest, long nWidth, long nHeight, long xSrc, long ySrc,
              DWORD dwRop);
  void LoadBlt(HDC hdcSrc, long xSrc, long ySrc, long xDest, long yDest, long nWidth, long nHeight,
               DWORD dwRop);
  void TransBlt(HDC hdcDest, long xDest, long yDest, long nWidth, long nHeight, long xSrc, long ySrc,
                long clrMask);
  // Draws a picture object (bitmap, icon, metafile or enhanced metafile);
  // creates the surface, at the picture's size, when there is none.
  void PaintPicture(IUnknown* oPic, long xDest, long yDest, long nWidth, long nHeight, long xSrc,
                    long ySrc, DWORD dwRop, long clrMask);

  // Picture objects that own the given handles; empty when none could be
  // made, and then the handles stay the caller's.
  static ComPtr<IPictureDisp> BitmapToPicture(HBITMAP hBmp, HPALETTE hPal);
  static ComPtr<IPictureDisp> IconToPicture(HICON hIcon);

  // RGB value of an OLE colour through the surface's palette; -1 stays -1.
  long TranslateColor(long clrColor) const;
  static void NormalizeRect(long& LeftX, long& TopY, long& RightX, long& BottomY);
  void SetPixel(long LeftX, long TopY, long clrColor);
  COLORREF GetPixel(long LeftX, long TopY) const;

  // Pixels of a HIMETRIC length on this screen, halves rounded to even.
  static long pvHimetricToPixel(long himetric);

 private:
  ::RECT EdgeRect(long LeftX, long TopY, long RightX, long BottomY) const;

  HDC m_hDC = nullptr;
  long m_lWidth = 0;
  long m_lHeight = 0;
  HBITMAP m_hBmp = nullptr;
  HGDIOBJ m_hBmpOld = nullptr;
  HPALETTE m_hPal = nullptr;
  HPALETTE m_hPalOld = nullptr;
  HDC m_hDCParent = nullptr;
  HBRUSH m_hBrush = nullptr;
  HGDIOBJ m_hBrushOld = nullptr;
  HPEN m_hPen = nullptr;
  HGDIOBJ m_hPenOld = nullptr;
  HBRUSH m_hDotBrush = nullptr;
  bool m_bDotBrushOwned = false;
  HBITMAP m_hDotBmp = nullptr;
};

// The transparent copy: copies w x h pixels of hdcSrc to hdcDest leaving out
// every pixel of clrMask. With no palette, a halftone palette of the screen
// is used for the colour match.
void pvMaskCopy(HDC hdcDest, long xDest, long yDest, long w, long h, HDC hdcSrc, long xSrc, long ySrc,
                long clrMask, HPALETTE hPal);

}  // namespace marlinbar
