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
    notify_registered_ = api_.SetDeviceNotify(usb_index, [&form](uint32_t status) { form.post_usb_notify(status); });
    if (!notify_registered_) form_.box("设置监视CH372/CH375设备插拔失败", kAppTitle);
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

UsbLink::~UsbLink() {
    if (notify_registered_) api_.SetDeviceNotify(usb_index, {});
}

void UsbLink::usb_stop() {
    notify_registered_ = false;
    api_.SetDeviceNotify(usb_index, {});
    api_.SetIntRoutine(usb_index);
    api_.CloseDevice(usb_index);
}

bool UsbLink::write_frame(uint32_t& written) {
    written = kFrameSize;
    return api_.WriteData(usb_index, frame.data(), written);
}

bool UsbLink::usb_send(uint8_t code, uint8_t p2, uint8_t p3, uint8_t p4, uint8_t p5, uint8_t p6) {
    frame = {code, static_cast<uint8_t>(0xFF - code), p2, p3, p4, p5, p6};
    usb_ok = false;
    uint32_t written = 0;
    if (write_frame(written) && written == kFrameSize) {
        usb_ok = true;
    } else {
        form_.box("CH375WriteData 失败", kAppTitle);
    }
    return usb_ok;
}

bool UsbLink::usb_read(uint8_t* buffer, uint32_t wanted, uint32_t& received) {
    received = wanted;
    return api_.ReadData(usb_index, buffer, received);
}

bool UsbLink::usb_test() {
    usb_ok = false;
    if (!usb_present) return false;
    frame = {DEF_CMD_TEST, static_cast<uint8_t>(0xFF - DEF_CMD_TEST), 0x5A, 0x96, 0xF3, 0x4C, 0x39};
    uint32_t written = 0;
    if (!write_frame(written)) {
        form_.box("CH375WriteData 失败");
        return false;
    }
    std::array<uint8_t, 64> reply{};
    uint32_t received = 0;
    if (!usb_read(reply.data(), static_cast<uint32_t>(reply.size()), received)) {
        form_.box("CH375ReadData 失败");
        return false;
    }
    if (received != kFrameSize) {
        form_.box("CH375数据测试返回的长度错误");
        return false;
    }
    if (reply[0] == 0x6C && reply[2] == 0xA5 && reply[3] == 0x69) {
        form_.set_text(Ctl::Text3, "USB通讯成功");
        usb_ok = true;
    } else {
        form_.box("通过USB传输的数据有错误");
    }
    return usb_ok;
}

int32_t UsbLink::usb_upload(uint8_t* dest, int32_t n) {
    if (n > kMaxUpload) {
        form_.box("单次上传数据长度超过1024字节");
        return 0;
    }
    // A negative length would ask the library for billions of bytes.
    if (n < 0) return 0;
    // The first frame keeps the parameter bytes of the frame before it.
    frame[0] = DEF_CMD_CLEAR_UP;
    frame[1] = static_cast<uint8_t>(0xFF - DEF_CMD_CLEAR_UP);
    uint32_t written = 0;
    if (!write_frame(written)) {
        form_.box("CH375WriteData 发送命令失败,DEF_CMD_CLEAR_UP");
        return 0;
    }
    frame = {DEF_CMD_UP_DATA, static_cast<uint8_t>(0xFF - DEF_CMD_UP_DATA), 0x03, 0x00, 0x00,
             static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
    if (!write_frame(written)) {
        form_.box("CH375WriteData 发送命令失败,DEF_CMD_UP_DATA");
        return 0;
    }
    uint32_t received = 0;
    if (!usb_read(dest, static_cast<uint32_t>(n), received)) {
        form_.box("CH375ReadData 上传数据失败");
        return 0;
    }
    return static_cast<int32_t>(received);
}

void UsbLink::send_prog_enable() { usb_send(DEF_CMD_PROG_ENABLE, 0, 0, 0, 0, 0); }

void UsbLink::send_read_id() { usb_send(DEF_CMD_READ_ID, 0, form_.adder_l, 0, 0, 0); }

void UsbLink::send_erase() { usb_send(DEF_CMD_ERASE, 0, 0, 0, 0, 0); }

void UsbLink::send_read_byte() { usb_send(DEF_CMD_READ_BYTE, 0, form_.adder_l, form_.adder_h, 0, 0); }

void UsbLink::send_write_byte() { usb_send(DEF_CMD_WRITE_BYTE, 0, form_.adder_l, form_.adder_h, form_.c51_dat, 0); }

void UsbLink::send_write_lock() { usb_send(DEF_CMD_WRITE_LOCK, 0, form_.adder_l, 0, 0, 0); }

void UsbLink::send_ae() { usb_send(DEF_CMD_AE, 0, 0, 0, 0, 0); }

} // namespace tarn
