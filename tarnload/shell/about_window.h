// qxabout, the about window: the product caption in bold, the version line,
// a picture and the button "确认". Created on first use and afterwards only
// hidden, it is shown modal over the main window.
#pragma once

#include <windows.h>

#include "shell/win32_support.h"

namespace tarn::win {

class AboutWindow {
public:
    static constexpr const wchar_t* kClassName = L"TarnloadAbout";
    static constexpr int kConfirmId = 1;

    AboutWindow() = default;
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;
    ~AboutWindow();

    // Shows the window and returns when the user has closed it.
    void show_modal(HWND owner, HINSTANCE instance, HFONT font);
    HWND hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void create(HWND owner, HINSTANCE instance, HFONT font);
    void close();

    HWND hwnd_ = nullptr;
    bool open_ = false;
    Font bold_;
};

} // namespace tarn::win
