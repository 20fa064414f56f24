#include "serial/isp_records.h"

#include <cmath>

#include "image/hex_digits.h"

namespace tarn::isp {

namespace {

std::string hex4(uint16_t v) {
    std::string s;
    append_hex2(s, static_cast<uint8_t>(v >> 8));
    append_hex2(s, static_cast<uint8_t>(v & 0xFF));
    return s;
}

std::string finish(uint16_t s_value, std::string_view s_digits, uint16_t e, uint8_t f) {
    const unsigned sum = 5u + 4u + (s_value >> 8) + (s_value & 0xFF) + (e >> 8) + (e & 0xFF) + f;
    std::string r = ":05000004";
    r += s_digits;
    r += hex4(e);
    append_hex2(r, f);
    append_hex2(r, static_cast<uint8_t>((256 - sum % 256) % 256));
    return r;
}

} // namespace

std::string type04(uint16_t s, uint16_t e, uint8_t f) { return finish(s, hex4(s), e, f); }

std::optional<std::string> type04(std::string_view s_digits, uint16_t e, uint8_t f) {
    if (s_digits.size() != 4) return std::nullopt;
    unsigned s = 0;
    for (char c : s_digits) {
        const int d = hex_value(c);
        if (d < 0) return std::nullopt;
        s = s * 16 + static_cast<unsigned>(d);
    }
    return finish(static_cast<uint16_t>(s), s_digits, e, f);
}

bool check_byte_ok(std::string_view record) {
    if (record.size() < 3 || record[0] != ':' || (record.size() - 1) % 2 != 0) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < record.size(); i += 2) {
        const int hi = hex_value(record[i]), lo = hex_value(record[i + 1]);
        if (hi < 0 || lo < 0) return false;
        sum += static_cast<unsigned>(hi * 16 + lo);
    }
    return sum % 256 == 0;
}

bool acknowledged(std::span<const uint8_t> reply, std::size_t len) {
    for (std::size_t p : {len - 1, len, len + 1}) {
        if (len == 0 && p == len - 1) continue;
        if (p < reply.size() && reply[p] == '.') return true;
    }
    return false;
}

bool blank(std::span<const uint8_t> reply, std::size_t n) { return n > 2 && n - 3 < reply.size() && reply[n - 3] == '.'; }

int32_t round_half_even(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

int32_t read_back_length(int32_t chip_top) {
    int32_t m = round_half_even(chip_top / 16.0);
    if (m * 16 < chip_top) ++m;
    return 7 * m + 2 * chip_top + 4;
}

} // namespace tarn::isp
