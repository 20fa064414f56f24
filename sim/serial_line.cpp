#include "serial_line.h"

#include <algorithm>

namespace tarn::sim {

SerialLine::SerialLine(BootLoaderSim& chip, uint32_t baud) : chip_(chip), baud_(0), byte_ns_(0) { set_baud(baud); }

void SerialLine::set_baud(uint32_t baud) {
    baud_ = baud == 0 ? 9600 : baud;
    byte_ns_ = 10'000'000'000ull / baud_;
}

void SerialLine::host_write(std::span<const uint8_t> bytes, uint64_t now) {
    advance(now);
    uint64_t t = std::max(now, host_tx_free_);
    for (uint8_t b : bytes) {
        t += byte_ns_;
        to_chip_.push_back({t, b});
    }
    host_tx_free_ = t;
}

void SerialLine::chip_send(uint64_t at, std::string_view bytes) {
    uint64_t t = std::max(at, chip_tx_free_);
    for (char c : bytes) {
        t += byte_ns_;
        to_host_.push_back({t, static_cast<uint8_t>(c)});
    }
    chip_tx_free_ = t;
}

void SerialLine::advance(uint64_t now) {
    const BootLoaderSim::Send send = [this](uint64_t at, std::string_view bytes) { chip_send(at, bytes); };
    while (!to_chip_.empty() && to_chip_.front().t <= now) {
        const TimedByte tb = to_chip_.front();
        to_chip_.pop_front();
        chip_.receive(tb.b, tb.t, send);
    }
}

std::size_t SerialLine::host_output_count(uint64_t now) {
    advance(now);
    return to_chip_.size();
}

std::size_t SerialLine::host_input_count(uint64_t now) {
    advance(now);
    std::size_t n = 0;
    while (n < to_host_.size() && to_host_[n].t <= now) ++n;
    return n;
}

std::vector<uint8_t> SerialLine::host_read(uint64_t now) {
    const std::size_t n = host_input_count(now);
    std::vector<uint8_t> out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(to_host_.front().b);
        to_host_.pop_front();
    }
    return out;
}

void SerialLine::host_clear_input(uint64_t now) {
    const std::size_t n = host_input_count(now);
    to_host_.erase(to_host_.begin(), to_host_.begin() + static_cast<std::ptrdiff_t>(n));
}

void SerialLine::host_clear_output(uint64_t now) {
    advance(now);
    // What has not gone out is dropped; the byte on the wire still arrives.
    while (!to_chip_.empty() && to_chip_.back().t > now + byte_ns_) to_chip_.pop_back();
    host_tx_free_ = to_chip_.empty() ? now : to_chip_.back().t;
}

std::optional<uint64_t> SerialLine::input_reaches(std::size_t count, uint64_t now, uint64_t limit) {
    // Everything the loader receives until the limit is known now: nothing
    // else is written while the program waits.
    advance(limit);
    if (count == 0) return now;
    if (to_host_.size() < count) return std::nullopt;
    const uint64_t t = std::max(now, to_host_[count - 1].t);
    if (t > limit) return std::nullopt;
    return t;
}

uint64_t SerialLine::output_empty_at(uint64_t now) { return to_chip_.empty() ? now : std::max(now, to_chip_.back().t); }

std::optional<uint64_t> SerialLine::next_arrival(uint64_t now) {
    advance(now);
    for (const TimedByte& tb : to_host_) {
        if (tb.t > now) return tb.t;
    }
    // Bytes still to reach the loader may make it answer.
    if (!to_chip_.empty()) {
        const uint64_t t = to_chip_.back().t;
        advance(t);
        for (const TimedByte& tb : to_host_) {
            if (tb.t > now) return tb.t;
        }
    }
    return std::nullopt;
}

void SerialLine::reset_chip(uint64_t now) {
    advance(now);
    chip_.reset(now);
}

} // namespace tarn::sim
