// The serial link and the serial programming run, on a virtual line to a
// simulated boot loader, on a virtual clock.
#include <gtest/gtest.h>

#include <deque>

#include "hex_test_util.h"
#include "image/file_loader.h"
#include "recording_view.h"
#include "serial/isp_records.h"
#include "serial/serial_link.h"
#include "serial/serial_run.h"
#include "shell/device_catalogue.h"
#include "shell/form1.h"

namespace tarn {
namespace {

using testing::Box;
using sim::LoaderModel;

const std::string kInfo(kInfoTitle);
constexpr uint64_t kMs = 1'000'000;

// A HEX file of `records` data records of 16 bytes from address 0, each byte
// its address times 3, and the end record.
std::string hex_file(int records, bool lower_case = false) {
    std::string text;
    for (int r = 0; r < records; ++r) {
        std::vector<uint8_t> data(16);
        for (int i = 0; i < 16; ++i) data[static_cast<std::size_t>(i)] = static_cast<uint8_t>((r * 16 + i) * 3);
        std::string line = testing::data_record(static_cast<uint16_t>(r * 16), data);
        if (lower_case) {
            for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        text += line + "\r\n";
    }
    return text + testing::kEof + "\r\n";
}

class SerialTest : public ::testing::Test {
protected:
    explicit SerialTest(LoaderModel model = LoaderModel::P89C51RA2X) : chip(model) {}

    void SetUp() override {
        form.on_load("C:\\T");
        select(model_name(chip.model()));
        view.boxes.clear();
    }
    static const char* model_name(LoaderModel m) {
        switch (m) {
        case LoaderModel::P89C51RA2X: return "P89C51RA2X";
        case LoaderModel::P89C51RD2X: return "P89C51RD2X";
        case LoaderModel::P89C51RD2HX: return "P89C51RD2HX";
        case LoaderModel::P89V51RD2: return "P89V51RD2";
        }
        return "";
    }
    void select(const std::string& model) {
        form.on_combo2_click(model);
        form.set_text(Ctl::Combo2, model);
    }
    void baud(const char* rate) { form.on_combo_click(Ctl::Combo4, rate); }
    void tick(std::initializer_list<int> boxes) {
        for (int n = 1; n <= 8; ++n) form.on_check_click(n, 0);
        for (int n : boxes) form.on_check_click(n, 1);
    }
    void load(const std::string& hex) { ASSERT_EQ(load_hex(hex, form.chip_top, form.image), LoadError::None); }
    void start() { form.on_start_click(); }
    const std::string& status() { return form.text(Ctl::zhuangtai); }
    const std::string& text3() { return form.text(Ctl::Text3); }
    uint64_t byte_ns() { return port.line().byte_ns(); }

    // The window's message loop on the virtual clock: receive notifications
    // (taken 10 ms after the first byte waits, as a busy loop would) and the
    // watchdog, until neither is armed.
    void run_message_loop(uint64_t limit_ms = 3'600'000) {
        const uint64_t limit = clock.now_ns + limit_ms * kMs;
        while (clock.now_ns < limit) {
            std::optional<uint64_t> receive, watchdog;
            if (port.receive_notify && port.is_open()) {
                if (port.input_count() > 0) receive = clock.now_ns + 10 * kMs;
                else if (auto t = port.line().next_arrival(clock.now_ns)) receive = *t + 10 * kMs;
            }
            if (view.squ_enabled) watchdog = (form.squ_armed_ms + view.squ_interval) * kMs;
            if (!receive && !watchdog) return;
            if (receive && (!watchdog || *receive < *watchdog)) {
                clock.advance_to(*receive);
                ++notifications;
                form.on_comm_event(kCommEventReceive);
            } else {
                clock.advance_to(*watchdog);
                form.on_squ_timer();
            }
        }
    }

    sim::BootLoaderSim chip;
    testing::VirtualClock clock;
    sim::VirtualSerialPort port{chip, clock};
    testing::RecordingView view;
    testing::FakeCh375 ch375;
    Form1 form{view, ch375, port, clock};
    int notifications = 0;
};

// ---------------------------------------------------------------- the link

// A port that answers with given bytes, for the reply rules of com_send.
class CannedPort final : public SerialPort {
public:
    std::deque<std::vector<uint8_t>> answers;
    void set_port(int) override {}
    void set_settings(const std::string&) override {}
    void set_binary_input() override {}
    void open_port() override {}
    void close_port() override {}
    bool is_open() override { return true; }
    uint16_t input_count() override { return answers.empty() ? 0 : static_cast<uint16_t>(answers.front().size()); }
    std::vector<uint8_t> read_all() override {
        if (answers.empty()) return {};
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    void clear_input() override {}
    uint16_t output_count() override { return 0; }
    void clear_output() override {}
    void write(std::span<const uint8_t>) override {}
    void set_receive_notify(bool) override {}
    void set_send_notify(bool) override {}
    void clear_break() override {}
    bool wait_sent(uint32_t) override { return true; }
    bool wait_input(uint32_t, uint32_t) override { return true; }
};

TEST(ComSend, ReplyWithoutItsLineEnd) {
    testing::VirtualClock clock;
    CannedPort port;
    testing::RecordingView view;
    testing::FakeCh375 ch375;
    Form1 form{view, ch375, port, clock};
    form.com_cmd = ":020000050000F9";
    struct Case {
        std::string reply;
        std::string dack;
    };
    for (const Case& c : {Case{".\r\n", "2E"}, Case{"\r\n", ""}, Case{"", ""}, Case{"15.\r\n", "31352E"}}) {
        port.answers = {{}, std::vector<uint8_t>(c.reply.begin(), c.reply.end())};  // the flush, then the reply
        com_send(form);
        EXPECT_EQ(form.com_dack, c.dack) << c.reply;
    }
    // Each character: written, sent, 1 ms; then 200 ms.
    EXPECT_EQ(clock.now_ns, 4 * (15 + 200) * kMs);
}

TEST_F(SerialTest, PortSetup) {
    form.on_combo_click(Ctl::Combo4, " 9600 ");
    EXPECT_TRUE(port_setup(form));
    EXPECT_EQ(port.settings_seen.back(), "9600,N,8,1");
    EXPECT_EQ(text3(), "COM1打开");
    EXPECT_TRUE(form.com_err);
    EXPECT_FALSE(port.receive_notify);
    EXPECT_FALSE(port.send_notify);
    port.close_port();

    form.on_combo_click(Ctl::Combo3, "COM3");
    EXPECT_FALSE(port_setup(form));
    EXPECT_EQ(text3(), "COM3未找到或已被使用");
    EXPECT_FALSE(port.is_open());
    EXPECT_TRUE(view.boxes.empty());

    form.on_combo_click(Ctl::Combo3, "COM1");
    port.busy = true;  // held by another program
    EXPECT_FALSE(port_setup(form));
    EXPECT_EQ(text3(), "COM1未找到或已被使用");
    port.busy = false;

    // A name outside COM1-COM6 keeps the number; the texts use the box's text.
    form.on_combo_click(Ctl::Combo3, "COM1");
    port_setup(form);
    port.close_port();
    form.set_text(Ctl::Combo3, "COM7");
    EXPECT_TRUE(port_setup(form));
    EXPECT_EQ(text3(), "COM7打开");
    EXPECT_EQ(port.port_number, 1);
}

TEST_F(SerialTest, ProbeOnceTakesTheLineTimeAndFiftyMilliseconds) {
    ASSERT_TRUE(port_setup(form));
    const uint64_t t0 = clock.now_ns;
    EXPECT_TRUE(probe_once(form));
    EXPECT_EQ(clock.now_ns - t0, byte_ns() + 50 * kMs);
    EXPECT_TRUE(probe_once(form));  // a loader that has its rate echoes "U" too
}

TEST_F(SerialTest, ReceiveNotificationThatFindsNothingStaysArmed) {
    ASSERT_TRUE(port_setup(form));
    port.set_receive_notify(true);
    form.set_squ_timer(true);
    form.on_comm_event(kCommEventReceive);
    EXPECT_TRUE(port.receive_notify);
    EXPECT_TRUE(view.squ_enabled);
    EXPECT_EQ(form.rd_len_js, 0);
}

TEST_F(SerialTest, WatchdogDuringVerificationOnlyRaisesItsFlag) {
    form.err_js = true;
    form.set_status("正在校验，请稍候......");
    form.on_squ_timer();
    EXPECT_TRUE(form.err_pd);
    EXPECT_EQ(status(), "正在校验，请稍候......");
    EXPECT_EQ(text3(), model_hint("P89C51RA2X"));
}

// ---------------------------------------------------------------- contact and identification

TEST_F(SerialTest, IdentificationOnlyTakesTheLineTimeAndThePauses) {
    start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(text3(), "识别芯片成功！\r\nP89C51RA2X");
    EXPECT_FALSE(port.is_open());
    // One probe, then three identity reads a character at a time.
    const uint64_t probe = byte_ns() + 50 * kMs;
    const uint64_t read = 15 * (byte_ns() + 1 * kMs) + 200 * kMs;
    EXPECT_EQ(clock.now_ns, probe + 3 * read);
    EXPECT_EQ(chip.records, (std::vector<std::string>{":020000050000F9", ":020000050001F8", ":020000050002F7"}));
}

TEST_F(SerialTest, NoEchoInThirtyOneProbes) {
    chip.faults.silent = true;
    start();
    EXPECT_EQ(text3(), "请检查COM通讯是否连接；是否打开电源；下载开关是否设置正确；计算机COM口选择是否正确；如使用USB转COM通讯线，请参考其使用说明；"
                       "如果检查设置正确后，请按单片机复位键后重新开始。");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"通讯失败！\r\n请检查COM通讯是否连接，是否打开电源？......\r\n请按单片机复位键后重新开始。", kInfo}));
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(clock.now_ns, 31 * (byte_ns() + 50 * kMs));
}

TEST_F(SerialTest, IdentificationFailures) {
    struct Case {
        std::function<void(sim::BootLoaderSim&)> fault;
        std::string model;
        Box box;
    };
    const Case cases[] = {
        // The loader answers the probe, then nothing more.
        {[](sim::BootLoaderSim& c) { c.faults.silent_after_bytes = 1; }, "P89C51RA2X", {"通讯错误！\r\n不能识别芯片", kInfo}},
        // It echoes the record but does not answer it.
        {[](sim::BootLoaderSim& c) { c.faults.ignore = {":020000050000F9"}; }, "P89C51RA2X", {"通讯错误！", kInfo}},
        {[](sim::BootLoaderSim& c) { c.faults.missing_dot = true; }, "P89C51RA2X", {"通讯错误！", kInfo}},
        {[](sim::BootLoaderSim& c) { c.identity[0] = 0x16; }, "P89C51RA2X", {"0芯片与选择的型号不配！", kInfo}},
        {[](sim::BootLoaderSim& c) { c.identity[1] = 0x91; }, "P89C51RA2X", {"1芯片与选择的型号不配！", kInfo}},
        // A P89C51RD2X is selected, but the chip answers 15 C2 80.
        {[](sim::BootLoaderSim& c) { c.identity = {0x15, 0xC2, 0x80}; }, "P89C51RD2X", {"2芯片与选择的型号不配！", kInfo}},
    };
    for (const Case& c : cases) {
        chip.faults = {};
        chip.identity = {0x15, 0xC2, 0x8F};
        chip.reset(clock.now_ns);
        c.fault(chip);
        select(c.model);
        view.boxes.clear();
        start();
        ASSERT_EQ(view.boxes.size(), 1u) << c.box.text;
        EXPECT_EQ(view.boxes[0], c.box);
        EXPECT_FALSE(port.is_open()) << c.box.text;
    }
}

TEST_F(SerialTest, LowerCaseIdentityPassesButIsShownAsReceived) {
    chip.faults.lower_case = true;
    start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(text3(), "识别芯片成功！\r\n15c28f");
}

TEST_F(SerialTest, StrayBytesBeforeTheReplyDoNotMatter) {
    chip.faults.stray = "\x01";
    start();
    EXPECT_EQ(text3(), "识别芯片成功！\r\nP89C51RA2X");
}

class V51Test : public SerialTest {
protected:
    V51Test() : SerialTest(LoaderModel::P89V51RD2) {}
    void SetUp() override {
        SerialTest::SetUp();
        // The chip has run its user program for a while: the loader is deaf
        // until the reset button is pressed.
        clock.advance_to(2000 * kMs);
        port.line().advance(clock.now_ns);
    }
};

TEST_F(V51Test, WaitWindowProbesUntilTheUserPressesReset) {
    int ticks = 0;
    view.on_wait_window = [&] {
        form.on_wait_load();
        while (view.wait_open) {
            ASSERT_TRUE(view.wait_timer);
            clock.sleep_ms(50);
            if (++ticks == 7) port.reset_chip();  // the user presses reset
            form.on_wait_tick();
        }
        form.on_wait_unload();
    };
    start();
    EXPECT_EQ(view.wait_windows, 1);
    EXPECT_EQ(ticks, 7);
    EXPECT_TRUE(form.xin_ok);
    EXPECT_FALSE(view.wait_timer);
    // Only two identity reads for this model.
    EXPECT_EQ(chip.records, (std::vector<std::string>{":020000050000F9", ":020000050001F8"}));
    EXPECT_EQ(text3(), "识别芯片成功！\r\nP89V51RD2");
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(V51Test, CancelEndsTheRunSilentlyAndLeavesThePortOpen) {
    view.on_wait_window = [&] {
        form.on_wait_load();
        for (int i = 0; i < 3 && view.wait_open; ++i) {
            clock.sleep_ms(50);
            form.on_wait_tick();
        }
        form.on_wait_cancel();
        form.on_wait_unload();
    };
    start();
    EXPECT_FALSE(form.xin_ok);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(port.is_open());
    EXPECT_TRUE(chip.records.empty());

    // The open port keeps its number: choosing COM2 changes only the texts.
    form.on_combo_click(Ctl::Combo3, "COM2");
    port_setup(form);
    EXPECT_EQ(text3(), "COM2打开");
    EXPECT_EQ(port.port_number, 1);
}

TEST_F(V51Test, ResetTooLongBeforeTheProbeIsMissed) {
    port.reset_chip();
    clock.sleep_ms(500);  // the loader has given up and runs the user program
    view.on_wait_window = [&] {
        form.on_wait_load();
        clock.sleep_ms(50);
        form.on_wait_tick();
        EXPECT_TRUE(view.wait_open);
        form.on_wait_cancel();
    };
    start();
    EXPECT_FALSE(form.xin_ok);
}

// ---------------------------------------------------------------- erase and blank check

TEST_F(SerialTest, EraseAndBlankCheckLimitsFollowTheChip) {
    struct Case {
        const char* model;
        int32_t top;  // 0: the model's own
        int32_t erase_limit, blank_limit;
    };
    for (const Case& c : {Case{"P89C51RA2X", 0, 2500, 2000}, Case{"P89C51RD2X", 0, 4000, 3000}, Case{"P89C51RD2X", 0x7FFF, 1000, 1000}}) {
        chip.identity = c.model == std::string("P89C51RA2X") ? std::array<uint8_t, 3>{0x15, 0xC2, 0x8F}
                                                            : std::array<uint8_t, 3>{0x15, 0xC2, 0x82};
        select(c.model);
        if (c.top) form.chip_top = c.top;
        chip.reset(clock.now_ns);
        tick({1, 2});
        view.progress_ranges.clear();
        start();
        EXPECT_EQ(status(), "验空完成,全空") << c.model;
        std::vector<std::pair<int32_t, int32_t>> expected{{0, c.erase_limit}};
        if (c.blank_limit != c.erase_limit) expected.emplace_back(0, c.blank_limit);
        EXPECT_EQ(view.progress_ranges, expected) << c.model;
        EXPECT_EQ(form.progress_value(), 0);
    }
}

TEST_F(SerialTest, EraseThatNeverAnswersFailsAfterItsPolls) {
    chip.erase_ns = 100'000 * kMs;
    tick({1, 3});
    load(hex_file(2));
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"通讯错误！\r\n不能识别芯片", kInfo}));
    EXPECT_EQ(status(), "擦除失败！");
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(chip.records.size(), 4u);  // identity and erase, no programming
}

TEST_F(SerialTest, ChipThatIsNotBlankIsReportedAndProgrammingStillRuns) {
    chip.flash[5] = 0x00;
    tick({2, 3});
    load(hex_file(2));
    start();
    EXPECT_EQ(status(), "编程成功！");
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(std::count(chip.records.begin(), chip.records.end(), ":0500000400001FFF01D8"), 1);
}

// ---------------------------------------------------------------- programming and verification

TEST_F(SerialTest, ProgramAndVerifyAnEightKilobyteChip) {
    load(hex_file(20));
    tick({1, 2, 3, 4});
    start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(status(), "校验成功！");
    EXPECT_TRUE(form.do_ok);
    EXPECT_FALSE(form.err_js);
    EXPECT_FALSE(view.squ_enabled);
    EXPECT_FALSE(port.is_open());
    for (int a = 0; a < 320; ++a) ASSERT_EQ(chip.flash[static_cast<std::size_t>(a)], form.image.rom_data[static_cast<std::size_t>(a)]);
    // The lines go as the file has them, the end record included, then the
    // two finishing records.
    const auto& r = chip.records;
    const auto first_data = std::find(r.begin(), r.end(), form.image.hex_lines[0]);
    ASSERT_NE(first_data, r.end());
    EXPECT_EQ(*(first_data - 1), ":030000030600FFF5");
    EXPECT_EQ(*(first_data + 21), ":020000030400F7");
    EXPECT_EQ(*(first_data + 22), ":030000030601FCF7");
    EXPECT_EQ(*(first_data + 23), ":050000040000000F00E8");  // verification of the first line
}

// A loader whose echo lags: every answer must be taken whole, or the tail of
// one (its line end) is read as part of the next.
TEST_F(SerialTest, ProgramAndVerifyWithALateEcho) {
    baud("38400");
    chip.echo_ns = 12 * kMs;
    load(hex_file(6));
    tick({1, 2, 3, 4});
    start();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(status(), "校验成功！");
}

TEST_F(SerialTest, ProgressWhileProgramming) {
    load(hex_file(3));
    tick({3});
    start();
    EXPECT_EQ(view.progress_ranges.back(), (std::pair<int32_t, int32_t>{0, 3}));
    EXPECT_EQ(status(), "编程成功！");
    EXPECT_EQ(form.progress_value(), 0);
}

TEST_F(SerialTest, EveryModelGetsTheTwoFinishingRecords) {
    for (const char* model : {"P89C51RD2HX", "P89V51RD2"}) {
        chip.identity = model == std::string("P89V51RD2") ? std::array<uint8_t, 3>{0xBF, 0x91, 0x07}
                                                         : std::array<uint8_t, 3>{0x15, 0xC2, 0x80};
        select(model);
        chip.records.clear();
        chip.reset(clock.now_ns);
        load(hex_file(2));
        tick({3, 4});
        start();
        EXPECT_EQ(status(), "校验成功！") << model;  // programmed and verified on a 64 KiB chip
        EXPECT_NE(std::find(chip.records.begin(), chip.records.end(), ":020000030400F7"), chip.records.end()) << model;
        EXPECT_NE(std::find(chip.records.begin(), chip.records.end(), ":030000030601FCF7"), chip.records.end()) << model;
        EXPECT_EQ(std::find(chip.records.begin(), chip.records.end(), ":0000000BF5"), chip.records.end()) << model;
    }
}

TEST_F(SerialTest, ProgrammingFailures) {
    struct Case {
        std::vector<std::string> refuse;
        std::string box;
    };
    const std::string second_line = testing::data_record(0x10, [] {
        std::vector<uint8_t> d(16);
        for (int i = 0; i < 16; ++i) d[static_cast<std::size_t>(i)] = static_cast<uint8_t>((16 + i) * 3);
        return d;
    }());
    const Case cases[] = {
        {{":030000030600FFF5"}, "编程设置错误！"},
        {{second_line}, "编程应答错误！"},
        {{":020000030400F7"}, "编程设置错误!!"},
        {{":030000030601FCF7"}, "编程设置错误!!!"},
    };
    for (const Case& c : cases) {
        chip.faults = {};
        chip.faults.refuse = c.refuse;
        chip.reset(clock.now_ns);
        load(hex_file(3));
        tick({3, 4});
        view.boxes.clear();
        chip.records.clear();
        start();
        ASSERT_EQ(view.boxes.size(), 1u) << c.box;
        EXPECT_EQ(view.boxes[0], (Box{c.box, kInfo}));
        EXPECT_FALSE(form.do_ok);
        if (c.box != "编程设置错误！") {
            EXPECT_EQ(status(), "编程失败！") << c.box;
        }
        EXPECT_FALSE(port.is_open());
        // Verification does not run after a failed programming.
        for (const auto& r : chip.records) EXPECT_NE(r.substr(0, 9), ":05000004") << c.box;
    }
}

TEST_F(SerialTest, ChipThatStopsAnsweringIsGivenUpAfterFiveSeconds) {
    load(hex_file(3));
    chip.faults.ignore = {form.image.hex_lines[1]};
    tick({3});
    start();
    EXPECT_EQ(status(), "编程失败！");
    EXPECT_EQ(text3(), "编程失败！\r\n编程超时.....");
    EXPECT_EQ(form.progress_value(), 0);
    EXPECT_FALSE(port.is_open());
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(SerialTest, NoHexFile) {
    const std::string missing = "请打开写入芯片的十六进制文件！\r\nPHILIPS单片机只能识别inter的十六进制文件";
    for (const std::string& file : {std::string(), std::string("\r\n"), testing::kEof + "\r\n"}) {
        form.image.str_len = 0;
        if (!file.empty()) load(file);  // no line (str_len -1), or one line (0)
        chip.records.clear();
        view.boxes.clear();
        tick({3, 4});
        start();
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0], (Box{missing, kInfo}));
        // The record before the data is sent and acknowledged first.
        EXPECT_EQ(chip.records.back(), ":030000030600FFF5");
        EXPECT_FALSE(port.is_open());

        view.boxes.clear();
        tick({4});
        start();
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0], (Box{missing, kInfo}));
    }
}

TEST_F(SerialTest, VerificationFailures) {
    struct Case {
        std::function<void()> arrange;
        std::string box;    // empty: none
        std::string text3;  // checked when not empty
    };
    const Case cases[] = {
        {[&] { chip.flash[0x21] ^= 0x01; }, "", "数据校验错误！"},
        // Silent once probed and identified (1 + 3 x 15 characters).
        {[&] { chip.faults.silent_after_bytes = 46; }, "校验接收应答超时!", ""},
        {[&] { chip.faults.stop_contents_after = 20; }, "校验接收应答超时!!", ""},
        {[&] {
             form.image.hex_lines.insert(form.image.hex_lines.begin(), ":020000040000FA");
             ++form.image.str_len;
         },
         "不能识别十六进制文件格式", ""},
    };
    for (const Case& c : cases) {
        chip.faults = {};
        chip.reset(clock.now_ns);
        std::fill(chip.flash.begin(), chip.flash.end(), uint8_t{0xFF});
        load(hex_file(4));
        tick({3});
        start();
        ASSERT_EQ(status(), "编程成功！");
        chip.reset(clock.now_ns);
        c.arrange();
        view.boxes.clear();
        tick({4});
        start();
        EXPECT_EQ(status(), "校验失败！") << c.box << c.text3;
        EXPECT_FALSE(form.do_ok);
        EXPECT_FALSE(form.err_js);
        EXPECT_FALSE(view.squ_enabled);
        EXPECT_EQ(form.progress_value(), 0);
        if (c.box.empty()) {
            EXPECT_TRUE(view.boxes.empty());
        } else {
            ASSERT_EQ(view.boxes.size(), 1u) << c.box;
            EXPECT_EQ(view.boxes[0], (Box{c.box, kInfo}));
        }
        if (!c.text3.empty()) {
            EXPECT_EQ(text3(), c.text3);
        }
        EXPECT_FALSE(port.is_open());
    }
}

TEST_F(SerialTest, VerificationOfALowerCaseFileIgnoresTheDigitsCase) {
    load(hex_file(4, /*lower_case=*/true));
    tick({3, 4});
    start();
    EXPECT_EQ(status(), "校验成功！");
    EXPECT_TRUE(form.do_ok);
    // The verification record copies the file's address digits as they are.
    EXPECT_NE(std::find(chip.records.begin(), chip.records.end(), *isp::type04("0010", 0x001F, 0)), chip.records.end());
}

TEST_F(SerialTest, VerificationWaitEndsWhenTheRecordsWatchdogRunsOut) {
    load(hex_file(2));
    tick({3});
    start();
    chip.reset(clock.now_ns);
    chip.faults.stop_contents_after = 0;  // the CR is echoed, the contents never come
    tick({4});
    start();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "校验接收应答超时!!");
    EXPECT_EQ(clock.now_ms() - form.squ_armed_ms, 5000u);
}

// ---------------------------------------------------------------- read-back

class ReadBackTest : public SerialTest, public ::testing::WithParamInterface<LoaderModel> {
protected:
    ReadBackTest() : SerialTest(GetParam()) {}
};

TEST_P(ReadBackTest, FillsTheImageThroughReceiveNotifications) {
    for (std::size_t a = 0; a < chip.flash.size(); ++a) chip.flash[a] = static_cast<uint8_t>(a * 5 + (a >> 8));
    baud("38400");
    tick({1, 3, 8});  // read excludes the rest
    form.image.str_len = 7;
    start();
    EXPECT_EQ(status(), "正在读！请稍候......");
    EXPECT_FALSE(form.enabled(Ctl::start));
    EXPECT_TRUE(port.is_open());
    const int32_t expected = GetParam() == LoaderModel::P89C51RA2X ? 19970 : 159746;
    EXPECT_EQ(form.rd_len, expected);
    EXPECT_EQ(view.progress_ranges.back(), (std::pair<int32_t, int32_t>{0, expected}));

    run_message_loop();
    EXPECT_EQ(status(), "读完成！");
    EXPECT_EQ(text3(), std::to_string(expected) + "--" + std::to_string(expected));
    EXPECT_TRUE(form.enabled(Ctl::start));
    EXPECT_FALSE(port.is_open());
    EXPECT_FALSE(view.squ_enabled);
    EXPECT_GT(notifications, 10);
    EXPECT_EQ(form.image.data_len, form.chip_top);
    EXPECT_EQ(form.image.str_len, 0);
    for (int32_t a = 0; a <= form.chip_top; ++a) {
        ASSERT_EQ(form.image.rom_data[static_cast<std::size_t>(a)], chip.flash[static_cast<std::size_t>(a)]) << a;
    }
    EXPECT_EQ(form.grid().rows(), form.chip_top / 16 + 2);
    EXPECT_EQ(std::count_if(chip.records.begin(), chip.records.end(), [](const std::string& r) { return r.substr(0, 9) == ":03000003"; }), 0);
}

INSTANTIATE_TEST_SUITE_P(Models, ReadBackTest, ::testing::Values(LoaderModel::P89C51RA2X, LoaderModel::P89C51RD2X));

TEST_F(SerialTest, StalledReadBackIsEndedByTheWatchdog) {
    form.image.rom_data[0] = 0x77;
    chip.faults.stop_contents_after = 1000;
    tick({8});
    start();
    run_message_loop();
    EXPECT_EQ(status(), "编程失败！");
    EXPECT_EQ(text3(), "编程失败！\r\n编程超时.....");
    EXPECT_EQ(form.progress_value(), 0);
    EXPECT_TRUE(form.enabled(Ctl::start));
    EXPECT_TRUE(port.is_open());  // left open
    EXPECT_FALSE(port.receive_notify);
    EXPECT_EQ(form.image.rom_data[0], 0x77);  // image unchanged

    // The next run finds the port open and still works.
    chip.faults = {};
    chip.reset(clock.now_ns);
    tick({});
    start();
    EXPECT_EQ(text3(), "识别芯片成功！\r\nP89C51RA2X");
}

TEST_F(SerialTest, ReadBackCompletion) {
    form.chip_top = 0x1FFF;
    ASSERT_TRUE(port_setup(form));
    // A line with its address and "=" but no data gives no byte; the next
    // line goes on at the same address. Three digits make two bytes, the last
    // from its digit alone; a single digit makes none.
    read_back_complete(form, "\r\n0000=0102\r\n0002=\r\n  0003=0A0B0C  \r\n0006=ABC\r\n0008=F\r\n0009=11\r\n");
    EXPECT_EQ(status(), "读完成！");
    EXPECT_EQ(form.image.rom_data[0], 0x01);
    EXPECT_EQ(form.image.rom_data[1], 0x02);
    EXPECT_EQ(form.image.rom_data[2], 0x0A);
    EXPECT_EQ(form.image.rom_data[4], 0x0C);
    EXPECT_EQ(form.image.rom_data[5], 0xAB);
    EXPECT_EQ(form.image.rom_data[6], 0x0C);
    EXPECT_EQ(form.image.rom_data[7], 0x11);
    EXPECT_EQ(form.image.data_len, 0x1FFF);
    EXPECT_FALSE(port.is_open());

    for (const char* bad : {"\r\n0000=01\r\nGARBAGE\r\n", "\r\n0000=01=02\r\n", "\r\n0000=0X\r\n"}) {
        form.image.rom_data[0] = 0x55;
        form.image.data_len = 3;
        port_setup(form);
        view.boxes.clear();
        read_back_complete(form, bad);
        ASSERT_EQ(view.boxes.size(), 1u) << bad;
        EXPECT_EQ(view.boxes[0], (Box{"接收数据格式不正确", kInfo}));
        EXPECT_EQ(status(), "读失败！");
        EXPECT_FALSE(port.is_open());
        EXPECT_EQ(form.image.data_len, 3);
    }
}

} // namespace
} // namespace tarn
