// Entry point of Tarnload.exe.
#include <windows.h>

#include "shell/tarnload_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) { return tarn::win::run_tarnload(instance, show); }
