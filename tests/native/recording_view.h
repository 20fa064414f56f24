// A FormView that records what the model shows, and a scriptable stand-in for
// the USB library, for driving Form1 without a window.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/form_view.h"
#include "shell/clock.h"
#include "virtual_clock.h"
#include "virtual_serial_port.h"
#include "usb/ch375_api.h"

namespace tarn::testing {

struct Box {
    std::string text;
    std::string title;
    BoxIcon icon = BoxIcon::None;
    bool operator==(const Box&) const = default;
};

struct EditorShown {
    int32_t row = 0, col = 0;
    std::string text;
    EditorPlacement placement = EditorPlacement::Exact;
};

class RecordingView : public FormView {
public:
    void set_text(Ctl c, std::string_view utf8) override {
        texts[c] = std::string(utf8);
        if (c == Ctl::Text3) text3_history.emplace_back(utf8);
    }
    void set_enabled(Ctl c, bool e) override { enabled[c] = e; }
    void set_value(Ctl c, int v) override { values[c] = v; }
    void set_progress(int32_t mn, int32_t mx, int32_t v) override {
        if (mn != progress_min || mx != progress_max) progress_ranges.emplace_back(mn, mx);
        progress_min = mn;
        progress_max = mx;
        progress_value = v;
    }
    void message_box(std::string_view text, std::string_view title, BoxIcon icon) override {
        boxes.push_back({std::string(text), std::string(title), icon});
        if (on_box) on_box();
    }
    FileChoice open_file_dialog(const FileDialogSetup& setup) override {
        open_setups.push_back(setup);
        return next_choice();
    }
    FileChoice save_file_dialog(const FileDialogSetup& setup) override {
        save_setups.push_back(setup);
        return next_choice();
    }
    void grid_refilled() override {
        ++refills;
        editor_visible = false;
    }
    void grid_cell_changed(int32_t row, int32_t col) override { changed_cells.push_back({row, col}); }
    void show_editor(int32_t row, int32_t col, std::string_view text, EditorPlacement placement) override {
        editor = {row, col, std::string(text), placement};
        editor_visible = true;
    }
    void hide_editor() override { editor_visible = false; }
    void show_about() override { ++abouts; }
    void show_help(std::string_view path) override { help_opened.emplace_back(path); }
    void end_program() override { ended = true; }
    void post_usb_notify(uint32_t status) override { posted_notifications.push_back(status); }
    void set_squ_timer(bool enabled, uint32_t interval_ms) override {
        squ_enabled = enabled;
        squ_interval = interval_ms;
        squ_changes.push_back(enabled);
    }
    void show_wait_window() override {
        ++wait_windows;
        wait_open = true;
        if (on_wait_window) on_wait_window();
        wait_open = false;
    }
    void set_wait_timer(bool on) override { wait_timer = on; }
    void close_wait_window() override { wait_open = false; }
    void run_started() override { ++runs_started; }
    void run_finished() override { ++runs_finished; }

    // Runs while a box is up, as the window's messages would in its modal loop.
    std::function<void()> on_box;
    // Answers of the next file dialogs, in order; cancelled when none is left.
    std::deque<FileChoice> dialog_answers;

    std::map<Ctl, std::string> texts;
    std::vector<std::string> text3_history;
    std::map<Ctl, bool> enabled;
    std::map<Ctl, int> values;
    int32_t progress_min = 0, progress_max = 0, progress_value = 0;
    std::vector<std::pair<int32_t, int32_t>> progress_ranges;
    std::vector<Box> boxes;
    std::vector<FileDialogSetup> open_setups, save_setups;
    int refills = 0;
    std::vector<std::pair<int32_t, int32_t>> changed_cells;
    EditorShown editor;
    bool editor_visible = false;
    int abouts = 0;
    std::vector<std::string> help_opened;
    bool ended = false;
    std::vector<uint32_t> posted_notifications;
    int runs_started = 0, runs_finished = 0;
    bool squ_enabled = false;
    uint32_t squ_interval = 0;
    std::vector<bool> squ_changes;
    // Drives the wait window while it is open (its timer and Cancel button).
    std::function<void()> on_wait_window;
    int wait_windows = 0;
    bool wait_open = false;
    bool wait_timer = false;

private:
    FileChoice next_choice() {
        if (dialog_answers.empty()) return {};
        FileChoice c = dialog_answers.front();
        dialog_answers.pop_front();
        return c;
    }
};

// The USB library as a list of calls; the cable is plugged in or not, and
// registration can be made to fail.
class FakeCh375 : public Ch375Api {
public:
    bool plugged = false;
    bool notify_registration_works = true;
    std::vector<std::string> calls;
    NotifyRoutine routine;

    int32_t OpenDevice(uint32_t index) override {
        calls.push_back("Open " + std::to_string(index));
        return plugged ? 7 : kInvalidHandle;
    }
    void CloseDevice(uint32_t index) override { calls.push_back("Close " + std::to_string(index)); }
    bool SetTimeout(uint32_t index, uint32_t w, uint32_t r) override {
        calls.push_back("SetTimeout " + std::to_string(index) + " " + std::to_string(w) + " " + std::to_string(r));
        return true;
    }
    bool WriteData(uint32_t, const uint8_t*, uint32_t&) override { return false; }
    bool ReadData(uint32_t, uint8_t*, uint32_t&) override { return false; }
    bool SetDeviceNotify(uint32_t index, NotifyRoutine r) override {
        calls.push_back(std::string("SetDeviceNotify ") + std::to_string(index) + (r ? " routine" : " none"));
        routine = std::move(r);
        return notify_registration_works;
    }
    bool SetIntRoutine(uint32_t index) override {
        calls.push_back("SetIntRoutine " + std::to_string(index));
        return true;
    }
};

using sim::VirtualClock;

// A serial port with a boot loader behind it, for tests that do not care
// about the serial link: a P89C51RA2X on COM1.
struct QuietSerial {
    sim::BootLoaderSim chip{sim::LoaderModel::P89C51RA2X};
    sim::VirtualSerialPort port;
    explicit QuietSerial(VirtualClock& clock) : port(chip, clock) {}
};

} // namespace tarn::testing
