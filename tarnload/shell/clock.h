// Time as the runs see it. Every sleep, poll and time-out goes through a
// clock, so tests can run a 40-second wait in microseconds on a virtual one.
#pragma once

#include <cstdint>

namespace tarn {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start.
    virtual uint64_t now_ms() = 0;
    virtual void sleep_ms(uint32_t ms) = 0;
};

} // namespace tarn
