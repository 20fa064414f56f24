// The controls of the main window under their form names, and their design:
// kind, caption, the frame they sit in, position in twips and initial state.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tarn {

enum class Ctl : int {
    Frame1, Frame2, Frame3, Frame4, Frame5, Frame6,
    Label1, Label2, Label3, Label4, Label5,
    Combo2, Combo3, Combo4,
    Text1, Text2, Text3,
    Check1, Check2, Check3, Check4, Check5, Check6, Check7, Check8,
    Command2, Command1, start, quit,
    open, save,
    ROM_DISP, rom_in,
    zhuangtai, jdt,
    Count
};

inline constexpr int kCtlCount = static_cast<int>(Ctl::Count);

constexpr int index_of(Ctl c) { return static_cast<int>(c); }

// Check1..Check8 by number.
constexpr Ctl check_box(int n) { return static_cast<Ctl>(static_cast<int>(Ctl::Check1) + n - 1); }

enum class CtlKind { Frame, Label, DropList, Edit, MessageEdit, CheckBox, Button, Grid, CellEditor, StatusBar, Progress };

struct TwipsRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

struct CtlDesign {
    Ctl id;
    CtlKind kind;
    std::string_view name;     // the form name, also the accessible name of the control
    std::string_view caption;  // caption or initial text
    Ctl frame;                 // the frame it sits in; Ctl::Count for the window itself
    TwipsRect rect;            // in the frame's coordinates, or the window's
    bool enabled;
    int max_length;            // for text boxes; 0 = no limit
};

// Every control in creation order (frames first, so they lie behind).
std::span<const CtlDesign> form_design();
const CtlDesign& design_of(Ctl c);

// The fixed lists of the port and baud-rate boxes.
inline constexpr std::array<std::string_view, 6> kPortNames{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};
inline constexpr std::array<std::string_view, 5> kBaudRates{"2400", "4800", "9600", "19200", "38400"};

inline constexpr std::string_view kFormCaption = "TARN-C51单片机下载";
// The application's title: boxes without a title of their own carry it.
inline constexpr std::string_view kAppTitle = "TARN-C51单片机下载";
inline constexpr std::string_view kInfoTitle = "信息提示";
inline constexpr std::string_view kText3Initial = "编程时为信息提示窗口\r\n串口调试时为接收显示窗口\r\n";

// The design client area, and the positions that follow the window's size.
inline constexpr int32_t kDesignClientWidth = 10140;
inline constexpr int32_t kDesignClientHeight = 7620;

struct FormLayout {
    TwipsRect frame5, rom_disp, frame6, text3, jdt;
    float panel1_width = 0, panel2_width = 0;
};

// The growing groups for a client area of sw x sh twips: the data group and
// its grid take the rest of the width and the height, the message group and
// its text the rest of the height below the fixed groups, the progress bar
// lies over the right part of the status bar.
FormLayout layout_for_client(int32_t sw, int32_t sh);

} // namespace tarn
