// The cable chip's library functions over the cable simulator: what the
// program's link sees when the simulated cable stands in for the real one.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cable_sim.h"
#include "usb/ch375_api.h"

namespace tarn::sim {

class SimulatedCh375 : public Ch375Api {
public:
    // How a plug notification reaches the registered routine: by default at
    // once, on the caller's thread; a library of its own calls from a thread
    // of its own.
    using Deliver = std::function<void(std::function<void()> call)>;

    explicit SimulatedCh375(CableSimulator& cable, Deliver deliver = {});
    ~SimulatedCh375() override;

    int32_t OpenDevice(uint32_t index) override;
    void CloseDevice(uint32_t index) override;
    bool SetTimeout(uint32_t index, uint32_t write_ms, uint32_t read_ms) override;
    bool WriteData(uint32_t index, const uint8_t* data, uint32_t& length) override;
    bool ReadData(uint32_t index, uint8_t* buffer, uint32_t& length) override;
    bool SetDeviceNotify(uint32_t index, NotifyRoutine routine) override;
    bool SetIntRoutine(uint32_t index) override;

    // Plugs the cable in or pulls it, as a user would; the library notices.
    void plug(bool plugged) { cable_.set_plugged(plugged); }

    // Registration of the notification fails (a library that cannot watch).
    bool notify_registration_fails = false;

    static constexpr int32_t kHandle = 0x375;

private:
    CableSimulator& cable_;
    Deliver deliver_;
    bool open_ = false;
    std::mutex routine_mutex_;
    NotifyRoutine routine_;
};

} // namespace tarn::sim
