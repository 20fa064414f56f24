#include "shell/form1.h"

#include <algorithm>

#include "image/file_io.h"
#include "image/hex_writer.h"
#include "serial/serial_link.h"
#include "serial/serial_run.h"
#include "shell/device_catalogue.h"
#include "usb/usb_run.h"

namespace tarn {

namespace {

// Flags of every file dialog: overwrite prompt, hide the read-only box, path
// must exist, create prompt, no read-only return, do not dereference links.
constexpr uint32_t kDialogFlags = 0x10A806;

constexpr std::string_view kEditorHint = "请输入十六进制数，按<回车键>确认输入，每格最多只能输入有两个字符!";
constexpr std::string_view kBadCellInput = "请输入有效的十六进制数据!\r\n\r\n数字：0~9，字母：A~F ";

constexpr int kKeyEnter = 13;

} // namespace

Form1::Form1(FormView& view, Ch375Api& ch375, SerialPort& port, Clock& clock)
    : MSComm1(port), usb(ch375, *this), view_(view), clock_(clock) {
    // The design-time state; the window is created from the same table.
    for (const CtlDesign& d : form_design()) {
        ControlState& s = state(d.id);
        s.text = std::string(d.caption);
        s.enabled = d.enabled;
        s.value = 0;
    }
}

// ---------------------------------------------------------------- reporting

void Form1::set_text(Ctl c, std::string_view text) {
    state(c).text = std::string(text);
    view_.set_text(c, text);
}

void Form1::set_enabled(Ctl c, bool enabled) {
    state(c).enabled = enabled;
    view_.set_enabled(c, enabled);
}

void Form1::set_value(Ctl c, int value) {
    state(c).value = value;
    view_.set_value(c, value);
}

void Form1::box(std::string_view text, std::string_view title, BoxIcon icon) { view_.message_box(text, title, icon); }

void Form1::set_progress_range(int32_t min, int32_t max) {
    jdt_min_ = min;
    jdt_max_ = max;
    view_.set_progress(jdt_min_, jdt_max_, jdt_value_);
}

void Form1::set_progress_value(int32_t value) {
    jdt_value_ = value;
    view_.set_progress(jdt_min_, jdt_max_, jdt_value_);
}

void Form1::set_squ_timer(bool enabled) {
    squ_enabled_ = enabled;
    if (enabled) squ_armed_ms = clock_.now_ms();
    view_.set_squ_timer(squ_enabled_, squ_interval_);
}

void Form1::set_squ_interval(uint32_t interval_ms) {
    squ_interval_ = interval_ms;
    if (squ_enabled_) squ_armed_ms = clock_.now_ms();
    view_.set_squ_timer(squ_enabled_, squ_interval_);
}

void Form1::grid_fill() {
    grid_.fill(image);
    view_.grid_refilled();
}

// ---------------------------------------------------------------- start-up and shut-down

void Form1::on_load(std::string_view program_folder) {
    err_js = false;
    // No receive or send events until a run asks for them; no watchdog.
    MSComm1.set_receive_notify(false);
    MSComm1.set_send_notify(false);
    set_squ_timer(false);
    usb.usb_start();

    set_text(Ctl::Combo3, kPortNames[0]);
    set_text(Ctl::Combo4, "9600");
    set_text(Ctl::Combo2, "AT89S52");
    on_combo2_click("AT89S52");
    // The AT89S52 values, whatever the selection did.
    const DeviceModel& s52 = *find_model("AT89S52");
    std::copy(s52.id.begin(), s52.id.end(), chip_id.begin());
    chip_top = s52.chip_top;

    help_file_ = std::string(program_folder) + "\\TARNLOAD.chm";
}

void Form1::on_quit_click() {
    usb.usb_stop();
    view_.end_program();
}

void Form1::on_unload() { usb.usb_stop(); }

void Form1::usb_notified(uint32_t status) {
    if (running_) {
        notify_pending_ = true;
        pending_status_ = status;
        return;
    }
    usb.usb_notify(status);
}

void Form1::on_comm_event(int code) { serial_comm_event(*this, code); }

void Form1::on_squ_timer() { serial_watchdog_tick(*this); }

void Form1::on_wait_load() { wait_window_load(*this); }

void Form1::on_wait_tick() { wait_window_tick(*this); }

void Form1::on_wait_cancel() { wait_window_cancel(*this); }

void Form1::on_wait_unload() { wait_window_unload(*this); }

void Form1::on_about_click() { view_.show_about(); }

void Form1::on_help_key() {
    if (!help_file_.empty()) view_.show_help(help_file_);
}

// ---------------------------------------------------------------- model and options

void Form1::on_combo2_click(std::string_view text) {
    state(Ctl::Combo2).text = std::string(text);
    const bool serial = family_of(text) == Family::Serial;
    for (Ctl c : {Ctl::Label2, Ctl::Label3, Ctl::Combo3, Ctl::Combo4, Ctl::Label4, Ctl::Label5, Ctl::Text1}) {
        set_enabled(c, serial);
    }
    for (Ctl c : {Ctl::Check5, Ctl::Check6, Ctl::Check7}) set_enabled(c, !serial);
    set_text(Ctl::Text3, model_hint(text));

    if (const DeviceModel* m = find_model(text)) {
        std::copy_n(m->id.begin(), m->id_count, chip_id.begin());
        chip_top = m->chip_top;
    }
}

void Form1::on_combo_click(Ctl combo, std::string_view text) {
    if (combo == Ctl::Combo2) {
        on_combo2_click(text);
    } else {
        state(combo).text = std::string(text);
    }
}

void Form1::on_check_click(int n, int value) {
    state(check_box(n)).value = value;
    if (n == 8) {
        // Reading excludes the other operations; their ticks are kept.
        for (int i = 1; i <= 4; ++i) set_enabled(check_box(i), value != 1);
    }
}

// ---------------------------------------------------------------- files

void Form1::on_open_click() {
    const std::string& model = text(Ctl::Combo2);
    FileDialogSetup setup;
    setup.title = "打开文件";
    setup.flags = kDialogFlags;
    if (!model.empty() && (model[0] == 'P' || model[0] == 'p')) {
        setup.default_ext = "hex";
        setup.filter = "*.hex|*.hex";
    } else {
        setup.default_ext = "bin";
        setup.filter = "*.bin|*.bin|*.hex|*.hex|*.cod|*.cod";
    }
    const FileChoice choice = view_.open_file_dialog(setup);
    if (choice.path.empty()) return;
    open_path(choice.path);
}

void Form1::open_path(const std::string& path) {
    set_text(Ctl::Text2, path);
    const FileKind kind = file_kind(path);
    if (kind == FileKind::Unknown) {
        box("请打开十六进制文件或二进制文件！");
        return;
    }
    const LoadError error = load_file(path, kind, chip_top, image);
    if (error != LoadError::None) {
        report_load_error(error);
        return;
    }
    grid_fill();
}

void Form1::report_load_error(LoadError error) {
    switch (error) {
    case LoadError::OpenFailed: box("文件打开失败！"); break;
    case LoadError::Empty: box("文件为空！"); break;
    case LoadError::TooBig: box("文件太大，超出代码空间！"); break;
    case LoadError::Format: box("十六进制文件格式错误！"); break;
    case LoadError::Range: box("超出芯片的写入范围！", kAppTitle); break;
    case LoadError::None: break;
    }
}

void Form1::on_save_click() {
    FileDialogSetup setup;
    setup.title = "保存文件为";
    setup.filter = "Intel HEX (*.hex)|*.hex|Binary (*.bin)|*.bin";
    setup.default_ext = "hex";
    setup.flags = kDialogFlags;
    const FileChoice choice = view_.save_file_dialog(setup);
    if (choice.path.empty()) return;

    // The name's extension decides the format; without one of ours, the
    // chosen filter does.
    FileKind kind = file_kind(choice.path);
    if (kind == FileKind::Unknown) kind = choice.filter_index == 2 ? FileKind::Binary : FileKind::Hex;

    const auto count = static_cast<std::size_t>(std::clamp(image.data_len, 0, CodeImage::kSize - 1)) + 1;
    const std::span<const uint8_t> bytes(image.rom_data.data(), count);
    bool written = false;
    if (kind == FileKind::Hex) {
        const std::string text = to_intel_hex(bytes);
        written = write_file(choice.path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    } else {
        written = write_file(choice.path, bytes);
    }
    if (!written) box("文件保存失败！");
}

// ---------------------------------------------------------------- start

void Form1::on_start_click() {
    if (running_) return;
    set_text(Ctl::Text3, "");
    running_ = true;
    view_.run_started();
    const std::string model = text(Ctl::Combo2);
    if (!model.empty() && model[0] == 'P') {
        serial_run(*this);
    } else {
        usb_run(*this);
    }
    running_ = false;
    view_.run_finished();
    // Plug changes seen during the run, once, now that the cable is free.
    if (notify_pending_) {
        notify_pending_ = false;
        usb.usb_notify(pending_status_);
    }
}

// ---------------------------------------------------------------- grid and editor

void Form1::show_editor_at(int32_t grid_row, int32_t grid_col, EditorPlacement placement) {
    view_.show_editor(grid_row, grid_col, grid_.cell_text(grid_row, grid_col), placement);
}

void Form1::on_grid_click(int32_t grid_row, int32_t grid_col) {
    // Only data cells can be current; the fixed header row and label column
    // are not cells a click selects.
    if (grid_row < 1 || grid_row >= grid_.rows() || grid_col < 1 || grid_col >= HexGrid::kCols) return;
    row = grid_row;
    col = grid_col;
    if (col == HexGrid::kCharCol) {
        view_.hide_editor();
        return;
    }
    if (image.data_len != 0 && HexGrid::cell_address(row, col) > image.data_len) {
        view_.hide_editor();
        return;
    }
    show_editor_at(row, col, EditorPlacement::ClickInset);
}

void Form1::on_rom_in_keyup(int key_code, std::string_view editor_text) {
    set_text(Ctl::Text3, kEditorHint);
    if (key_code != kKeyEnter) return;

    uint8_t v = 0;
    const int32_t address = HexGrid::cell_address(row, col);
    if (!parse_cell_input(editor_text, v) || row < 1 || col < 1 || col > 16 || address >= CodeImage::kSize) {
        box(kBadCellInput);
        return;
    }
    grid_.set_cell(row, col, v);
    image.rom_data[static_cast<std::size_t>(address)] = v;
    view_.grid_cell_changed(row, col);

    const CellPos next = next_edit_cell({row, col}, grid_.rows(), image.data_len);
    row = next.row;
    col = next.col;
    show_editor_at(row, col, EditorPlacement::Exact);
}

} // namespace tarn
