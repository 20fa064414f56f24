#include "drawing/gdi_tracking.h"

namespace marlinbar::gdi {
namespace {
volatile LONG g_live = 0;
}

void CountCreated() { InterlockedIncrement(&g_live); }

void HandedOver(const void* h) {
  if (h) InterlockedDecrement(&g_live);
}

bool DeleteObject(HGDIOBJ h) {
  if (!h) return false;
  InterlockedDecrement(&g_live);
  return ::DeleteObject(h) != FALSE;
}

bool DeleteDC(HDC h) {
  if (!h) return false;
  InterlockedDecrement(&g_live);
  return ::DeleteDC(h) != FALSE;
}

bool DestroyIcon(HICON h) {
  if (!h) return false;
  InterlockedDecrement(&g_live);
  return ::DestroyIcon(h) != FALSE;
}

long Live() { return g_live; }

}  // namespace marlinbar::gdi
