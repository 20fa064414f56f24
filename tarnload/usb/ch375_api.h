// The seven functions of the USB cable chip's vendor library that the link
// uses, with the results it relies on. The Windows program binds the library
// by name; the tests put the cable simulator behind the same functions.
#pragma once

#include <cstdint>
#include <functional>

namespace tarn {

class Ch375Api {
public:
    // Called by the library, on a thread of its own, when a device is plugged
    // in or removed; the status is not interpreted.
    using NotifyRoutine = std::function<void(uint32_t status)>;

    static constexpr int32_t kInvalidHandle = -1;

    virtual ~Ch375Api() = default;

    // A handle, or kInvalidHandle when no cable can be opened.
    virtual int32_t OpenDevice(uint32_t index) = 0;
    virtual void CloseDevice(uint32_t index) = 0;
    // Later writes and reads give up after these times (milliseconds).
    virtual bool SetTimeout(uint32_t index, uint32_t write_ms, uint32_t read_ms) = 0;
    // length: in, the bytes to write; out, the bytes written.
    virtual bool WriteData(uint32_t index, const uint8_t* data, uint32_t& length) = 0;
    // length: in, the bytes wanted; out, the bytes received.
    virtual bool ReadData(uint32_t index, uint8_t* buffer, uint32_t& length) = 0;
    // Registers the routine (with no device name); an empty routine
    // unregisters. True when registered.
    virtual bool SetDeviceNotify(uint32_t index, NotifyRoutine routine) = 0;
    // Cancels any interrupt routine (the link never installs one).
    virtual bool SetIntRoutine(uint32_t index) = 0;
};

} // namespace tarn
