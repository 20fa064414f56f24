#include "boot_loader_sim.h"

#include <algorithm>

namespace tarn::sim {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The bytes of a record's text after the ":", or nothing when a character is
// not a hexadecimal digit.
std::optional<std::vector<uint8_t>> record_bytes(const std::string& record) {
    if (record.size() < 11 || (record.size() - 1) % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (std::size_t i = 1; i + 1 < record.size(); i += 2) {
        const int hi = hex_value(record[i]), lo = hex_value(record[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

} // namespace

std::optional<LoaderModel> loader_model(std::string_view name) {
    if (name == "P89C51RA2X") return LoaderModel::P89C51RA2X;
    if (name == "P89C51RD2X") return LoaderModel::P89C51RD2X;
    if (name == "P89C51RD2HX") return LoaderModel::P89C51RD2HX;
    if (name == "P89V51RD2") return LoaderModel::P89V51RD2;
    return std::nullopt;
}

BootLoaderSim::BootLoaderSim(LoaderModel model) : model_(model) {
    const bool small = model == LoaderModel::P89C51RA2X;
    flash.assign(small ? 0x2000 : 0x10000, 0xFF);
    switch (model) {
    case LoaderModel::P89C51RA2X: identity = {0x15, 0xC2, 0x8F}; break;
    case LoaderModel::P89C51RD2X: identity = {0x15, 0xC2, 0x82}; break;
    case LoaderModel::P89C51RD2HX: identity = {0x15, 0xC2, 0x80}; break;
    case LoaderModel::P89V51RD2: identity = {0xBF, 0x91, 0x07}; break;
    }
    erase_ns = small ? 1'200'000'000ull : 3'500'000'000ull;
    blank_check_ns = small ? 150'000'000ull : 1'200'000'000ull;
}

void BootLoaderSim::reset(uint64_t t_ns) {
    state_ = State::Autobaud;
    reset_ns_ = t_ns;
    received_ = 0;
    in_record_ = false;
    record_.clear();
    pending_ = Pending::None;
}

std::string BootLoaderSim::hex2(uint8_t v) const {
    const char* digits = faults.lower_case ? "0123456789abcdef" : "0123456789ABCDEF";
    return {digits[v >> 4], digits[v & 0xF]};
}

void BootLoaderSim::reply(uint64_t at, std::string text, const Send& send) {
    if (faults.missing_dot) text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    std::string out = faults.stray;
    out += text;
    if (faults.stop_reply_after >= 0 && out.size() > static_cast<std::size_t>(faults.stop_reply_after)) {
        out.resize(static_cast<std::size_t>(faults.stop_reply_after));
    }
    send(at, out);
}

void BootLoaderSim::receive(uint8_t byte, uint64_t t, const Send& send) {
    ++received_;
    if (faults.silent_after_bytes >= 0 && received_ > faults.silent_after_bytes) return;
    if (state_ == State::Autobaud && model_ == LoaderModel::P89V51RD2 && t - reset_ns_ > autobaud_window_ns) {
        state_ = State::UserProgram;
    }
    if (state_ == State::UserProgram) return;
    if (state_ == State::Autobaud) {
        // The loader measures the bit times of "U" and answers it at that rate.
        if (byte == 0x55) {
            state_ = State::Ready;
            if (!faults.silent) send(t, "U");
        }
        return;
    }
    if (faults.silent) return;

    if (byte == '\r') {
        send(t + echo_ns, "\r\n");
        if (pending_ == Pending::Contents) {
            pending_ = Pending::None;
            show_contents(t, send);
        }
        return;
    }
    if (byte == '\n') {
        // Not echoed: it asks for the blank-check answer.
        if (pending_ == Pending::BlankCheck) {
            pending_ = Pending::None;
            const uint32_t end = std::min<uint32_t>(range_end_, static_cast<uint32_t>(flash.size() - 1));
            // Blank: "." and the line end; anything else: "N" and the line end.
            const bool blank = std::all_of(flash.begin() + range_start_, flash.begin() + end + 1, [](uint8_t b) { return b == 0xFF; });
            const std::string answer = blank ? ".\r\n" : "N\r\n";
            reply(t + blank_check_ns, answer, send);
        }
        return;
    }

    send(t + echo_ns, std::string(1, static_cast<char>(byte)));
    if (byte == ':') {
        in_record_ = true;
        record_.assign(1, ':');
        return;
    }
    if (!in_record_) return;
    record_.push_back(static_cast<char>(byte));
    if (record_.size() >= 3) {
        const int hi = hex_value(record_[1]), lo = hex_value(record_[2]);
        if (hi < 0 || lo < 0) {
            in_record_ = false;
            reply(t + command_ns, "X\r\n", send);
            return;
        }
        if (record_.size() == 11u + 2u * static_cast<unsigned>(hi * 16 + lo)) {
            in_record_ = false;
            handle_record(record_, t, send);
        }
    }
}

void BootLoaderSim::handle_record(const std::string& record, uint64_t t, const Send& send) {
    const auto bytes = record_bytes(record);
    unsigned sum = 0;
    if (bytes) {
        for (uint8_t b : *bytes) sum += b;
    }
    if (!bytes || (sum & 0xFF) != 0) {
        reply(t + command_ns, "X\r\n", send);
        return;
    }
    records.push_back(record);
    if (std::find(faults.ignore.begin(), faults.ignore.end(), record) != faults.ignore.end()) return;
    if (std::find(faults.refuse.begin(), faults.refuse.end(), record) != faults.refuse.end()) {
        reply(t + command_ns, "X\r\n", send);
        return;
    }
    const std::vector<uint8_t>& b = *bytes;
    const std::size_t n = b[0];
    const uint32_t address = static_cast<uint32_t>(b[1]) << 8 | b[2];
    const uint8_t type = b[3];
    const uint8_t* data = b.data() + 4;

    switch (type) {
    case 0x00: {
        for (std::size_t i = 0; i < n; ++i) {
            const uint32_t a = address + static_cast<uint32_t>(i);
            if (a >= flash.size()) {
                reply(t + command_ns, "X\r\n", send);
                return;
            }
            flash[a] &= data[i];  // flash programs by clearing bits
        }
        reply(t + record_ns + n * record_byte_ns, ".\r\n", send);
        return;
    }
    case 0x01:
    case 0x0B: reply(t + command_ns, ".\r\n", send); return;
    case 0x03: {
        const uint8_t function = n > 0 ? data[0] : 0xFF;
        const bool v51 = model_ == LoaderModel::P89V51RD2;
        if (function == 0x07 || function == 0x01) {
            if ((function == 0x01) != v51) {
                reply(t + command_ns, "X\r\n", send);
                return;
            }
            std::fill(flash.begin(), flash.end(), uint8_t{0xFF});
            reply(t + erase_ns, ".\r\n", send);
            return;
        }
        reply(t + command_ns, ".\r\n", send);
        return;
    }
    case 0x04:
        if (n < 5) break;
        range_start_ = static_cast<uint32_t>(data[0]) << 8 | data[1];
        range_end_ = static_cast<uint32_t>(data[2]) << 8 | data[3];
        pending_ = data[4] == 0x01 ? Pending::BlankCheck : Pending::Contents;
        return;  // the answer waits for the CR or the LF
    case 0x05:
        if (n >= 2 && data[0] == 0x00 && data[1] < identity.size()) {
            std::string answer = hex2(identity[data[1]]);
            answer += ".\r\n";
            reply(t + command_ns, answer, send);
            return;
        }
        break;
    default: break;
    }
    reply(t + command_ns, "X\r\n", send);
}

void BootLoaderSim::show_contents(uint64_t t, const Send& send) {
    std::string text;
    for (uint32_t a = range_start_; a <= range_end_ && a <= 0xFFFF; a += 16) {
        text += hex2(static_cast<uint8_t>(a >> 8));
        text += hex2(static_cast<uint8_t>(a));
        text += '=';
        for (uint32_t i = 0; i < 16; ++i) text += hex2(flash[(a + i) % flash.size()]);
        text += "\r\n";
    }
    if (faults.stop_contents_after >= 0 && text.size() > static_cast<std::size_t>(faults.stop_contents_after)) {
        text.resize(static_cast<std::size_t>(faults.stop_contents_after));
    }
    reply(t + command_ns, text, send);
}

} // namespace tarn::sim
