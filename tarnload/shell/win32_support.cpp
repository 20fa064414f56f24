#include "shell/win32_support.h"

#include <array>

namespace tarn::win {

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string window_text(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(static_cast<std::size_t>(got));
    return narrow(text);
}

Twips::Twips() {
    if (HDC dc = GetDC(nullptr)) {
        dpi_x_ = GetDeviceCaps(dc, LOGPIXELSX);
        dpi_y_ = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    if (dpi_x_ <= 0) dpi_x_ = 96;
    if (dpi_y_ <= 0) dpi_y_ = 96;
}

namespace {

int CALLBACK note_face(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool face_installed(HDC dc, const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc, &lf, note_face, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

} // namespace

Font make_ui_font(int points, bool bold) {
    static constexpr std::array<const wchar_t*, 5> kFaces{L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun",
                                                           L"WenQuanYi Micro Hei", L"Noto Sans CJK SC"};
    LOGFONTW lf{};
    HDC dc = GetDC(nullptr);
    lf.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    wcscpy(lf.lfFaceName, L"MS Shell Dlg 2");
    for (const wchar_t* face : kFaces) {
        if (face_installed(dc, face)) {
            wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    return Font(CreateFontIndirectW(&lf));
}

std::wstring program_folder() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace tarn::win

namespace tarn::win {

HWND add_child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, RECT r, int id, HFONT font) {
    HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

HWND create_small_window(HWND owner, HINSTANCE instance, const wchar_t* cls, WNDPROC proc, const std::wstring& title,
                         SIZE client, DWORD extra_style, void* self) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = cls;
    RegisterClassExW(&wc); // fails harmlessly once the class is there

    RECT frame{0, 0, client.cx, client.cy};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | extra_style;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME, cls, title.c_str(), style, 0, 0, frame.right - frame.left,
                                frame.bottom - frame.top, owner, nullptr, instance, self);
    if (hwnd) centre_over(owner, hwnd);
    return hwnd;
}

void centre_over(HWND owner, HWND window) {
    RECT o, w;
    GetWindowRect(owner, &o);
    GetWindowRect(window, &w);
    const int x = o.left + ((o.right - o.left) - (w.right - w.left)) / 2;
    const int y = o.top + ((o.bottom - o.top) - (w.bottom - w.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void run_modal(HWND owner, HWND window, const bool& open) {
    EnableWindow(owner, FALSE);
    MSG msg;
    while (open) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
}

} // namespace tarn::win
