#include "serial/wait_window.h"

#include "shell/controls.h"
#include "shell/form1.h"
#include "shell/win32_support.h"

namespace tarn::win {

namespace {

constexpr UINT_PTR kTimer1 = 1;

} // namespace

void WaitWindow::show_modal(HWND owner, HINSTANCE instance, HFONT font) {
    const Twips twips;
    const int w = twips.x(4200);
    hwnd_ = create_small_window(owner, instance, kClassName, window_proc, widen(kAppTitle), {w, twips.y(1500)}, 0, this);
    if (!hwnd_) return;
    add_child(hwnd_, L"STATIC", L"请按单片机“复位”按键！", SS_CENTER | SS_NOPREFIX, {0, twips.y(240), w, twips.y(540)}, -1, font);
    add_child(hwnd_, L"BUTTON", L"取消", BS_DEFPUSHBUTTON | WS_TABSTOP,
              {(w - twips.x(1100)) / 2, twips.y(800), (w + twips.x(1100)) / 2, twips.y(1200)}, kCancelId, font);

    open_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    form_.on_wait_load();
    run_modal(owner, hwnd_, open_);
    open_ = false;
    form_.on_wait_unload();
    set_timer(false);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void WaitWindow::set_timer(bool on) {
    timer_ = on;
    if (!hwnd_) return;
    if (on) SetTimer(hwnd_, kTimer1, kTimerMs, nullptr);
    else KillTimer(hwnd_, kTimer1);
}

void WaitWindow::close() { open_ = false; }

LRESULT CALLBACK WaitWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    }
    auto* self = reinterpret_cast<WaitWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_TIMER:
        if (self && wp == kTimer1 && self->timer_ && self->open_) self->form_.on_wait_tick();
        return 0;
    case WM_COMMAND:
        if (self && LOWORD(wp) == kCancelId && self->open_) self->form_.on_wait_cancel();
        return 0;
    case WM_CLOSE:
        if (self && self->open_) self->form_.on_wait_cancel();
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace tarn::win
