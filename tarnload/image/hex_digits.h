// Hexadecimal digits as the file formats and the hex dump write them.
#pragma once

#include <cstdint>
#include <string>

namespace tarn {

// Value of one hexadecimal digit of either case, or -1 for any other character.
constexpr int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two upper-case digits, with a leading zero below 0x10.
inline void append_hex2(std::string& out, uint8_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(kDigits[v >> 4]);
    out.push_back(kDigits[v & 0xF]);
}

inline std::string hex2(uint8_t v) {
    std::string s;
    append_hex2(s, v);
    return s;
}

// Upper-case digits without leading zeros ("0" for zero).
std::string hex_plain(uint32_t v);

} // namespace tarn
