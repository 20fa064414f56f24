// Writing a code image as an Intel HEX file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarn {

// Data records of 16 bytes (the last one shorter) starting at address 0, in
// address order, upper-case digits, correct check bytes, CR LF line ends,
// and the end record ":00000001FF". Only 16-bit addresses are written, so
// at most 65,536 bytes are taken.
std::string to_intel_hex(std::span<const uint8_t> bytes);

} // namespace tarn
