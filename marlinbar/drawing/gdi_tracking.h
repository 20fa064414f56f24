// Accounting of the GDI objects, device contexts and icons the library
// makes and frees. Every creation goes through Created and every deletion
// through Delete*, so the counts show what the library still holds; objects
// handed to another owner (a picture object) leave the count by HandedOver.
#pragma once

#include <windows.h>

namespace marlinbar::gdi {

void CountCreated();
// Counts one more object when h is not 0; returns h.
template <class Handle>
Handle Created(Handle h) {
  if (h) CountCreated();
  return h;
}
// The object now belongs to someone else (h not 0).
void HandedOver(const void* h);

// Delete and count; false when there was nothing to delete or it failed.
bool DeleteObject(HGDIOBJ h);
bool DeleteDC(HDC h);
bool DestroyIcon(HICON h);

// Objects, contexts and icons made and not yet deleted or handed over.
long Live();

}  // namespace marlinbar::gdi
