// The library's about window: a small modal dialog with the control's
// icon, name and version.
#include "control/about_box.h"

#include "control/module.h"
#include "control/resource_ids.h"

namespace marlinbar {
namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR ShowAboutWindow(HWND owner) {
  return DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
}

}  // namespace marlinbar
