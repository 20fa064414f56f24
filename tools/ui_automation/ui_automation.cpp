#include "ui_automation.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <utility>

namespace tarn::ui {

namespace {

constexpr int kFileNameCombo = 0x47C;  // cmb13, the file name box of a file dialog
constexpr int kFileNameEdit = 0x480;   // edt1, its older form

std::wstring class_of(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_dialog(HWND hwnd, LPARAM lp) {
    auto& s = *reinterpret_cast<DialogSearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s.pid && IsWindowVisible(hwnd) && class_of(hwnd) == L"#32770") s.found.push_back(hwnd);
    return TRUE;
}

struct Children {
    std::vector<HWND> all;
};

BOOL CALLBACK collect_child(HWND hwnd, LPARAM lp) {
    reinterpret_cast<Children*>(lp)->all.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> children_of(HWND parent) {
    Children c;
    EnumChildWindows(parent, collect_child, reinterpret_cast<LPARAM>(&c));
    return c.all;
}

bool is_file_dialog(HWND dialog) { return GetDlgItem(dialog, kFileNameCombo) || GetDlgItem(dialog, kFileNameEdit); }

} // namespace

std::wstring window_text(HWND hwnd) {
    // Asked with WM_GETTEXT, which reaches the control even in another
    // process (GetWindowText there reads only the creation-time title).
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &n)) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000, &got)) {
        return {};
    }
    text.resize(static_cast<std::size_t>(got));
    return text;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::vector<HWND> dialogs_of(DWORD pid) {
    DialogSearch s{pid, {}};
    EnumWindows(collect_dialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

Box read_box(HWND dialog) {
    Box box;
    box.hwnd = dialog;
    box.title = utf8(window_text(dialog));
    for (HWND child : children_of(dialog)) {
        if (class_of(child) != L"Static") continue;
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            if (SendMessageW(child, STM_GETICON, 0, 0) != 0) box.has_warning_icon = true;
            continue;
        }
        const std::string text = utf8(window_text(child));
        if (text.size() > box.text.size()) box.text = text;
    }
    return box;
}

void press(HWND dialog, int button_id) {
    HWND button = GetDlgItem(dialog, button_id);
    if (button) {
        PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), 0);
    }
}

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        Sleep(20);
    }
}

HWND wait_for_window(DWORD pid, const wchar_t* class_name, const wchar_t* title, DWORD timeout_ms) {
    HWND found = nullptr;
    wait_until(
        [&] {
            HWND h = nullptr;
            while ((h = FindWindowExW(nullptr, h, class_name, title)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                if (owner == pid) {
                    found = h;
                    return true;
                }
            }
            return false;
        },
        timeout_ms);
    return found;
}

// ---------------------------------------------------------------- answerer

DialogAnswerer::DialogAnswerer(DWORD pid) : pid_(pid), thread_([this] { run(); }) {}

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<Box> DialogAnswerer::take_boxes() {
    std::lock_guard lock(mutex_);
    return std::exchange(boxes_, {});
}

std::vector<std::string> DialogAnswerer::take_file_dialogs() {
    std::lock_guard lock(mutex_);
    return std::exchange(file_dialogs_, {});
}

void DialogAnswerer::queue_file(const std::wstring& path) {
    std::lock_guard lock(mutex_);
    files_.push_back(path);
}

bool DialogAnswerer::wait_for_boxes(std::size_t n, DWORD timeout_ms) {
    return wait_until(
        [&] {
            std::lock_guard lock(mutex_);
            return boxes_.size() >= n;
        },
        timeout_ms);
}

bool DialogAnswerer::answer(HWND dialog) {
    if (is_file_dialog(dialog)) {
        std::wstring path;
        {
            std::lock_guard lock(mutex_);
            file_dialogs_.push_back(utf8(window_text(dialog)));
            if (!files_.empty()) {
                path = files_.front();
                files_.erase(files_.begin());
            }
        }
        if (path.empty()) {
            press(dialog, IDCANCEL);
            return true;
        }
        HWND name = GetDlgItem(dialog, kFileNameCombo);
        if (!name) name = GetDlgItem(dialog, kFileNameEdit);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        press(dialog, IDOK);
        return true;
    }
    // A message box: once its text is there, record it and close it.
    Box box = read_box(dialog);
    if (box.text.empty() && box.title.empty()) return false;
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back(box);
    }
    press(dialog, IDOK);
    return true;
}

void DialogAnswerer::run() {
    while (!stop_) {
        for (HWND dialog : dialogs_of(pid_)) {
            if (std::find(answered_.begin(), answered_.end(), dialog) != answered_.end() && IsWindow(dialog)) continue;
            if (answer(dialog)) answered_.push_back(dialog);
        }
        // Forget dialogs that are gone, so a new one with a reused handle is seen.
        answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND h) { return !IsWindow(h); }),
                        answered_.end());
        Sleep(30);
    }
}

// ---------------------------------------------------------------- capture

bool capture_bmp(HWND hwnd, const std::wstring& path) {
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (hwnd) GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(mem, old);
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD image_size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + image_size;
    bi.bmiHeader.biSizeImage = image_size;
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
    out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof(bi.bmiHeader));
    out.write(static_cast<const char*>(bits), image_size);
    const bool ok = static_cast<bool>(out);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace tarn::ui
