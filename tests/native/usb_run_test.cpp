// The USB link and the USB programming run against the simulated cable.
#include <gtest/gtest.h>

#include <numeric>

#include "recording_view.h"
#include "shell/form1.h"
#include "simulated_ch375.h"

namespace tarn {
namespace {

using testing::Box;
using Frame = std::array<uint8_t, 7>;

const std::string kInfo(kInfoTitle);
const std::string kApp(kAppTitle);
const Box kNoCable{"没有检测到USB下载线......\r\n请检测USB通讯线是否连接好！", kInfo};
const Box kReadFailed{"CH375ReadData 上传数据失败", kInfo};
const Box kRejected{"USB设备应答错误", kInfo};

class UsbTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.on_load("C:\\T");
        view.boxes.clear();
        clock.sleeps.clear();
    }

    void tick(std::initializer_list<int> boxes) {
        for (int n : boxes) form.on_check_click(n, 1);
    }
    // An image of `size` bytes: 0..size-1 with a pattern, data_len = size - 1.
    void load_image(int32_t size) {
        for (int32_t a = 0; a < size; ++a) form.image.rom_data[static_cast<std::size_t>(a)] = static_cast<uint8_t>(a * 7 + 1);
        form.image.data_len = size - 1;
    }
    void fault(const std::string& text) {
        const auto parsed = sim::parse_faults(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        for (const auto& f : parsed.value()) cable.add_fault(f);
    }
    void start() {
        cable.frames.clear();
        clock.sleeps.clear();
        form.on_start_click();
    }
    std::vector<uint8_t> codes() const {
        std::vector<uint8_t> c;
        for (const Frame& f : cable.frames) c.push_back(f[0]);
        return c;
    }
    std::size_t count(uint8_t code) const {
        std::size_t n = 0;
        for (const Frame& f : cable.frames) n += f[0] == code;
        return n;
    }
    uint32_t slept() const { return std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0u); }
    const std::string& status() { return form.text(Ctl::zhuangtai); }

    sim::CableSimulator cable;
    sim::SimulatedCh375 ch375{cable};
    testing::RecordingView view;
    testing::VirtualClock clock;
    testing::QuietSerial serial{clock};
    Form1 form{view, ch375, serial.port, clock};
};

// ---------------------------------------------------------------- the link

TEST_F(UsbTest, CommandFramesCarryTheWindowVariables) {
    form.adder_l = 0x34;
    form.adder_h = 0x12;
    form.c51_dat = 0x99;
    form.usb.send_read_byte();
    EXPECT_EQ(cable.frames.back(), (Frame{0xA5, 0x5A, 0x00, 0x34, 0x12, 0x00, 0x00}));
    form.usb.send_write_byte();
    EXPECT_EQ(cable.frames.back(), (Frame{0xA6, 0x59, 0x00, 0x34, 0x12, 0x99, 0x00}));
    form.adder_l = 2;
    form.usb.send_write_lock();  // only the mode: the high byte is not part of it
    EXPECT_EQ(cable.frames.back(), (Frame{0xA7, 0x58, 0x00, 0x02, 0x00, 0x00, 0x00}));
    form.usb.send_read_id();
    EXPECT_EQ(cable.frames.back(), (Frame{0xA4, 0x5B, 0x00, 0x02, 0x00, 0x00, 0x00}));
    form.usb.send_prog_enable();
    EXPECT_EQ(cable.frames.back(), (Frame{0xA8, 0x57, 0, 0, 0, 0, 0}));
    form.usb.send_erase();
    EXPECT_EQ(cable.frames.back(), (Frame{0xA3, 0x5C, 0, 0, 0, 0, 0}));
    form.usb.send_ae();
    EXPECT_EQ(cable.frames.back(), (Frame{0xAE, 0x51, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(form.usb.usb_ok);
}

TEST_F(UsbTest, FailedOrShortWriteShowsItsBox) {
    for (const char* f : {"failwrite", "shortwrite"}) {
        cable.clear_faults();
        fault(f);
        view.boxes.clear();
        EXPECT_FALSE(form.usb.usb_send(0xA5, 0, 0, 0, 0, 0)) << f;
        EXPECT_FALSE(form.usb.usb_ok);
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0], (Box{"CH375WriteData 失败", kApp}));
    }
}

TEST_F(UsbTest, LinkTest) {
    EXPECT_TRUE(form.usb.usb_test());
    EXPECT_EQ(cable.frames.back(), (Frame{0x93, 0x6C, 0x5A, 0x96, 0xF3, 0x4C, 0x39}));
    EXPECT_EQ(form.text(Ctl::Text3), "USB通讯成功");
    EXPECT_TRUE(view.boxes.empty());

    struct Case {
        const char* fault;
        const char* box;
    };
    for (const Case& c : {Case{"failwrite", "CH375WriteData 失败"}, Case{"failread", "CH375ReadData 失败"},
                          Case{"shortreply=6", "CH375数据测试返回的长度错误"},
                          Case{"reply=6C00A5690000", "CH375数据测试返回的长度错误"},
                          Case{"reply=6CFFA569FFFFFF", ""},  // the unchecked bytes may be anything
                          Case{"reply=6C00A5680000FF", "通过USB传输的数据有错误"},
                          Case{"reject", "通过USB传输的数据有错误"}}) {
        cable.clear_faults();
        fault(c.fault);
        view.boxes.clear();
        const bool ok = form.usb.usb_test();
        EXPECT_EQ(ok, std::string(c.box).empty()) << c.fault;
        EXPECT_EQ(form.usb.usb_ok, ok);
        if (!ok) {
            ASSERT_EQ(view.boxes.size(), 1u) << c.fault;
            EXPECT_EQ(view.boxes[0], (Box{c.box, kInfo})) << c.fault;
        }
    }
}

TEST_F(UsbTest, UnpluggedLinkTestSaysNothing) {
    ch375.plug(false);
    form.usb_notified(0);
    EXPECT_EQ(form.text(Ctl::Text3), "**CH372/CH375设备已拔出");
    view.boxes.clear();
    EXPECT_FALSE(form.usb.usb_test());
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(cable.frames.empty());
}

TEST_F(UsbTest, Upload) {
    std::vector<uint8_t> dest(2048);
    form.usb.send_read_byte();  // bytes 2-6 of this frame stay in the next
    form.adder_l = 0x11;
    form.usb.send_read_byte();
    const uint64_t writes = cable.writes;
    EXPECT_EQ(form.usb.usb_upload(dest.data(), 1025), 0);
    EXPECT_EQ(cable.writes, writes);  // refused before anything is written
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"单次上传数据长度超过1024字节", kInfo}));

    cable.flash[0] = 0x42;
    EXPECT_EQ(form.usb.usb_upload(dest.data(), 1024), 1024);
    ASSERT_GE(cable.frames.size(), 2u);
    EXPECT_EQ(cable.frames[cable.frames.size() - 2], (Frame{0xA0, 0x5F, 0x00, 0x11, 0x00, 0x00, 0x00}));
    EXPECT_EQ(cable.frames.back(), (Frame{0xA1, 0x5E, 0x03, 0x00, 0x00, 0x00, 0x04}));
    EXPECT_EQ(dest[0], 0x42);
    EXPECT_EQ(form.usb.usb_upload(dest.data(), 291), 291);
    EXPECT_EQ(cable.frames.back(), (Frame{0xA1, 0x5E, 0x03, 0x00, 0x00, 0x23, 0x01}));
    EXPECT_EQ(form.usb.usb_upload(dest.data(), -5), 0);  // nothing to ask for
    EXPECT_EQ(view.boxes.size(), 1u);

    struct Case {
        const char* fault;
        const char* box;
    };
    for (const Case& c : {Case{"failwrite:A0", "CH375WriteData 发送命令失败,DEF_CMD_CLEAR_UP"},
                          Case{"failwrite:A1", "CH375WriteData 发送命令失败,DEF_CMD_UP_DATA"},
                          Case{"failread:A1", "CH375ReadData 上传数据失败"}}) {
        cable.clear_faults();
        fault(c.fault);
        view.boxes.clear();
        EXPECT_EQ(form.usb.usb_upload(dest.data(), 16), 0) << c.fault;
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0], (Box{c.box, kInfo}));
    }
}

// ---------------------------------------------------------------- the run

TEST_F(UsbTest, FullRunProgramsAndVerifies) {
    cable.flash.assign(cable.flash.size(), 0x00);  // a used chip
    load_image(300);
    tick({1, 2, 3, 4});
    start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(status(), "操作完成！");
    EXPECT_EQ(form.progress_value(), 0);
    EXPECT_EQ(form.text(Ctl::Text3), "");  // erased: blank; programmed: no mismatch
    for (int32_t a = 0; a < 300; ++a) ASSERT_EQ(cable.flash[static_cast<std::size_t>(a)], form.image.rom_data[static_cast<std::size_t>(a)]);
    EXPECT_EQ(cable.flash[300], 0xFF);
    EXPECT_EQ(count(0xA3), 1u);
    EXPECT_EQ(count(0xA5), 0x2000u + 300u);  // blank check of the chip, verify of the image
    EXPECT_EQ(count(0xA6), 300u);
    // The waits: 100 ms after programming mode, 200 ms after each identity
    // byte, 300 ms before each of the later steps, ticked or not.
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100, 200, 200, 200, 200, 200, 300, 300, 300, 300, 300, 300}));
    EXPECT_EQ(view.runs_started, 1);
    EXPECT_EQ(view.runs_finished, 1);
}

TEST_F(UsbTest, NothingTickedOnlyIdentifies) {
    start();
    EXPECT_EQ(codes(), (std::vector<uint8_t>{0x93, 0xA8, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4}));
    EXPECT_EQ(status(), "操作完成！");
    EXPECT_EQ(slept(), 2900u);
}

TEST_F(UsbTest, ReadExcludesEveryOtherOperation) {
    for (std::size_t a = 0; a < cable.flash.size(); ++a) cable.flash[a] = static_cast<uint8_t>(a ^ 0x5A);
    tick({1, 2, 3, 4, 5, 8});
    start();
    EXPECT_EQ(count(0xA3) + count(0xA6) + count(0xA7), 0u);
    EXPECT_EQ(count(0xA5), 0x2000u);
    EXPECT_EQ(form.image.data_len, 0x1FFF);
    EXPECT_EQ(form.image.rom_data[0x1ABC], static_cast<uint8_t>(0x1ABC ^ 0x5A));
    EXPECT_EQ(form.grid().rows(), 0x1FFF / 16 + 2);
    EXPECT_EQ(form.grid().cell_text(2, 1), "4A");
    EXPECT_EQ(status(), "操作完成！");
    EXPECT_EQ(form.progress_max(), 0x1FFF);
    EXPECT_EQ(slept(), 1100u);  // no waits of the later steps
}

TEST_F(UsbTest, BlankCheckListsTheBytesThatAreNotBlank) {
    cable.flash[5] = 0x00;
    cable.flash[0x123] = 0x5A;
    cable.flash[0x1FFF] = 0xFE;
    tick({2});
    start();
    EXPECT_EQ(form.text(Ctl::Text3), "05H：00 -- 123H：5A -- 1FFFH：FE -- ");
    EXPECT_EQ(status(), "操作完成！");
}

TEST_F(UsbTest, VerifyMismatchesAreListedAndFailTheRun) {
    load_image(0x11);
    for (int a = 0; a <= 0x10; ++a) cable.flash[static_cast<std::size_t>(a)] = form.image.rom_data[static_cast<std::size_t>(a)];
    form.image.rom_data[0x10] = 0x3C;
    cable.flash[0x10] = 0xFF;
    form.image.rom_data[0x02] = 0x00;
    cable.flash[0x02] = 0x05;
    tick({4, 5});
    start();
    EXPECT_EQ(form.text(Ctl::Text3), "2：0-5  10：3C-FF  ");
    EXPECT_EQ(status(), "操作失败！");
    EXPECT_TRUE(cable.lock_bits[0]);  // the run goes on after a mismatch
}

TEST_F(UsbTest, ProgrammingOverOldDataWithoutEraseFailsVerify) {
    cable.flash.assign(cable.flash.size(), 0x0F);
    load_image(4);
    tick({3, 4});
    start();
    EXPECT_EQ(status(), "操作失败！");
    EXPECT_EQ(cable.flash[1], 0x0F & form.image.rom_data[1]);
}

TEST_F(UsbTest, LockBitsInOrder) {
    tick({5, 6, 7});
    start();
    const std::vector<uint8_t> expected_codes{0x93, 0xA8, 0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0xA7, 0xA7, 0xA7};
    EXPECT_EQ(codes(), expected_codes);
    for (uint8_t m = 1; m <= 3; ++m) EXPECT_EQ(cable.frames[6 + m][3], m);
    EXPECT_EQ(cable.lock_bits, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(status(), "操作完成！");
}

TEST_F(UsbTest, WrongChipIsReportedAndNothingRuns) {
    form.on_combo2_click("P89C51RA2X");  // chip_id 15 C2 8F 40 24
    form.on_combo2_click("AT89S52");
    cable.identity = {0x1E, 0x51, 0x06, 0x0A, 0x24};
    tick({1, 3});
    load_image(10);
    start();
    EXPECT_EQ(form.text(Ctl::Text3),
              "芯片ID号：1E*52*6*40*24\r\n读出ID号：1E*51*6*A*24\r\n请将单片机选择开关拔到“C51”一侧！并按住“复位”键");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"芯片ID号错误！\r\n请选择正确的芯片型号。", kInfo}));
    EXPECT_EQ(count(0xA3) + count(0xA6), 0u);
    EXPECT_EQ(status(), "通讯成功！");
}

TEST_F(UsbTest, UnpluggedCableShowsOnlyTheMissingCableBox) {
    ch375.plug(false);
    form.usb_notified(0);
    form.set_status("before");
    tick({1, 3});
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], kNoCable);
    EXPECT_EQ(status(), "before");
    EXPECT_TRUE(cable.frames.empty());
}

TEST_F(UsbTest, LinkTestFailureShowsItsBoxThenTheMissingCableBox) {
    fault("failread:93");
    start();
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0], (Box{"CH375ReadData 失败", kInfo}));
    EXPECT_EQ(view.boxes[1], kNoCable);
    EXPECT_EQ(codes(), std::vector<uint8_t>{0x93});
}

TEST_F(UsbTest, ProgrammingEnableReplies) {
    struct Case {
        const char* reply;
        bool accepted;
    };
    for (const Case& c : {Case{"A50000", true}, Case{"005A00", true}, Case{"000069", true}, Case{"000000", false},
                          Case{"A55A", false}}) {
        cable.clear_faults();
        fault(std::string("reply:A8=") + c.reply);
        view.boxes.clear();
        start();
        EXPECT_EQ(count(0xA4) == 5, c.accepted) << c.reply;
        if (!c.accepted) {
            ASSERT_EQ(view.boxes.size(), 1u) << c.reply;
            EXPECT_EQ(view.boxes[0], kRejected) << c.reply;
        }
    }
    cable.clear_faults();
    fault("failread:A8");
    view.boxes.clear();
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"CH375ReadData 上传数据失败", kInfo, BoxIcon::Warning}));
}

// A failed or refused reply ends the run where it is, with that step's box;
// the status stays the step's own.
TEST_F(UsbTest, StepFailuresEndTheRunWhereItIs) {
    struct Case {
        const char* fault;
        std::initializer_list<int> ticks;
        Box box;
        const char* status;
        int32_t progress;  // -1: not checked
    };
    const Case cases[] = {
        {"reject:A4@2", {}, {"USB设备应答错误xx", kInfo}, "通讯成功！", -1},
        {"failread:A4", {}, kReadFailed, "通讯成功！", -1},
        {"reject:A3", {1}, kRejected, "正在擦除，请稍后...", -1},
        {"failread:A5@17", {2}, kReadFailed, "正在验空，请稍后...", 16},
        {"reject:A6@100", {3}, kRejected, "正在编程，请稍后...", 99},
        {"failread:A5@3", {4}, kReadFailed, "正在校验，请稍后...", 2},
        {"reject:A7@1", {5, 6, 7}, kRejected, "正在加密位2，请稍后...", -1},
        {"failread:A5@40", {8}, kReadFailed, "正在读，请稍后...", 39},
    };
    for (const Case& c : cases) {
        cable.clear_faults();
        fault(c.fault);
        for (int n = 1; n <= 8; ++n) form.on_check_click(n, 0);
        for (int n : c.ticks) form.on_check_click(n, 1);
        load_image(300);
        form.set_progress_value(0);
        view.boxes.clear();
        start();
        ASSERT_EQ(view.boxes.size(), 1u) << c.fault;
        EXPECT_EQ(view.boxes[0], c.box) << c.fault;
        EXPECT_EQ(status(), c.status) << c.fault;
        if (c.progress >= 0) {
            EXPECT_EQ(form.progress_value(), c.progress) << c.fault;
        }
    }
}

TEST_F(UsbTest, WriteFailureInAStepShowsBothBoxes) {
    fault("failwrite:A6@5");
    load_image(20);
    tick({3});
    start();
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0], (Box{"CH375WriteData 失败", kApp}));
    EXPECT_EQ(view.boxes[1], kReadFailed);
    EXPECT_EQ(status(), "正在编程，请稍后...");
}

TEST_F(UsbTest, ShortReplyNeverPassesForData) {
    fault("shortreply:A5@7=2");
    tick({8});
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], kRejected);
    EXPECT_EQ(form.image.data_len, 0);  // the read did not complete
}

TEST_F(UsbTest, ImageLargerThanTheChipOrNothingLoaded) {
    load_image(0x2001);  // data_len 0x2000
    tick({3, 4, 5});
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"文件长度大于芯片范围！", kInfo}));
    EXPECT_EQ(count(0xA6) + count(0xA5) + count(0xA7), 0u);  // verify and lock bits do not run

    form.image.data_len = 0;
    view.boxes.clear();
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"请选择需写入的文件！", kInfo}));
    EXPECT_EQ(status(), "正在编程，请稍后...");

    // 8 KiB exactly (data_len 0x1FFF) is accepted.
    load_image(0x2000);
    view.boxes.clear();
    start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(count(0xA6), 0x2000u);
}

TEST_F(UsbTest, PlugNotificationsWaitForTheRunToEnd) {
    load_image(50);
    tick({3});
    fault("unplug:A6@10");
    // The box shown by the run lets the window's messages in, the posted
    // notification among them.
    view.on_box = [&] {
        for (uint32_t status : view.posted_notifications) form.usb_notified(status);
        view.posted_notifications.clear();
    };
    start();
    ASSERT_FALSE(view.boxes.empty());
    EXPECT_EQ(view.boxes[0], (Box{"CH375WriteData 失败", kApp}));
    // Probed only after the run: the run's texts came first.
    EXPECT_EQ(form.text(Ctl::Text3), "**CH372/CH375设备已拔出");
    EXPECT_FALSE(form.usb.usb_present);
    EXPECT_EQ(status(), "正在编程，请稍后...");
    EXPECT_EQ(form.progress_value(), 9);
}

TEST_F(UsbTest, StartIsIgnoredWhileARunIsGoing) {
    tick({1});
    int nested_runs = 0;
    view.on_box = [&] {
        form.on_start_click();  // a click queued behind the box
        ++nested_runs;
    };
    fault("reject:A3");
    start();
    EXPECT_EQ(nested_runs, 1);
    EXPECT_EQ(view.runs_started, 1);
    EXPECT_EQ(count(0x93), 1u);
}

} // namespace
} // namespace tarn
