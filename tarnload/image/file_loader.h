// Loading Intel HEX, binary and COD files into the code image.
//
// A load either succeeds and replaces the image's contents as the format
// says, or fails and leaves the image exactly as it was: it is parsed into a
// scratch copy first, so a bad file never destroys an image read from a chip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "image/code_image.h"

namespace tarn {

enum class FileKind { Hex, Binary, Unknown };

enum class LoadError {
    None,
    OpenFailed,   // the file cannot be opened or read
    Empty,        // a binary or COD file without a byte
    TooBig,       // more bytes or lines than the code space holds
    Format,       // a HEX line that is not a well-formed record
    Range,        // a data record that ends above the chip's top address
};

// Which loader a path goes to: its text after the last ".", trimmed of
// spaces and lower-cased, is "hex", or "bin"/"cod", or anything else.
FileKind file_kind(std::string_view path);

// Most non-empty lines a HEX file may have, and most bytes a binary file may
// have: one per address of the code image.
inline constexpr std::size_t kMaxHexLines = CodeImage::kSize;
inline constexpr std::size_t kMaxBinaryBytes = CodeImage::kSize;
// A HEX file is read whole; one larger than this cannot be a code image.
inline constexpr std::size_t kMaxHexFileBytes = 64u << 20;

// Loads HEX text. On success the image holds the new lines, 0xFF up to
// chip_top overwritten by the data records, and data_len set by the end
// record (kept when the file has none).
LoadError load_hex(std::string_view text, int32_t chip_top, CodeImage& image);

// Loads the bytes of a binary or COD file from address 0 upwards; bytes
// beyond the file keep their former values.
LoadError load_binary(std::span<const uint8_t> bytes, CodeImage& image);

// Reads the file at a UTF-8 path and loads it by its kind.
LoadError load_file(const std::string& path, FileKind kind, int32_t chip_top, CodeImage& image);

} // namespace tarn
