// The firmware image of the main window: the bytes a run writes into a chip
// or reads back from one, the highest loaded address, and the lines of the
// last Intel HEX file (the serial runs send and verify those lines as they are).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

struct CodeImage {
    // Addresses 0x0000-0x10000 inclusive: one byte more than 64 KiB, because a
    // binary file of 65,537 bytes is accepted and fills the last address too.
    static constexpr int32_t kSize = 65537;

    std::array<uint8_t, kSize> rom_data{};
    // The highest loaded address, inclusive (0 also means "nothing loaded").
    int32_t data_len = 0;
    // Index of the last line of the current HEX file in hex_lines; 0 after a
    // binary load, -1 for a HEX file without a single non-empty line.
    int32_t str_len = 0;
    // The non-empty lines of the last HEX file, exactly as read. Entries past
    // str_len are left over from an earlier, longer file and mean nothing.
    std::vector<std::string> hex_lines;
};

} // namespace tarn
