#include "shell/about_window.h"

#include "shell/controls.h"

namespace tarn::win {

namespace {

constexpr int kIconResource = 1;

AboutWindow* self_of(HWND hwnd) { return reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

} // namespace

AboutWindow::~AboutWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void AboutWindow::create(HWND owner, HINSTANCE instance, HFONT font) {
    const Twips twips;
    const int w = twips.x(5400), h = twips.y(2600);
    hwnd_ = create_small_window(owner, instance, kClassName, window_proc, widen(std::string("关于 ") + std::string(kFormCaption)),
                                {w, h}, WS_CLIPCHILDREN, this);
    if (!hwnd_) return;

    LOGFONTW lf{};
    GetObjectW(font, sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    lf.lfHeight = lf.lfHeight * 4 / 3;
    bold_.reset(CreateFontIndirectW(&lf));

    HWND picture = add_child(hwnd_, L"STATIC", nullptr, SS_ICON, {twips.x(300), twips.y(300), twips.x(300) + 32, twips.y(300) + 32},
                             -1, font);
    SendMessageW(picture, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 32, 32, LR_SHARED)), 0);
    add_child(hwnd_, L"STATIC", widen(kFormCaption).c_str(), SS_LEFT | SS_NOPREFIX,
              {twips.x(1200), twips.y(330), twips.x(5200), twips.y(780)}, -1, bold_.get());
    add_child(hwnd_, L"STATIC", L"版本号:V2.0", SS_LEFT | SS_NOPREFIX, {twips.x(1200), twips.y(900), twips.x(5200), twips.y(1200)},
              -1, font);
    add_child(hwnd_, L"BUTTON", L"确认", BS_DEFPUSHBUTTON | WS_TABSTOP,
              {w - twips.x(1500), h - twips.y(700), w - twips.x(300), h - twips.y(300)}, kConfirmId, font);
}

void AboutWindow::show_modal(HWND owner, HINSTANCE instance, HFONT font) {
    if (!hwnd_) create(owner, instance, font);
    if (!hwnd_ || open_) return;

    centre_over(owner, hwnd_);
    open_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    SetFocus(GetDlgItem(hwnd_, kConfirmId));
    run_modal(owner, hwnd_, open_);
    open_ = false;
    ShowWindow(hwnd_, SW_HIDE);
}

void AboutWindow::close() {
    open_ = false;
    ShowWindow(hwnd_, SW_HIDE);
}

LRESULT CALLBACK AboutWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    }
    AboutWindow* self = self_of(hwnd);
    switch (msg) {
    case WM_COMMAND:
        if (self && (LOWORD(wp) == kConfirmId || LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK)) self->close();
        return 0;
    case WM_CLOSE:
        // Closing only hides it: the window stays loaded for the next showing.
        if (self) self->close();
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

} // namespace tarn::win
