#include "shell/tarnload_app.h"

#include <commctrl.h>
#include <shellapi.h>

#include "shell/main_window.h"
#include "shell/single_instance.h"
#include "usb/ch375_library.h"

namespace tarn::win {

namespace {

// A file named on the command line, opened once the window is up.
std::wstring command_line_file() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring file;
    if (argv && argc > 1) file = argv[1];
    LocalFree(argv);
    return file;
}

} // namespace

int run_tarnload(HINSTANCE instance, int show) {
    SingleInstance instance_lock;
    bool design_state_only = false;
    if (instance_lock.another_running()) {
        if (activate_running_instance()) return 0;
        // The other copy cannot be found: this one opens without its start-up.
        design_state_only = true;
    }

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    Ch375Library ch375;
    MainWindow window(instance, ch375);
    window.set_quit_on_destroy(true);
    if (!window.create()) return 1;
    if (!design_state_only) window.load();
    ShowWindow(window.hwnd(), show);
    UpdateWindow(window.hwnd());

    const std::wstring file = command_line_file();
    if (!file.empty()) window.form().open_path(narrow(file));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (window.pre_translate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace tarn::win
