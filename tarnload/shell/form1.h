// The main window's model: the window-level state the programming runs share
// (code image, selected model, editor position) and the state of every
// control, with one handler per window event. It reports through FormView,
// so the same model drives the Win32 window and the tests' recording view.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/code_image.h"
#include "image/file_loader.h"
#include "image/hex_grid.h"
#include "serial/serial_port.h"
#include "shell/clock.h"
#include "shell/controls.h"
#include "shell/form_view.h"
#include "usb/ch375_api.h"
#include "usb/usb_link.h"

namespace tarn {

struct ControlState {
    std::string text;
    bool enabled = true;
    int value = 0;  // check boxes: 1 ticked, 0 not
};

class Form1 {
public:
    Form1(FormView& view, Ch375Api& ch375, SerialPort& port, Clock& clock);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // ---- window events ----
    // Window load after the single-instance check: the start-up sequence.
    void on_load(std::string_view program_folder);
    // The user chose an item of a list box (also raised by the start-up).
    void on_combo2_click(std::string_view text);
    void on_combo_click(Ctl combo, std::string_view text);
    // A check box was ticked or unticked by the user.
    void on_check_click(int n, int value);
    void on_open_click();
    // Opens a file as the open button does after its dialog (command line,
    // dropped file).
    void open_path(const std::string& path);
    void on_save_click();
    void on_start_click();
    void on_grid_click(int32_t grid_row, int32_t grid_col);
    void on_rom_in_keyup(int key_code, std::string_view editor_text);
    void on_about_click();
    void on_help_key();
    void on_quit_click();
    void on_unload();
    // A notification of the serial port (kCommEventReceive, kCommEventBreak).
    void on_comm_event(int code);
    // The serial watchdog squ_timer expired.
    void on_squ_timer();
    // The wait window XINXI: loaded, its timer ticked, Cancel, unloaded.
    void on_wait_load();
    void on_wait_tick();
    void on_wait_cancel();
    void on_wait_unload();
    // A USB plug notification, now on the window's thread. During a run it
    // waits until the run has returned, so a probe never meets a run that
    // uses the cable (a box shown by the run lets the window's messages in).
    void usb_notified(uint32_t status);
    bool running() const { return running_; }

    // ---- reporting, for the handlers and the runs ----
    void set_text(Ctl c, std::string_view text);
    void set_enabled(Ctl c, bool enabled);
    void set_value(Ctl c, int value);
    void box(std::string_view text, std::string_view title = kInfoTitle, BoxIcon icon = BoxIcon::None);
    void set_status(std::string_view text) { set_text(Ctl::zhuangtai, text); }
    void set_progress_range(int32_t min, int32_t max);
    void set_progress_value(int32_t value);
    void set_squ_timer(bool enabled);
    void set_squ_interval(uint32_t interval_ms);
    bool ticked(int n) const { return value(check_box(n)) == 1; }
    // Rebuilds the hex dump from the code image.
    void grid_fill();
    // From the library's thread: hands the notification to the window.
    void post_usb_notify(uint32_t status) { view_.post_usb_notify(status); }

    const ControlState& control(Ctl c) const { return controls_[static_cast<std::size_t>(index_of(c))]; }
    const std::string& text(Ctl c) const { return control(c).text; }
    bool enabled(Ctl c) const { return control(c).enabled; }
    int value(Ctl c) const { return control(c).value; }
    int32_t progress_min() const { return jdt_min_; }
    int32_t progress_max() const { return jdt_max_; }
    int32_t progress_value() const { return jdt_value_; }
    const HexGrid& grid() const { return grid_; }
    const std::string& help_file() const { return help_file_; }
    FormView& view() { return view_; }
    Clock& clock() { return clock_; }

    // ---- window-level state ----
    CodeImage image;
    std::array<uint8_t, 7> chip_id{};
    int32_t chip_top = 0;
    bool err_js = false;
    // The grid cell being edited.
    int32_t row = 0;
    int32_t col = 0;
    // The serial link's state (see serial_link.h).
    SerialPort& MSComm1;
    std::string com_cmd;
    std::string com_dack;
    bool com_err = false;
    bool do_ok = false;
    bool err_pd = false;
    int32_t rd_len = 0;
    int32_t rd_len_js = 0;
    std::string rd_str;
    bool xin_ok = false;
    // When the watchdog was last armed, for the waits that watch it while
    // they block the window's thread.
    uint64_t squ_armed_ms = 0;
    // Parameters of the next cable command: address low and high byte, data.
    uint8_t adder_l = 0;
    uint8_t adder_h = 0;
    uint8_t c51_dat = 0;
    UsbLink usb;

private:
    ControlState& state(Ctl c) { return controls_[static_cast<std::size_t>(index_of(c))]; }
    void report_load_error(LoadError error);
    void show_editor_at(int32_t grid_row, int32_t grid_col, EditorPlacement placement);

    FormView& view_;
    Clock& clock_;
    std::array<ControlState, kCtlCount> controls_;
    HexGrid grid_;
    int32_t jdt_min_ = 0, jdt_max_ = 100, jdt_value_ = 0;
    std::string help_file_;
    bool squ_enabled_ = false;
    uint32_t squ_interval_ = 5000;
    bool running_ = false;
    bool notify_pending_ = false;
    uint32_t pending_status_ = 0;
};

} // namespace tarn
