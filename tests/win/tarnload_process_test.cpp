// Tarnload.exe as a process: the single-instance rule and a file named on the
// command line. The program is started beside this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shell/controls.h"
#include "shell/main_window.h"
#include "shell/single_instance.h"
#include "shell/win32_support.h"
#include "ui_automation/ui_automation.h"

namespace tarn::win {
namespace {

constexpr DWORD kStartTimeout = 30000;

std::wstring tarnload_exe() { return program_folder() + L"\\Tarnload.exe"; }

class Process {
public:
    explicit Process(const std::wstring& args) {
        std::wstring command = L"\"" + tarnload_exe() + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != FALSE;
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (!started_) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            if (HWND w = main_window(0)) PostMessageW(w, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(pi_.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
        }
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }

    bool started() const { return started_; }
    DWORD pid() const { return pi_.dwProcessId; }
    HANDLE handle() const { return pi_.hProcess; }

    HWND main_window(DWORD timeout_ms) const {
        return ui::wait_for_window(pi_.dwProcessId, kMainClassName, nullptr, timeout_ms);
    }
    HWND shown_main_window(DWORD timeout_ms) const {
        HWND w = nullptr;
        ui::wait_until([&] {
            w = main_window(0);
            return w && IsWindowVisible(w);
        }, timeout_ms);
        return w;
    }
    std::string control_text(HWND main, Ctl c) const {
        return ui::utf8(ui::window_text(GetDlgItem(main, kControlIdBase + index_of(c))));
    }
    // Whether the process ever shows a window of its own before it ends.
    bool ends_without_window(DWORD timeout_ms) const {
        bool window_seen = false;
        const bool ended = ui::wait_until([&] {
            if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0) return true;
            struct Probe {
                DWORD pid;
                bool seen;
            } probe{pi_.dwProcessId, false};
            EnumWindows([](HWND h, LPARAM lp) -> BOOL {
                auto& p = *reinterpret_cast<Probe*>(lp);
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                if (owner == p.pid && IsWindowVisible(h)) p.seen = true;
                return TRUE;
            }, reinterpret_cast<LPARAM>(&probe));
            window_seen = window_seen || probe.seen;
            return false;
        }, timeout_ms);
        return ended && !window_seen;
    }
    DWORD exit_code() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

TEST(TarnloadProcess, SecondStartBringsTheFirstForwardAndEnds) {
    Process first(L"");
    ASSERT_TRUE(first.started());
    ui::DialogAnswerer first_boxes(first.pid());  // the start-up box about the USB library
    HWND main = first.shown_main_window(kStartTimeout);
    ASSERT_NE(main, nullptr);
    ShowWindow(main, SW_MINIMIZE);
    ui::wait_until([&] { return IsIconic(main) != FALSE; }, 5000);

    Process second(L"");
    ASSERT_TRUE(second.started());
    EXPECT_TRUE(second.ends_without_window(kStartTimeout));
    EXPECT_EQ(second.exit_code(), 0u);
    // The first copy is restored and still running.
    EXPECT_TRUE(ui::wait_until([&] { return !IsIconic(main); }, 5000));
    EXPECT_EQ(WaitForSingleObject(first.handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(first_boxes.take_boxes().size(), 1u);
}

TEST(TarnloadProcess, CopyWhoseFirstCannotBeFoundOpensWithoutItsStartUp) {
    // Another copy seems to run (the mutex is held here) but has no window.
    SingleInstance held;
    Process lonely(L"");
    ASSERT_TRUE(lonely.started());
    ui::DialogAnswerer boxes(lonely.pid());
    HWND main = lonely.shown_main_window(kStartTimeout);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(SendMessageW(GetDlgItem(main, kControlIdBase + index_of(Ctl::Combo2)), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(lonely.control_text(main, Ctl::Text3), std::string(kText3Initial));
    EXPECT_TRUE(boxes.take_boxes().empty());  // no USB start-up either
}

TEST(TarnloadProcess, FileOnTheCommandLineOpensAfterStartUp) {
    const auto path = std::filesystem::temp_directory_path() / L"命令行.bin";
    std::ofstream(path, std::ios::binary) << std::string(300, '\x7E');
    Process p(L"\"" + path.wstring() + L"\"");
    ASSERT_TRUE(p.started());
    ui::DialogAnswerer boxes(p.pid());
    HWND main = p.shown_main_window(kStartTimeout);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(ui::wait_until([&] { return p.control_text(main, Ctl::Text2) == narrow(path.wstring()); }, 10000));
    // The start-up ran first: the model's hint is in the message window.
    EXPECT_NE(p.control_text(main, Ctl::Text3).find("下载步骤提示"), std::string::npos);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(p.handle(), 10000), WAIT_OBJECT_0);
}

} // namespace
} // namespace tarn::win
