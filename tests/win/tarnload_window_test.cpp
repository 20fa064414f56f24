// The real main window under test, driven through its controls and messages
// as a user would drive it; message boxes and file dialogs are read from the
// screen and answered by a second thread.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "shell/device_catalogue.h"
#include "shell/main_window.h"
#include "window_driver.h"
#include "ui_automation/ui_automation.h"
#include "usb/ch375_library.h"

namespace tarn::win {
namespace {

using ui::Box;

std::string text_of(HWND h) { return ui::utf8(ui::window_text(h)); }

std::vector<std::string> combo_items(HWND combo) {
    std::vector<std::string> items;
    const auto n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        std::wstring s(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, L'\0');
        s.resize(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()))));
        items.push_back(ui::utf8(s));
    }
    return items;
}

std::string combo_selection(HWND combo) {
    const auto i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return {};
    return combo_items(combo)[static_cast<std::size_t>(i)];
}

std::filesystem::path temp_folder() {
    auto dir = std::filesystem::temp_directory_path() / L"tarnload 测试";
    std::filesystem::create_directories(dir);
    return dir;
}

std::wstring write_file(const std::wstring& name, const std::string& bytes) {
    const auto path = temp_folder() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.wstring();
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        d.open();
        startup_boxes_ = d.answerer().take_boxes();
    }

    void pump(DWORD ms = 50) { d.pump(ms); }
    HWND ctl(Ctl c) { return d.ctl(c); }
    Form1& form() { return d.form(); }
    MainWindow& window() { return d.window(); }
    void click(Ctl c) { d.click(c); }
    void choose(Ctl c, const std::string& item) { d.choose(c, item); }
    std::vector<Box> boxes() { return d.boxes(); }

    void click_cell(int32_t row, int32_t col) {
        HexGridWindow& g = window().grid_window();
        g.ensure_visible(row, col);
        const RECT r = g.cell_rect(row, col);
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(g.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(g.hwnd(), WM_LBUTTONUP, 0, at);
        pump();
    }
    // Typing into a window: key down, the character, key up.
    void type(HWND target, const std::string& keys) {
        for (char ch : keys) {
            const WPARAM vk = (ch == '\r') ? VK_RETURN : static_cast<WPARAM>(toupper(static_cast<unsigned char>(ch)));
            SendMessageW(target, WM_KEYDOWN, vk, 1);
            SendMessageW(target, WM_CHAR, static_cast<WPARAM>(ch), 1);
            SendMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
            pump(10);
        }
        pump();
    }

    Ch375Library ch375_;  // no CH375DLL.dll on the search path here
    testing::WindowDriver d{ch375_};
    std::vector<Box> startup_boxes_;
};

// ---------------------------------------------------------------- start-up

TEST_F(WindowTest, StartUpState) {
    EXPECT_EQ(text_of(window().hwnd()), "TARN-C51单片机下载");
    ASSERT_EQ(startup_boxes_.size(), 1u);
    EXPECT_EQ(startup_boxes_[0].text, "设置监视CH372/CH375设备插拔失败");
    EXPECT_EQ(startup_boxes_[0].title, "TARN-C51单片机下载");

    EXPECT_EQ(combo_items(ctl(Ctl::Combo2)), (std::vector<std::string>{"P89C51RA2X", "P89C51RD2X", "P89C51RD2HX", "P89V51RD2",
                                                                        "AT89S51", "AT89S52", "AT89S54"}));
    EXPECT_EQ(combo_items(ctl(Ctl::Combo3)), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}));
    EXPECT_EQ(combo_items(ctl(Ctl::Combo4)), (std::vector<std::string>{"2400", "4800", "9600", "19200", "38400"}));
    EXPECT_EQ(combo_selection(ctl(Ctl::Combo2)), "AT89S52");
    EXPECT_EQ(combo_selection(ctl(Ctl::Combo3)), "COM1");
    EXPECT_EQ(combo_selection(ctl(Ctl::Combo4)), "9600");
    EXPECT_EQ(GetWindowLongPtrW(ctl(Ctl::Combo2), GWL_STYLE) & 3, CBS_DROPDOWNLIST);

    // The plug message came first; the model's hint replaced it.
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), model_hint("AT89S52"));
    EXPECT_EQ(text_of(ctl(Ctl::Text1)), "12");
    EXPECT_EQ(SendMessageW(ctl(Ctl::Text1), EM_GETLIMITTEXT, 0, 0), 2);
    EXPECT_EQ(text_of(ctl(Ctl::Text2)), "");

    const std::pair<Ctl, const char*> captions[] = {
        {Ctl::Frame1, "设备"}, {Ctl::Frame2, "操作"}, {Ctl::Frame3, "文件"}, {Ctl::Frame4, "选项"}, {Ctl::Frame5, "数据"},
        {Ctl::Frame6, "信息"}, {Ctl::Label1, "设备："}, {Ctl::Label2, "端口："}, {Ctl::Label3, "波特率："},
        {Ctl::Label4, "时钟："}, {Ctl::Label5, "Mhz"}, {Ctl::Check1, "擦除"}, {Ctl::Check2, "验空"}, {Ctl::Check3, "编程"},
        {Ctl::Check4, "比较"}, {Ctl::Check5, "加密位1"}, {Ctl::Check6, "加密位2"}, {Ctl::Check7, "加密位3"},
        {Ctl::Check8, "读取"}, {Ctl::Command2, "关于"}, {Ctl::Command1, "帮助"}, {Ctl::start, "开始"}, {Ctl::quit, "退出"},
        {Ctl::open, "打开"}, {Ctl::save, "保存"}};
    for (auto [c, caption] : captions) EXPECT_EQ(text_of(ctl(c)), caption) << caption;
    for (int n = 1; n <= 8; ++n) EXPECT_EQ(SendMessageW(ctl(check_box(n)), BM_GETCHECK, 0, 0), BST_UNCHECKED) << n;

    // The USB family is selected: port, baud rate and clock are greyed out.
    for (Ctl c : {Ctl::Label2, Ctl::Label3, Ctl::Combo3, Ctl::Combo4, Ctl::Label4, Ctl::Label5, Ctl::Text1}) {
        EXPECT_FALSE(IsWindowEnabled(ctl(c))) << index_of(c);
    }
    for (Ctl c : {Ctl::Check5, Ctl::Check6, Ctl::Check7, Ctl::Combo2, Ctl::start}) EXPECT_TRUE(IsWindowEnabled(ctl(c)));

    EXPECT_FALSE(IsWindowVisible(ctl(Ctl::rom_in)));
    EXPECT_EQ(SendMessageW(ctl(Ctl::rom_in), EM_GETLIMITTEXT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(ctl(Ctl::zhuangtai), SB_GETPARTS, 0, 0), 2);
    PBRANGE range{};
    SendMessageW(ctl(Ctl::jdt), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(SendMessageW(ctl(Ctl::jdt), PBM_GETPOS, 0, 0), 0);
}

TEST_F(WindowTest, TextsUseAFontWithChineseCharacters) {
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(ctl(Ctl::Text3), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
    const std::wstring face = lf.lfFaceName;
    EXPECT_TRUE(face == L"WenQuanYi Micro Hei" || face == L"Microsoft YaHei UI" || face == L"Microsoft YaHei" ||
                face == L"SimSun" || face == L"Noto Sans CJK SC")
        << ui::utf8(face);
    // The glyphs are really there: a Chinese character is not drawn as the
    // font's missing-glyph box.
    HDC dc = GetDC(ctl(Ctl::Text3));
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(ctl(Ctl::Text3), WM_GETFONT, 0, 0)));
    WORD glyphs[2] = {};
    EXPECT_EQ(GetGlyphIndicesW(dc, L"设备", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS), 2u);
    EXPECT_NE(glyphs[0], 0xFFFF);
    EXPECT_NE(glyphs[1], 0xFFFF);
    SelectObject(dc, old);
    ReleaseDC(ctl(Ctl::Text3), dc);
}

// ---------------------------------------------------------------- models and options

TEST_F(WindowTest, ModelSwitching) {
    choose(Ctl::Combo2, "P89V51RD2");
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), model_hint("P89V51RD2"));
    EXPECT_NE(text_of(ctl(Ctl::Text3)).find("请在短时间内按一次单片机复位键"), std::string::npos);
    for (Ctl c : {Ctl::Label2, Ctl::Label3, Ctl::Combo3, Ctl::Combo4, Ctl::Label4, Ctl::Label5, Ctl::Text1}) {
        EXPECT_TRUE(IsWindowEnabled(ctl(c))) << index_of(c);
    }
    for (Ctl c : {Ctl::Check5, Ctl::Check6, Ctl::Check7}) EXPECT_FALSE(IsWindowEnabled(ctl(c)));
    EXPECT_EQ(form().chip_top, 0xFFFF);
    EXPECT_EQ(form().chip_id[0], 0xBF);

    choose(Ctl::Combo2, "P89C51RA2X");
    EXPECT_NE(text_of(ctl(Ctl::Text3)).find("（PSEN->GND）"), std::string::npos);
    EXPECT_EQ(form().chip_top, 0x1FFF);

    choose(Ctl::Combo2, "AT89S54");
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), model_hint("AT89S54"));
    EXPECT_FALSE(IsWindowEnabled(ctl(Ctl::Combo3)));
    EXPECT_TRUE(IsWindowEnabled(ctl(Ctl::Check5)));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(WindowTest, ReadOptionGreysOutTheOtherOperations) {
    click(Ctl::Check1);
    click(Ctl::Check8);
    for (int n = 1; n <= 4; ++n) EXPECT_FALSE(IsWindowEnabled(ctl(check_box(n)))) << n;
    EXPECT_EQ(SendMessageW(ctl(Ctl::Check1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(form().value(Ctl::Check8), 1);
    click(Ctl::Check8);
    for (int n = 1; n <= 4; ++n) EXPECT_TRUE(IsWindowEnabled(ctl(check_box(n)))) << n;
    EXPECT_EQ(form().value(Ctl::Check1), 1);
    EXPECT_EQ(form().value(Ctl::Check8), 0);
}

TEST_F(WindowTest, StartWithoutTheCableLibraryReportsTheMissingCable) {
    click(Ctl::start);
    const std::vector<Box> seen = boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "没有检测到USB下载线......\r\n请检测USB通讯线是否连接好！");
    EXPECT_EQ(seen[0].title, "信息提示");
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), "");
    EXPECT_TRUE(IsWindowEnabled(ctl(Ctl::start)));
    EXPECT_TRUE(IsWindowEnabled(window().hwnd()));
}

// ---------------------------------------------------------------- files

TEST_F(WindowTest, OpenThroughTheFileDialog) {
    const std::wstring hex = write_file(L"固件.hex", ":0300000002000FEC\r\n:02001000414207\r\n:00000001FF\r\n");
    d.answerer().queue_file(hex);
    click(Ctl::open);
    EXPECT_EQ(d.answerer().take_file_dialogs(), std::vector<std::string>{"打开文件"});
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(text_of(ctl(Ctl::Text2)), ui::utf8(hex));
    EXPECT_EQ(form().image.data_len, 0x11);
    EXPECT_EQ(form().grid().rows(), 3);
    EXPECT_EQ(form().grid().cell_text(1, 1), "02");
    EXPECT_EQ(form().grid().cell_text(2, 17), " AB");

    // Cancelled: nothing changes, not even the file name.
    click(Ctl::open);
    EXPECT_EQ(d.answerer().take_file_dialogs().size(), 1u);
    EXPECT_EQ(text_of(ctl(Ctl::Text2)), ui::utf8(hex));
    EXPECT_EQ(form().image.data_len, 0x11);
}

TEST_F(WindowTest, OpenFailuresShowTheirBoxes) {
    const std::wstring good = write_file(L"good.bin", std::string(40, '\x33'));
    d.answerer().queue_file(good);
    click(Ctl::open);
    ASSERT_EQ(form().image.data_len, 39);

    struct Case {
        std::wstring file;
        std::string text, title;
    };
    const Case cases[] = {
        {write_file(L"notes.txt", "x"), "请打开十六进制文件或二进制文件！", "信息提示"},
        {write_file(L"bad.hex", ":0100000002FD\r\nXYZ\r\n"), "十六进制文件格式错误！", "信息提示"},
        {write_file(L"far.hex", ":01200000AA35\r\n:00000001FF\r\n"), "超出芯片的写入范围！", "TARN-C51单片机下载"},
        {write_file(L"empty.bin", ""), "文件为空！", "信息提示"},
    };
    for (const Case& c : cases) {
        d.answerer().queue_file(c.file);
        click(Ctl::open);
        const std::vector<Box> seen = boxes();
        ASSERT_EQ(seen.size(), 1u) << c.text;
        EXPECT_EQ(seen[0].text, c.text);
        EXPECT_EQ(seen[0].title, c.title);
        EXPECT_EQ(text_of(ctl(Ctl::Text2)), ui::utf8(c.file));
        EXPECT_EQ(form().image.data_len, 39);
        EXPECT_EQ(form().grid().cell_text(3, 8), "33");
    }
}

TEST_F(WindowTest, DroppedFileOpens) {
    const std::wstring bin = write_file(L"dropped.bin", std::string(20, '\x5A'));
    const std::size_t bytes = sizeof(DROPFILES) + (bin.size() + 2) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(bin.begin(), bin.end(), reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES)));
    GlobalUnlock(mem);
    SendMessageW(window().hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
    pump();
    EXPECT_EQ(form().image.data_len, 19);
    EXPECT_EQ(text_of(ctl(Ctl::Text2)), ui::utf8(bin));
}

// ---------------------------------------------------------------- grid and editor

class EditorWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        std::string bytes(0x22, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(0x40 + i);
        form().open_path(ui::utf8(write_file(L"editor.bin", bytes)));
        pump();
        ASSERT_EQ(form().grid().rows(), 4);
    }
    HWND editor() { return ctl(Ctl::rom_in); }
};

TEST_F(EditorWindowTest, ClickLaysTheEditorOverTheCell) {
    click_cell(2, 3);
    ASSERT_TRUE(IsWindowVisible(editor()));
    EXPECT_EQ(text_of(editor()), "52");
    EXPECT_EQ(GetFocus(), editor());
    RECT e, cell = window().grid_window().cell_rect(2, 3);
    GetWindowRect(editor(), &e);
    MapWindowPoints(nullptr, window().grid_window().hwnd(), reinterpret_cast<POINT*>(&e), 2);
    const Twips twips;
    EXPECT_EQ(e.left, cell.left + twips.x(20));
    EXPECT_EQ(e.top, cell.top + twips.y(10));
    EXPECT_EQ(e.right - e.left, cell.right - cell.left);

    click_cell(2, 17);  // the character column
    EXPECT_FALSE(IsWindowVisible(editor()));
    click_cell(3, 3);  // beyond the loaded data
    EXPECT_FALSE(IsWindowVisible(editor()));
}

TEST_F(EditorWindowTest, TypingAndEnterCommitsAndMovesOn) {
    click_cell(1, 1);
    type(editor(), "a");
    EXPECT_EQ(text_of(ctl(Ctl::Text3)), "请输入十六进制数，按<回车键>确认输入，每格最多只能输入有两个字符!");
    type(editor(), "\r");
    EXPECT_EQ(form().image.rom_data[0], 0x0A);
    EXPECT_EQ(form().grid().cell_text(1, 1), "0A");
    ASSERT_TRUE(IsWindowVisible(editor()));
    EXPECT_EQ(text_of(editor()), "41");
    RECT e, cell = window().grid_window().cell_rect(1, 2);
    GetWindowRect(editor(), &e);
    MapWindowPoints(nullptr, window().grid_window().hwnd(), reinterpret_cast<POINT*>(&e), 2);
    EXPECT_EQ(e.left, cell.left);
    EXPECT_EQ(e.top, cell.top);
    EXPECT_EQ(e.bottom - e.top, cell.bottom - cell.top);

    // A run of bytes typed one after the other.
    type(editor(), "7f\r1\r");
    EXPECT_EQ(form().image.rom_data[1], 0x7F);
    EXPECT_EQ(form().image.rom_data[2], 0x01);
    EXPECT_EQ(text_of(editor()), "43");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(EditorWindowTest, InvalidEntryShowsTheBoxAndChangesNothing) {
    click_cell(2, 2);
    type(editor(), "g1\r");
    const std::vector<Box> seen = boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "信息提示");
    EXPECT_EQ(seen[0].text, "请输入有效的十六进制数据!\r\n\r\n数字：0~9，字母：A~F ");
    EXPECT_EQ(form().image.rom_data[0x11], 0x51);
    EXPECT_EQ(form().grid().cell_text(2, 2), "51");
    EXPECT_EQ(text_of(editor()), "g1");
    EXPECT_EQ(form().col, 2);
}

TEST_F(EditorWindowTest, EnterOnTheLastByteWrapsToTheFirst) {
    click_cell(3, 2);
    type(editor(), "ee\r");
    EXPECT_EQ(form().image.rom_data[0x21], 0xEE);
    EXPECT_EQ(form().row, 1);
    EXPECT_EQ(form().col, 1);
    EXPECT_EQ(text_of(editor()), "40");
}

TEST_F(WindowTest, GridScrollsAndDrawsOnlyItsColours) {
    const std::wstring big = write_file(L"big.bin", std::string(0x10000, '\x11'));
    form().open_path(ui::utf8(big));
    pump();
    HexGridWindow& g = window().grid_window();
    EXPECT_EQ(form().grid().rows(), 4097);
    EXPECT_EQ(g.top_row(), 1);
    SendMessageW(g.hwnd(), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(g.top_row(), 1 + g.visible_data_rows());
    SendMessageW(g.hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_GT(g.top_row(), 1 + g.visible_data_rows());
    SendMessageW(g.hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(g.top_row(), 4096 - g.visible_data_rows() + 1);
    SendMessageW(g.hwnd(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(g.top_row(), 1);

    // Header cells light grey, the area outside the cells grey, data cells white.
    RECT client;
    GetClientRect(g.hwnd(), &client);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageW(g.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    const RECT header = g.cell_rect(0, 1), data = g.cell_rect(1, 1);
    EXPECT_EQ(GetPixel(mem, header.left + 1, header.top + 1), HexGridWindow::kFixedBack);
    EXPECT_EQ(GetPixel(mem, data.right - 3, data.top + 2), HexGridWindow::kCellBack);
    form().open_path(ui::utf8(write_file(L"tiny.bin", "\x01\x02")));
    pump();
    SendMessageW(g.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    EXPECT_EQ(GetPixel(mem, client.right - 2, client.bottom - 2), HexGridWindow::kOutside);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------- buttons

TEST_F(WindowTest, AboutWindowShowsAndHides) {
    std::vector<std::string> seen;
    HWND about_seen = nullptr;
    std::thread closer([&] {
        for (int showing = 0; showing < 2; ++showing) {
            HWND about = nullptr;
            ui::wait_until([&] {
                about = FindWindowW(AboutWindow::kClassName, nullptr);
                return about && IsWindowVisible(about);
            }, 5000);
            if (!about) return;
            about_seen = about;
            seen.push_back(ui::utf8(ui::window_text(about)));
            for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                const std::string t = ui::utf8(ui::window_text(child));
                if (!t.empty()) seen.push_back(t);
            }
            ui::press(about, AboutWindow::kConfirmId);
            ui::wait_until([&] { return !IsWindowVisible(about); }, 5000);
        }
    });
    click(Ctl::Command2);
    EXPECT_TRUE(IsWindowEnabled(window().hwnd()));
    HWND first = window().about_window().hwnd();
    click(Ctl::Command2);
    closer.join();
    // Hidden, not destroyed: the second showing is the same window.
    EXPECT_EQ(window().about_window().hwnd(), first);
    EXPECT_EQ(about_seen, first);
    EXPECT_TRUE(IsWindow(first));
    EXPECT_FALSE(IsWindowVisible(first));
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[0], "关于 TARN-C51单片机下载");
    EXPECT_NE(std::find(seen.begin(), seen.end(), "TARN-C51单片机下载"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "版本号:V2.0"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "确认"), seen.end());
}

TEST_F(WindowTest, HelpButtonSendsF1AndAMissingHelpFileIsReported) {
    click(Ctl::Command1);
    const std::vector<Box> seen = boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "信息提示");
    EXPECT_EQ(seen[0].text, "找不到帮助文件！\r\n" + form().help_file());
    EXPECT_EQ(form().help_file(), narrow(program_folder()) + "\\TARNLOAD.chm");
}

TEST_F(WindowTest, QuitAndCloseEndTheWindow) {
    click(Ctl::quit);
    EXPECT_EQ(window().hwnd(), nullptr);
    d.close();

    MainWindow other(GetModuleHandleW(nullptr), ch375_);
    ASSERT_TRUE(other.create());
    HWND h = other.hwnd();
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, WiderWindowGrowsTheDataGroup) {
    RECT before, after;
    GetWindowRect(ctl(Ctl::ROM_DISP), &before);
    RECT w;
    GetWindowRect(window().hwnd(), &w);
    SetWindowPos(window().hwnd(), nullptr, 0, 0, (w.right - w.left) + 200, (w.bottom - w.top) + 100, SWP_NOMOVE | SWP_NOZORDER);
    pump();
    GetWindowRect(ctl(Ctl::ROM_DISP), &after);
    EXPECT_EQ((after.right - after.left) - (before.right - before.left), 200);
    EXPECT_EQ((after.bottom - after.top) - (before.bottom - before.top), 100);

    // Not smaller than the design size.
    SetWindowPos(window().hwnd(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    pump();
    RECT client;
    GetClientRect(window().hwnd(), &client);
    const Twips twips;
    EXPECT_GE(client.right, twips.x(kDesignClientWidth));
    EXPECT_GE(client.bottom, twips.y(kDesignClientHeight));
}

} // namespace
} // namespace tarn::win

namespace tarn::win {
namespace {

// A cable library that cannot serve is no library: nothing is bound, no
// cable is ever found, and nothing crashes.
TEST(CableLibrary, UnusableLibrariesAreNotBound) {
    for (const char* folder_variable : {"TARN_INCOMPLETE_DLL_DIR", "TARN_OTHER_ARCH_DLL_DIR"}) {
        const char* folder = std::getenv(folder_variable);
        ASSERT_NE(folder, nullptr) << folder_variable;
        const std::wstring dir = ui::wide(folder);
        if (GetFileAttributesW((dir + L"\\CH375DLL.dll").c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::printf("no %s\\CH375DLL.dll: not checked\n", folder);
            continue;
        }
        SetDllDirectoryW(dir.c_str());
        {
            Ch375Library library;
            EXPECT_FALSE(library.bound()) << folder;
            EXPECT_EQ(library.OpenDevice(0), Ch375Api::kInvalidHandle);
            EXPECT_FALSE(library.SetDeviceNotify(0, [](uint32_t) {}));
            uint32_t n = 7;
            const uint8_t frame[7] = {};
            EXPECT_FALSE(library.WriteData(0, frame, n));
            library.CloseDevice(0);
        }
        SetDllDirectoryW(nullptr);
    }
}

} // namespace
} // namespace tarn::win
