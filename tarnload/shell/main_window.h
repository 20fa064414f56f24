// Form1 on screen: the main window with its frames and standard controls, the
// hex grid and the status bar, showing the window model and passing the
// user's actions to it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "image/hex_grid_window.h"
#include "serial/wait_window.h"
#include "serial/win32_serial_port.h"
#include "shell/about_window.h"
#include "shell/form1.h"
#include "shell/form_view.h"
#include "shell/win32_support.h"

namespace tarn::win {

inline constexpr const wchar_t* kMainClassName = L"TarnloadForm1";
// Control identifiers are this base plus the control's index in Ctl.
inline constexpr int kControlIdBase = 1000;
// The help command that F1 sends through the accelerator table.
inline constexpr int kHelpCommand = 900;
// A plug notification of the USB library, posted to the window's thread.
inline constexpr UINT kMsgUsbNotify = WM_APP + 1;
// A notification of the serial port (wParam: the event code).
inline constexpr UINT kMsgComm = WM_APP + 2;
// The serial watchdog squ_timer.
inline constexpr UINT_PTR kSquTimerId = 1;
inline constexpr int kIconResource = 1;

class MainWindow;

// Time for the runs: the system's tick count, and sleeps during which the
// window keeps painting itself (a run blocks the window's thread).
class WindowClock final : public Clock {
public:
    explicit WindowClock(MainWindow& window) : window_(window) {}
    uint64_t now_ms() override { return GetTickCount64(); }
    void sleep_ms(uint32_t ms) override;

private:
    MainWindow& window_;
};

class MainWindow final : public FormView {
public:
    MainWindow(HINSTANCE instance, Ch375Api& ch375);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override;

    static void register_classes(HINSTANCE instance);

    // Creates the window and its controls in their design-time state, hidden.
    bool create();
    // The start-up sequence of the window load.
    void load();
    // Ends the thread's message loop when the window is destroyed.
    void set_quit_on_destroy(bool quit) { quit_on_destroy_ = quit; }

    // Accelerators and dialog keys for one message of the loop; true when the
    // message was handled here.
    bool pre_translate(MSG& msg);

    HWND hwnd() const { return hwnd_; }
    HWND control(Ctl c) const { return controls_[static_cast<std::size_t>(index_of(c))]; }
    HWND progress_bar() const { return control(Ctl::jdt); }
    Form1& form() { return form_; }
    Win32SerialPort& serial_port() { return serial_; }
    HexGridWindow& grid_window() { return grid_; }
    AboutWindow& about_window() { return about_; }

    // FormView
    void set_text(Ctl c, std::string_view utf8) override;
    void set_enabled(Ctl c, bool enabled) override;
    void set_value(Ctl c, int value) override;
    void set_progress(int32_t min, int32_t max, int32_t value) override;
    void message_box(std::string_view text, std::string_view title, BoxIcon icon) override;
    FileChoice open_file_dialog(const FileDialogSetup& setup) override;
    FileChoice save_file_dialog(const FileDialogSetup& setup) override;
    void grid_refilled() override;
    void grid_cell_changed(int32_t row, int32_t col) override;
    void show_editor(int32_t row, int32_t col, std::string_view text, EditorPlacement placement) override;
    void hide_editor() override;
    void show_about() override;
    void show_help(std::string_view path) override;
    void end_program() override;
    void post_usb_notify(uint32_t status) override;
    void set_squ_timer(bool enabled, uint32_t interval_ms) override;
    void show_wait_window() override;
    void set_wait_timer(bool on) override;
    void close_wait_window() override;
    void run_started() override;
    void run_finished() override;

    // Waits, painting whatever needs it, until the time is up.
    void wait_painting(uint32_t ms);

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void on_command(int id, int code, HWND from);
    void on_size();
    void on_drop_files(HDROP drop);
    void create_controls();
    HWND create_control(const CtlDesign& d);
    RECT design_rect_px(const CtlDesign& d) const;
    void place(Ctl c, const TwipsRect& in_frame, const TwipsRect& frame);
    FileChoice file_dialog(const FileDialogSetup& setup, bool save);
    void apply_text(Ctl c, const std::wstring& text);
    void apply_progress();
    // During a run, texts and the progress bar are gathered and shown at most
    // every kRepaintMs, so thousands of quick updates cost one repaint each.
    void maybe_flush();
    void flush();
    void paint_now();

    HINSTANCE instance_;
    WindowClock clock_{*this};
    Win32SerialPort serial_{clock_};
    Form1 form_;
    HexGridWindow grid_;
    AboutWindow about_;
    WaitWindow* wait_window_ = nullptr;
    HWND hwnd_ = nullptr;
    std::array<HWND, kCtlCount> controls_{};
    Twips twips_;
    Font ui_font_;
    Font editor_font_;
    Brush white_;
    HACCEL accelerators_ = nullptr;
    bool quit_on_destroy_ = false;
    HMODULE html_help_ = nullptr;

    static constexpr uint64_t kRepaintMs = 50;
    bool running_ = false;
    uint64_t last_flush_ = 0;
    std::array<std::optional<std::wstring>, kCtlCount> pending_text_{};
    bool progress_pending_ = false;
    int32_t progress_min_ = 0, progress_max_ = 100, progress_value_ = 0;
};

} // namespace tarn::win
