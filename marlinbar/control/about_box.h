// The library's about window.
#pragma once

#include <windows.h>

namespace marlinbar {

// Shows the about window modally over `owner` and returns when it closes.
INT_PTR ShowAboutWindow(HWND owner);

}  // namespace marlinbar
