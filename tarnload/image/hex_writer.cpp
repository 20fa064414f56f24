#include "image/hex_writer.h"

#include <algorithm>

#include "image/hex_digits.h"

namespace tarn {

std::string to_intel_hex(std::span<const uint8_t> bytes) {
    constexpr std::size_t kPerRecord = 16;
    const std::size_t total = std::min<std::size_t>(bytes.size(), 0x10000);
    std::string out;
    out.reserve((total / kPerRecord + 2) * (11 + 2 * kPerRecord + 2));
    for (std::size_t address = 0; address < total; address += kPerRecord) {
        const std::size_t n = std::min(kPerRecord, total - address);
        const auto hi = static_cast<uint8_t>(address >> 8);
        const auto lo = static_cast<uint8_t>(address & 0xFF);
        unsigned sum = static_cast<unsigned>(n) + hi + lo;
        out.push_back(':');
        append_hex2(out, static_cast<uint8_t>(n));
        append_hex2(out, hi);
        append_hex2(out, lo);
        append_hex2(out, 0x00);
        for (std::size_t i = 0; i < n; ++i) {
            append_hex2(out, bytes[address + i]);
            sum += bytes[address + i];
        }
        append_hex2(out, static_cast<uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
        out += "\r\n";
    }
    out += ":00000001FF\r\n";
    return out;
}

} // namespace tarn
