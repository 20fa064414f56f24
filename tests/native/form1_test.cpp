#include "shell/form1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hex_test_util.h"
#include "recording_view.h"
#include "shell/device_catalogue.h"

namespace tarn {
namespace {

using testing::Box;
using testing::data_record;
using testing::kEof;

const std::string kUsbHint = model_hint("AT89S52");

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tarn_form1_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void load() {
        form.on_load("C:\\Tools\\Tarnload");
        view.boxes.clear();
    }
    std::string file(const std::string& name, const std::string& bytes) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    void choose(const std::string& path, int filter = 1) { view.dialog_answers.push_back({path, filter}); }
    std::array<uint8_t, 7> id(std::initializer_list<uint8_t> bytes) {
        std::array<uint8_t, 7> a{};
        std::copy(bytes.begin(), bytes.end(), a.begin());
        return a;
    }

    testing::RecordingView view;
    testing::FakeCh375 ch375;
    testing::VirtualClock clock;
    testing::QuietSerial serial{clock};
    Form1 form{view, ch375, serial.port, clock};
    std::filesystem::path dir_;
};

// ---------------------------------------------------------------- start-up and shut-down

TEST_F(Form1Test, DesignTimeState) {
    EXPECT_EQ(form.text(Ctl::Text3), "编程时为信息提示窗口\r\n串口调试时为接收显示窗口\r\n");
    EXPECT_EQ(form.text(Ctl::Text1), "12");
    EXPECT_FALSE(form.enabled(Ctl::Text1));
    EXPECT_FALSE(form.enabled(Ctl::Label4));
    EXPECT_FALSE(form.enabled(Ctl::Label5));
    EXPECT_EQ(form.text(Ctl::Combo2), "");
    EXPECT_EQ(form.help_file(), "");
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(form.value(check_box(n)), 0);
    EXPECT_EQ(form.progress_min(), 0);
    EXPECT_EQ(form.progress_max(), 100);
    EXPECT_EQ(form.progress_value(), 0);
}

TEST_F(Form1Test, StartUpWithoutTheUsbLibrary) {
    ch375.notify_registration_works = false;
    form.on_load("C:\\Tools\\Tarnload");

    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"设置监视CH372/CH375设备插拔失败", std::string(kAppTitle), BoxIcon::None}));
    // The probe's message comes first and is replaced by the model's hint.
    ASSERT_GE(view.text3_history.size(), 2u);
    EXPECT_EQ(view.text3_history[0], "**CH372/CH375设备已拔出");
    EXPECT_EQ(form.text(Ctl::Text3), kUsbHint);
    EXPECT_FALSE(form.usb.usb_present);

    EXPECT_EQ(form.text(Ctl::Combo2), "AT89S52");
    EXPECT_EQ(form.text(Ctl::Combo3), "COM1");
    EXPECT_EQ(form.text(Ctl::Combo4), "9600");
    EXPECT_EQ(view.texts[Ctl::Combo2], "AT89S52");
    EXPECT_EQ(form.chip_id, id({0x1E, 0x52, 0x06, 0x40, 0x24}));
    EXPECT_EQ(form.chip_top, 0x1FFF);
    EXPECT_FALSE(form.enabled(Ctl::Combo3));
    EXPECT_TRUE(form.enabled(Ctl::Check5));
    EXPECT_EQ(form.help_file(), "C:\\Tools\\Tarnload\\TARNLOAD.chm");
}

TEST_F(Form1Test, StartUpWithTheCablePlugged) {
    ch375.plugged = true;
    form.on_load("C:\\T");
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.text3_history[0], "**CH372/CH375设备已插上");
    EXPECT_TRUE(form.usb.usb_present);
    EXPECT_EQ(form.usb.usb_handle, 7);
    EXPECT_EQ(ch375.calls, (std::vector<std::string>{"SetDeviceNotify 0 routine", "Open 0", "SetTimeout 0 3000 3000"}));
}

TEST_F(Form1Test, PlugNotificationsGoThroughTheWindowThread) {
    ch375.plugged = true;
    load();
    // The library calls from its own thread: the model only hands it on.
    ch375.routine(0x11);
    EXPECT_EQ(view.posted_notifications, std::vector<uint32_t>{0x11});
    EXPECT_EQ(form.text(Ctl::Text3), kUsbHint);

    ch375.plugged = false;
    ch375.calls.clear();
    form.usb_notified(0x11);
    EXPECT_EQ(form.text(Ctl::Text3), "**CH372/CH375设备已拔出");
    EXPECT_FALSE(form.usb.usb_present);
    EXPECT_EQ(form.usb.usb_handle, Ch375Api::kInvalidHandle);
    EXPECT_EQ(ch375.calls, (std::vector<std::string>{"Open 0", "Close 0"}));

    // Unplugged again: nothing to close, the message again.
    ch375.calls.clear();
    form.usb_notified(0);
    EXPECT_EQ(ch375.calls, std::vector<std::string>{"Open 0"});

    ch375.plugged = true;
    form.usb_notified(0);
    EXPECT_EQ(form.text(Ctl::Text3), "**CH372/CH375设备已插上");
    EXPECT_TRUE(form.usb.usb_present);
}

TEST_F(Form1Test, QuitAndCloseMakeTheShutDownCalls) {
    load();
    ch375.calls.clear();
    form.on_unload();
    const std::vector<std::string> shut_down{"SetDeviceNotify 0 none", "SetIntRoutine 0", "Close 0"};
    EXPECT_EQ(ch375.calls, shut_down);
    EXPECT_FALSE(view.ended);

    ch375.calls.clear();
    form.on_quit_click();
    EXPECT_EQ(ch375.calls, shut_down);
    EXPECT_TRUE(view.ended);
}

TEST_F(Form1Test, HelpAndAbout) {
    form.on_help_key();  // before start-up there is no help file
    EXPECT_TRUE(view.help_opened.empty());
    load();
    form.on_help_key();
    EXPECT_EQ(view.help_opened, std::vector<std::string>{"C:\\Tools\\Tarnload\\TARNLOAD.chm"});
    form.on_about_click();
    EXPECT_EQ(view.abouts, 1);
}

// ---------------------------------------------------------------- models and options

TEST_F(Form1Test, ModelSelectionSetsIdentityTopAndControls) {
    load();
    struct Step {
        const char* model;
        std::array<uint8_t, 7> chip_id;
        int32_t chip_top;
    };
    const Step steps[] = {
        {"P89C51RA2X", id({0x15, 0xC2, 0x8F, 0x40, 0x24}), 0x1FFF},  // bytes 3, 4 kept from AT89S52
        {"P89C51RD2X", id({0x15, 0xC2, 0x82, 0x40, 0x24}), 0xFFFF},
        {"P89C51RD2HX", id({0x15, 0xC2, 0x80, 0x40, 0x24}), 0xFFFF},
        {"P89V51RD2", id({0xBF, 0x91, 0x07, 0x40, 0x24}), 0xFFFF},
        {"AT89S51", id({0x1E, 0x52, 0x06, 0x40, 0x24}), 0x1FFF},
        {"P89V51RD2", id({0xBF, 0x91, 0x07, 0x40, 0x24}), 0xFFFF},
        {"AT89S54", id({0x1E, 0x52, 0x06, 0x40, 0x24}), 0x1FFF},
        {"unknown", id({0x1E, 0x52, 0x06, 0x40, 0x24}), 0x1FFF},  // no row: values unchanged
    };
    for (const Step& s : steps) {
        form.on_combo2_click(s.model);
        EXPECT_EQ(form.chip_id, s.chip_id) << s.model;
        EXPECT_EQ(form.chip_top, s.chip_top) << s.model;
        const bool serial = s.model[0] == 'P';
        for (Ctl c : {Ctl::Label2, Ctl::Label3, Ctl::Combo3, Ctl::Combo4, Ctl::Label4, Ctl::Label5, Ctl::Text1}) {
            EXPECT_EQ(form.enabled(c), serial) << s.model;
            EXPECT_EQ(view.enabled[c], serial) << s.model;
        }
        for (Ctl c : {Ctl::Check5, Ctl::Check6, Ctl::Check7}) EXPECT_EQ(form.enabled(c), !serial) << s.model;
        EXPECT_EQ(form.text(Ctl::Text3), model_hint(s.model)) << s.model;
    }
}

TEST_F(Form1Test, ReadOptionGreysOutTheOthersAndKeepsTheirTicks) {
    load();
    form.on_check_click(1, 1);
    form.on_check_click(3, 1);
    form.on_check_click(8, 1);
    for (int n = 1; n <= 4; ++n) EXPECT_FALSE(form.enabled(check_box(n))) << n;
    EXPECT_EQ(form.value(Ctl::Check1), 1);
    EXPECT_EQ(form.value(Ctl::Check3), 1);
    EXPECT_TRUE(form.enabled(Ctl::Check5));  // lock bits are not touched
    form.on_check_click(8, 0);
    for (int n = 1; n <= 4; ++n) EXPECT_TRUE(form.enabled(check_box(n))) << n;
    EXPECT_EQ(form.value(Ctl::Check1), 1);
}

TEST_F(Form1Test, LockBitTickSurvivesSwitchingToASerialModel) {
    load();
    form.on_check_click(6, 1);
    form.on_combo2_click("P89C51RD2X");
    EXPECT_FALSE(form.enabled(Ctl::Check6));
    EXPECT_EQ(form.value(Ctl::Check6), 1);
}

TEST_F(Form1Test, StartEmptiesTheMessageWindowAndDispatchesByTheFirstLetter) {
    const Box no_cable{"没有检测到USB下载线......\r\n请检测USB通讯线是否连接好！", std::string(kInfoTitle)};
    struct Case {
        const char* model;
        bool usb;
    };
    for (const Case& c : {Case{"AT89S52", true}, Case{"AT89S51", true}, Case{"P89V51RD2", false}, Case{"P89C51RA2X", false}}) {
        load();
        form.on_combo2_click(c.model);
        view.text3_history.clear();
        form.on_start_click();
        ASSERT_FALSE(view.text3_history.empty()) << c.model;
        EXPECT_EQ(view.text3_history[0], "") << c.model;
        // Without a cable the USB run stops at its link test with this box.
        const bool usb_box = std::find(view.boxes.begin(), view.boxes.end(), no_cable) != view.boxes.end();
        EXPECT_EQ(usb_box, c.usb) << c.model;
        EXPECT_EQ(view.runs_started, view.runs_finished);
        EXPECT_FALSE(form.running());
    }
}

// ---------------------------------------------------------------- files

TEST_F(Form1Test, OpenDialogDependsOnTheFamily) {
    load();
    form.on_open_click();
    ASSERT_EQ(view.open_setups.size(), 1u);
    EXPECT_EQ(view.open_setups[0].title, "打开文件");
    EXPECT_EQ(view.open_setups[0].filter, "*.bin|*.bin|*.hex|*.hex|*.cod|*.cod");
    EXPECT_EQ(view.open_setups[0].default_ext, "bin");
    EXPECT_EQ(view.open_setups[0].flags, 0x10A806u);

    form.on_combo2_click("P89C51RD2X");
    form.on_open_click();
    EXPECT_EQ(view.open_setups[1].filter, "*.hex|*.hex");
    EXPECT_EQ(view.open_setups[1].default_ext, "hex");
}

TEST_F(Form1Test, CancelledDialogChangesNothing) {
    load();
    form.open_path(file("a.bin", "\x01\x02"));
    const std::string text2 = form.text(Ctl::Text2);
    const int refills = view.refills;
    form.on_open_click();
    EXPECT_EQ(form.text(Ctl::Text2), text2);
    EXPECT_EQ(view.refills, refills);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(Form1Test, OpenLoadsAndRefillsTheGrid) {
    load();
    const std::string hex = file("FW.HEX", data_record(0x0000, {0x02}) + "\r\n" + data_record(0x10, {0x41}) + "\r\n" + kEof);
    choose(hex);
    form.on_open_click();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(form.text(Ctl::Text2), hex);
    EXPECT_EQ(view.texts[Ctl::Text2], hex);
    EXPECT_EQ(form.image.data_len, 0x10);
    EXPECT_EQ(form.image.str_len, 2);
    EXPECT_EQ(view.refills, 1);
    EXPECT_EQ(form.grid().rows(), 3);
    EXPECT_EQ(form.grid().cell_text(1, 1), "02");
    EXPECT_EQ(form.grid().cell_text(2, 1), "41");
}

TEST_F(Form1Test, LoadFailuresShowTheirBoxAndKeepImageAndGrid) {
    load();
    form.open_path(file("good.bin", std::string(40, '\x33')));
    ASSERT_EQ(form.image.data_len, 39);
    const int refills = view.refills;

    struct Case {
        std::string path;
        Box box;
    };
    const std::string info(kInfoTitle);
    const Case cases[] = {
        {file("notes.txt", "hello"), {"请打开十六进制文件或二进制文件！", info}},
        {(dir_ / "missing.hex").string(), {"文件打开失败！", info}},
        {file("empty.bin", ""), {"文件为空！", info}},
        {file("huge.cod", std::string(65538, '\0')), {"文件太大，超出代码空间！", info}},
        {file("bad.hex", data_record(0, {1}) + "\r\nXYZ\r\n" + kEof), {"十六进制文件格式错误！", info}},
        {file("far.hex", data_record(0x2000, {1}) + "\r\n" + kEof), {"超出芯片的写入范围！", std::string(kAppTitle)}},
    };
    for (const Case& c : cases) {
        view.boxes.clear();
        form.open_path(c.path);
        ASSERT_EQ(view.boxes.size(), 1u) << c.path;
        EXPECT_EQ(view.boxes[0], c.box) << c.path;
        EXPECT_EQ(form.text(Ctl::Text2), c.path);
        EXPECT_EQ(form.image.data_len, 39) << c.path;
        EXPECT_EQ(form.image.str_len, 0) << c.path;
        EXPECT_EQ(form.image.rom_data[0], 0x33) << c.path;
        EXPECT_EQ(form.image.rom_data[100], 0x00) << c.path;  // no 0xFF pre-fill left behind
        EXPECT_EQ(view.refills, refills) << c.path;
        EXPECT_EQ(form.grid().cell_text(3, 8), "33") << c.path;
    }
}

TEST_F(Form1Test, HexRangeFollowsTheSelectedModel) {
    load();
    const std::string hex = file("fw.hex", data_record(0x1FFF, {0x11, 0x22}) + "\r\n" + kEof);
    form.on_combo2_click("P89C51RA2X");
    form.open_path(hex);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "超出芯片的写入范围！");
    form.on_combo2_click("P89C51RD2X");
    form.open_path(hex);
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(form.image.data_len, 0x2000);
    EXPECT_EQ(form.grid().cell_text(513, 1), "22");
}

TEST_F(Form1Test, SaveWritesHexOrBinaryThatLoadsBack) {
    load();
    std::string bytes;
    for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<char>(i * 3));
    form.open_path(file("src.bin", bytes));

    const std::string hex = (dir_ / "out.hex").string();
    const std::string bin = (dir_ / "out.bin").string();
    const std::string plain = (dir_ / "out").string();
    choose(hex);
    form.on_save_click();
    choose(bin, 1);  // the name's extension wins over the filter
    form.on_save_click();
    choose(plain, 2);  // no extension of ours: the filter decides
    form.on_save_click();
    ASSERT_EQ(view.save_setups.size(), 3u);
    EXPECT_EQ(view.save_setups[0].title, "保存文件为");
    EXPECT_EQ(view.save_setups[0].filter, "Intel HEX (*.hex)|*.hex|Binary (*.bin)|*.bin");
    EXPECT_EQ(view.save_setups[0].flags, 0x10A806u);
    EXPECT_TRUE(view.boxes.empty());

    std::ifstream in_bin(bin, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in_bin), {}), bytes);
    std::ifstream in_plain(plain, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in_plain), {}), bytes);

    form.image.rom_data.fill(0);
    form.open_path(hex);
    EXPECT_EQ(form.image.data_len, 39);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), form.image.rom_data.begin(),
                           [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }));
}

TEST_F(Form1Test, SaveFailureAndCancel) {
    load();
    form.on_save_click();  // cancelled
    EXPECT_TRUE(view.boxes.empty());
    choose((dir_ / "no" / "such" / "folder.hex").string());
    form.on_save_click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0], (Box{"文件保存失败！", std::string(kInfoTitle)}));
}

// ---------------------------------------------------------------- grid and editor

class EditorTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        load();
        std::string bytes(0x22, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0x40 + i);
        form.open_path(file("img.bin", bytes));  // data_len 0x21: rows 1-3
        ASSERT_EQ(form.grid().rows(), 4);
    }
};

TEST_F(EditorTest, ClickOpensTheEditorOverByteCellsOnly) {
    form.on_grid_click(2, 5);
    EXPECT_TRUE(view.editor_visible);
    EXPECT_EQ(view.editor.row, 2);
    EXPECT_EQ(view.editor.col, 5);
    EXPECT_EQ(view.editor.text, "54");
    EXPECT_EQ(view.editor.placement, EditorPlacement::ClickInset);
    EXPECT_EQ(form.row, 2);
    EXPECT_EQ(form.col, 5);

    form.on_grid_click(1, 17);  // character column
    EXPECT_FALSE(view.editor_visible);
    form.on_grid_click(3, 2);  // 0x21: the last loaded byte
    EXPECT_TRUE(view.editor_visible);
    form.on_grid_click(3, 3);  // 0x22: beyond the loaded data
    EXPECT_FALSE(view.editor_visible);
}

TEST_F(EditorTest, EveryKeyShowsTheHintAndEnterCommits) {
    form.on_grid_click(1, 1);
    form.on_rom_in_keyup('A', "a");
    EXPECT_EQ(form.text(Ctl::Text3), "请输入十六进制数，按<回车键>确认输入，每格最多只能输入有两个字符!");
    EXPECT_EQ(form.image.rom_data[0], 0x40);

    form.on_rom_in_keyup(13, "a");
    EXPECT_EQ(form.image.rom_data[0], 0x0A);
    EXPECT_EQ(form.grid().cell_text(1, 1), "0A");
    EXPECT_EQ(form.grid().cell_text(1, 17)[1], '@');  // the character column waits for the next fill
    EXPECT_EQ(view.changed_cells.back(), (std::pair<int32_t, int32_t>{1, 1}));
    EXPECT_EQ(form.image.data_len, 0x21);
    // The editor moves on to the next cell, laid exactly over it.
    EXPECT_EQ(form.col, 2);
    EXPECT_EQ(view.editor.col, 2);
    EXPECT_EQ(view.editor.text, "41");
    EXPECT_EQ(view.editor.placement, EditorPlacement::Exact);
}

TEST_F(EditorTest, InvalidInputShowsTheBoxAndChangesNothing) {
    form.on_grid_click(2, 3);
    for (const char* bad : {"G1", "", "x"}) {
        view.boxes.clear();
        form.on_rom_in_keyup(13, bad);
        ASSERT_EQ(view.boxes.size(), 1u) << bad;
        EXPECT_EQ(view.boxes[0], (Box{"请输入有效的十六进制数据!\r\n\r\n数字：0~9，字母：A~F ", std::string(kInfoTitle)}));
        EXPECT_EQ(form.image.rom_data[0x12], 0x52);
        EXPECT_EQ(form.row, 2);
        EXPECT_EQ(form.col, 3);
        EXPECT_TRUE(view.changed_cells.empty());
    }
}

TEST_F(EditorTest, EnterWrapsAtTheEndOfTheData) {
    form.on_grid_click(3, 2);  // last loaded byte 0x21
    form.on_rom_in_keyup(13, "ff");
    EXPECT_EQ(form.image.rom_data[0x21], 0xFF);
    EXPECT_EQ(form.row, 1);
    EXPECT_EQ(form.col, 1);
    EXPECT_EQ(view.editor.row, 1);
    EXPECT_EQ(view.editor.col, 1);
}

TEST_F(EditorTest, FillHidesTheEditor) {
    form.on_grid_click(1, 4);
    ASSERT_TRUE(view.editor_visible);
    form.grid_fill();
    EXPECT_FALSE(view.editor_visible);
}

} // namespace
} // namespace tarn
