#include "window_driver.h"

#include <cstdlib>

namespace tarn::win::testing {

WindowDriver::WindowDriver(Ch375Api& ch375) : ch375_(ch375) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
}

WindowDriver::~WindowDriver() { close(); }

void WindowDriver::open() {
    window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), ch375_);
    if (!window_->create()) return;
    window_->load();
    ShowWindow(window_->hwnd(), SW_SHOW);
    pump();
}

void WindowDriver::close() {
    window_.reset();
    pump(20);
}

void WindowDriver::pump(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (window_ && window_->pre_translate(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() < end);
}

bool WindowDriver::pump_until(const std::function<bool()>& condition, DWORD timeout_ms) {
    const DWORD end = GetTickCount() + timeout_ms;
    while (!condition()) {
        if (GetTickCount() > end) return false;
        pump(20);
    }
    return true;
}

void WindowDriver::click(Ctl c) {
    SendMessageW(ctl(c), BM_CLICK, 0, 0);
    pump();
}

void WindowDriver::choose(Ctl c, const std::string& item) {
    HWND combo = ctl(c);
    const auto i = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(ui::wide(item).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    SendMessageW(window_->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    pump();
}

void WindowDriver::tick_only(std::initializer_list<int> boxes) {
    for (int n = 1; n <= 8; ++n) {
        const bool want = std::find(boxes.begin(), boxes.end(), n) != boxes.end();
        const bool ticked = SendMessageW(ctl(check_box(n)), BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (want != ticked) click(check_box(n));
    }
}

std::string WindowDriver::text(Ctl c) const { return ui::utf8(ui::window_text(ctl(c))); }

std::string WindowDriver::status() const {
    wchar_t buf[256] = {};
    SendMessageW(ctl(Ctl::zhuangtai), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buf));
    return ui::utf8(buf);
}

std::vector<ui::Box> WindowDriver::boxes() {
    pump(100);
    return answerer_.take_boxes();
}

std::string environment(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace tarn::win::testing
