#include "image/hex_grid_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace tarn::win {

namespace {

constexpr int kCellPadding = 3;  // pixels left of a cell's text
constexpr int kKeyScrollPixels = 20;

HexGridWindow* self_of(HWND hwnd) { return reinterpret_cast<HexGridWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

int text_height(HWND hwnd, HFONT font) {
    HDC dc = GetDC(hwnd);
    TEXTMETRICW tm{};
    {
        SelectIn select(dc, font);
        GetTextMetricsW(dc, &tm);
    }
    ReleaseDC(hwnd, dc);
    return tm.tmHeight;
}

} // namespace

void HexGridWindow::register_class(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

HWND HexGridWindow::create(HWND parent, int id, HINSTANCE instance, HFONT font, HFONT editor_font, Callbacks callbacks) {
    callbacks_ = std::move(callbacks);
    font_ = font;
    hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"ROM_DISP",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | WS_CLIPCHILDREN, 0, 0, 10, 10,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    editor_brush_.reset(CreateSolidBrush(kEditorBack));
    // Hidden at start, outside the tab order, at most two characters.
    editor_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 10, 10, hwnd_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id + 1)), instance, nullptr);
    SetWindowTextW(editor_, L"");
    SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(editor_font), FALSE);
    SendMessageW(editor_, EM_LIMITTEXT, 2, 0);
    SetWindowSubclass(editor_, editor_proc, 1, reinterpret_cast<DWORD_PTR>(this));
    compute_metrics(font);
    const int editor_h = text_height(editor_, editor_font);
    row_h_ = std::max(row_h_, editor_h + 4);
    update_scroll_bars();
    return hwnd_;
}

void HexGridWindow::compute_metrics(HFONT font) {
    const Twips twips;
    for (int32_t c = 0; c < HexGrid::kCols; ++c) col_w_[static_cast<std::size_t>(c)] = twips.x(HexGrid::column_width_twips(c));
    row_h_ = std::max(twips.y(240), text_height(hwnd_, font) + 5);
}

// ---------------------------------------------------------------- geometry

int HexGridWindow::column_left(int32_t col) const {
    if (col == 0) return 0;
    int x = col_w_[0] - x_offset_;
    for (int32_t c = 1; c < col; ++c) x += col_w_[static_cast<std::size_t>(c)];
    return x;
}

RECT HexGridWindow::cell_rect(int32_t row, int32_t col) const {
    RECT r;
    r.left = column_left(col);
    r.right = r.left + col_w_[static_cast<std::size_t>(col)];
    r.top = row == 0 ? 0 : (row - top_row_ + 1) * row_h_;
    r.bottom = r.top + row_h_;
    return r;
}

int HexGridWindow::visible_data_rows() const {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max(1, static_cast<int>((rc.bottom - row_h_) / row_h_));
}

int32_t HexGridWindow::max_top_row() const { return std::max<int32_t>(1, grid_.data_rows() - visible_data_rows() + 1); }

int HexGridWindow::max_x_offset() const {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    int scrollable = 0;
    for (int32_t c = 1; c < HexGrid::kCols; ++c) scrollable += col_w_[static_cast<std::size_t>(c)];
    return std::max(0, scrollable - static_cast<int>(rc.right - col_w_[0]));
}

bool HexGridWindow::hit_test(POINT pt, int32_t& row, int32_t& col) const {
    if (pt.y < 0 || pt.x < 0) return false;
    row = pt.y < row_h_ ? 0 : top_row_ + pt.y / row_h_ - 1;
    if (row >= grid_.rows()) return false;
    if (pt.x < col_w_[0]) {
        col = 0;
        return true;
    }
    for (int32_t c = 1; c < HexGrid::kCols; ++c) {
        const int left = column_left(c);
        if (pt.x >= left && pt.x < left + col_w_[static_cast<std::size_t>(c)]) {
            col = c;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- scrolling

void HexGridWindow::update_scroll_bars() {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 1;
    si.nMax = std::max<int32_t>(1, grid_.data_rows());
    si.nPage = static_cast<UINT>(visible_data_rows());
    si.nPos = top_row_;
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);

    int scrollable = 0;
    for (int32_t c = 1; c < HexGrid::kCols; ++c) scrollable += col_w_[static_cast<std::size_t>(c)];
    si.nMin = 0;
    si.nMax = scrollable - 1;
    si.nPage = static_cast<UINT>(std::max<LONG>(1, rc.right - col_w_[0]));
    si.nPos = x_offset_;
    SetScrollInfo(hwnd_, SB_HORZ, &si, TRUE);
}

void HexGridWindow::scroll_to(int32_t top_row, int x_offset) {
    top_row = std::clamp<int32_t>(top_row, 1, max_top_row());
    x_offset = std::clamp(x_offset, 0, max_x_offset());
    if (top_row == top_row_ && x_offset == x_offset_) return;
    top_row_ = top_row;
    x_offset_ = x_offset;
    update_scroll_bars();
    place_editor();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void HexGridWindow::on_vscroll(int code) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(hwnd_, SB_VERT, &si);
    const int32_t page = visible_data_rows();
    int32_t top = top_row_;
    switch (code) {
    case SB_LINEUP: top -= 1; break;
    case SB_LINEDOWN: top += 1; break;
    case SB_PAGEUP: top -= page; break;
    case SB_PAGEDOWN: top += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: top = si.nTrackPos; break;
    case SB_TOP: top = 1; break;
    case SB_BOTTOM: top = max_top_row(); break;
    default: return;
    }
    scroll_to(top, x_offset_);
}

void HexGridWindow::on_hscroll(int code) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_TRACKPOS | SIF_PAGE;
    GetScrollInfo(hwnd_, SB_HORZ, &si);
    int x = x_offset_;
    switch (code) {
    case SB_LINELEFT: x -= kKeyScrollPixels; break;
    case SB_LINERIGHT: x += kKeyScrollPixels; break;
    case SB_PAGELEFT: x -= static_cast<int>(si.nPage); break;
    case SB_PAGERIGHT: x += static_cast<int>(si.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: x = si.nTrackPos; break;
    case SB_LEFT: x = 0; break;
    case SB_RIGHT: x = max_x_offset(); break;
    default: return;
    }
    scroll_to(top_row_, x);
}

void HexGridWindow::on_key(int vk) {
    const int32_t page = visible_data_rows();
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    switch (vk) {
    case VK_UP: scroll_to(top_row_ - 1, x_offset_); break;
    case VK_DOWN: scroll_to(top_row_ + 1, x_offset_); break;
    case VK_PRIOR: scroll_to(top_row_ - page, x_offset_); break;
    case VK_NEXT: scroll_to(top_row_ + page, x_offset_); break;
    case VK_HOME: scroll_to(1, ctrl ? x_offset_ : 0); break;
    case VK_END: scroll_to(max_top_row(), ctrl ? x_offset_ : max_x_offset()); break;
    case VK_LEFT: scroll_to(top_row_, x_offset_ - kKeyScrollPixels); break;
    case VK_RIGHT: scroll_to(top_row_, x_offset_ + kKeyScrollPixels); break;
    default: break;
    }
}

void HexGridWindow::on_mouse_wheel(int delta) {
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL) lines = static_cast<UINT>(visible_data_rows());
    scroll_to(top_row_ - delta * static_cast<int>(lines) / WHEEL_DELTA, x_offset_);
}

void HexGridWindow::ensure_visible(int32_t row, int32_t col) {
    int32_t top = top_row_;
    const int32_t page = visible_data_rows();
    if (row >= 1) {
        if (row < top) top = row;
        else if (row >= top + page) top = row - page + 1;
    }
    int x = x_offset_;
    if (col >= 1) {
        RECT rc;
        GetClientRect(hwnd_, &rc);
        int left = col_w_[0];
        for (int32_t c = 1; c < col; ++c) left += col_w_[static_cast<std::size_t>(c)];
        const int right = left + col_w_[static_cast<std::size_t>(col)];
        // left and right at offset 0; the visible band is [w0 + x, width + x).
        if (left - x < col_w_[0]) x = left - col_w_[0];
        else if (right - x > rc.right) x = right - rc.right;
    }
    scroll_to(top, x);
}

// ---------------------------------------------------------------- contents

void HexGridWindow::refilled() {
    hide_editor();
    top_row_ = std::clamp<int32_t>(top_row_, 1, max_top_row());
    if (cur_row_ >= grid_.rows()) cur_row_ = 1;
    update_scroll_bars();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void HexGridWindow::cell_changed(int32_t row, int32_t col) {
    const RECT r = cell_rect(row, col);
    InvalidateRect(hwnd_, &r, FALSE);
}

void HexGridWindow::show_editor(int32_t row, int32_t col, std::string_view text, EditorPlacement placement) {
    const RECT old = cell_rect(cur_row_, cur_col_);
    InvalidateRect(hwnd_, &old, FALSE);
    cur_row_ = row;
    cur_col_ = col;
    ensure_visible(row, col);
    editor_row_ = row;
    editor_col_ = col;
    editor_placement_ = placement;
    editor_shown_ = true;
    enter_down_ = false;
    SetWindowTextW(editor_, widen(text).c_str());
    place_editor();
    SendMessageW(editor_, EM_SETSEL, 0, -1);
    SetFocus(editor_);
}

void HexGridWindow::hide_editor() {
    editor_shown_ = false;
    ShowWindow(editor_, SW_HIDE);
}

void HexGridWindow::place_editor() {
    if (!editor_shown_) return;
    const RECT cell = cell_rect(editor_row_, editor_col_);
    RECT rc;
    GetClientRect(hwnd_, &rc);
    // Out of the scrolled view (under the header row or the address column):
    // hidden until it scrolls back.
    if (cell.top < row_h_ || cell.top >= rc.bottom || cell.left < col_w_[0] || cell.left >= rc.right) {
        ShowWindow(editor_, SW_HIDE);
        return;
    }
    int x = cell.left, y = cell.top, w = cell.right - cell.left, h = cell.bottom - cell.top;
    if (editor_placement_ == EditorPlacement::ClickInset) {
        // Laid a little inside the clicked cell, but never lower than a line of text.
        const Twips twips;
        x += twips.x(20);
        y += twips.y(10);
        h = std::max(h - twips.y(100), text_height(editor_, reinterpret_cast<HFONT>(SendMessageW(editor_, WM_GETFONT, 0, 0))));
    }
    SetWindowPos(editor_, HWND_TOP, x, y, w, h, SWP_SHOWWINDOW);
}

// ---------------------------------------------------------------- painting

void HexGridWindow::paint_cell(HDC dc, const RECT& r, int32_t row, int32_t col, bool fixed) {
    SetDCBrushColor(dc, fixed ? kFixedBack : kCellBack);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    // Lines on the right and bottom edges.
    SetDCBrushColor(dc, fixed ? kFixedLine : kCellLine);
    const RECT right{r.right - 1, r.top, r.right, r.bottom};
    const RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
    FillRect(dc, &right, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    FillRect(dc, &bottom, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));

    const std::wstring text = widen(grid_.cell_text(row, col));
    if (!text.empty()) {
        RECT t{r.left + kCellPadding, r.top, r.right - 1, r.bottom - 1};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (!fixed && row == cur_row_ && col == cur_col_ && GetFocus() == hwnd_) {
        RECT f{r.left + 1, r.top + 1, r.right - 2, r.bottom - 2};
        DrawFocusRect(dc, &f);
    }
}

void HexGridWindow::paint_content(HDC dc, const RECT& client) {
    SetDCBrushColor(dc, kOutside);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SelectIn font(dc, font_);

    const int32_t last_row = std::min<int32_t>(grid_.rows() - 1, top_row_ + visible_data_rows());
    auto paint_row = [&](int32_t row) {
        const bool header = row == 0;
        // The scrolled columns first, clipped right of the fixed column.
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, col_w_[0], 0, client.right, client.bottom);
        for (int32_t c = 1; c < HexGrid::kCols; ++c) {
            const RECT r = cell_rect(row, c);
            if (r.right <= col_w_[0] || r.left >= client.right) continue;
            paint_cell(dc, r, row, c, header);
        }
        RestoreDC(dc, saved);
        paint_cell(dc, cell_rect(row, 0), row, 0, true);
    };
    paint_row(0);
    for (int32_t row = top_row_; row <= last_row; ++row) paint_row(row);
}

void HexGridWindow::on_paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    // Drawn off screen first, so scrolling does not flicker.
    HDC mem = CreateCompatibleDC(dc);
    Bitmap bitmap(CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom)));
    {
        SelectIn select(mem, bitmap.get());
        paint_content(mem, client);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
               mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    }
    DeleteDC(mem);
    EndPaint(hwnd_, &ps);
}

// ---------------------------------------------------------------- mouse

void HexGridWindow::on_button_down(POINT pt) {
    SetFocus(hwnd_);
    pressed_ = hit_test(pt, press_row_, press_col_);
    if (pressed_) SetCapture(hwnd_);
}

void HexGridWindow::on_button_up(POINT pt) {
    if (!pressed_) return;
    pressed_ = false;
    ReleaseCapture();
    int32_t row = 0, col = 0;
    if (!hit_test(pt, row, col) || row != press_row_ || col != press_col_) return;
    // Fixed cells are never current; a click on them does nothing.
    if (row < 1 || col < 1) return;
    const RECT old = cell_rect(cur_row_, cur_col_);
    InvalidateRect(hwnd_, &old, FALSE);
    cur_row_ = row;
    cur_col_ = col;
    const RECT now = cell_rect(row, col);
    InvalidateRect(hwnd_, &now, FALSE);
    if (callbacks_.on_click) callbacks_.on_click(row, col);
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK HexGridWindow::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<HexGridWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (HexGridWindow* self = self_of(hwnd)) return self->handle(msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT HexGridWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: on_paint(); return 0;
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd_, &client);
        paint_content(reinterpret_cast<HDC>(wp), client);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        scroll_to(top_row_, x_offset_);
        update_scroll_bars();
        place_editor();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_VSCROLL: on_vscroll(LOWORD(wp)); return 0;
    case WM_HSCROLL: on_hscroll(LOWORD(wp)); return 0;
    case WM_MOUSEWHEEL: on_mouse_wheel(GET_WHEEL_DELTA_WPARAM(wp)); return 0;
    case WM_KEYDOWN: on_key(static_cast<int>(wp)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: on_button_down({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    case WM_LBUTTONUP: on_button_up({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    case WM_CAPTURECHANGED: pressed_ = false; return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const RECT r = cell_rect(cur_row_, cur_col_);
        InvalidateRect(hwnd_, &r, FALSE);
        return 0;
    }
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lp) == editor_) {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, kEditorText);
            SetBkColor(dc, kEditorBack);
            return reinterpret_cast<LRESULT>(editor_brush_.get());
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        break;
    default: break;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK HexGridWindow::editor_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    return reinterpret_cast<HexGridWindow*>(self)->handle_editor(hwnd, msg, wp, lp);
}

LRESULT HexGridWindow::handle_editor(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_GETDLGCODE:
        // Enter belongs to the editor, not to the window's default button.
        return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wp == VK_RETURN) enter_down_ = true;
        break;
    case WM_CHAR:
        if (wp == '\r' || wp == '\n') return 0;  // no beep for Enter
        break;
    case WM_KEYUP:
        if (wp == VK_RETURN) {
            if (!enter_down_) return 0;
            enter_down_ = false;
        }
        if (callbacks_.on_editor_key_up) callbacks_.on_editor_key_up(static_cast<int>(wp), window_text(hwnd));
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, editor_proc, 1);
        break;
    default: break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

} // namespace tarn::win
