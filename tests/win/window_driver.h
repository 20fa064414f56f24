// Drives the real main window from a test as a user would: through its
// controls and messages, with the window's own message loop pumped in
// between, and its message boxes and file dialogs answered by a second thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "shell/main_window.h"
#include "ui_automation/ui_automation.h"

namespace tarn::win::testing {

class WindowDriver {
public:
    explicit WindowDriver(Ch375Api& ch375);
    ~WindowDriver();

    // Creates the window, runs its start-up and shows it.
    void open();
    // Destroys it without the shut-down calls.
    void close();

    // Handles the window's messages for a while, as its loop would.
    void pump(DWORD ms = 50);
    // Pumps until the condition holds; false after the time-out.
    bool pump_until(const std::function<bool()>& condition, DWORD timeout_ms = 5000);

    HWND ctl(Ctl c) const { return window_->control(c); }
    MainWindow& window() { return *window_; }
    Form1& form() { return window_->form(); }

    // A click on a button or check box.
    void click(Ctl c);
    // Choosing an item of a drop-down list, as the list reports it.
    void choose(Ctl c, const std::string& item);
    // Ticks exactly the given option boxes (1-8).
    void tick_only(std::initializer_list<int> boxes);
    // The texts a user reads.
    std::string text(Ctl c) const;
    std::string status() const;

    ui::DialogAnswerer& answerer() { return answerer_; }
    // The boxes shown since the last call, after a short pump.
    std::vector<ui::Box> boxes();

private:
    Ch375Api& ch375_;
    ui::DialogAnswerer answerer_;
    std::unique_ptr<MainWindow> window_;
};

// A path as Windows programs under Wine see it from the environment.
std::string environment(const char* name);

} // namespace tarn::win::testing
