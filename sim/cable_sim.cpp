#include "cable_sim.h"

#include <algorithm>
#include <charconv>

namespace tarn::sim {

namespace {

// Command codes as the cable knows them.
constexpr uint8_t kProgEnable = 0xA8, kReadId = 0xA4, kErase = 0xA3, kReadByte = 0xA5, kWriteByte = 0xA6,
                  kWriteLock = 0xA7, kTest = 0x93, kClearUp = 0xA0, kUpData = 0xA1, kAe = 0xAE;

std::vector<uint8_t> ack(uint8_t data) { return {0xA5, 0x5A, data, 0x00, 0x00, 0x00, 0x00}; }
std::vector<uint8_t> refusal() { return std::vector<uint8_t>(7, 0x00); }

bool parse_int(std::string_view s, int base, int& out) {
    if (s.empty()) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out, base);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

} // namespace

std::optional<std::vector<CableFault>> parse_faults(std::string_view text) {
    std::vector<CableFault> faults;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(";,", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view item = text.substr(start, end - start);
        start = end + 1;
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (item.empty()) continue;

        CableFault f;
        const std::size_t name_end = item.find_first_of(":@*=");
        const std::string_view name = item.substr(0, name_end);
        using K = CableFault::Kind;
        if (name == "failwrite") f.kind = K::FailWrite;
        else if (name == "shortwrite") f.kind = K::ShortWrite;
        else if (name == "failread") f.kind = K::FailRead;
        else if (name == "shortreply") f.kind = K::ShortReply;
        else if (name == "reject") f.kind = K::RejectReply;
        else if (name == "unplug") f.kind = K::Unplug;
        else if (name == "reply") f.kind = K::Reply;
        else return std::nullopt;

        std::size_t pos = name_end;
        while (pos != std::string_view::npos && pos < item.size()) {
            const char mark = item[pos];
            const std::size_t next = item.find_first_of(":@*=", pos + 1);
            const std::string_view value = item.substr(pos + 1, next == std::string_view::npos ? std::string_view::npos : next - pos - 1);
            int v = 0;
            if (mark == '=' && f.kind == K::Reply) {
                if (value.size() % 2 != 0) return std::nullopt;
                for (std::size_t i = 0; i < value.size(); i += 2) {
                    if (!parse_int(value.substr(i, 2), 16, v)) return std::nullopt;
                    f.bytes.push_back(static_cast<uint8_t>(v));
                }
                pos = next;
                continue;
            }
            if (!parse_int(value, mark == ':' ? 16 : 10, v)) return std::nullopt;
            switch (mark) {
            case ':': f.code = v; break;
            case '@': f.nth = v; break;
            case '*': f.times = v; break;
            case '=': f.length = static_cast<uint32_t>(v); break;
            default: return std::nullopt;
            }
            pos = next;
        }
        faults.push_back(f);
    }
    return faults;
}

CableSimulator::CableSimulator(std::size_t flash_size) : flash(std::max<std::size_t>(flash_size, 1), 0xFF) {}

void CableSimulator::set_plugged(bool plugged) {
    if (plugged == plugged_) return;
    plugged_ = plugged;
    programming_enabled = false;
    reply_pending_ = false;
    if (on_plug_change) on_plug_change(plugged_);
}

std::vector<uint8_t> CableSimulator::answer(const std::array<uint8_t, 7>& frame) {
    const uint8_t code = frame[0];
    if (frame[1] != static_cast<uint8_t>(0xFF - code)) return refusal();
    if (code == kTest) return {0x6C, frame[2], 0xA5, 0x69, frame[4], frame[5], frame[6]};
    if (code == kProgEnable) {
        programming_enabled = true;
        return {0xA5, 0x5A, 0x69, 0x00, 0x00, 0x00, 0x00};
    }
    if (code == kClearUp) return {};
    if (code == kUpData) {
        const std::size_t n = static_cast<std::size_t>(frame[5]) | static_cast<std::size_t>(frame[6]) << 8;
        std::vector<uint8_t> data(n);
        for (std::size_t i = 0; i < n; ++i) data[i] = flash[i % flash.size()];
        return data;
    }
    // The programming commands need the target in programming mode.
    if (!programming_enabled) return refusal();
    switch (code) {
    case kReadId: return ack(frame[3] < identity.size() ? identity[frame[3]] : 0xFF);
    case kErase:
        std::fill(flash.begin(), flash.end(), uint8_t{0xFF});
        lock_bits = {};
        return ack(0x00);
    case kReadByte: return ack(flash[flash_address(frame[3], frame[4])]);
    case kWriteByte: {
        // Flash can only clear bits: programming over old data gives the AND.
        uint8_t& cell = flash[flash_address(frame[3], frame[4])];
        cell &= frame[5];
        return ack(cell);
    }
    case kWriteLock:
        if (frame[3] >= 1 && frame[3] <= 3) lock_bits[frame[3] - 1] = true;
        return ack(frame[3]);
    case kAe: return ack(0x00);
    default: return refusal();
    }
}

bool CableSimulator::write(const uint8_t* data, uint32_t& length) {
    if (!plugged_) {
        length = 0;
        return false;
    }
    ++writes;
    const int code = length > 0 ? data[0] : -1;
    // Which faults strike this frame.
    bool fail_write = false, short_write = false, fail_read = false, reject = false, unplug = false;
    std::optional<uint32_t> short_reply;
    const std::vector<uint8_t>* replacement = nullptr;
    for (ActiveFault& a : faults_) {
        if (a.fault.code != -1 && a.fault.code != code) continue;
        const int index = a.seen++;
        if (index < a.fault.nth || (a.fault.times >= 0 && index >= a.fault.nth + a.fault.times)) continue;
        switch (a.fault.kind) {
        case CableFault::Kind::FailWrite: fail_write = true; break;
        case CableFault::Kind::ShortWrite: short_write = true; break;
        case CableFault::Kind::FailRead: fail_read = true; break;
        case CableFault::Kind::ShortReply: short_reply = a.fault.length; break;
        case CableFault::Kind::RejectReply: reject = true; break;
        case CableFault::Kind::Unplug: unplug = true; break;
        case CableFault::Kind::Reply: replacement = &a.fault.bytes; break;
        }
    }
    reply_pending_ = false;
    if (unplug) {
        set_plugged(false);
        length = 0;
        return false;
    }
    if (fail_write) {
        length = 0;
        return false;
    }
    if (short_write || length != 7) {
        length = std::min<uint32_t>(length, 6);
        return true;
    }
    std::array<uint8_t, 7> frame;
    std::copy(data, data + 7, frame.begin());
    frames.push_back(frame);
    reply_ = answer(frame);
    if (replacement) reply_ = *replacement;
    if (reject && reply_.size() >= 2) reply_[0] = reply_[1] = 0x00;
    if (short_reply && reply_.size() > *short_reply) reply_.resize(*short_reply);
    reply_fails_ = fail_read;
    reply_pending_ = !reply_.empty() || fail_read;
    return true;
}

bool CableSimulator::read(uint8_t* buffer, uint32_t& length) {
    // No cable, or nothing to answer: the read gives up after its time-out.
    if (!plugged_ || !reply_pending_ || reply_fails_) {
        reply_pending_ = false;
        length = 0;
        return false;
    }
    const uint32_t n = std::min<uint32_t>(length, static_cast<uint32_t>(reply_.size()));
    std::copy(reply_.begin(), reply_.begin() + n, buffer);
    length = n;
    reply_pending_ = false;
    return true;
}

} // namespace tarn::sim
