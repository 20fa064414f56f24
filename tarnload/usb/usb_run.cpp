#include "usb/usb_run.h"

#include <array>
#include <string>

#include "image/hex_digits.h"
#include "shell/form1.h"
#include "usb/usb_link.h"

namespace tarn {

namespace {

constexpr std::string_view kReadFailed = "CH375ReadData 上传数据失败";
constexpr std::string_view kRejected = "USB设备应答错误";
constexpr std::string_view kIdRejected = "USB设备应答错误xx";

// One pass of the USB programming run. Every step that fails has shown its
// box and ends the run where it is; the status text, the message window and
// the progress bar stay as the step left them.
class UsbRun {
public:
    explicit UsbRun(Form1& form) : f_(form), link_(form.usb), clock_(form.clock()) {}

    void run() {
        if (!link_.usb_test()) {
            f_.box("没有检测到USB下载线......\r\n请检测USB通讯线是否连接好！");
            return;
        }
        f_.set_status("通讯成功！");

        link_.send_prog_enable();
        if (!read_reply(3, kRejected, BoxIcon::Warning, /*enable=*/true)) return;
        clock_.sleep_ms(100);

        if (!identify()) return;
        result_ = true;

        if (ticked(8)) {
            if (!read_chip()) return;
        } else if (!operations()) {
            return;
        }
        f_.set_status(result_ ? "操作完成！" : "操作失败！");
        f_.set_progress_value(0);
    }

private:
    bool ticked(int n) const { return f_.value(check_box(n)) == 1; }

    void address(int32_t a) {
        f_.adder_l = static_cast<uint8_t>(a & 0xFF);
        f_.adder_h = static_cast<uint8_t>((a >> 8) & 0xFF);
    }

    // Reads the reply to the command just sent. A reply is accepted when its
    // first byte is 0xA5 or its second 0x5A (the one to programming enable
    // also when its third is 0x69). Bytes the cable did not send count as 0,
    // and a reply too short to carry its data byte is not accepted, so a
    // short reply can never pass for data.
    bool read_reply(uint32_t wanted, std::string_view rejected, BoxIcon read_icon = BoxIcon::None, bool enable = false) {
        reply_.fill(0);
        uint32_t received = 0;
        if (!link_.usb_read(reply_.data(), wanted, received)) {
            f_.box(kReadFailed, kInfoTitle, read_icon);
            return false;
        }
        const bool whole = received >= 3;
        const bool ok = whole && (reply_[0] == 0xA5 || reply_[1] == 0x5A || (enable && reply_[2] == 0x69));
        if (!ok) {
            f_.box(rejected);
            return false;
        }
        return true;
    }

    bool identify() {
        std::array<uint8_t, 5> id{};
        for (int i = 0; i < 5; ++i) {
            f_.adder_l = static_cast<uint8_t>(i);
            f_.adder_h = 0;
            link_.send_read_id();
            if (!read_reply(3, kIdRejected)) return false;
            id[static_cast<std::size_t>(i)] = reply_[2];
            clock_.sleep_ms(200);
        }
        for (std::size_t i = 0; i < id.size(); ++i) {
            if (id[i] != f_.chip_id[i]) {
                report_wrong_chip(id);
                return false;
            }
        }
        return true;
    }

    void report_wrong_chip(const std::array<uint8_t, 5>& read) {
        auto joined = [](auto bytes) {
            std::string s;
            for (std::size_t i = 0; i < 5; ++i) {
                if (i) s += '*';
                s += hex_plain(bytes[i]);
            }
            return s;
        };
        std::string text = "芯片ID号：" + joined(f_.chip_id) + "\r\n";
        f_.set_text(Ctl::Text3, text);
        text += "读出ID号：" + joined(read) + "\r\n";
        f_.set_text(Ctl::Text3, text);
        text += "请将单片机选择开关拔到“C51”一侧！并按住“复位”键";
        f_.set_text(Ctl::Text3, text);
        f_.box("芯片ID号错误！\r\n请选择正确的芯片型号。");
    }

    // A read excludes every other operation of the run.
    bool read_chip() {
        f_.set_status("正在读，请稍后...");
        f_.set_progress_range(0, f_.chip_top);
        for (int32_t a = 0; a <= f_.chip_top; ++a) {
            address(a);
            link_.send_read_byte();
            if (!read_reply(kFrameSize, kRejected)) return false;
            if (a < CodeImage::kSize) f_.image.rom_data[static_cast<std::size_t>(a)] = reply_[2];
            f_.set_progress_value(a);
        }
        f_.image.data_len = f_.chip_top;
        f_.grid_fill();
        f_.set_status("读完成！");
        return true;
    }

    bool operations() {
        if (ticked(1)) {
            f_.set_status("正在擦除，请稍后...");
            link_.send_erase();
            if (!read_reply(kFrameSize, kRejected)) return false;
            f_.set_status("擦除完成！");
        }
        clock_.sleep_ms(300);
        f_.set_text(Ctl::Text3, "");
        if (ticked(2) && !blank_check()) return false;
        clock_.sleep_ms(300);
        if (ticked(3) && !program()) return false;
        clock_.sleep_ms(300);
        if (ticked(4) && !verify()) return false;
        for (int bit = 1; bit <= 3; ++bit) {
            clock_.sleep_ms(300);
            if (ticked(4 + bit) && !lock(bit)) return false;
        }
        return true;
    }

    bool blank_check() {
        f_.set_status("正在验空，请稍后...");
        f_.set_progress_range(0, f_.chip_top);
        std::string text = f_.text(Ctl::Text3);
        for (int32_t a = 0; a <= f_.chip_top; ++a) {
            address(a);
            link_.send_read_byte();
            if (!read_reply(kFrameSize, kRejected)) return false;
            f_.c51_dat = reply_[2];
            if (f_.c51_dat != 0xFF) {
                if (a < 0x10) text += '0';
                text += hex_plain(static_cast<uint32_t>(a));
                text += "H：";
                append_hex2(text, f_.c51_dat);
                text += " -- ";
                f_.set_text(Ctl::Text3, text);
            }
            f_.set_progress_value(a);
        }
        f_.set_status("验空完成！");
        return true;
    }

    bool program() {
        if (f_.image.data_len > f_.chip_top) {
            f_.box("文件长度大于芯片范围！");
            return false;
        }
        f_.set_status("正在编程，请稍后...");
        if (f_.image.data_len == 0) {
            f_.box("请选择需写入的文件！");
            return false;
        }
        f_.set_progress_range(0, f_.image.data_len);
        for (int32_t a = 0; a <= f_.image.data_len; ++a) {
            f_.c51_dat = f_.image.rom_data[static_cast<std::size_t>(a)];
            address(a);
            link_.send_write_byte();
            if (!read_reply(kFrameSize, kRejected)) return false;
            f_.set_progress_value(a);
        }
        f_.set_status("编程完成！");
        return true;
    }

    bool verify() {
        f_.set_status("正在校验，请稍后...");
        f_.set_text(Ctl::Text3, "");
        f_.set_progress_range(0, f_.image.data_len);
        std::string text;
        const int32_t last = std::min(f_.image.data_len, CodeImage::kSize - 1);
        for (int32_t a = 0; a <= last; ++a) {
            address(a);
            link_.send_read_byte();
            if (!read_reply(kFrameSize, kRejected)) return false;
            const uint8_t want = f_.image.rom_data[static_cast<std::size_t>(a)];
            if (want != reply_[2]) {
                result_ = false;
                text += hex_plain(static_cast<uint32_t>(a)) + "：" + hex_plain(want) + "-" + hex_plain(reply_[2]) + "  ";
                f_.set_text(Ctl::Text3, text);
            }
            f_.set_progress_value(a);
        }
        f_.set_status("校验完成！");
        return true;
    }

    bool lock(int bit) {
        f_.set_status("正在加密位" + std::to_string(bit) + "，请稍后...");
        f_.adder_l = static_cast<uint8_t>(bit);
        link_.send_write_lock();
        if (!read_reply(kFrameSize, kRejected)) return false;
        f_.set_status("加密完成！");
        return true;
    }

    Form1& f_;
    UsbLink& link_;
    Clock& clock_;
    bool result_ = false;
    std::array<uint8_t, kFrameSize> reply_{};
};

} // namespace

void usb_run(Form1& form) { UsbRun(form).run(); }

} // namespace tarn
