// ROM_DISP, the hex dump window: a grid with a fixed header row and a fixed
// address column, drawn from a HexGrid. Only the visible rows are drawn, so a
// 64 KiB image costs no more than a small one. The cell editor rom_in is a
// small edit box that lies over one cell and moves with it when scrolling.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "image/hex_grid.h"
#include "shell/form_view.h"
#include "shell/win32_support.h"

namespace tarn::win {

class HexGridWindow {
public:
    static constexpr const wchar_t* kClassName = L"TarnHexGrid";

    // Colours (0x00BBGGRR): fixed cells, the area outside the cells, data
    // cells, grid lines, and the editor's background and text.
    static constexpr COLORREF kFixedBack = 0xE0E0E0;
    static constexpr COLORREF kOutside = 0x808080;
    static constexpr COLORREF kCellBack = 0xFFFFFF;
    static constexpr COLORREF kFixedLine = 0xA0A0A0;
    static constexpr COLORREF kCellLine = 0xC8C8C8;
    static constexpr COLORREF kEditorBack = 0xE0E0E0;
    static constexpr COLORREF kEditorText = 0x0000FF;

    struct Callbacks {
        // A data cell was clicked (it is now the current cell).
        std::function<void(int32_t row, int32_t col)> on_click;
        // A key was released in the editor, with the editor's text.
        std::function<void(int key, const std::string& text)> on_editor_key_up;
    };

    explicit HexGridWindow(const HexGrid& grid) : grid_(grid) {}
    HexGridWindow(const HexGridWindow&) = delete;
    HexGridWindow& operator=(const HexGridWindow&) = delete;

    static void register_class(HINSTANCE instance);
    HWND create(HWND parent, int id, HINSTANCE instance, HFONT font, HFONT editor_font, Callbacks callbacks);

    HWND hwnd() const { return hwnd_; }
    HWND editor() const { return editor_; }

    // The grid's contents were rebuilt: row count, scroll range and texts.
    void refilled();
    void cell_changed(int32_t row, int32_t col);
    void show_editor(int32_t row, int32_t col, std::string_view text, EditorPlacement placement);
    void hide_editor();
    bool editor_visible() const { return editor_shown_; }

    int32_t current_row() const { return cur_row_; }
    int32_t current_col() const { return cur_col_; }
    int32_t top_row() const { return top_row_; }
    // Client rectangle of a cell at the present scroll position.
    RECT cell_rect(int32_t row, int32_t col) const;
    // Scrolls so that the cell is wholly visible, as far as the window allows.
    void ensure_visible(int32_t row, int32_t col);
    // The cell under a client point; false outside the cells.
    bool hit_test(POINT pt, int32_t& row, int32_t& col) const;
    int row_height() const { return row_h_; }
    int visible_data_rows() const;

private:
    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK editor_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle_editor(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    void on_paint();
    void paint_content(HDC dc, const RECT& client);
    void paint_cell(HDC dc, const RECT& r, int32_t row, int32_t col, bool fixed);
    void on_vscroll(int code);
    void on_hscroll(int code);
    void on_key(int vk);
    void on_mouse_wheel(int delta);
    void on_button_down(POINT pt);
    void on_button_up(POINT pt);

    void compute_metrics(HFONT font);
    void update_scroll_bars();
    void scroll_to(int32_t top_row, int x_offset);
    int32_t max_top_row() const;
    int max_x_offset() const;
    int column_left(int32_t col) const;
    void place_editor();

    const HexGrid& grid_;
    HWND hwnd_ = nullptr;
    HWND editor_ = nullptr;
    HFONT font_ = nullptr;
    Callbacks callbacks_;
    Brush editor_brush_;

    // Column widths in pixels, the row height, and the scroll position: the
    // first data row shown under the header and the horizontal offset of the
    // columns right of the fixed address column.
    std::array<int, HexGrid::kCols> col_w_{};
    int row_h_ = 16;
    int32_t top_row_ = 1;
    int x_offset_ = 0;

    int32_t cur_row_ = 1;
    int32_t cur_col_ = 1;
    bool pressed_ = false;
    int32_t press_row_ = 0, press_col_ = 0;

    bool editor_shown_ = false;
    int32_t editor_row_ = 0, editor_col_ = 0;
    EditorPlacement editor_placement_ = EditorPlacement::Exact;
    // The editor saw Enter go down; a key-up of Enter without it belongs to
    // a message box that Enter has just closed.
    bool enter_down_ = false;
};

} // namespace tarn::win
