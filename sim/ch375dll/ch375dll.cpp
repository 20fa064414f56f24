// CH375DLL.dll, simulated: the cable simulator behind the seven functions of
// the cable chip's library, for the tests and the demo. It is configured
// through the environment of the process that loads it:
//
//   TARN_CH375_PLUGGED       0 for a pulled cable (default: plugged in)
//   TARN_CH375_ID            the target's five identity bytes in hex
//                            (default 1E52064024, an AT89S5x)
//   TARN_CH375_FAULTS        faults on demand, e.g. "unplug:A6@100" pulls the
//                            cable at the 101st programming frame
//   TARN_CH375_NOTIFY_FAILS  1: registering for plug notifications fails
//
// Plug notifications reach the program from a thread of the library's own,
// as a real library's do. A test in the same process steers the cable
// through the Ch375Sim* functions.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "cable_sim.h"
#include "simulated_ch375.h"

namespace {

using tarn::sim::CableSimulator;
using tarn::sim::SimulatedCh375;

using NotifyProc = VOID(CALLBACK*)(ULONG status);

std::string environment(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

DWORD WINAPI deliver_thread(LPVOID param) {
    std::unique_ptr<std::function<void()>> call(static_cast<std::function<void()>*>(param));
    Sleep(20);  // the event comes a moment after the plug moves
    (*call)();
    return 0;
}

struct Library {
    CableSimulator cable;
    SimulatedCh375 api;

    // The cable as the environment describes it.
    void configure() {
        cable.set_plugged(environment("TARN_CH375_PLUGGED") != "0");
        cable.identity = CableSimulator::kAt89s5xIdentity;
        const std::string id = environment("TARN_CH375_ID");
        if (id.size() == 10) {
            for (std::size_t i = 0; i < 5; ++i) {
                cable.identity[i] = static_cast<uint8_t>(std::strtoul(id.substr(2 * i, 2).c_str(), nullptr, 16));
            }
        }
        cable.clear_faults();
        if (auto faults = tarn::sim::parse_faults(environment("TARN_CH375_FAULTS"))) {
            for (const auto& f : *faults) cable.add_fault(f);
        }
        api.notify_registration_fails = environment("TARN_CH375_NOTIFY_FAILS") == "1";
        std::fill(cable.flash.begin(), cable.flash.end(), uint8_t{0xFF});
        cable.lock_bits = {};
        cable.programming_enabled = false;
        cable.frames.clear();
    }

    Library()
        : api(cable, [](std::function<void()> call) {
              auto* heap = new std::function<void()>(std::move(call));
              if (HANDLE t = CreateThread(nullptr, 0, deliver_thread, heap, 0, nullptr)) {
                  CloseHandle(t);
              } else {
                  delete heap;
              }
          }) {
        configure();
    }
};

std::mutex g_mutex;

Library& library() {
    static Library lib;
    return lib;
}

} // namespace

extern "C" {

__declspec(dllexport) HANDLE WINAPI CH375OpenDevice(ULONG index) {
    std::lock_guard lock(g_mutex);
    const int32_t h = library().api.OpenDevice(index);
    return h == SimulatedCh375::kInvalidHandle ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(static_cast<intptr_t>(h));
}

__declspec(dllexport) VOID WINAPI CH375CloseDevice(ULONG index) {
    std::lock_guard lock(g_mutex);
    library().api.CloseDevice(index);
}

__declspec(dllexport) BOOL WINAPI CH375SetTimeout(ULONG index, ULONG write_timeout, ULONG read_timeout) {
    std::lock_guard lock(g_mutex);
    return library().api.SetTimeout(index, write_timeout, read_timeout) ? TRUE : FALSE;
}

__declspec(dllexport) BOOL WINAPI CH375WriteData(ULONG index, PVOID buffer, PULONG length) {
    if (!buffer || !length) return FALSE;
    std::lock_guard lock(g_mutex);
    uint32_t n = *length;
    const bool ok = library().api.WriteData(index, static_cast<const uint8_t*>(buffer), n);
    *length = n;
    return ok ? TRUE : FALSE;
}

__declspec(dllexport) BOOL WINAPI CH375ReadData(ULONG index, PVOID buffer, PULONG length) {
    if (!buffer || !length) return FALSE;
    std::lock_guard lock(g_mutex);
    uint32_t n = *length;
    const bool ok = library().api.ReadData(index, static_cast<uint8_t*>(buffer), n);
    *length = n;
    return ok ? TRUE : FALSE;
}

__declspec(dllexport) BOOL WINAPI CH375SetDeviceNotify(ULONG index, PCHAR /*device_name*/, NotifyProc routine) {
    std::lock_guard lock(g_mutex);
    tarn::Ch375Api::NotifyRoutine call;
    if (routine) call = [routine](uint32_t status) { routine(status); };
    return library().api.SetDeviceNotify(index, std::move(call)) ? TRUE : FALSE;
}

__declspec(dllexport) BOOL WINAPI CH375SetIntRoutine(ULONG index, PVOID /*routine*/) {
    std::lock_guard lock(g_mutex);
    return library().api.SetIntRoutine(index) ? TRUE : FALSE;
}

// ---- steering the simulated cable from a test in the same process ----

// Back to the cable the environment describes: plug, identity, faults,
// erased flash, no lock bits.
__declspec(dllexport) VOID WINAPI Ch375SimReset() {
    std::lock_guard lock(g_mutex);
    library().configure();
}

__declspec(dllexport) VOID WINAPI Ch375SimPlug(BOOL plugged) {
    std::lock_guard lock(g_mutex);
    library().api.plug(plugged != FALSE);
}

__declspec(dllexport) BOOL WINAPI Ch375SimSetFaults(LPCSTR faults) {
    std::lock_guard lock(g_mutex);
    auto parsed = tarn::sim::parse_faults(faults ? faults : "");
    if (!parsed) return FALSE;
    library().cable.clear_faults();
    for (const auto& f : *parsed) library().cable.add_fault(f);
    return TRUE;
}

__declspec(dllexport) INT WINAPI Ch375SimFlashByte(ULONG address) {
    std::lock_guard lock(g_mutex);
    const auto& flash = library().cable.flash;
    return address < flash.size() ? flash[address] : -1;
}

__declspec(dllexport) VOID WINAPI Ch375SimSetFlashByte(ULONG address, BYTE value) {
    std::lock_guard lock(g_mutex);
    auto& flash = library().cable.flash;
    if (address < flash.size()) flash[address] = value;
}

__declspec(dllexport) ULONG WINAPI Ch375SimLockBits() {
    std::lock_guard lock(g_mutex);
    const auto& bits = library().cable.lock_bits;
    return (bits[0] ? 1u : 0u) | (bits[1] ? 2u : 0u) | (bits[2] ? 4u : 0u);
}

__declspec(dllexport) ULONG WINAPI Ch375SimFrames() {
    std::lock_guard lock(g_mutex);
    return static_cast<ULONG>(library().cable.frames.size());
}

} // extern "C"
