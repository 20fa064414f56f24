// What the main window's model asks of the window that shows it. The Win32
// window implements it over real controls; tests implement it by recording.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/controls.h"

namespace tarn {

enum class BoxIcon { None, Warning };

// An open- or save-file dialog: title, filter in the "text|pattern|..." form,
// default extension without the dot, and the dialog flags.
struct FileDialogSetup {
    std::string title;
    std::string filter;
    std::string default_ext;
    uint32_t flags = 0;
};

struct FileChoice {
    std::string path;      // empty when the user cancelled
    int filter_index = 1;  // 1-based index of the filter the user had chosen
};

// Where the cell editor is laid: over a clicked cell with the small insets
// the click uses, or exactly over the next cell after Enter.
enum class EditorPlacement { ClickInset, Exact };

class FormView {
public:
    virtual ~FormView() = default;

    // Text of a label, text box, combo box (selects the item with that text),
    // check box, button, or panel 1 of the status bar (Ctl::zhuangtai).
    virtual void set_text(Ctl c, std::string_view utf8) = 0;
    virtual void set_enabled(Ctl c, bool enabled) = 0;
    // Value of a check box: 1 ticked, 0 not.
    virtual void set_value(Ctl c, int value) = 0;
    // The progress bar jdt; values outside the range are the view's to clamp.
    virtual void set_progress(int32_t min, int32_t max, int32_t value) = 0;

    // An OK message box; returns when the user has closed it.
    virtual void message_box(std::string_view text, std::string_view title, BoxIcon icon) = 0;
    virtual FileChoice open_file_dialog(const FileDialogSetup& setup) = 0;
    virtual FileChoice save_file_dialog(const FileDialogSetup& setup) = 0;

    // The grid's contents were rebuilt (the editor is hidden by the fill).
    virtual void grid_refilled() = 0;
    // One byte cell changed by an edit.
    virtual void grid_cell_changed(int32_t row, int32_t col) = 0;
    // Makes (row, col) the grid's current cell and lays the editor over it
    // with the text, shown and focused.
    virtual void show_editor(int32_t row, int32_t col, std::string_view text, EditorPlacement placement) = 0;
    virtual void hide_editor() = 0;

    virtual void show_about() = 0;
    // Opens the compiled help file at the path on its contents page.
    virtual void show_help(std::string_view path) = 0;
    // Ends the program at once (the quit button).
    virtual void end_program() = 0;

    // The serial watchdog squ_timer: on or off, with its interval. Turning it
    // on, or a new interval while it is on, starts the interval anew; each
    // time it expires the window calls Form1::on_squ_timer.
    virtual void set_squ_timer(bool enabled, uint32_t interval_ms) = 0;

    // The wait window XINXI ("请按单片机“复位”按键！" with a Cancel button),
    // shown modal: returns when it has closed. While it is open the window
    // calls Form1::on_wait_load once, Form1::on_wait_tick every 50 ms while
    // its timer Timer1 is on, Form1::on_wait_cancel for the button and
    // Form1::on_wait_unload when it goes.
    virtual void show_wait_window() = 0;
    virtual void set_wait_timer(bool on) = 0;
    virtual void close_wait_window() = 0;

    // A programming run begins or ends. A run blocks the window's thread;
    // in between, the window keeps itself painted and may gather quick
    // successive updates into one repaint.
    virtual void run_started() = 0;
    virtual void run_finished() = 0;

    // Hands a notification of the USB library, raised on a thread of its
    // own, to the window's thread; the window then calls Form1::usb_notified.
    virtual void post_usb_notify(uint32_t status) = 0;
};

} // namespace tarn
