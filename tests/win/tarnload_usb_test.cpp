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

std::string text_of(HWND h) { return ui::utf8(ui::window_text(h)); }

class UsbWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
    }

    void SetUp() override {
        ASSERT_NE(sim_.dll, nullptr) << "CH375DLL.dll is not on the search path";
        sim_.reset();
    }
    void TearDown() override {
        window_.reset();
        pump();
    }

    void open_window() {
        window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr), ch375_);
        ASSERT_TRUE(window_->create());
        window_->load();
        ShowWindow(window_->hwnd(), SW_SHOW);
        pump();
    }
    void pump(DWORD ms = 50) {
        const DWORD end = GetTickCount() + ms;
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (window_ && window_->pre_translate(msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(5);
        } while (GetTickCount() < end);
    }
    bool pump_until(const std::function<bool()>& condition, DWORD timeout_ms = 5000) {
        const DWORD end = GetTickCount() + timeout_ms;
        while (!condition()) {
            if (GetTickCount() > end) return false;
            pump(20);
        }
        return true;
    }
    HWND ctl(Ctl c) { return window_->control(c); }
    Form1& form() { return window_->form(); }
    void click(Ctl c) {
        SendMessageW(ctl(c), BM_CLICK, 0, 0);
        pump();
    }
    std::string status() {
        wchar_t buf[256] = {};
        SendMessageW(ctl(Ctl::zhuangtai), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buf));
        return ui::utf8(buf);
    }
    void load_sample() {
        const char* sample = std::getenv("TARN_SAMPLE_HEX");
        ASSERT_NE(sample, nullptr);
        form().open_path(sample);
        pump();
        ASSERT_EQ(form().image.data_len, 0x7E);
    }

    Simulator sim_;
    Ch375Library ch375_;
    ui::DialogAnswerer answerer_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(UsbWindowTest, StartUpWithTheCablePluggedAndUnplugged) {
    open_window();
    EXPECT_TRUE(answerer_.take_boxes().empty());  // registration worked
    EXPECT_TRUE(form().usb.usb_present);
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), model_hint("AT89S52"));
    window_.reset();

    sim_.plug(false);
    open_window();
    EXPECT_TRUE(answerer_.take_boxes().empty());
    EXPECT_FALSE(form().usb.usb_present);
}

TEST_F(UsbWindowTest, PlugNotificationsWhileIdle) {
    open_window();
    sim_.plug(false);  // the library tells from a thread of its own
    EXPECT_TRUE(pump_until([&] { return text_of(ctl(Ctl::Text3)) == "**CH372/CH375设备已拔出"; }));
    EXPECT_FALSE(form().usb.usb_present);
    sim_.plug(true);
    EXPECT_TRUE(pump_until([&] { return text_of(ctl(Ctl::Text3)) == "**CH372/CH375设备已插上"; }));
    EXPECT_TRUE(form().usb.usb_present);
}

TEST_F(UsbWindowTest, FullRunOnTheSample) {
    open_window();
    sim_.set_flash(0x10, 0x00);  // a used chip: erase must clear it
    load_sample();
    for (Ctl c : {Ctl::Check1, Ctl::Check2, Ctl::Check3, Ctl::Check4}) click(c);
    click(Ctl::start);
    EXPECT_TRUE(answerer_.take_boxes().empty());
    EXPECT_EQ(status(), "操作完成！");
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), "");
    EXPECT_EQ(SendMessageW(ctl(Ctl::jdt), PBM_GETPOS, 0, 0), 0);
    for (ULONG a = 0; a <= 0x7E; ++a) ASSERT_EQ(sim_.flash(a), form().image.rom_data[a]) << a;
    EXPECT_EQ(sim_.flash(0x7F), 0xFF);
    EXPECT_TRUE(IsWindowEnabled(ctl(Ctl::start)));
}

TEST_F(UsbWindowTest, ReadRefillsTheGrid) {
    open_window();
    for (ULONG a = 0; a < 0x2000; a += 0x101) sim_.set_flash(a, static_cast<BYTE>(a >> 4));
    click(Ctl::Check8);
    click(Ctl::start);
    EXPECT_TRUE(answerer_.take_boxes().empty());
    EXPECT_EQ(status(), "操作完成！");
    EXPECT_EQ(form().image.data_len, 0x1FFF);
    EXPECT_EQ(form().grid().rows(), 0x1FFF / 16 + 2);
    EXPECT_EQ(form().grid().cell_text(0x101 / 16 + 1, 0x101 % 16 + 1), "10");
    EXPECT_EQ(form().grid().cell_text(1, 2), "FF");
}

TEST_F(UsbWindowTest, CablePulledInTheMiddleOfProgramming) {
    open_window();
    load_sample();
    ASSERT_TRUE(sim_.faults("unplug:A6@100"));
    click(Ctl::Check3);
    const DWORD started = GetTickCount();
    click(Ctl::start);
    EXPECT_LT(GetTickCount() - started, 30000u);  // no hang: the run ended
    const std::vector<ui::Box> boxes = answerer_.take_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "CH375WriteData 失败");
    EXPECT_EQ(boxes[0].title, "TARN-C51单片机下载");
    EXPECT_EQ(boxes[1].text, "CH375ReadData 上传数据失败");
    EXPECT_EQ(boxes[1].title, "信息提示");
    EXPECT_EQ(status(), "正在编程，请稍后...");
    // The unplug notification is handled once the run has returned.
    EXPECT_TRUE(pump_until([&] { return text_of(ctl(Ctl::Text3)) == "**CH372/CH375设备已拔出"; }));
    EXPECT_FALSE(form().usb.usb_present);
}

} // namespace
} // namespace tarn::win
