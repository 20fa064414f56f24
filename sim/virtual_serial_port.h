// A serial port joined to a simulated boot loader by a paced line, on a
// virtual clock: the program's waits move the clock to the moment the byte
// they wait for arrives, so a run of minutes takes milliseconds and its time
// can be checked to the nanosecond.
#pragma once

#include <memory>

#include "boot_loader_sim.h"
#include "serial/serial_port.h"
#include "serial_line.h"
#include "virtual_clock.h"

namespace tarn::sim {

class VirtualSerialPort final : public SerialPort {
public:
    VirtualSerialPort(BootLoaderSim& chip, VirtualClock& clock);

    void set_port(int number) override;
    void set_settings(const std::string& settings) override;
    void set_binary_input() override {}  // the line carries raw bytes
    void open_port() override;
    void close_port() override;
    bool is_open() override { return open_; }
    uint16_t input_count() override;
    std::vector<uint8_t> read_all() override;
    void clear_input() override;
    uint16_t output_count() override;
    void clear_output() override;
    void write(std::span<const uint8_t> bytes) override;
    void set_receive_notify(bool on) override { receive_notify = on; }
    void set_send_notify(bool on) override { send_notify = on; }
    void clear_break() override {}
    bool wait_sent(uint32_t timeout_ms) override;
    bool wait_input(uint32_t count, uint32_t timeout_ms) override;

    SerialLine& line() { return line_; }
    void reset_chip() { line_.reset_chip(clock_.now_ns); }

    // Which port numbers exist (a loader sits on each); others fail to open.
    int existing_port = 1;
    // Opening fails although the port exists (held by another program).
    bool busy = false;
    int port_number = 1;
    bool receive_notify = false;
    bool send_notify = true;
    std::vector<std::string> settings_seen;

private:
    BootLoaderSim& chip_;
    VirtualClock& clock_;
    SerialLine line_;
    bool open_ = false;
};

} // namespace tarn::sim
