#include "image/file_loader.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "image/file_io.h"
#include "image/hex_digits.h"

namespace tarn {

namespace {

std::string_view trim_spaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

// Value of the n hexadecimal digits at pos (0-based), or -1 when the line is
// too short or one of them is not a digit.
int32_t hex_field(std::string_view line, std::size_t pos, std::size_t n) {
    if (line.size() < pos + n) return -1;
    int32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int d = hex_value(line[pos + i]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// Splits the text into its non-empty lines. A line ends at CR, at CR LF or
// at a lone LF, so files from any system read alike. Returns false as soon
// as there are more lines than the code space could need.
bool split_lines(std::string_view text, std::vector<std::string>& lines) {
    std::size_t start = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i <= n; ++i) {
        const bool end = (i == n);
        const char c = end ? '\0' : text[i];
        if (!end && c != '\r' && c != '\n') continue;
        if (i > start) {
            if (lines.size() == kMaxHexLines) return false;
            lines.emplace_back(text.substr(start, i - start));
        }
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return true;
}

} // namespace

FileKind file_kind(std::string_view path) {
    const auto dot = path.rfind('.');
    std::string ext(trim_spaces(dot == std::string_view::npos ? path : path.substr(dot + 1)));
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (ext == "hex") return FileKind::Hex;
    if (ext == "bin" || ext == "cod") return FileKind::Binary;
    return FileKind::Unknown;
}

LoadError load_hex(std::string_view text, int32_t chip_top, CodeImage& image) {
    std::vector<std::string> lines;
    lines.reserve(std::min<std::size_t>(text.size() / 16 + 1, kMaxHexLines));
    if (!split_lines(text, lines)) return LoadError::TooBig;

    // The new contents are built in a scratch image and committed only when
    // the whole file is good.
    auto rom = std::make_unique<std::array<uint8_t, CodeImage::kSize>>(image.rom_data);
    const int32_t top = std::clamp<int32_t>(chip_top, -1, CodeImage::kSize - 1);
    std::fill(rom->begin(), rom->begin() + (top + 1), uint8_t{0xFF});

    int32_t data_len = image.data_len;
    int32_t highest = 0;
    for (const std::string& stored : lines) {
        const std::string_view line = trim_spaces(stored);
        if (line.empty() || line[0] != ':') return LoadError::Format;
        const int32_t type = hex_field(line, 7, 2);
        if (type < 0) return LoadError::Format;
        if (type == 0x01) {
            data_len = highest;
            break;
        }
        if (type != 0x00) continue;  // extended and start address records are not used

        const int32_t count = hex_field(line, 1, 2);
        const int32_t address = hex_field(line, 3, 4);
        if (count < 0 || address < 0) return LoadError::Format;
        const int32_t end = address + count - 1;
        if (end > highest) {
            highest = end;
            if (end > chip_top || end >= CodeImage::kSize) return LoadError::Range;
        }
        for (int32_t i = 0; i < count; ++i) {
            const int32_t v = hex_field(line, 9 + 2 * static_cast<std::size_t>(i), 2);
            if (v < 0) return LoadError::Format;
            (*rom)[static_cast<std::size_t>(address + i)] = static_cast<uint8_t>(v);
        }
    }

    image.rom_data = *rom;
    image.data_len = data_len;
    image.str_len = static_cast<int32_t>(lines.size()) - 1;
    // Entries beyond the new file keep what a longer file left there, as
    // nothing reads past str_len.
    if (image.hex_lines.size() < lines.size()) image.hex_lines.resize(lines.size());
    std::move(lines.begin(), lines.end(), image.hex_lines.begin());
    return LoadError::None;
}

LoadError load_binary(std::span<const uint8_t> bytes, CodeImage& image) {
    if (bytes.empty()) return LoadError::Empty;
    if (bytes.size() > kMaxBinaryBytes) return LoadError::TooBig;
    std::copy(bytes.begin(), bytes.end(), image.rom_data.begin());
    image.data_len = static_cast<int32_t>(bytes.size()) - 1;
    image.str_len = 0;
    return LoadError::None;
}

LoadError load_file(const std::string& path, FileKind kind, int32_t chip_top, CodeImage& image) {
    const std::size_t limit = kind == FileKind::Hex ? kMaxHexFileBytes : kMaxBinaryBytes;
    FileData file = read_file(path, limit);
    if (file.status == FileData::TooBig) return LoadError::TooBig;
    if (file.status != FileData::Ok) return LoadError::OpenFailed;
    if (kind == FileKind::Hex) {
        const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
        return load_hex(text, chip_top, image);
    }
    return load_binary(file.bytes, image);
}

} // namespace tarn
