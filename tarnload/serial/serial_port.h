// The serial port as the serial link uses it. One instance, owned by the main
// window for the life of the program. The Windows program implements it over
// the communications API; tests over a simulated line and boot loader.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarn {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // COM1..COM6 for the next open_port; no effect while the port is open.
    virtual void set_port(int number) = 0;
    // "9600,N,8,1": the baud rate from the text, no parity, 8 data bits,
    // 1 stop bit; may be applied while the port is open.
    virtual void set_settings(const std::string& settings) = 0;
    // Received data are delivered as raw bytes.
    virtual void set_binary_input() = 0;
    // Opens the selected port (a port already open stays open); whether it
    // worked is asked with is_open.
    virtual void open_port() = 0;
    // Closes the port, dropping what is queued either way.
    virtual void close_port() = 0;
    virtual bool is_open() = 0;
    // Received bytes waiting to be taken (a 16-bit count).
    virtual uint16_t input_count() = 0;
    // Takes every waiting byte.
    virtual std::vector<uint8_t> read_all() = 0;
    virtual void clear_input() = 0;
    // Bytes written but not yet on the line.
    virtual uint16_t output_count() = 0;
    virtual void clear_output() = 0;
    // Queues the bytes for sending, in order, without waiting.
    virtual void write(std::span<const uint8_t> bytes) = 0;
    // On: the window is told (receive event) whenever a byte is waiting.
    virtual void set_receive_notify(bool on) = 0;
    virtual void set_send_notify(bool on) = 0;
    virtual void clear_break() = 0;

    // Waiting without spinning the processor: until the output queue is
    // empty, or until at least `count` received bytes are waiting; false
    // when the time ran out first.
    virtual bool wait_sent(uint32_t timeout_ms) = 0;
    virtual bool wait_input(uint32_t count, uint32_t timeout_ms) = 0;
};

// Notifications of the port, as their event codes.
inline constexpr int kCommEventReceive = 2;
inline constexpr int kCommEventBreak = 1001;

} // namespace tarn
