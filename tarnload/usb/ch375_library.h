// The cable chip's vendor library CH375DLL, bound by name at its first use.
// A library that is missing, of the wrong architecture or without one of the
// seven functions leaves every call failing: no cable is ever found, and the
// rest of the program works as before.
#pragma once

#include <windows.h>

#include <mutex>

#include "usb/ch375_api.h"

namespace tarn::win {

class Ch375Library final : public Ch375Api {
public:
    Ch375Library() = default;
    Ch375Library(const Ch375Library&) = delete;
    Ch375Library& operator=(const Ch375Library&) = delete;
    ~Ch375Library() override;

    int32_t OpenDevice(uint32_t index) override;
    void CloseDevice(uint32_t index) override;
    bool SetTimeout(uint32_t index, uint32_t write_ms, uint32_t read_ms) override;
    bool WriteData(uint32_t index, const uint8_t* data, uint32_t& length) override;
    bool ReadData(uint32_t index, uint8_t* buffer, uint32_t& length) override;
    bool SetDeviceNotify(uint32_t index, NotifyRoutine routine) override;
    bool SetIntRoutine(uint32_t index) override;

    // Whether the library could be bound (binds it if not tried yet).
    bool bound();

private:
    // The library's functions as it exports them (standard calling convention).
    using NotifyProc = VOID(CALLBACK*)(ULONG status);
    using OpenDeviceFn = HANDLE(WINAPI*)(ULONG index);
    using CloseDeviceFn = VOID(WINAPI*)(ULONG index);
    using SetTimeoutFn = BOOL(WINAPI*)(ULONG index, ULONG write_timeout, ULONG read_timeout);
    using WriteDataFn = BOOL(WINAPI*)(ULONG index, PVOID buffer, PULONG length);
    using ReadDataFn = BOOL(WINAPI*)(ULONG index, PVOID buffer, PULONG length);
    using SetDeviceNotifyFn = BOOL(WINAPI*)(ULONG index, PCHAR device_name, NotifyProc routine);
    using SetIntRoutineFn = BOOL(WINAPI*)(ULONG index, PVOID routine);

    static VOID CALLBACK notify_trampoline(ULONG status);

    HMODULE module_ = nullptr;
    bool tried_ = false;
    OpenDeviceFn open_ = nullptr;
    CloseDeviceFn close_ = nullptr;
    SetTimeoutFn set_timeout_ = nullptr;
    WriteDataFn write_ = nullptr;
    ReadDataFn read_ = nullptr;
    SetDeviceNotifyFn set_notify_ = nullptr;
    SetIntRoutineFn set_int_routine_ = nullptr;
};

} // namespace tarn::win
