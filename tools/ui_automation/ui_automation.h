// Driving windows as a user would, from a test or a demo program: finding
// message boxes and file dialogs on the screen, reading them and answering
// them, clicking controls, and capturing the screen.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarn::ui {

std::wstring window_text(HWND hwnd);
std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);

// A message box on the screen, as the user sees it.
struct Box {
    HWND hwnd = nullptr;
    std::string title;  // UTF-8
    std::string text;   // UTF-8
    bool has_warning_icon = false;
};

// Visible top-level dialog windows (class #32770) of a process.
std::vector<HWND> dialogs_of(DWORD pid);
// Reads a message box: its title and the text of its message.
Box read_box(HWND dialog);
// Presses a button of a dialog by its identifier, as a click would.
void press(HWND dialog, int button_id);

// Waits for a top-level window of the process with the class (and title,
// when given); nullptr after the time-out.
HWND wait_for_window(DWORD pid, const wchar_t* class_name, const wchar_t* title, DWORD timeout_ms);

// Waits until the predicate holds, checking every 20 ms; false on time-out.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms);

// Answers the dialogs of a process from a thread of its own while the
// process's window thread sits in their modal loops: message boxes are read,
// recorded and closed with OK; file dialogs get the next queued path typed
// into their file name box (or are cancelled when none is queued).
class DialogAnswerer {
public:
    explicit DialogAnswerer(DWORD pid = GetCurrentProcessId());
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    ~DialogAnswerer();

    // The boxes seen since the last call, oldest first.
    std::vector<Box> take_boxes();
    // The titles of the file dialogs answered since the last call.
    std::vector<std::string> take_file_dialogs();
    // The path to type into the next file dialog.
    void queue_file(const std::wstring& path);
    // Waits until at least n boxes have been seen since the last take.
    bool wait_for_boxes(std::size_t n, DWORD timeout_ms);

private:
    void run();
    bool answer(HWND dialog);

    DWORD pid_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Box> boxes_;
    std::vector<std::string> file_dialogs_;
    std::vector<std::wstring> files_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

// Saves the screen area of a window (or the whole screen for nullptr) as a
// 24-bit BMP file.
bool capture_bmp(HWND hwnd, const std::wstring& path);

} // namespace tarn::ui
