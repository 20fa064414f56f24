#include "shell/controls.h"

namespace tarn {

namespace {

constexpr Ctl kWindow = Ctl::Count;

// Fixed groups at their design positions; the data and message groups get
// their sizes from layout_for_client.
constexpr std::array<CtlDesign, kCtlCount> kDesign{{
    {Ctl::Frame1, CtlKind::Frame, "Frame1", "设备", kWindow, {120, 480, 4095, 1695}, true, 0},
    {Ctl::Frame2, CtlKind::Frame, "Frame2", "操作", kWindow, {120, 4080, 4095, 855}, true, 0},
    {Ctl::Frame3, CtlKind::Frame, "Frame3", "文件", kWindow, {120, 5040, 4095, 615}, true, 0},
    {Ctl::Frame4, CtlKind::Frame, "Frame4", "选项", kWindow, {120, 2280, 4095, 1695}, true, 0},
    {Ctl::Frame5, CtlKind::Frame, "Frame5", "数据", kWindow, {4320, 480, 4335, 4095}, true, 0},
    {Ctl::Frame6, CtlKind::Frame, "Frame6", "信息", kWindow, {120, 5760, 4095, 975}, true, 0},

    {Ctl::Label1, CtlKind::Label, "Label1", "设备：", Ctl::Frame1, {150, 345, 690, 255}, true, 0},
    {Ctl::Label2, CtlKind::Label, "Label2", "端口：", Ctl::Frame1, {150, 825, 690, 255}, true, 0},
    {Ctl::Label3, CtlKind::Label, "Label3", "波特率：", Ctl::Frame1, {2040, 825, 800, 255}, true, 0},
    {Ctl::Label4, CtlKind::Label, "Label4", "时钟：", Ctl::Frame1, {150, 1305, 690, 255}, false, 0},
    {Ctl::Label5, CtlKind::Label, "Label5", "Mhz", Ctl::Frame1, {1500, 1305, 600, 255}, false, 0},

    {Ctl::Combo2, CtlKind::DropList, "Combo2", "", Ctl::Frame1, {840, 285, 3105, 330}, true, 0},
    {Ctl::Combo3, CtlKind::DropList, "Combo3", "", Ctl::Frame1, {840, 765, 1110, 330}, true, 0},
    {Ctl::Combo4, CtlKind::DropList, "Combo4", "", Ctl::Frame1, {2835, 765, 1110, 330}, true, 0},

    {Ctl::Text1, CtlKind::Edit, "Text1", "12", Ctl::Frame1, {840, 1245, 600, 330}, false, 2},
    {Ctl::Text2, CtlKind::Edit, "Text2", "", Ctl::Frame3, {900, 225, 2340, 330}, true, 0},
    {Ctl::Text3, CtlKind::MessageEdit, "Text3", kText3Initial, Ctl::Frame6, {120, 240, 3855, 575}, true, 0},

    {Ctl::Check1, CtlKind::CheckBox, "Check1", "擦除", Ctl::Frame4, {300, 300, 1700, 300}, true, 0},
    {Ctl::Check2, CtlKind::CheckBox, "Check2", "验空", Ctl::Frame4, {300, 630, 1700, 300}, true, 0},
    {Ctl::Check3, CtlKind::CheckBox, "Check3", "编程", Ctl::Frame4, {300, 960, 1700, 300}, true, 0},
    {Ctl::Check4, CtlKind::CheckBox, "Check4", "比较", Ctl::Frame4, {300, 1290, 1700, 300}, true, 0},
    {Ctl::Check5, CtlKind::CheckBox, "Check5", "加密位1", Ctl::Frame4, {2200, 300, 1700, 300}, true, 0},
    {Ctl::Check6, CtlKind::CheckBox, "Check6", "加密位2", Ctl::Frame4, {2200, 630, 1700, 300}, true, 0},
    {Ctl::Check7, CtlKind::CheckBox, "Check7", "加密位3", Ctl::Frame4, {2200, 960, 1700, 300}, true, 0},
    {Ctl::Check8, CtlKind::CheckBox, "Check8", "读取", Ctl::Frame4, {2200, 1290, 1700, 300}, true, 0},

    {Ctl::Command2, CtlKind::Button, "Command2", "关于", Ctl::Frame2, {180, 300, 855, 405}, true, 0},
    {Ctl::Command1, CtlKind::Button, "Command1", "帮助", Ctl::Frame2, {1140, 300, 855, 405}, true, 0},
    {Ctl::start, CtlKind::Button, "start", "开始", Ctl::Frame2, {2100, 300, 855, 405}, true, 0},
    {Ctl::quit, CtlKind::Button, "quit", "退出", Ctl::Frame2, {3060, 300, 855, 405}, true, 0},

    {Ctl::open, CtlKind::Button, "open", "打开", Ctl::Frame3, {120, 210, 720, 360}, true, 0},
    {Ctl::save, CtlKind::Button, "save", "保存", Ctl::Frame3, {3300, 210, 675, 360}, true, 0},

    {Ctl::ROM_DISP, CtlKind::Grid, "ROM_DISP", "", Ctl::Frame5, {120, 240, 4085, 3695}, true, 0},
    {Ctl::rom_in, CtlKind::CellEditor, "rom_in", "", Ctl::Frame5, {0, 0, 300, 240}, true, 2},

    {Ctl::zhuangtai, CtlKind::StatusBar, "zhuangtai", "", kWindow, {0, 0, 0, 0}, true, 0},
    {Ctl::jdt, CtlKind::Progress, "jdt", "", kWindow, {0, 0, 0, 0}, true, 0},
}};

static_assert([] {
    for (int i = 0; i < kCtlCount; ++i) {
        if (index_of(kDesign[static_cast<std::size_t>(i)].id) != i) return false;
    }
    return true;
}(), "the design table must list the controls in the order of Ctl");

} // namespace

std::span<const CtlDesign> form_design() { return kDesign; }

const CtlDesign& design_of(Ctl c) { return kDesign[static_cast<std::size_t>(index_of(c))]; }

FormLayout layout_for_client(int32_t sw_twips, int32_t sh_twips) {
    // Computed in single precision, as the window's own rules are.
    const float sw = static_cast<float>(sw_twips);
    const float sh = static_cast<float>(sh_twips);
    const TwipsRect f1 = design_of(Ctl::Frame1).rect;
    const TwipsRect f2 = design_of(Ctl::Frame2).rect;
    const TwipsRect f3 = design_of(Ctl::Frame3).rect;
    const TwipsRect f4 = design_of(Ctl::Frame4).rect;

    FormLayout l;
    l.frame6 = design_of(Ctl::Frame6).rect;
    l.frame6.height = static_cast<int32_t>(sh - static_cast<float>(f1.height + f2.height + f3.height + f4.height) - 1570.0f);
    l.text3 = design_of(Ctl::Text3).rect;
    l.text3.height = l.frame6.height - 400;

    l.frame5 = design_of(Ctl::Frame5).rect;
    l.frame5.height = static_cast<int32_t>(sh - 1150.0f);
    l.frame5.width = static_cast<int32_t>(sw - static_cast<float>(f1.width) - 380.0f);
    l.rom_disp = design_of(Ctl::ROM_DISP).rect;
    l.rom_disp.height = l.frame5.height - 400;
    l.rom_disp.width = l.frame5.width - 250;

    l.panel1_width = sw * 1.5f / 4.0f;
    l.panel2_width = sw * 2.5f / 4.0f;
    l.jdt.top = l.frame5.top + l.frame5.height + 460;
    l.jdt.left = static_cast<int32_t>(sw * 1.5f / 4.0f + 100.0f);
    l.jdt.height = 170;
    l.jdt.width = static_cast<int32_t>(sw * 2.5f / 4.0f - 200.0f);
    return l;
}

} // namespace tarn
