// Small Win32 helpers of the window shell: UTF-8/UTF-16 conversion, owners
// for GDI objects, and twips at the display's resolution.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace tarn::win {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The text of a window as UTF-8.
std::string window_text(HWND hwnd);

// Owns one GDI object (font, brush, pen, bitmap) and deletes it.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle h) : h_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~GdiObject() { reset(); }

    void reset(Handle h = nullptr) {
        if (h_) DeleteObject(h_);
        h_ = h;
    }
    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    Handle h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

// Selects an object into a DC for the length of a scope.
class SelectIn {
public:
    SelectIn(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    SelectIn(const SelectIn&) = delete;
    SelectIn& operator=(const SelectIn&) = delete;
    ~SelectIn() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Twips (1/1440 inch) to pixels and back at the display's resolution.
class Twips {
public:
    Twips();
    int x(int twips) const { return MulDiv(twips, dpi_x_, 1440); }
    int y(int twips) const { return MulDiv(twips, dpi_y_, 1440); }
    int to_twips_x(int px) const { return MulDiv(px, 1440, dpi_x_); }
    int to_twips_y(int px) const { return MulDiv(px, 1440, dpi_y_); }
    int dpi_y() const { return dpi_y_; }

private:
    int dpi_x_ = 96;
    int dpi_y_ = 96;
};

// The user-interface font: the first installed face that covers Chinese, at
// the given point size.
Font make_ui_font(int points, bool bold = false);

// The folder of the running program, without a trailing backslash.
std::wstring program_folder();

// A visible child control with the given font.
HWND add_child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, int id, HFONT font);

// A small framed pop-up window over `owner` (the wait and about windows):
// registers `cls` with `proc` on first use, gives the window a client area of
// `client` pixels, centres it over the owner, and passes `self` as the
// creation parameter. Null if the window cannot be created.
HWND create_small_window(HWND owner, HINSTANCE instance, const wchar_t* cls, WNDPROC proc, const std::wstring& title,
                         SIZE client, DWORD extra_style, void* self);

// Moves `window` so that it is centred over `owner`.
void centre_over(HWND owner, HWND window);

// A modal loop for a window over its owner: the owner is disabled, the
// window's messages (and every other window's) are handled, with dialog keys
// for it, until `open` turns false; then the owner is enabled and activated.
// A quit message ends the loop too and is passed on to the outer loop.
void run_modal(HWND owner, HWND window, const bool& open);

} // namespace tarn::win
