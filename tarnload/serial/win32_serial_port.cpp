#include "serial/win32_serial_port.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tarn::win {

namespace {

// How often the watcher looks at the receive queue while notification is on.
constexpr DWORD kWatchMs = 2;

// Waits for an overlapped operation of this thread to finish.
bool finish(HANDLE handle, OVERLAPPED& ov, BOOL started, DWORD& done) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(handle, &ov, &done, TRUE) != FALSE;
}

} // namespace

void Win32SerialPort::set_port(int number) {
    if (!is_open()) port_ = number;
}

void Win32SerialPort::set_settings(const std::string& settings) {
    const long baud = std::strtol(settings.c_str(), nullptr, 10);
    if (baud > 0) baud_ = static_cast<DWORD>(baud);
    if (is_open()) apply_settings();
}

void Win32SerialPort::apply_settings() {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(handle_, &dcb);
    dcb.BaudRate = baud_;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    SetCommState(handle_, &dcb);
}

void Win32SerialPort::open_port() {
    if (is_open()) return;
    const std::wstring name = L"\\\\.\\COM" + std::to_wstring(port_);
    handle_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return;
    // Only a serial port answers for its state (a name that leads nowhere
    // may still open).
    DCB probe{};
    probe.DCBlength = sizeof(probe);
    if (!GetCommState(handle_, &probe)) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return;
    }
    SetupComm(handle_, kReceiveQueue, kSendQueue);
    apply_settings();
    // Reads return at once with what is waiting.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(handle_, &timeouts);
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    watcher_ = std::thread([this] { watch_receive_queue(); });
}

void Win32SerialPort::close_port() {
    if (!is_open()) return;
    SetEvent(stop_);
    if (watcher_.joinable()) watcher_.join();
    CloseHandle(stop_);
    stop_ = nullptr;
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    notify_ = false;
    posted_ = false;
}

void Win32SerialPort::watch_receive_queue() {
    while (WaitForSingleObject(stop_, kWatchMs) == WAIT_TIMEOUT) {
        if (!notify_ || posted_) continue;
        COMSTAT stat{};
        DWORD errors = 0;
        if (!ClearCommError(handle_, &errors, &stat)) continue;
        if ((errors & CE_BREAK) && !posted_.exchange(true)) {
            PostMessageW(target_, message_, kCommEventBreak, 0);
        } else if (stat.cbInQue > 0 && !posted_.exchange(true)) {
            PostMessageW(target_, message_, kCommEventReceive, 0);
        }
    }
}

bool Win32SerialPort::queue_counts(COMSTAT& stat) {
    DWORD errors = 0;
    return is_open() && ClearCommError(handle_, &errors, &stat) != FALSE;
}

uint16_t Win32SerialPort::input_count() {
    COMSTAT stat{};
    if (!queue_counts(stat)) return 0;
    return static_cast<uint16_t>(std::min<DWORD>(stat.cbInQue, 0xFFFF));
}

uint16_t Win32SerialPort::output_count() {
    COMSTAT stat{};
    if (!queue_counts(stat)) return 0;
    return static_cast<uint16_t>(std::min<DWORD>(stat.cbOutQue, 0xFFFF));
}

std::vector<uint8_t> Win32SerialPort::read_all() {
    COMSTAT stat{};
    if (!queue_counts(stat) || stat.cbInQue == 0) return {};
    std::vector<uint8_t> bytes(stat.cbInQue);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD got = 0;
    const BOOL started = ReadFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &got, &ov);
    if (!finish(handle_, ov, started, got)) got = 0;
    CloseHandle(ov.hEvent);
    bytes.resize(got);
    return bytes;
}

void Win32SerialPort::clear_input() {
    if (is_open()) PurgeComm(handle_, PURGE_RXCLEAR);
}

void Win32SerialPort::clear_output() {
    // Only what still waits to go out is dropped. With nothing queued there
    // is nothing to drop, and a port that reports its queue empty too early
    // (a pseudo-terminal) would otherwise lose bytes already on their way.
    if (output_count() > 0) PurgeComm(handle_, PURGE_TXCLEAR);
}

void Win32SerialPort::write(std::span<const uint8_t> bytes) {
    if (!is_open() || bytes.empty()) return;
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD done = 0;
    const BOOL started = WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, &ov);
    finish(handle_, ov, started, done);
    CloseHandle(ov.hEvent);
}

void Win32SerialPort::clear_break() {
    if (is_open()) ClearCommBreak(handle_);
}

bool Win32SerialPort::wait_sent(uint32_t timeout_ms) {
    const uint64_t start = clock_.now_ms();
    while (output_count() > 0) {
        if (clock_.now_ms() - start >= timeout_ms) return false;
        clock_.sleep_ms(1);
    }
    return true;
}

bool Win32SerialPort::wait_input(uint32_t count, uint32_t timeout_ms) {
    const uint64_t start = clock_.now_ms();
    while (input_count() < count) {
        if (clock_.now_ms() - start >= timeout_ms) return false;
        clock_.sleep_ms(1);
    }
    return true;
}

} // namespace tarn::win
