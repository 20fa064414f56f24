// The real clock: the steady system clock and a real sleep.
#pragma once

#include <chrono>
#include <thread>

#include "shell/clock.h"

namespace tarn {

class SystemClock final : public Clock {
public:
    uint64_t now_ms() override {
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
    }
    void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

} // namespace tarn
