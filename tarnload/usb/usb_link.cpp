#include "usb/usb_link.h"

#include "shell/form1.h"

namespace tarn {

void UsbLink::usb_start() {
    usb_index = 0;
    usb_handle = Ch375Api::kInvalidHandle;
    // The library calls the routine on a thread of its own; the window passes
    // the notification to its own thread, so a probe never runs in the middle
    // of a run that uses the cable.
    Form1& form = form_;
    const bool registered = api_.SetDeviceNotify(usb_index, [&form](uint32_t status) { form.post_usb_notify(status); });
    if (!registered) form_.box("设置监视CH372/CH375设备插拔失败", kAppTitle);
    usb_probe();
}

void UsbLink::usb_probe() {
    const int32_t h = api_.OpenDevice(usb_index);
    if (h != Ch375Api::kInvalidHandle) {
        usb_handle = h;
        api_.SetTimeout(usb_index, 3000, 3000);
        usb_present = true;
        form_.set_text(Ctl::Text3, "**CH372/CH375设备已插上");
    } else {
        if (usb_handle != Ch375Api::kInvalidHandle) api_.CloseDevice(usb_index);
        usb_handle = Ch375Api::kInvalidHandle;
        form_.set_text(Ctl::Text3, "**CH372/CH375设备已拔出");
        usb_present = false;
    }
}

void UsbLink::usb_notify(uint32_t /*status*/) {
    // Whatever happened, a fresh probe tells whether the cable is there now.
    usb_probe();
}

void UsbLink::usb_stop() {
    api_.SetDeviceNotify(usb_index, {});
    api_.SetIntRoutine(usb_index);
    api_.CloseDevice(usb_index);
}

} // namespace tarn
