#include "serial/serial_link.h"

#include <string>
#include <vector>

#include "image/hex_digits.h"
#include "serial/serial_run.h"
#include "shell/form1.h"

namespace tarn {

namespace {

std::string trim_spaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

void write_byte(Form1& f, uint8_t b) { f.MSComm1.write(std::span<const uint8_t>(&b, 1)); }

void wait_sent(Form1& f) { f.MSComm1.wait_sent(kSendWaitMs); }

} // namespace

void flush_input(Form1& f) { (void)f.MSComm1.read_all(); }

void flush_echo(Form1& f, std::size_t len) {
    constexpr uint32_t kEchoWaitMs = 1000;
    f.MSComm1.wait_input(static_cast<uint32_t>(len), kEchoWaitMs);
    flush_input(f);
}

bool port_setup(Form1& f) {
    SerialPort& port = f.MSComm1;
    port.set_binary_input();
    port.set_settings(trim_spaces(f.text(Ctl::Combo4)) + ",N,8,1");
    const std::string port_name = f.text(Ctl::Combo3);
    for (std::size_t i = 0; i < kPortNames.size(); ++i) {
        if (port_name == kPortNames[i]) port.set_port(static_cast<int>(i) + 1);
    }
    port.open_port();
    if (!port.is_open()) {
        port.close_port();
        f.set_text(Ctl::Text3, port_name + "未找到或已被使用");
        return false;
    }
    f.set_text(Ctl::Text3, port_name + "打开");
    f.com_err = true;
    port.set_receive_notify(false);
    port.set_send_notify(false);
    flush_input(f);
    port.clear_input();
    port.clear_output();
    return true;
}

void com_send(Form1& f) {
    flush_input(f);
    for (char c : f.com_cmd) {
        write_byte(f, static_cast<uint8_t>(c));
        wait_sent(f);
        f.clock().sleep_ms(1);
    }
    f.clock().sleep_ms(200);
    const std::size_t n = f.MSComm1.input_count();
    const std::vector<uint8_t> bytes = f.MSComm1.read_all();
    // The last two bytes are the chip's line end.
    f.com_dack.clear();
    for (std::size_t i = 0; i + 3 <= n && i < bytes.size(); ++i) append_hex2(f.com_dack, bytes[i]);
}

void send_record(Form1& f, std::string_view record, uint32_t pause_ms) {
    f.MSComm1.write(std::span(reinterpret_cast<const uint8_t*>(record.data()), record.size()));
    wait_sent(f);
    f.clock().sleep_ms(pause_ms);
}

void send_chars(Form1& f, std::string_view record, uint32_t pause_ms, bool clear_each) {
    for (char c : record) {
        if (clear_each) f.MSComm1.clear_output();
        write_byte(f, static_cast<uint8_t>(c));
        wait_sent(f);
        f.clock().sleep_ms(pause_ms);
    }
}

bool probe_once(Form1& f) {
    flush_input(f);
    f.MSComm1.clear_output();
    write_byte(f, 0x55);
    wait_sent(f);
    f.clock().sleep_ms(50);
    const uint16_t n = f.MSComm1.input_count();
    const std::vector<uint8_t> bytes = f.MSComm1.read_all();
    return n > 0 && !bytes.empty() && bytes[0] == 0x55;
}

void serial_comm_event(Form1& f, int code) {
    SerialPort& port = f.MSComm1;
    if (code == kCommEventBreak) {
        port.clear_break();
        return;
    }
    if (code != kCommEventReceive) return;

    port.set_receive_notify(false);
    f.set_squ_timer(false);
    if (port.input_count() == 0) {
        // Nothing after all: stay armed for the next byte.
        port.set_receive_notify(true);
        f.set_squ_timer(true);
        return;
    }
    // Counted as taken: bytes that came between the count and the read
    // belong to the reply too.
    const std::vector<uint8_t> bytes = port.read_all();
    f.rd_len_js += static_cast<int32_t>(bytes.size());
    f.rd_str.append(bytes.begin(), bytes.end());
    const std::string count = std::to_string(f.rd_len) + "--" + std::to_string(f.rd_len_js);
    if (f.rd_len_js < f.rd_len) {
        f.set_squ_interval(kWatchdogMs);
        f.set_text(Ctl::Text3, count);
        f.set_progress_value(f.rd_len_js);
        f.set_squ_timer(true);
        port.set_receive_notify(true);
        return;
    }
    f.set_text(Ctl::Text3, count);
    f.set_squ_interval(kWatchdogMs);
    f.set_enabled(Ctl::start, true);
    port.set_receive_notify(false);
    read_back_complete(f, f.rd_str);
}

void serial_watchdog_tick(Form1& f) {
    if (f.err_js) {
        // A verification is waiting; it reads this flag itself.
        f.err_pd = true;
        return;
    }
    // A read-back has stalled.
    f.set_squ_timer(false);
    f.MSComm1.set_receive_notify(false);
    f.set_enabled(Ctl::start, true);
    f.set_status("编程失败！");
    f.set_progress_value(0);
    f.set_text(Ctl::Text3, "编程失败！\r\n编程超时.....");
}

void wait_window_load(Form1& f) {
    f.xin_ok = false;
    f.view().set_wait_timer(true);
}

void wait_window_tick(Form1& f) {
    f.view().set_wait_timer(false);
    if (probe_once(f)) {
        f.xin_ok = true;
        f.view().set_wait_timer(false);
        f.view().close_wait_window();
        return;
    }
    f.view().set_wait_timer(true);
}

void wait_window_cancel(Form1& f) {
    f.view().set_wait_timer(false);
    f.xin_ok = false;
    f.view().close_wait_window();
}

void wait_window_unload(Form1& f) { f.view().set_wait_timer(false); }

} // namespace tarn
