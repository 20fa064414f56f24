// Drives Tarnload.exe for the headless demo: starts it with a file to open,
// answers its start-up boxes, waits until the file is shown, saves a picture
// of the window and closes the program.
//
//   tarnload_demo_driver <Tarnload.exe> <file> <picture.bmp>
#include <windows.h>

#include <cstdio>
#include <string>

#include "shell/controls.h"
#include "shell/main_window.h"
#include "shell/win32_support.h"
#include "ui_automation/ui_automation.h"

namespace {

using namespace tarn;

int fail(const char* what) {
    std::fprintf(stderr, "demo: %s\n", what);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return fail("usage: tarnload_demo_driver <Tarnload.exe> <file> <picture.bmp>");
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" \"" + argv[2] + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return fail("Tarnload.exe did not start");
    }
    int result = 0;
    {
        ui::DialogAnswerer answerer(pi.dwProcessId);
        HWND main = nullptr;
        const bool shown = ui::wait_until([&] {
            main = ui::wait_for_window(pi.dwProcessId, win::kMainClassName, nullptr, 0);
            return main && IsWindowVisible(main) &&
                   ui::window_text(GetDlgItem(main, win::kControlIdBase + index_of(Ctl::Text2))) == argv[2];
        }, 60000);
        if (!shown) {
            result = fail("the window did not show the file");
        } else {
            SetForegroundWindow(main);
            Sleep(1500);  // let every control paint
            for (const ui::Box& box : answerer.take_boxes()) std::printf("box: %s | %s\n", box.title.c_str(), box.text.c_str());
            if (!ui::capture_bmp(main, argv[3])) result = fail("the picture could not be saved");
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(pi.hProcess, 15000) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 1);
            result = fail("Tarnload.exe did not end");
        }
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}
