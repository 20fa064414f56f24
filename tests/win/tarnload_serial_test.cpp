// The main window's serial runs over real COM ports: COM1 is mapped onto a
// pseudo-terminal where the pty bridge runs a simulated P89C51RA2X boot
// loader; COM3 is mapped onto nothing.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
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
    std::atomic<bool> done{false};
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
    });
    int32_t progress_seen = 0;
    const bool finished = d.pump_until([&] {
        progress_seen = std::max<int32_t>(progress_seen, static_cast<int32_t>(SendMessageW(d.ctl(Ctl::jdt), PBM_GETPOS, 0, 0)));
        return d.status() != "正在读！请稍候......";
    }, 60000);
    done = true;
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
