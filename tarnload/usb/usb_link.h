// The link to the USB programmer cable: its presence, the device handle, and
// its life cycle over the vendor library (start-up, plug and unplug
// notifications, shut-down). State is per program: there is one cable.
#pragma once

#include <cstdint>

#include "usb/ch375_api.h"

namespace tarn {

class Form1;

class UsbLink {
public:
    UsbLink(Ch375Api& api, Form1& form) : api_(api), form_(form) {}

    // At window load: registers for plug notifications and probes once.
    void usb_start();
    // Opens the cable if it is there and reports its state in Text3.
    void usb_probe();
    // A plug or unplug notification, on the window's thread.
    void usb_notify(uint32_t status);
    // At exit: unregisters the notification and the interrupt routine and
    // closes the device, whatever state the link is in.
    void usb_stop();

    uint32_t usb_index = 0;
    int32_t usb_handle = Ch375Api::kInvalidHandle;
    bool usb_present = false;
    bool usb_ok = false;

private:
    Ch375Api& api_;
    Form1& form_;
};

} // namespace tarn
