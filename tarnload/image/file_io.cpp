#include "image/file_io.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarn {

namespace {

std::filesystem::path to_path(const std::string& utf8_path) {
    // The char8_t form makes the conversion explicit on Windows, where paths
    // are UTF-16 and every file name may hold Chinese characters.
    return std::filesystem::path(std::u8string(utf8_path.begin(), utf8_path.end()));
}

} // namespace

FileData read_file(const std::string& utf8_path, std::size_t max_bytes) {
    FileData out;
    std::error_code ec;
    const auto path = to_path(utf8_path);
    if (!std::filesystem::is_regular_file(path, ec)) return out;
    std::ifstream in(path, std::ios::binary);
    if (!in) return out;
    // Read one byte past the limit, so that a file that grew after a size
    // query is still caught.
    std::vector<uint8_t> bytes;
    constexpr std::size_t kChunk = 1u << 16;
    while (true) {
        const std::size_t old = bytes.size();
        const std::size_t want = std::min(kChunk, max_bytes + 1 - old);
        bytes.resize(old + want);
        in.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(want));
        const auto got = static_cast<std::size_t>(in.gcount());
        bytes.resize(old + got);
        if (bytes.size() > max_bytes) {
            out.status = FileData::TooBig;
            return out;
        }
        if (got < want) break;
    }
    if (in.bad()) return out;
    out.status = FileData::Ok;
    out.bytes = std::move(bytes);
    return out;
}

bool write_file(const std::string& utf8_path, std::span<const uint8_t> bytes) {
    std::ofstream out(to_path(utf8_path), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return static_cast<bool>(out);
}

} // namespace tarn
