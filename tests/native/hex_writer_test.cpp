#include "image/hex_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

#include "image/file_loader.h"
#include "image/hex_digits.h"

namespace tarn {
namespace {

TEST(HexWriter, RecordsOfSixteenBytesWithCheckBytes) {
    std::vector<uint8_t> bytes(18);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(to_intel_hex(bytes),
              ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
              ":020010001011CD\r\n"
              ":00000001FF\r\n");
    EXPECT_EQ(to_intel_hex({}), ":00000001FF\r\n");
}

TEST(HexWriter, EveryRecordSumsToZero) {
    std::vector<uint8_t> bytes(1000);
    std::mt19937 rng(7);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    std::istringstream lines(to_intel_hex(bytes));
    std::string line;
    int records = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        ASSERT_EQ(line[0], ':');
        unsigned sum = 0;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) sum += static_cast<unsigned>(hex_value(line[i]) * 16 + hex_value(line[i + 1]));
        EXPECT_EQ(sum & 0xFF, 0u) << line;
        ++records;
    }
    EXPECT_EQ(records, 63 + 1);
}

TEST(HexWriter, SavedImageLoadsBackToTheSameBytes) {
    auto saved = std::make_unique<CodeImage>();
    std::mt19937 rng(11);
    for (auto& b : saved->rom_data) b = static_cast<uint8_t>(rng());
    for (int32_t data_len : {0, 1, 15, 16, 0x1FFF, 0xFFFF}) {
        const std::string text = to_intel_hex(std::span(saved->rom_data.data(), static_cast<std::size_t>(data_len) + 1));
        auto loaded = std::make_unique<CodeImage>();
        ASSERT_EQ(load_hex(text, 0xFFFF, *loaded), LoadError::None) << data_len;
        EXPECT_EQ(loaded->data_len, data_len);
        EXPECT_TRUE(std::equal(saved->rom_data.begin(), saved->rom_data.begin() + data_len + 1, loaded->rom_data.begin()))
            << data_len;
    }
}

TEST(HexWriter, WritesSixteenBitAddressesOnly) {
    std::vector<uint8_t> bytes(CodeImage::kSize, 0x00);
    const std::string text = to_intel_hex(bytes);
    EXPECT_NE(text.find(":10FFF000"), std::string::npos);
    EXPECT_EQ(text.size(), 4096u * 45u + 13u);
}

} // namespace
} // namespace tarn
