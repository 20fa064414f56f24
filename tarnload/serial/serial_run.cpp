#include "serial/serial_run.h"

#include <algorithm>
#include <vector>

#include "image/hex_digits.h"
#include "serial/isp_records.h"
#include "serial/serial_link.h"
#include "shell/form1.h"

namespace tarn {

namespace {

constexpr std::string_view kCommError = "通讯错误！";
constexpr std::string_view kNoHexFile = "请打开写入芯片的十六进制文件！\r\nPHILIPS单片机只能识别inter的十六进制文件";

bool is_v51(const Form1& f) { return f.text(Ctl::Combo2) == "P89V51RD2"; }

void close_port(Form1& f) {
    if (f.MSComm1.is_open()) f.MSComm1.close_port();
}

std::vector<uint8_t> take_all(Form1& f) { return f.MSComm1.read_all(); }

// The loader ends every answer with CR LF. An answer is taken only once
// its line end is in (or after a short grace), so that no tail of it is left
// to arrive in the middle of the next exchange.
constexpr uint32_t kLineEndGraceMs = 20;

std::vector<uint8_t> take_answer(Form1& f, std::size_t whole) {
    f.MSComm1.wait_input(static_cast<uint32_t>(whole), kLineEndGraceMs);
    return take_all(f);
}


// ---------------------------------------------------------------- contact

bool probe(Form1& f) {
    if (is_v51(f)) {
        // Its loader listens only briefly after a reset: the user presses
        // reset while the wait window keeps probing.
        if (probe_once(f)) return true;
        f.view().show_wait_window();
        return f.xin_ok;
    }
    for (int k = 0; k <= 30; ++k) {
        if (probe_once(f)) return true;
    }
    std::string text = "请检查COM通讯是否连接；是否打开电源；下载开关是否设置正确；计算机COM口选择是否正确；如使用USB转COM通讯线，请参考其使用说明；";
    f.set_text(Ctl::Text3, text);
    f.set_text(Ctl::Text3, text + "如果检查设置正确后，请按单片机复位键后重新开始。");
    f.box("通讯失败！\r\n请检查COM通讯是否连接，是否打开电源？......\r\n请按单片机复位键后重新开始。");
    close_port(f);
    return false;
}

bool identify(Form1& f) {
    std::string identity;
    const int reads = is_v51(f) ? 2 : 3;
    for (int k = 0; k < reads; ++k) {
        f.com_cmd = std::string(isp::kReadId[static_cast<std::size_t>(k)]);
        com_send(f);
        if (f.com_dack.empty()) {
            f.box("通讯错误！\r\n不能识别芯片");
            return false;
        }
        std::string reply;
        for (std::size_t i = 0; i + 1 < f.com_dack.size(); i += 2) {
            reply.push_back(static_cast<char>(hex_value(f.com_dack[i]) * 16 + hex_value(f.com_dack[i + 1])));
        }
        if (reply.back() != '.') {
            f.box(kCommError);
            return false;
        }
        int value = -1;
        if (reply.size() >= 3) {
            const char hi = reply[reply.size() - 3], lo = reply[reply.size() - 2];
            identity += hi;
            identity += lo;
            if (hex_value(hi) >= 0 && hex_value(lo) >= 0) value = hex_value(hi) * 16 + hex_value(lo);
        }
        if (value != f.chip_id[static_cast<std::size_t>(k)]) {
            f.box(std::to_string(k) + "芯片与选择的型号不配！");
            return false;
        }
    }
    std::string name = identity;
    if (identity == "15C28F") name = "P89C51RA2X";
    else if (identity == "15C282") name = "P89C51RD2X";
    else if (identity == "15C280") name = "P89C51RD2HX";
    else if (identity == "BF91") name = "P89V51RD2";
    f.set_text(Ctl::Text3, "识别芯片成功！\r\n" + name);
    return true;
}

bool erase(Form1& f) {
    f.set_status("正在擦除，请稍候......");
    const std::string_view record = is_v51(f) ? isp::kEraseV51 : isp::kErase;
    flush_input(f);
    send_record(f, record, 10);
    const std::size_t len = record.size();
    int32_t limit = 1000;
    if (is_v51(f)) limit = 4000;
    else if (f.chip_top == 0x1FFF) limit = 2500;
    else if (f.chip_top == 0xFFFF) limit = 4000;
    f.set_progress_range(0, limit);
    for (int32_t k = 0; k <= limit; ++k) {
        if (f.MSComm1.input_count() > len) {
            const std::vector<uint8_t> reply = take_answer(f, len + 3);
            if (reply.size() > len && reply[len] == '.') {
                f.set_progress_value(limit);
                f.set_status("擦除完成！");
                f.set_progress_value(0);
                return true;
            }
        }
        f.clock().sleep_ms(10);
        f.set_progress_value(k);
    }
    f.box("通讯错误！\r\n不能识别芯片");
    f.set_status("擦除失败！");
    f.set_progress_value(0);
    return false;
}

// ---------------------------------------------------------------- programming

// Waits for the acknowledgement of a record of `len` characters once at
// least `count` bytes are in: false, with the time-out reported, when the
// chip stops answering.
enum class Ack { Yes, No, TimedOut };

Ack acknowledgement(Form1& f, std::size_t len, std::size_t count) {
    if (!f.MSComm1.wait_input(static_cast<uint32_t>(count), kWatchdogMs)) {
        f.set_status("编程失败！");
        f.set_text(Ctl::Text3, "编程失败！\r\n编程超时.....");
        f.set_progress_value(0);
        return Ack::TimedOut;
    }
    // The echo of the record, then ".", CR and LF.
    return isp::acknowledged(take_answer(f, len + 3), len) ? Ack::Yes : Ack::No;
}

// Whether an acknowledgement lets programming go on; a refusal shows
// `refused` and ends the run as failed (a time-out has been reported).
bool accepted(Form1& f, Ack ack, std::string_view refused) {
    if (ack == Ack::Yes) return true;
    if (ack == Ack::No) {
        f.box(refused);
        f.set_status("编程失败！");
        f.set_progress_value(0);
    }
    return false;
}

bool finishing_record(Form1& f, std::string_view record, std::string_view refused) {
    flush_input(f);
    send_chars(f, record, 5, /*clear_each=*/true);
    f.clock().sleep_ms(10);
    return accepted(f, acknowledgement(f, record.size(), record.size() + 1), refused);
}

// One record of the HEX file (or the single finishing record), sent whole
// after `pause_ms` and acknowledged after its echo, ".", CR and LF.
bool program_record(Form1& f, std::string_view record, uint32_t pause_ms) {
    flush_input(f);
    f.MSComm1.clear_output();
    send_record(f, record, pause_ms);
    return accepted(f, acknowledgement(f, record.size(), record.size() + 3), "编程应答错误！");
}

bool no_hex_file(Form1& f) {
    // A HEX file of one line or none, a binary file or a read-back: no lines
    // to send.
    if (f.image.str_len > 0) return false;
    f.box(kNoHexFile);
    return true;
}

// ---------------------------------------------------------------- verification

bool same_character(char reply, char line) {
    // Hexadecimal digits may be written in either case.
    if (hex_value(reply) >= 0 && hex_value(line) >= 0) return hex_value(reply) == hex_value(line);
    return reply == line;
}

// Milliseconds left before the watchdog armed for the current record expires.
uint32_t watchdog_left(Form1& f) {
    const uint64_t elapsed = f.clock().now_ms() - f.squ_armed_ms;
    return elapsed >= kWatchdogMs ? 0 : static_cast<uint32_t>(kWatchdogMs - elapsed);
}

bool wait_watched(Form1& f, std::size_t count) {
    if (f.MSComm1.wait_input(static_cast<uint32_t>(count), watchdog_left(f))) return true;
    f.err_pd = true;
    return false;
}

enum class Verified { Ok, Failed, End };

Verified verify_line(Form1& f, const std::string& line) {
    const std::string type = line.size() >= 9 ? line.substr(7, 2) : std::string();
    if (type == "01") return Verified::End;
    if (type != "00") {
        f.set_status("校验失败！");
        f.set_progress_value(0);
        f.box("不能识别十六进制文件格式");
        return Verified::Failed;
    }
    // LL and the address field as the line has them (the address digits are
    // copied into the record unchanged).
    const int ll_hi = hex_value(line[1]), ll_lo = hex_value(line[2]);
    const std::string s_digits = line.substr(3, 4);
    unsigned s = 0;
    for (char c : s_digits) s = s * 16 + static_cast<unsigned>(std::max(hex_value(c), 0));
    const int32_t count = ll_hi < 0 || ll_lo < 0 ? 0 : ll_hi * 16 + ll_lo;
    const auto built = isp::type04(s_digits, static_cast<uint16_t>((s + static_cast<unsigned>(count) - 1) & 0xFFFF), 0);
    if (ll_hi < 0 || ll_lo < 0 || !built) {
        f.set_status("校验失败！");
        f.set_progress_value(0);
        f.box("不能识别十六进制文件格式");
        return Verified::Failed;
    }
    const std::string& record = *built;

    flush_input(f);
    f.MSComm1.clear_output();
    send_record(f, record, 10);
    if (!wait_watched(f, record.size())) {
        f.box("校验接收应答超时!");
        return Verified::Failed;
    }
    flush_input(f);  // the echo
    f.clock().sleep_ms(10);
    f.MSComm1.clear_output();
    const uint8_t cr = 0x0D;
    f.MSComm1.write(std::span<const uint8_t>(&cr, 1));
    f.MSComm1.wait_sent(kSendWaitMs);
    f.clock().sleep_ms(50);
    if (!wait_watched(f, 2 * static_cast<std::size_t>(count) + 8)) {
        f.box("校验接收应答超时!!");
        return Verified::Failed;
    }
    f.clock().sleep_ms(500);
    const std::vector<uint8_t> reply = take_all(f);

    // The data digits start at position 7 (the CR's echo, four address
    // digits and "="); each further line costs 7 more (CR LF, digits, "=").
    std::size_t p = 7, q = 9;
    for (int32_t i = 0; i < 2 * count; ++i) {
        if (p < reply.size() && reply[p] == 0x0D) p += 7;
        if (p >= reply.size() || q >= line.size() || !same_character(static_cast<char>(reply[p]), line[q])) {
            f.set_text(Ctl::Text3, "数据校验错误！");
            return Verified::Failed;
        }
        ++p;
        ++q;
    }
    return Verified::Ok;
}

} // namespace

// ---------------------------------------------------------------- the run

void serial_run(Form1& f) {
    f.set_text(Ctl::Text3, "");
    if (!port_setup(f)) return;
    if (!probe(f)) return;  // the wait window's Cancel leaves the port open
    if (!identify(f)) {
        close_port(f);
        return;
    }
    if (f.ticked(8)) {
        serial_read(f);  // goes on in the background and closes the port itself
        return;
    }
    if (f.ticked(1) && !erase(f)) {
        close_port(f);
        return;
    }
    if (f.ticked(2)) serial_blank(f);
    if (f.ticked(3)) {
        serial_program(f);
        if (!f.do_ok) {
            close_port(f);
            return;
        }
    }
    if (f.ticked(4)) serial_verify(f);
    close_port(f);
}

void serial_blank(Form1& f) {
    f.do_ok = false;
    const std::string record = isp::type04(0, static_cast<uint16_t>(f.chip_top), 0x01);
    f.set_status("正在验空,请稍候......");
    flush_input(f);
    send_chars(f, record, 1);
    flush_echo(f, record.size());
    f.clock().sleep_ms(50);
    const uint8_t lf = 0x0A;
    f.MSComm1.write(std::span<const uint8_t>(&lf, 1));
    f.MSComm1.wait_sent(kSendWaitMs);

    int32_t limit = 1000;
    if (f.chip_top == 0x1FFF) limit = 2000;
    else if (f.chip_top == 0xFFFF) limit = 3000;
    f.set_progress_range(0, limit);
    std::size_t n = 0;
    bool answered = false;
    for (int32_t k = 0; k <= limit; ++k) {
        n = f.MSComm1.input_count();
        if (n > 2) {
            answered = true;
            break;
        }
        f.clock().sleep_ms(1);
        f.set_progress_value(k);
    }
    const bool is_blank = answered && isp::blank(take_all(f), n);
    f.set_status(is_blank ? "验空完成,全空" : "不全为空");
    f.set_progress_value(0);
}

void serial_program(Form1& f) {
    f.do_ok = false;
    flush_input(f);
    send_chars(f, isp::kBeforeData, 10);
    f.clock().sleep_ms(50);
    const std::size_t setup_len = isp::kBeforeData.size();
    const Ack setup = acknowledgement(f, setup_len, setup_len + 2);
    if (setup == Ack::TimedOut) return;
    if (setup == Ack::No) {
        f.box("编程设置错误！");
        return;
    }
    if (no_hex_file(f)) return;

    const int32_t last = f.image.str_len;
    f.set_status("正在编程，请稍候......");
    f.set_progress_range(0, last);
    for (int32_t j = 0; j <= last; ++j) {
        if (!f.com_err) {
            f.set_status("编程失败！");
            f.set_progress_value(0);
            return;
        }
        if (!program_record(f, f.image.hex_lines[static_cast<std::size_t>(j)], 50)) return;
        f.set_progress_value(j);
        f.set_status("正在编程，请稍候......" + std::to_string(last) + "-" + std::to_string(j));
    }

    // The loader of a model named "P89V51RD" would take one finishing record;
    // no model of the list bears that name, so all of them get the two.
    if (f.text(Ctl::Combo2) == "P89V51RD") {
        if (!program_record(f, isp::kFinishV51, 20)) return;
    } else {
        if (!finishing_record(f, isp::kFinish1, "编程设置错误!!")) return;
        f.clock().sleep_ms(200);
        if (!finishing_record(f, isp::kFinish2, "编程设置错误!!!")) return;
    }
    f.set_status("编程成功！");
    f.set_progress_value(0);
    f.do_ok = true;
}

void serial_verify(Form1& f) {
    if (no_hex_file(f)) return;
    const int32_t last = f.image.str_len;
    f.do_ok = false;
    f.set_status("正在校验，请稍候......");
    f.set_progress_range(0, last);
    f.set_squ_interval(kWatchdogMs);
    f.err_js = true;

    bool ok = true;
    for (int32_t k = 0; k <= last; ++k) {
        // The watchdog, armed anew for each record.
        f.set_squ_timer(false);
        f.set_squ_interval(kWatchdogMs);
        f.err_pd = false;
        f.set_squ_timer(true);
        const Verified v = verify_line(f, f.image.hex_lines[static_cast<std::size_t>(k)]);
        if (v == Verified::End) break;
        if (v == Verified::Failed) {
            ok = false;
            break;
        }
        f.set_progress_value(k);
        f.set_status("正在校验，请稍候......" + std::to_string(last) + "-" + std::to_string(k));
    }
    f.set_squ_timer(false);
    f.err_js = false;
    f.set_status(ok ? "校验成功！" : "校验失败！");
    f.set_progress_value(0);
    f.do_ok = ok;
}

void serial_read(Form1& f) {
    f.rd_len = isp::read_back_length(f.chip_top);
    f.set_progress_range(0, f.rd_len);
    const std::string record = isp::type04(0, static_cast<uint16_t>(f.chip_top), 0x00);
    flush_input(f);
    send_chars(f, record, 1);
    flush_echo(f, record.size());
    f.clock().sleep_ms(100);
    f.set_status("正在读！请稍候......");
    f.set_enabled(Ctl::start, false);
    f.rd_len_js = 0;
    f.rd_str.clear();
    f.MSComm1.set_receive_notify(true);
    f.set_squ_timer(true);
    const uint8_t cr = 0x0D;
    f.MSComm1.write(std::span<const uint8_t>(&cr, 1));
    f.MSComm1.wait_sent(kSendWaitMs);
}

void read_back_complete(Form1& f, const std::string& reply) {
    int32_t a = 0;
    std::size_t start = 0;
    while (start <= reply.size()) {
        std::size_t end = reply.find("\r\n", start);
        if (end == std::string::npos) end = reply.size();
        std::string piece = reply.substr(start, end - start);
        start = end + 2;
        const auto first = piece.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        piece = piece.substr(first, piece.find_last_not_of(' ') - first + 1);

        const auto eq = piece.find('=');
        const std::string data = eq == std::string::npos ? std::string() : piece.substr(eq + 1);
        const bool two_parts = eq != std::string::npos && data.find('=') == std::string::npos;
        const bool digits = std::all_of(data.begin(), data.end(), [](char c) { return hex_value(c) >= 0; });
        if (!two_parts || !digits) {
            f.box("接收数据格式不正确");
            close_port(f);
            f.set_status("读失败！");
            return;
        }
        const int32_t bytes = isp::round_half_even(static_cast<double>(data.size()) / 2.0);
        for (int32_t i = 0; i < bytes; ++i) {
            const std::size_t at = 2 * static_cast<std::size_t>(i);
            int v = hex_value(data[at]);
            if (at + 1 < data.size()) v = v * 16 + hex_value(data[at + 1]);
            if (a < CodeImage::kSize) f.image.rom_data[static_cast<std::size_t>(a)] = static_cast<uint8_t>(v);
            ++a;
        }
    }
    f.image.str_len = 0;
    f.image.data_len = f.chip_top;
    f.grid_fill();
    f.set_status("读完成！");
    f.set_progress_value(0);
    close_port(f);
}

} // namespace tarn
