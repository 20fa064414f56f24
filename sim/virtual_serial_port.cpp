#include "virtual_serial_port.h"

#include <algorithm>
#include <cstdlib>

namespace tarn::sim {

VirtualSerialPort::VirtualSerialPort(BootLoaderSim& chip, VirtualClock& clock)
    : chip_(chip), clock_(clock), line_(chip, 9600) {}

void VirtualSerialPort::set_port(int number) {
    if (!open_) port_number = number;
}

void VirtualSerialPort::set_settings(const std::string& settings) {
    settings_seen.push_back(settings);
    const long baud = std::strtol(settings.c_str(), nullptr, 10);
    if (baud > 0) line_.set_baud(static_cast<uint32_t>(baud));
}

void VirtualSerialPort::open_port() {
    if (open_) return;
    if (port_number != existing_port || busy) return;
    open_ = true;
}

void VirtualSerialPort::close_port() {
    if (!open_) return;
    line_.host_clear_output(clock_.now_ns);
    line_.host_clear_input(clock_.now_ns);
    open_ = false;
    receive_notify = false;
}

uint16_t VirtualSerialPort::input_count() {
    if (!open_) return 0;
    return static_cast<uint16_t>(std::min<std::size_t>(line_.host_input_count(clock_.now_ns), 0xFFFF));
}

std::vector<uint8_t> VirtualSerialPort::read_all() {
    if (!open_) return {};
    return line_.host_read(clock_.now_ns);
}

void VirtualSerialPort::clear_input() {
    if (open_) line_.host_clear_input(clock_.now_ns);
}

uint16_t VirtualSerialPort::output_count() {
    if (!open_) return 0;
    return static_cast<uint16_t>(std::min<std::size_t>(line_.host_output_count(clock_.now_ns), 0xFFFF));
}

void VirtualSerialPort::clear_output() {
    if (open_) line_.host_clear_output(clock_.now_ns);
}

void VirtualSerialPort::write(std::span<const uint8_t> bytes) {
    if (open_) line_.host_write(bytes, clock_.now_ns);
}

bool VirtualSerialPort::wait_sent(uint32_t timeout_ms) {
    if (!open_) return true;
    const uint64_t limit = clock_.now_ns + static_cast<uint64_t>(timeout_ms) * 1'000'000;
    const uint64_t done = line_.output_empty_at(clock_.now_ns);
    clock_.advance_to(std::min(done, limit));
    return done <= limit;
}

bool VirtualSerialPort::wait_input(uint32_t count, uint32_t timeout_ms) {
    const uint64_t limit = clock_.now_ns + static_cast<uint64_t>(timeout_ms) * 1'000'000;
    if (!open_) {
        clock_.advance_to(limit);
        return false;
    }
    if (const auto t = line_.input_reaches(count, clock_.now_ns, limit)) {
        clock_.advance_to(*t);
        return true;
    }
    clock_.advance_to(limit);
    return false;
}

} // namespace tarn::sim
