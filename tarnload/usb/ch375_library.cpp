#include "usb/ch375_library.h"

namespace tarn::win {

namespace {

// The library's notification routine takes no context, so the routine it
// should reach is kept here; the library calls it on a thread of its own.
std::mutex g_routine_mutex;
Ch375Api::NotifyRoutine g_routine;

} // namespace

Ch375Library::~Ch375Library() {
    if (module_) FreeLibrary(module_);
}

VOID CALLBACK Ch375Library::notify_trampoline(ULONG status) {
    std::lock_guard lock(g_routine_mutex);
    if (g_routine) g_routine(status);
}

bool Ch375Library::bound() {
    if (!tried_) {
        tried_ = true;
        module_ = LoadLibraryW(L"CH375DLL.dll");
        if (module_) {
            auto bind = [this](auto& fn, const char* name) {
                fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                    reinterpret_cast<void*>(GetProcAddress(module_, name)));
                return fn != nullptr;
            };
            const bool all = bind(open_, "CH375OpenDevice") && bind(close_, "CH375CloseDevice") &&
                             bind(set_timeout_, "CH375SetTimeout") && bind(write_, "CH375WriteData") &&
                             bind(read_, "CH375ReadData") && bind(set_notify_, "CH375SetDeviceNotify") &&
                             bind(set_int_routine_, "CH375SetIntRoutine");
            if (!all) {
                FreeLibrary(module_);
                module_ = nullptr;
            }
        }
    }
    return module_ != nullptr;
}

int32_t Ch375Library::OpenDevice(uint32_t index) {
    if (!bound()) return kInvalidHandle;
    const HANDLE h = open_(index);
    if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
    // The program keeps the handle only to know the cable is open; every call
    // goes by device index.
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(h));
}

void Ch375Library::CloseDevice(uint32_t index) {
    if (bound()) close_(index);
}

bool Ch375Library::SetTimeout(uint32_t index, uint32_t write_ms, uint32_t read_ms) {
    return bound() && set_timeout_(index, write_ms, read_ms) != FALSE;
}

bool Ch375Library::WriteData(uint32_t index, const uint8_t* data, uint32_t& length) {
    if (!bound()) return false;
    ULONG n = length;
    const BOOL ok = write_(index, const_cast<uint8_t*>(data), &n);
    length = n;
    return ok != FALSE;
}

bool Ch375Library::ReadData(uint32_t index, uint8_t* buffer, uint32_t& length) {
    if (!bound()) return false;
    ULONG n = length;
    const BOOL ok = read_(index, buffer, &n);
    length = n;
    return ok != FALSE;
}

bool Ch375Library::SetDeviceNotify(uint32_t index, NotifyRoutine routine) {
    if (!bound()) return false;
    const bool unregister = !routine;
    {
        std::lock_guard lock(g_routine_mutex);
        g_routine = std::move(routine);
    }
    return set_notify_(index, nullptr, unregister ? nullptr : &Ch375Library::notify_trampoline) != FALSE;
}

bool Ch375Library::SetIntRoutine(uint32_t index) { return bound() && set_int_routine_(index, nullptr) != FALSE; }

} // namespace tarn::win
