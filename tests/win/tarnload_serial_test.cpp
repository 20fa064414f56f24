// The main window's serial runs over real COM ports: COM1 and COM2 are
// mapped onto pseudo-terminals where the pty bridge runs simulated boot
// loaders (a P89C51RA2X and a P89V51RD2); COM3 is mapped onto nothing.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "image/file_loader.h"
#include "usb/ch375_library.h"
#include "window_driver.h"

namespace tarn::win {
namespace {

class SerialWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        d.open();
        d.answerer().take_boxes();  // no cable library here: its start-up box
        d.choose(Ctl::Combo2, "P89C51RA2X");
        d.choose(Ctl::Combo3, "COM1");
        d.choose(Ctl::Combo4, "38400");
    }
    void start_and_wait() {
        d.click(Ctl::start);
        d.pump(100);
    }
    void load_sample() {
        d.form().open_path(testing::environment("TARN_SAMPLE_HEX"));
        d.pump();
        ASSERT_EQ(d.form().image.str_len, 6);
    }

    Ch375Library ch375_;
    testing::WindowDriver d{ch375_};
};

TEST_F(SerialWindowTest, PortThatDoesNotExist) {
    d.choose(Ctl::Combo3, "COM3");
    d.tick_only({});
    start_and_wait();
    EXPECT_EQ(d.text(Ctl::Text3), "COM3未找到或已被使用");
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_FALSE(d.window().serial_port().is_open());
}

TEST_F(SerialWindowTest, IdentifiesTheChip) {
    d.tick_only({});
    start_and_wait();
    EXPECT_EQ(d.text(Ctl::Text3), "识别芯片成功！\r\nP89C51RA2X");
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_FALSE(d.window().serial_port().is_open());
    EXPECT_TRUE(IsWindowEnabled(d.ctl(Ctl::start)));
}

TEST_F(SerialWindowTest, ProgramsAndVerifiesTheSample) {
    load_sample();
    d.tick_only({1, 3, 4});
    start_and_wait();
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_EQ(d.status(), "校验成功！");
    EXPECT_TRUE(d.form().do_ok);
    EXPECT_EQ(SendMessageW(d.ctl(Ctl::jdt), PBM_GETPOS, 0, 0), 0);
}

TEST_F(SerialWindowTest, ReadBackFillsTheGridWhileTheWindowStaysResponsive) {
    load_sample();
    d.tick_only({1, 3});
    start_and_wait();
    ASSERT_EQ(d.status(), "编程成功！");
    auto sample = std::make_unique<CodeImage>();
    sample->rom_data = d.form().image.rom_data;

    d.tick_only({8});
    d.click(Ctl::start);
    // The run has returned: the reply comes in through receive notifications.
    EXPECT_EQ(d.status(), "正在读！请稍候......");
    EXPECT_FALSE(IsWindowEnabled(d.ctl(Ctl::start)));

    // Another thread keeps asking the window something; it must answer promptly.
    std::atomic<bool> done{false}, prober_ended{false};
    std::atomic<DWORD> slowest{0};
    HWND main = d.window().hwnd();
    std::thread prober([&] {
        while (!done) {
            const DWORD t0 = GetTickCount();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            slowest = std::max<DWORD>(slowest, GetTickCount() - t0);
            Sleep(50);
        }
        prober_ended = true;
    });
    int32_t progress_seen = 0;
    const bool finished = d.pump_until([&] {
        progress_seen = std::max<int32_t>(progress_seen, static_cast<int32_t>(SendMessageW(d.ctl(Ctl::jdt), PBM_GETPOS, 0, 0)));
        return d.status() != "正在读！请稍候......";
    }, 60000);
    done = true;
    d.pump_until([&] { return prober_ended.load(); });  // its last question still needs an answer
    prober.join();

    ASSERT_TRUE(finished);
    EXPECT_EQ(d.status(), "读完成！");
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_EQ(d.text(Ctl::Text3), "19970--19970");
    EXPECT_TRUE(IsWindowEnabled(d.ctl(Ctl::start)));
    EXPECT_FALSE(d.window().serial_port().is_open());
    EXPECT_GT(progress_seen, 1000);
    EXPECT_LT(slowest.load(), 1000u);
    EXPECT_EQ(d.form().image.data_len, 0x1FFF);
    EXPECT_EQ(d.form().grid().rows(), 0x1FFF / 16 + 2);
    for (int a = 0; a <= 0x7E; ++a) ASSERT_EQ(d.form().image.rom_data[static_cast<std::size_t>(a)], sample->rom_data[static_cast<std::size_t>(a)]) << a;
    EXPECT_EQ(d.form().image.rom_data[0x7F], 0xFF);
    EXPECT_EQ(d.form().grid().cell_text(1, 1), "02");
}

} // namespace
} // namespace tarn::win

namespace tarn::win {
namespace {

// COM2 holds a P89V51RD2, whose loader listens only briefly after a reset:
// the run shows the wait window until the user presses the reset button
// (written into the bridge's control file here) or Cancel.
class V51WindowTest : public SerialWindowTest {
protected:
    void SetUp() override {
        SerialWindowTest::SetUp();
        d.choose(Ctl::Combo2, "P89V51RD2");
        d.choose(Ctl::Combo3, "COM2");
        d.tick_only({});
        // A reset long enough ago that the loader has given up listening.
        press_reset();
        Sleep(800);
    }
    static HWND wait_window() {
        HWND w = nullptr;
        ui::wait_until([&] {
            w = FindWindowW(WaitWindow::kClassName, nullptr);
            return w && IsWindowVisible(w);
        }, 10000);
        return w;
    }
    static void press_reset() {
        std::ofstream(std::filesystem::path(ui::wide(testing::environment("TARN_BRIDGE_CONTROL_COM2"))), std::ios::app) << "reset\n";
    }
};

TEST_F(V51WindowTest, WaitWindowProbesUntilTheChipIsReset) {
    std::vector<std::string> label;
    std::thread user([&] {
        HWND w = wait_window();
        if (!w) return;
        for (HWND child = GetWindow(w, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            label.push_back(ui::utf8(ui::window_text(child)));
        }
        Sleep(300);  // a few probes go unanswered
        press_reset();
        // Should the chip never answer, the test ends rather than waits forever.
        if (!ui::wait_until([&] { return !IsWindow(w); }, 10000)) ui::press(w, WaitWindow::kCancelId);
    });
    start_and_wait();
    user.join();
    EXPECT_EQ(d.text(Ctl::Text3), "识别芯片成功！\r\nP89V51RD2");
    EXPECT_TRUE(d.form().xin_ok);
    EXPECT_EQ(label, (std::vector<std::string>{"请按单片机“复位”按键！", "取消"}));
    EXPECT_EQ(FindWindowW(WaitWindow::kClassName, nullptr), nullptr);
    EXPECT_TRUE(d.boxes().empty());
}

TEST_F(V51WindowTest, CancelEndsTheRunAndLeavesThePortOpen) {
    std::thread user([&] {
        HWND w = wait_window();
        if (w) ui::press(w, WaitWindow::kCancelId);
    });
    start_and_wait();
    user.join();
    EXPECT_FALSE(d.form().xin_ok);
    EXPECT_TRUE(d.boxes().empty());
    EXPECT_TRUE(d.window().serial_port().is_open());
    EXPECT_TRUE(IsWindowEnabled(d.window().hwnd()));
}

} // namespace
} // namespace tarn::win
