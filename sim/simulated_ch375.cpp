#include "simulated_ch375.h"

namespace tarn::sim {

SimulatedCh375::SimulatedCh375(CableSimulator& cable, Deliver deliver) : cable_(cable), deliver_(std::move(deliver)) {
    cable_.on_plug_change = [this](bool plugged) {
        if (!plugged) open_ = false;
        NotifyRoutine routine;
        {
            std::lock_guard lock(routine_mutex_);
            routine = routine_;
        }
        if (!routine) return;
        // The status the library passes is its own business; the program
        // does not read it.
        const uint32_t status = plugged ? 3u : 0u;
        auto call = [routine, status] { routine(status); };
        if (deliver_) deliver_(call);
        else call();
    };
}

SimulatedCh375::~SimulatedCh375() { cable_.on_plug_change = nullptr; }

int32_t SimulatedCh375::OpenDevice(uint32_t) {
    if (!cable_.plugged()) return kInvalidHandle;
    open_ = true;
    return kHandle;
}

void SimulatedCh375::CloseDevice(uint32_t) {
    open_ = false;
}

bool SimulatedCh375::SetTimeout(uint32_t, uint32_t, uint32_t) {
    return open_;
}

bool SimulatedCh375::WriteData(uint32_t, const uint8_t* data, uint32_t& length) {
    if (!open_) {
        length = 0;
        return false;
    }
    return cable_.write(data, length);
}

bool SimulatedCh375::ReadData(uint32_t, uint8_t* buffer, uint32_t& length) {
    if (!open_) {
        length = 0;
        return false;
    }
    return cable_.read(buffer, length);
}

bool SimulatedCh375::SetDeviceNotify(uint32_t, NotifyRoutine routine) {
    if (notify_registration_fails && routine) return false;
    std::lock_guard lock(routine_mutex_);
    routine_ = std::move(routine);
    return true;
}

bool SimulatedCh375::SetIntRoutine(uint32_t) {
    return true;
}

} // namespace tarn::sim
