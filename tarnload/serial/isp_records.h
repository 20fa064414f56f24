// The command records of the Philips boot loaders and the rules by which
// their replies are accepted. Every command is one Intel HEX record sent as
// ASCII; the records the program builds use upper-case digits, the data
// records are the lines of the loaded file as they stand.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn::isp {

// Identity byte 0, 1 and 2.
inline constexpr std::array<std::string_view, 3> kReadId{":020000050000F9", ":020000050001F8", ":020000050002F7"};
inline constexpr std::string_view kErase = ":0100000307F5";        // P89C51RA2X, RD2X, RD2HX
inline constexpr std::string_view kEraseV51 = ":0100000301FB";     // P89V51RD2
inline constexpr std::string_view kBeforeData = ":030000030600FFF5";
inline constexpr std::string_view kFinish1 = ":020000030400F7";
inline constexpr std::string_view kFinish2 = ":030000030601FCF7";
inline constexpr std::string_view kFinishV51 = ":0000000BF5";

// A type 04 record for the range s..e with function f (00: show the
// contents, 01: blank check).
std::string type04(uint16_t s, uint16_t e, uint8_t f);
// The same, with the start address written as the four characters given
// (copied unchanged from a file line, in whatever case); the check byte
// comes from their values. Nothing when they are not hexadecimal digits.
std::optional<std::string> type04(std::string_view s_digits, uint16_t e, uint8_t f);

// Whether a record's bytes, check byte included, add up to 0.
bool check_byte_ok(std::string_view record);

// An acknowledgement of a record of `len` characters: a "." at position
// len - 1, len or len + 1 of the reply (positions not received do not match).
bool acknowledged(std::span<const uint8_t> reply, std::size_t len);

// The blank-check answer: with n bytes waiting when the wait ended, a "."
// at position n - 3 of the bytes then taken.
bool blank(std::span<const uint8_t> reply, std::size_t n);

// Rounds half to even, as the run's integer divisions do.
int32_t round_half_even(double v);

// Bytes of the read-back reply for a chip whose top address is chip_top.
int32_t read_back_length(int32_t chip_top);

} // namespace tarn::isp
