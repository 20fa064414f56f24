// One running copy of the program at a time: a second start brings the
// first copy's window forward and ends.
#pragma once

#include <windows.h>

namespace tarn::win {

// Holds the program-wide mutex whose existence tells a later start that a
// copy is running.
class SingleInstance {
public:
    SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // Whether another copy was running when this one started.
    bool another_running() const { return another_; }

private:
    HANDLE mutex_ = nullptr;
    bool another_ = false;
};

// Activates the running copy's window, found by the application title (the
// window whose title equals it, or failing that one whose title begins with
// it), restoring it when minimised. Waits a little for a copy that is still
// creating its window. False when there is none.
bool activate_running_instance();

} // namespace tarn::win
