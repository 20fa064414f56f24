// The link to the USB programmer cable: its presence, the device handle, the
// 7-byte command frame and its command set, the link test and the bulk
// upload, over the cable chip's vendor library. There is one cable and one
// link state for the whole program.
#pragma once

#include <array>
#include <cstdint>

#include "usb/ch375_api.h"

namespace tarn {

class Form1;

// Command codes of the cable; the frame's second byte is 0xFF minus the code.
inline constexpr uint8_t DEF_CMD_PROG_ENABLE = 0xA8;
inline constexpr uint8_t DEF_CMD_READ_ID = 0xA4;
inline constexpr uint8_t DEF_CMD_ERASE = 0xA3;
inline constexpr uint8_t DEF_CMD_READ_BYTE = 0xA5;
inline constexpr uint8_t DEF_CMD_WRITE_BYTE = 0xA6;
inline constexpr uint8_t DEF_CMD_WRITE_LOCK = 0xA7;
inline constexpr uint8_t DEF_CMD_TEST = 0x93;
inline constexpr uint8_t DEF_CMD_CLEAR_UP = 0xA0;
inline constexpr uint8_t DEF_CMD_UP_DATA = 0xA1;
// A command the cable offers that no operation of the program sends.
inline constexpr uint8_t DEF_CMD_AE = 0xAE;

inline constexpr uint32_t kFrameSize = 7;
inline constexpr int32_t kMaxUpload = 1024;

class UsbLink {
public:
    UsbLink(Ch375Api& api, Form1& form) : api_(api), form_(form) {}
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;
    // A window that goes without the shut-down calls still takes its
    // notification routine back, so the library never calls into it.
    ~UsbLink();

    // At window load: registers for plug notifications and probes once.
    void usb_start();
    // Opens the cable if it is there and reports its state in Text3.
    void usb_probe();
    // A plug or unplug notification, on the window's thread.
    void usb_notify(uint32_t status);
    // At exit: unregisters the notification and the interrupt routine and
    // closes the device, whatever state the link is in.
    void usb_stop();

    // Writes one command frame; usb_ok tells whether all 7 bytes went out.
    bool usb_send(uint8_t code, uint8_t p2, uint8_t p3, uint8_t p4, uint8_t p5, uint8_t p6);
    // Reads a reply of up to `wanted` bytes; false when the read failed.
    bool usb_read(uint8_t* buffer, uint32_t wanted, uint32_t& received);
    // The link test: a fixed frame and its fixed answer.
    bool usb_test();
    // Bulk upload of n bytes (at most 1024) into dest; the bytes received,
    // 0 on any failure.
    int32_t usb_upload(uint8_t* dest, int32_t n);

    // One sender per command, taking the address and data bytes from the
    // window's adder_l, adder_h and c51_dat where the command carries them.
    void send_prog_enable();
    void send_read_id();
    void send_erase();
    void send_read_byte();
    void send_write_byte();
    void send_write_lock();
    void send_ae();

    uint32_t usb_index = 0;
    int32_t usb_handle = Ch375Api::kInvalidHandle;
    bool usb_present = false;
    bool usb_ok = false;
    // The frame last built; one buffer shared by every sender.
    std::array<uint8_t, kFrameSize> frame{};

private:
    bool write_frame(uint32_t& written);

    Ch375Api& api_;
    Form1& form_;
    bool notify_registered_ = false;
};

} // namespace tarn
