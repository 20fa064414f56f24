// The main window with the simulated cable library CH375DLL.dll on the
// search path: start-up with the cable in and out, plug notifications, and
// whole USB programming runs driven through the window's controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "shell/device_catalogue.h"
#include "shell/main_window.h"
#include "window_driver.h"
#include "ui_automation/ui_automation.h"
#include "usb/ch375_library.h"

namespace tarn::win {
namespace {

// The steering functions of the simulated library.
struct Simulator {
    HMODULE dll = LoadLibraryW(L"CH375DLL.dll");
    template <typename Fn>
    Fn get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    }
    void reset() const { get<VOID(WINAPI*)()>("Ch375SimReset")(); }
    void plug(bool plugged) const { get<VOID(WINAPI*)(BOOL)>("Ch375SimPlug")(plugged ? TRUE : FALSE); }
    bool faults(const char* text) const { return get<BOOL(WINAPI*)(LPCSTR)>("Ch375SimSetFaults")(text) != FALSE; }
    int flash(ULONG address) const { return get<INT(WINAPI*)(ULONG)>("Ch375SimFlashByte")(address); }
    void set_flash(ULONG address, BYTE value) const { get<VOID(WINAPI*)(ULONG, BYTE)>("Ch375SimSetFlashByte")(address, value); }
};

class UsbWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(sim_.dll, nullptr) << "CH375DLL.dll is not on the search path";
        sim_.reset();
    }

    void load_sample() {
        d.form().open_path(testing::environment("TARN_SAMPLE_HEX"));
        d.pump();
        ASSERT_EQ(d.form().image.data_len, 0x7E);
    }
    bool text3_becomes(const std::string& text) {
        return d.pump_until([&] { return d.text(Ctl::Text3) == text; });
    }

    Simulator sim_;
    Ch375Library ch375_;
    testing::WindowDriver d{ch375_};
};

TEST_F(UsbWindowTest, StartUpWithTheCablePluggedAndUnplugged) {
    d.open();
    EXPECT_TRUE(d.answerer().take_boxes().empty());  // registration worked
    EXPECT_TRUE(d.form().usb.usb_present);
    EXPECT_EQ(d.text(Ctl::Text3), model_hint("AT89S52"));
    d.close();

    sim_.plug(false);
    d.open();
    EXPECT_TRUE(d.answerer().take_boxes().empty());
    EXPECT_FALSE(d.form().usb.usb_present);
}

TEST_F(UsbWindowTest, PlugNotificationsWhileIdle) {
    d.open();
    sim_.plug(false);  // the library tells from a thread of its own
    EXPECT_TRUE(text3_becomes("**CH372/CH375设备已拔出"));
    EXPECT_FALSE(d.form().usb.usb_present);
    sim_.plug(true);
    EXPECT_TRUE(text3_becomes("**CH372/CH375设备已插上"));
    EXPECT_TRUE(d.form().usb.usb_present);
}

TEST_F(UsbWindowTest, FullRunOnTheSample) {
    d.open();
    sim_.set_flash(0x10, 0x00);  // a used chip: erase must clear it
    load_sample();
    d.tick_only({1, 2, 3, 4});
    d.click(Ctl::start);
    EXPECT_TRUE(d.answerer().take_boxes().empty());
    EXPECT_EQ(d.status(), "操作完成！");
    EXPECT_EQ(d.text(Ctl::Text3), "");
    EXPECT_EQ(SendMessageW(d.ctl(Ctl::jdt), PBM_GETPOS, 0, 0), 0);
    for (ULONG a = 0; a <= 0x7E; ++a) ASSERT_EQ(sim_.flash(a), d.form().image.rom_data[a]) << a;
    EXPECT_EQ(sim_.flash(0x7F), 0xFF);
    EXPECT_TRUE(IsWindowEnabled(d.ctl(Ctl::start)));
}

TEST_F(UsbWindowTest, ReadRefillsTheGrid) {
    d.open();
    for (ULONG a = 0; a < 0x2000; a += 0x101) sim_.set_flash(a, static_cast<BYTE>(a >> 4));
    d.click(Ctl::Check8);
    d.click(Ctl::start);
    EXPECT_TRUE(d.answerer().take_boxes().empty());
    EXPECT_EQ(d.status(), "操作完成！");
    EXPECT_EQ(d.form().image.data_len, 0x1FFF);
    EXPECT_EQ(d.form().grid().rows(), 0x1FFF / 16 + 2);
    EXPECT_EQ(d.form().grid().cell_text(0x101 / 16 + 1, 0x101 % 16 + 1), "10");
    EXPECT_EQ(d.form().grid().cell_text(1, 2), "FF");
}

TEST_F(UsbWindowTest, CablePulledInTheMiddleOfProgramming) {
    d.open();
    load_sample();
    ASSERT_TRUE(sim_.faults("unplug:A6@100"));
    d.click(Ctl::Check3);
    const DWORD started = GetTickCount();
    d.click(Ctl::start);
    EXPECT_LT(GetTickCount() - started, 30000u);  // no hang: the run ended
    const std::vector<ui::Box> boxes = d.answerer().take_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "CH375WriteData 失败");
    EXPECT_EQ(boxes[0].title, "TARN-C51单片机下载");
    EXPECT_EQ(boxes[1].text, "CH375ReadData 上传数据失败");
    EXPECT_EQ(boxes[1].title, "信息提示");
    EXPECT_EQ(d.status(), "正在编程，请稍后...");
    // The unplug notification is handled once the run has returned.
    EXPECT_TRUE(text3_becomes("**CH372/CH375设备已拔出"));
    EXPECT_FALSE(d.form().usb.usb_present);
}

} // namespace
} // namespace tarn::win
