// Software cost of the USB programming run: a full program and verify of an
// 8 KiB image (16,384 command exchanges) against the in-process cable
// simulator, with a window that shows nothing and a virtual clock.
#include <benchmark/benchmark.h>

#include "cable_sim.h"
#include "shell/form1.h"
#include "simulated_ch375.h"
#include "virtual_serial_port.h"

namespace {

using namespace tarn;

class SilentView final : public FormView {
public:
    void set_text(Ctl, std::string_view) override {}
    void set_enabled(Ctl, bool) override {}
    void set_value(Ctl, int) override {}
    void set_progress(int32_t, int32_t, int32_t) override {}
    void message_box(std::string_view, std::string_view, BoxIcon) override { ++boxes; }
    FileChoice open_file_dialog(const FileDialogSetup&) override { return {}; }
    FileChoice save_file_dialog(const FileDialogSetup&) override { return {}; }
    void grid_refilled() override {}
    void grid_cell_changed(int32_t, int32_t) override {}
    void show_editor(int32_t, int32_t, std::string_view, EditorPlacement) override {}
    void hide_editor() override {}
    void show_about() override {}
    void show_help(std::string_view) override {}
    void end_program() override {}
    void post_usb_notify(uint32_t) override {}
    void set_squ_timer(bool, uint32_t) override {}
    void show_wait_window() override {}
    void set_wait_timer(bool) override {}
    void close_wait_window() override {}
    void run_started() override {}
    void run_finished() override {}
    int boxes = 0;
};


void BM_UsbProgramAndVerify8K(benchmark::State& state) {
    sim::CableSimulator cable;
    sim::SimulatedCh375 ch375(cable);
    SilentView view;
    sim::VirtualClock clock;
    sim::BootLoaderSim chip(sim::LoaderModel::P89C51RA2X);
    sim::VirtualSerialPort port(chip, clock);
    Form1 form(view, ch375, port, clock);
    form.on_load("C:\\T");
    for (int a = 0; a < 0x2000; ++a) form.image.rom_data[static_cast<std::size_t>(a)] = static_cast<uint8_t>(a * 31);
    form.image.data_len = 0x1FFF;
    form.on_check_click(1, 1);  // erase, so every run programs a blank chip
    form.on_check_click(3, 1);
    form.on_check_click(4, 1);
    for (auto _ : state) {
        form.on_start_click();
        if (form.text(Ctl::zhuangtai) != "操作完成！" || view.boxes != 0) state.SkipWithError("the run failed");
    }
    // Program and verify: two exchanges per byte (the link test, enable,
    // identity and erase frames are a handful more).
    constexpr int64_t kExchanges = 2 * 0x2000;
    state.counters["exchanges"] = kExchanges;
    state.counters["per_exchange"] =
        benchmark::Counter(static_cast<double>(kExchanges), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UsbProgramAndVerify8K)->Unit(benchmark::kMillisecond);

} // namespace
