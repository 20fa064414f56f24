// Whole-file reading and writing by UTF-8 path, on Linux and on Windows alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarn {

struct FileData {
    enum Status { Ok, Failed, TooBig } status = Failed;
    std::vector<uint8_t> bytes;
};

// Reads at most max_bytes; a longer file gives TooBig without reading it all.
FileData read_file(const std::string& utf8_path, std::size_t max_bytes);

// Replaces the file's contents; false when it cannot be written completely.
bool write_file(const std::string& utf8_path, std::span<const uint8_t> bytes);

} // namespace tarn
