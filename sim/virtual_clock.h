// Time that passes only when someone waits: sleeps, and simulated lines that
// move it on to the moment a byte arrives. Nanoseconds, so line times at any
// baud rate add up exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/clock.h"

namespace tarn::sim {

class VirtualClock : public Clock {
public:
    uint64_t now_ms() override { return now_ns / 1'000'000; }
    void sleep_ms(uint32_t ms) override {
        now_ns += static_cast<uint64_t>(ms) * 1'000'000;
        sleeps.push_back(ms);
    }
    void advance_to(uint64_t t_ns) {
        if (t_ns > now_ns) now_ns = t_ns;
    }

    uint64_t now_ns = 0;
    // Every sleep, in order (ms).
    std::vector<uint32_t> sleeps;
};

} // namespace tarn::sim
