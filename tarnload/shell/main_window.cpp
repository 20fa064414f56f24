#include "shell/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "shell/device_catalogue.h"

namespace tarn::win {

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
// Pixels of a drop-down list below its combo box.
constexpr int kDropListHeight = 200;
constexpr int kHelpDisplayToc = 0x0001;  // HH_DISPLAY_TOC

MainWindow* self_of(HWND hwnd) { return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

int control_id(Ctl c) { return kControlIdBase + index_of(c); }

// The window's controls in creation order: that is the tab order, and each
// label comes just before the box it names, so accessibility tools find the
// box's name in it.
constexpr Ctl kCreationOrder[] = {
    Ctl::Frame1, Ctl::Frame4, Ctl::Frame2, Ctl::Frame3, Ctl::Frame5, Ctl::Frame6,
    Ctl::Label1, Ctl::Combo2, Ctl::Label2, Ctl::Combo3, Ctl::Label3, Ctl::Combo4, Ctl::Label4, Ctl::Text1, Ctl::Label5,
    Ctl::Check1, Ctl::Check2, Ctl::Check3, Ctl::Check4, Ctl::Check5, Ctl::Check6, Ctl::Check7, Ctl::Check8,
    Ctl::Command2, Ctl::Command1, Ctl::start, Ctl::quit,
    Ctl::open, Ctl::Text2, Ctl::save,
    Ctl::ROM_DISP, Ctl::Text3,
    Ctl::zhuangtai, Ctl::jdt,
};
static_assert(std::size(kCreationOrder) == kCtlCount - 1, "every control but rom_in, which the grid makes");

// "text|pattern|text|pattern" to the dialog's NUL-separated, NUL-ended form.
std::wstring dialog_filter(const std::string& filter) {
    std::wstring w = widen(filter);
    std::replace(w.begin(), w.end(), L'|', L'\0');
    w.push_back(L'\0');
    w.push_back(L'\0');
    return w;
}

// A group box paints only its border and caption; behind the window's
// clipped children nothing would paint its inside, so it fills it itself.
// It lies below its siblings and clips them out, so they stay visible.
LRESULT CALLBACK frame_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, frame_proc, 1);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool is_check_box(Ctl c) { return index_of(c) >= index_of(Ctl::Check1) && index_of(c) <= index_of(Ctl::Check8); }

} // namespace

MainWindow::MainWindow(HINSTANCE instance, Ch375Api& ch375)
    : instance_(instance), form_(*this, ch375, serial_, clock_), grid_(form_.grid()) {}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    if (html_help_) FreeLibrary(html_help_);
}

void MainWindow::register_classes(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClassName;
    RegisterClassExW(&wc);
    HexGridWindow::register_class(instance);
}

bool MainWindow::create() {
    register_classes(instance_);
    ui_font_ = make_ui_font(9);
    editor_font_ = make_ui_font(9, true);
    white_.reset(CreateSolidBrush(kWhite));

    RECT frame{0, 0, twips_.x(kDesignClientWidth), twips_.y(kDesignClientHeight)};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, kMainClassName, widen(kFormCaption).c_str(), style,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                            nullptr, instance_, this);
    if (!hwnd_) return false;
    serial_.set_notify_target(hwnd_, kMsgComm);
    create_controls();

    ACCEL help{FVIRTKEY, VK_F1, static_cast<WORD>(kHelpCommand)};
    accelerators_ = CreateAcceleratorTableW(&help, 1);
    on_size();
    return true;
}

void MainWindow::load() { form_.on_load(narrow(program_folder())); }

bool MainWindow::pre_translate(MSG& msg) {
    if (!hwnd_) return false;
    if (accelerators_ && TranslateAcceleratorW(hwnd_, accelerators_, &msg)) return true;
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

// ---------------------------------------------------------------- controls

RECT MainWindow::design_rect_px(const CtlDesign& d) const {
    TwipsRect r = d.rect;
    if (d.frame != Ctl::Count) {
        const TwipsRect f = design_of(d.frame).rect;
        r.left += f.left;
        r.top += f.top;
    }
    return {twips_.x(r.left), twips_.y(r.top), twips_.x(r.left + r.width), twips_.y(r.top + r.height)};
}

HWND MainWindow::create_control(const CtlDesign& d) {
    const RECT r = design_rect_px(d);
    const std::wstring caption = widen(d.caption);
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id(d.id)));
    auto make = [&](DWORD ex, const wchar_t* cls, DWORD style, int extra_height = 0) {
        return CreateWindowExW(ex, cls, caption.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top + extra_height, hwnd_, id, instance_, nullptr);
    };
    switch (d.kind) {
    case CtlKind::Frame: {
        HWND frame = make(0, L"BUTTON", BS_GROUPBOX | WS_CLIPSIBLINGS);
        SetWindowSubclass(frame, frame_proc, 1, 0);
        return frame;
    }
    case CtlKind::Label: return make(0, L"STATIC", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE);
    case CtlKind::DropList: return make(0, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kDropListHeight);
    case CtlKind::Edit:
        return make(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | (d.id == Ctl::Text2 ? ES_READONLY : 0));
    case CtlKind::MessageEdit:
        return make(WS_EX_CLIENTEDGE, L"EDIT",
                    ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP);
    case CtlKind::CheckBox: return make(0, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP);
    case CtlKind::Button: return make(0, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP);
    case CtlKind::Grid: {
        HexGridWindow::Callbacks callbacks;
        callbacks.on_click = [this](int32_t row, int32_t col) { form_.on_grid_click(row, col); };
        callbacks.on_editor_key_up = [this](int key, const std::string& text) { form_.on_rom_in_keyup(key, text); };
        HWND grid = grid_.create(hwnd_, control_id(d.id), instance_, ui_font_.get(), editor_font_.get(), std::move(callbacks));
        controls_[static_cast<std::size_t>(index_of(Ctl::rom_in))] = grid_.editor();
        return grid;
    }
    case CtlKind::StatusBar:
        return CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd_, id,
                               instance_, nullptr);
    case CtlKind::Progress:
        // Laid over the right part of the status bar.
        return CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, control(Ctl::zhuangtai), id,
                               instance_, nullptr);
    case CtlKind::CellEditor: break;
    }
    return nullptr;
}

void MainWindow::create_controls() {
    for (Ctl c : kCreationOrder) {
        const CtlDesign& d = design_of(c);
        HWND h = create_control(d);
        controls_[static_cast<std::size_t>(index_of(c))] = h;
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_.get()), FALSE);
        if (!d.enabled) EnableWindow(h, FALSE);
        if (d.max_length > 0 && d.kind == CtlKind::Edit) SendMessageW(h, EM_LIMITTEXT, static_cast<WPARAM>(d.max_length), 0);
    }
    // The frames lie behind everything else.
    for (Ctl f : {Ctl::Frame1, Ctl::Frame2, Ctl::Frame3, Ctl::Frame4, Ctl::Frame5, Ctl::Frame6}) {
        SetWindowPos(control(f), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // The message window holds whatever a run writes, beyond the default 32 K.
    SendMessageW(control(Ctl::Text3), EM_SETLIMITTEXT, 0, 0);

    for (const DeviceModel& m : kCatalogue) {
        SendMessageW(control(Ctl::Combo2), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(m.name).c_str()));
    }
    for (std::string_view port : kPortNames) {
        SendMessageW(control(Ctl::Combo3), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(port).c_str()));
    }
    for (std::string_view baud : kBaudRates) {
        SendMessageW(control(Ctl::Combo4), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(baud).c_str()));
    }
    SendMessageW(control(Ctl::jdt), PBM_SETRANGE32, 0, 100);
    SendMessageW(control(Ctl::jdt), PBM_SETPOS, 0, 0);
}

void MainWindow::place(Ctl c, const TwipsRect& r, const TwipsRect& frame) {
    const int left = twips_.x(frame.left + r.left), top = twips_.y(frame.top + r.top);
    SetWindowPos(control(c), nullptr, left, top, std::max(0, twips_.x(r.width)), std::max(0, twips_.y(r.height)),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::on_size() {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    if (rc.right == 0 && rc.bottom == 0) return;  // minimised
    HWND status = control(Ctl::zhuangtai);
    SendMessageW(status, WM_SIZE, 0, 0);

    const FormLayout l = layout_for_client(twips_.to_twips_x(rc.right), twips_.to_twips_y(rc.bottom));
    const TwipsRect origin{};
    place(Ctl::Frame5, l.frame5, origin);
    place(Ctl::ROM_DISP, l.rom_disp, l.frame5);
    place(Ctl::Frame6, l.frame6, origin);
    place(Ctl::Text3, l.text3, l.frame6);

    const int parts[2] = {twips_.x(static_cast<int>(l.panel1_width)), -1};
    SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    // The progress bar's rectangle is given in the window's coordinates; it
    // is a child of the status bar, so it is moved into the bar's and kept
    // inside it.
    RECT bar;
    GetWindowRect(status, &bar);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&bar), 2);
    const int bar_h = bar.bottom - bar.top;
    const int h = std::min(std::max(twips_.y(l.jdt.height), 4), std::max(bar_h - 4, 4));
    int top = twips_.y(l.jdt.top) - bar.top;
    top = std::clamp(top, 2, std::max(2, bar_h - h - 2));
    SetWindowPos(control(Ctl::jdt), nullptr, twips_.x(l.jdt.left), top, std::max(0, twips_.x(l.jdt.width)), h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- FormView

void MainWindow::apply_text(Ctl c, const std::wstring& text) {
    HWND h = control(c);
    switch (design_of(c).kind) {
    case CtlKind::DropList: {
        const LRESULT i = SendMessageW(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(i == CB_ERR ? -1 : i), 0);
        break;
    }
    case CtlKind::StatusBar: SendMessageW(h, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str())); break;
    default: SetWindowTextW(h, text.c_str()); break;
    }
}

void MainWindow::set_text(Ctl c, std::string_view utf8) {
    if (running_) {
        pending_text_[static_cast<std::size_t>(index_of(c))] = widen(utf8);
        maybe_flush();
        return;
    }
    apply_text(c, widen(utf8));
}

void MainWindow::set_enabled(Ctl c, bool enabled) { EnableWindow(control(c), enabled ? TRUE : FALSE); }

void MainWindow::set_value(Ctl c, int value) {
    if (is_check_box(c)) SendMessageW(control(c), BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::set_progress(int32_t min, int32_t max, int32_t value) {
    progress_min_ = min;
    progress_max_ = max;
    progress_value_ = value;
    progress_pending_ = true;
    if (running_) {
        maybe_flush();
        return;
    }
    apply_progress();
}

void MainWindow::apply_progress() {
    // A range the bar cannot take, or a value outside it, is not applied;
    // the run goes on.
    progress_pending_ = false;
    HWND bar = control(Ctl::jdt);
    if (progress_min_ < progress_max_) {
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(progress_min_), static_cast<LPARAM>(progress_max_));
    }
    PBRANGE range{};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    if (progress_value_ >= range.iLow && progress_value_ <= range.iHigh) {
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(progress_value_), 0);
    }
}

void MainWindow::maybe_flush() {
    if (GetTickCount64() - last_flush_ >= kRepaintMs) flush();
}

void MainWindow::flush() {
    for (int i = 0; i < kCtlCount; ++i) {
        auto& pending = pending_text_[static_cast<std::size_t>(i)];
        if (pending) {
            apply_text(static_cast<Ctl>(i), *pending);
            pending.reset();
        }
    }
    if (progress_pending_) apply_progress();
    paint_now();
    last_flush_ = GetTickCount64();
}

void MainWindow::paint_now() {
    // Only painting (and messages other threads send) is handled here: the
    // user's input and posted messages wait until the run has returned.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
}

void MainWindow::run_started() {
    running_ = true;
    last_flush_ = GetTickCount64();
    // The line's pauses of 1 ms must last 1 ms, not a scheduler tick.
    timeBeginPeriod(1);
}

void MainWindow::run_finished() {
    timeEndPeriod(1);
    flush();
    running_ = false;
}

void MainWindow::set_squ_timer(bool enabled, uint32_t interval_ms) {
    if (!hwnd_) return;
    if (enabled) SetTimer(hwnd_, kSquTimerId, interval_ms, nullptr);
    else KillTimer(hwnd_, kSquTimerId);
}

void MainWindow::show_wait_window() {
    if (running_) flush();
    WaitWindow window(form_);
    wait_window_ = &window;
    window.show_modal(hwnd_, instance_, ui_font_.get());
    wait_window_ = nullptr;
}

void MainWindow::set_wait_timer(bool on) {
    if (wait_window_) wait_window_->set_timer(on);
}

void MainWindow::close_wait_window() {
    if (wait_window_) wait_window_->close();
}

void MainWindow::wait_painting(uint32_t ms) {
    if (running_) flush();
    const uint64_t end = GetTickCount64() + ms;
    while (true) {
        const uint64_t now = GetTickCount64();
        if (now >= end) break;
        const DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_PAINT | QS_SENDMESSAGE, 0);
        if (r == WAIT_OBJECT_0) paint_now();
    }
}

void WindowClock::sleep_ms(uint32_t ms) { window_.wait_painting(ms); }

void MainWindow::message_box(std::string_view text, std::string_view title, BoxIcon icon) {
    if (running_) flush();  // the box shows the run as it stands
    MessageBoxW(hwnd_, widen(text).c_str(), widen(title).c_str(), MB_OK | (icon == BoxIcon::Warning ? MB_ICONWARNING : 0));
}

FileChoice MainWindow::file_dialog(const FileDialogSetup& setup, bool save) {
    const std::wstring filter = dialog_filter(setup.filter);
    const std::wstring title = widen(setup.title);
    const std::wstring ext = widen(setup.default_ext);
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = setup.flags;
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok) return {};
    return {narrow(path.data()), static_cast<int>(ofn.nFilterIndex)};
}

FileChoice MainWindow::open_file_dialog(const FileDialogSetup& setup) { return file_dialog(setup, false); }

FileChoice MainWindow::save_file_dialog(const FileDialogSetup& setup) { return file_dialog(setup, true); }

void MainWindow::grid_refilled() { grid_.refilled(); }

void MainWindow::grid_cell_changed(int32_t row, int32_t col) { grid_.cell_changed(row, col); }

void MainWindow::show_editor(int32_t row, int32_t col, std::string_view text, EditorPlacement placement) {
    grid_.show_editor(row, col, text, placement);
}

void MainWindow::hide_editor() { grid_.hide_editor(); }

void MainWindow::show_about() { about_.show_modal(hwnd_, instance_, ui_font_.get()); }

void MainWindow::show_help(std::string_view path) {
    const std::wstring file = widen(path);
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
        message_box(std::string("找不到帮助文件！\r\n") + std::string(path), kInfoTitle, BoxIcon::None);
        return;
    }
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    if (!html_help_) html_help_ = LoadLibraryW(L"hhctrl.ocx");
    auto html_help = html_help_ ? reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(html_help_, "HtmlHelpW")))
                                : nullptr;
    if (!html_help || !html_help(GetDesktopWindow(), file.c_str(), kHelpDisplayToc, 0)) {
        message_box(std::string("无法打开帮助文件！\r\n") + std::string(path), kInfoTitle, BoxIcon::None);
    }
}

void MainWindow::end_program() {
    // The quit button ends the program without the window's unload step.
    if (hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::post_usb_notify(uint32_t status) {
    if (hwnd_) PostMessageW(hwnd_, kMsgUsbNotify, status, 0);
}

// ---------------------------------------------------------------- messages

void MainWindow::on_command(int id, int code, HWND from) {
    if (id == kHelpCommand && from == nullptr) {
        form_.on_help_key();
        return;
    }
    const int index = id - kControlIdBase;
    if (index < 0 || index >= kCtlCount) return;
    const Ctl c = static_cast<Ctl>(index);
    const CtlKind kind = design_of(c).kind;
    if (kind == CtlKind::DropList && code == CBN_SELCHANGE) {
        const LRESULT i = SendMessageW(from, CB_GETCURSEL, 0, 0);
        std::wstring text;
        if (i != CB_ERR) {
            text.resize(static_cast<std::size_t>(SendMessageW(from, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1);
            const LRESULT n = SendMessageW(from, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            text.resize(n == CB_ERR ? 0 : static_cast<std::size_t>(n));
        }
        form_.on_combo_click(c, narrow(text));
        return;
    }
    if (code != BN_CLICKED) return;
    if (kind == CtlKind::CheckBox) {
        const int n = index_of(c) - index_of(Ctl::Check1) + 1;
        form_.on_check_click(n, SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
        return;
    }
    switch (c) {
    case Ctl::Command2: form_.on_about_click(); break;
    case Ctl::Command1:
        // The help button sends the F1 key to the window.
        PostMessageW(hwnd_, WM_KEYDOWN, VK_F1, 0x003B0001);
        PostMessageW(hwnd_, WM_KEYUP, VK_F1, static_cast<LPARAM>(0xC03B0001u));
        break;
    case Ctl::start: form_.on_start_click(); break;
    case Ctl::quit: form_.on_quit_click(); break;
    case Ctl::open: form_.on_open_click(); break;
    case Ctl::save: form_.on_save_click(); break;
    default: break;
    }
}

void MainWindow::on_drop_files(HDROP drop) {
    const UINT n = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(n + 1, L'\0');
    DragQueryFileW(drop, 0, path.data(), n + 1);
    path.resize(n);
    DragFinish(drop);
    if (!path.empty()) form_.open_path(narrow(path));
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (MainWindow* self = self_of(hwnd)) return self->handle(msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND: on_command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return 0;
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED) on_size();
        return 0;
    case WM_GETMINMAXINFO: {
        // Never smaller than the design size, so no group gets a negative height.
        RECT frame{0, 0, twips_.x(kDesignClientWidth), twips_.y(kDesignClientHeight)};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        // The read-only message and file boxes stay white like ordinary text boxes.
        HWND from = reinterpret_cast<HWND>(lp);
        if (from == control(Ctl::Text3) || from == control(Ctl::Text2)) {
            SetBkColor(reinterpret_cast<HDC>(wp), kWhite);
            return reinterpret_cast<LRESULT>(white_.get());
        }
        break;
    }
    case WM_DROPFILES: on_drop_files(reinterpret_cast<HDROP>(wp)); return 0;
    case kMsgUsbNotify: form_.usb_notified(static_cast<uint32_t>(wp)); return 0;
    case kMsgComm:
        serial_.notification_taken();
        form_.on_comm_event(static_cast<int>(wp));
        return 0;
    case WM_TIMER:
        if (wp == kSquTimerId) {
            form_.on_squ_timer();
            return 0;
        }
        break;
    case WM_CLOSE:
        form_.on_unload();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        if (quit_on_destroy_) PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        controls_.fill(nullptr);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    default: break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

} // namespace tarn::win
