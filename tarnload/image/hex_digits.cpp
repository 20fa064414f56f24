#include "image/hex_digits.h"

#include <iterator>

namespace tarn {

std::string hex_plain(uint32_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buf[8];
    int n = 0;
    do {
        buf[n++] = kDigits[v & 0xF];
        v >>= 4;
    } while (v != 0);
    return std::string(std::rbegin(buf) + (8 - n), std::rend(buf));
}

} // namespace tarn
