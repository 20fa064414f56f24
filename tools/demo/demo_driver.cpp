// Drives Tarnload.exe for the headless demo: starts it with a file to open,
// answers its boxes, runs one programming job, saves a picture of the window
// after it and closes the program.
//
//   tarnload_demo_driver <Tarnload.exe> <file> <picture.bmp> [usb|serial]
//
// usb (the default): the AT89S52 behind the simulated cable (its library on
// the search path); erase, blank check, program, verify; ends "操作完成！".
// serial: the P89C51RA2X behind COM1 at 38400 baud (a simulated boot loader
// on the pty bridge); erase, program, verify; ends "校验成功！".
#include <windows.h>

#include <cstdio>
#include <string>

#include "shell/controls.h"
#include "shell/main_window.h"
#include "ui_automation/ui_automation.h"

namespace {

using namespace tarn;

int fail(const char* what) {
    std::fprintf(stderr, "demo: %s\n", what);
    return 1;
}

HWND control(HWND main, Ctl c) { return GetDlgItem(main, win::kControlIdBase + index_of(c)); }

void choose(HWND main, Ctl box, const wchar_t* item) {
    HWND combo = control(main, box);
    const auto i = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void tick(HWND main, Ctl box) {
    if (SendMessageW(control(main, box), BM_GETCHECK, 0, 0) != BST_CHECKED) PostMessageW(control(main, box), BM_CLICK, 0, 0);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4 && argc != 5) return fail("usage: tarnload_demo_driver <Tarnload.exe> <file> <picture.bmp> [usb|serial]");
    const bool serial = argc == 5 && std::wstring(argv[4]) == L"serial";
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
            return main && IsWindowVisible(main) && ui::window_text(control(main, Ctl::Text2)) == argv[2];
        }, 60000);
        if (!shown) {
            result = fail("the window did not show the file");
        } else {
            SetForegroundWindow(main);
            std::wstring done;
            if (serial) {
                choose(main, Ctl::Combo2, L"P89C51RA2X");
                choose(main, Ctl::Combo3, L"COM1");
                choose(main, Ctl::Combo4, L"38400");
                for (Ctl box : {Ctl::Check1, Ctl::Check3, Ctl::Check4}) tick(main, box);
                done = L"校验成功！";
            } else {
                choose(main, Ctl::Combo2, L"AT89S52");
                for (Ctl box : {Ctl::Check1, Ctl::Check2, Ctl::Check3, Ctl::Check4}) tick(main, box);
                done = L"操作完成！";
            }
            ui::wait_until([&] { return SendMessageW(control(main, Ctl::Check4), BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000);
            PostMessageW(control(main, Ctl::start), BM_CLICK, 0, 0);
            if (!ui::wait_until([&] { return ui::window_text(control(main, Ctl::zhuangtai)) == done; }, 120000)) {
                result = fail("the programming run did not end as it should");
            }
            Sleep(1000);  // let every control paint
            for (const ui::Box& box : answerer.take_boxes()) std::printf("box: %s | %s\n", box.title.c_str(), box.text.c_str());
            std::printf("status: %s\n", ui::utf8(ui::window_text(control(main, Ctl::zhuangtai))).c_str());
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
