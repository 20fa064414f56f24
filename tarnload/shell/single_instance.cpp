#include "shell/single_instance.h"

#include <string>

#include "shell/controls.h"
#include "shell/win32_support.h"

namespace tarn::win {

namespace {

constexpr const wchar_t* kMutexName = L"TarnloadSingleInstance";
constexpr int kFindTries = 20;
constexpr DWORD kFindPauseMs = 150;

struct Search {
    std::wstring title;
    DWORD own_process;
    HWND exact = nullptr;
    HWND prefix = nullptr;
};

BOOL CALLBACK consider(HWND hwnd, LPARAM lp) {
    auto& s = *reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s.own_process) return TRUE;
    const int n = GetWindowTextLengthW(hwnd);
    if (n < static_cast<int>(s.title.size())) return TRUE;
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), n + 1)));
    if (text == s.title) {
        s.exact = hwnd;
        return FALSE;
    }
    if (!s.prefix && text.compare(0, s.title.size(), s.title) == 0) s.prefix = hwnd;
    return TRUE;
}

} // namespace

SingleInstance::SingleInstance() {
    mutex_ = CreateMutexW(nullptr, FALSE, kMutexName);
    another_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

SingleInstance::~SingleInstance() {
    if (mutex_) CloseHandle(mutex_);
}

bool activate_running_instance() {
    Search s{widen(kAppTitle), GetCurrentProcessId()};
    for (int i = 0; i < kFindTries; ++i) {
        EnumWindows(consider, reinterpret_cast<LPARAM>(&s));
        if (HWND found = s.exact ? s.exact : s.prefix) {
            HWND root = GetAncestor(found, GA_ROOTOWNER);
            if (!root) root = found;
            if (IsIconic(root)) ShowWindow(root, SW_RESTORE);
            // A box the first copy shows comes forward with its window.
            SetForegroundWindow(GetLastActivePopup(root));
            return true;
        }
        Sleep(kFindPauseMs);
    }
    return false;
}

} // namespace tarn::win
