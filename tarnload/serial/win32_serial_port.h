// The serial port over the Windows communications API: \\.\COMn, 8 data bits,
// no parity, one stop bit, no flow control, a receive queue of 64 KiB, queue
// counts from ClearCommError, clears with PurgeComm. While receive
// notification is on, a thread of its own watches the receive queue and
// posts the notification to the window, which handles it on its own thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

#include "serial/serial_port.h"
#include "shell/clock.h"

namespace tarn::win {

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(Clock& clock) : clock_(clock) {}
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;
    ~Win32SerialPort() override { close_port(); }

    // Where the notifications go: PostMessage(window, message, event code, 0).
    void set_notify_target(HWND window, UINT message) {
        target_ = window;
        message_ = message;
    }
    // The window has taken the posted notification; the next byte may post again.
    void notification_taken() { posted_ = false; }

    void set_port(int number) override;
    void set_settings(const std::string& settings) override;
    void set_binary_input() override {}  // the port always delivers raw bytes
    void open_port() override;
    void close_port() override;
    bool is_open() override { return handle_ != INVALID_HANDLE_VALUE; }
    uint16_t input_count() override;
    std::vector<uint8_t> read_all() override;
    void clear_input() override;
    uint16_t output_count() override;
    void clear_output() override;
    void write(std::span<const uint8_t> bytes) override;
    void set_receive_notify(bool on) override { notify_ = on; }
    void set_send_notify(bool) override {}
    void clear_break() override;
    bool wait_sent(uint32_t timeout_ms) override;
    bool wait_input(uint32_t count, uint32_t timeout_ms) override;

    static constexpr DWORD kReceiveQueue = 65536;
    static constexpr DWORD kSendQueue = 4096;

private:
    bool queue_counts(COMSTAT& stat);
    void apply_settings();
    void watch_receive_queue();

    Clock& clock_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    int port_ = 1;
    DWORD baud_ = 9600;
    HWND target_ = nullptr;
    UINT message_ = 0;
    std::atomic<bool> notify_{false};
    std::atomic<bool> posted_{false};
    HANDLE stop_ = nullptr;
    std::thread watcher_;
};

} // namespace tarn::win
