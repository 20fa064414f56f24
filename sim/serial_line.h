// A serial line between the program and a simulated boot loader, paced at
// the baud rate: every byte takes ten bit times (8 data bits, a start and a
// stop bit) in each direction, the loader receives a byte when its last bit
// is in, and what it sends queues behind what it already sends. Time is in
// nanoseconds and given by the caller, so the same line serves a virtual
// clock in tests and the real clock in the pty bridge.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "boot_loader_sim.h"

namespace tarn::sim {

class SerialLine {
public:
    SerialLine(BootLoaderSim& chip, uint32_t baud);

    void set_baud(uint32_t baud);
    uint32_t baud() const { return baud_; }
    uint64_t byte_ns() const { return byte_ns_; }

    // ---- the program's side ----
    // Queues bytes for sending at time `now`.
    void host_write(std::span<const uint8_t> bytes, uint64_t now);
    // Bytes written but not yet wholly on the line.
    std::size_t host_output_count(uint64_t now);
    // Bytes received and not yet taken.
    std::size_t host_input_count(uint64_t now);
    std::vector<uint8_t> host_read(uint64_t now);
    void host_clear_input(uint64_t now);
    void host_clear_output(uint64_t now);
    // When the program's queue of received bytes reaches `count` (counting
    // those already waiting), if that happens by `limit`.
    std::optional<uint64_t> input_reaches(std::size_t count, uint64_t now, uint64_t limit);
    // When the last byte written has gone out.
    uint64_t output_empty_at(uint64_t now);
    // The next moment a byte arrives at the program after `now`, if any.
    std::optional<uint64_t> next_arrival(uint64_t now);

    // ---- the loader's side ----
    void reset_chip(uint64_t now);
    // Delivers to the loader every byte whose transmission ends by `now`.
    void advance(uint64_t now);

private:
    struct TimedByte {
        uint64_t t;
        uint8_t b;
    };
    void chip_send(uint64_t at, std::string_view bytes);

    BootLoaderSim& chip_;
    uint32_t baud_;
    uint64_t byte_ns_;
    std::deque<TimedByte> to_chip_;   // end of transmission of each byte
    std::deque<TimedByte> to_host_;   // arrival at the program
    uint64_t host_tx_free_ = 0;
    uint64_t chip_tx_free_ = 0;
};

} // namespace tarn::sim
