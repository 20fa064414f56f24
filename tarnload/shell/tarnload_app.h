// The program: single-instance check, the main window, the message loop.
#pragma once

#include <windows.h>

namespace tarn::win {

int run_tarnload(HINSTANCE instance, int show);

} // namespace tarn::win
