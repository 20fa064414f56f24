// XINXI, the wait window of the serial run: "请按单片机“复位”按键！" and a
// Cancel button, shown modal while its 50 ms timer Timer1 probes the chip.
// What the timer and the button do is the window model's (Form1).
#pragma once

#include <windows.h>

namespace tarn {
class Form1;
}

namespace tarn::win {

class WaitWindow {
public:
    static constexpr const wchar_t* kClassName = L"TarnloadXinxi";
    static constexpr int kCancelId = IDCANCEL;
    static constexpr UINT kTimerMs = 50;

    explicit WaitWindow(Form1& form) : form_(form) {}
    WaitWindow(const WaitWindow&) = delete;
    WaitWindow& operator=(const WaitWindow&) = delete;

    // Loads and shows the window; returns once it has closed and unloaded.
    void show_modal(HWND owner, HINSTANCE instance, HFONT font);
    void set_timer(bool on);
    void close();

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    Form1& form_;
    HWND hwnd_ = nullptr;
    bool open_ = false;
    bool timer_ = false;
};

} // namespace tarn::win
