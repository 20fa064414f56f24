// Small helpers for writing Intel HEX fixtures in tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/hex_digits.h"

namespace tarn::testing {

// One record with a correct check byte, upper-case, without a line end.
inline std::string hex_record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data) {
    std::string r = ":";
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    append_hex2(r, static_cast<uint8_t>(data.size()));
    append_hex2(r, static_cast<uint8_t>(address >> 8));
    append_hex2(r, static_cast<uint8_t>(address & 0xFF));
    append_hex2(r, type);
    for (uint8_t b : data) {
        append_hex2(r, b);
        sum += b;
    }
    append_hex2(r, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    return r;
}

inline std::string data_record(uint16_t address, const std::vector<uint8_t>& data) {
    return hex_record(address, 0x00, data);
}

inline const std::string kEof = ":00000001FF";

} // namespace tarn::testing
