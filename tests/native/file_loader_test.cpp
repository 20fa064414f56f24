#include "image/file_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "hex_test_util.h"

namespace tarn {
namespace {

using testing::data_record;
using testing::hex_record;
using testing::kEof;

// An image with recognisable earlier contents: bytes 0..99 = their address,
// loaded length 99, two lines of an earlier HEX file.
std::unique_ptr<CodeImage> earlier_image() {
    auto img = std::make_unique<CodeImage>();
    for (int i = 0; i < CodeImage::kSize; ++i) img->rom_data[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i * 7);
    img->data_len = 99;
    img->str_len = 1;
    img->hex_lines = {"old line 0", "old line 1", "old line 2"};
    return img;
}

void expect_unchanged(const CodeImage& img) {
    const auto before = earlier_image();
    EXPECT_EQ(img.rom_data, before->rom_data);
    EXPECT_EQ(img.data_len, before->data_len);
    EXPECT_EQ(img.str_len, before->str_len);
    EXPECT_EQ(img.hex_lines, before->hex_lines);
}

struct HexCase {
    const char* name;
    std::string text;
    int32_t chip_top;
    int32_t data_len;        // expected after the load
    int32_t str_len;
    std::vector<std::pair<int32_t, uint8_t>> bytes;  // expected image bytes
    friend void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }
};

class HexLoads : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexLoads, LoadAsTheFormatSays) {
    const HexCase& c = GetParam();
    auto img = earlier_image();
    ASSERT_EQ(load_hex(c.text, c.chip_top, *img), LoadError::None);
    EXPECT_EQ(img->data_len, c.data_len);
    EXPECT_EQ(img->str_len, c.str_len);
    for (auto [address, value] : c.bytes) {
        EXPECT_EQ(img->rom_data[static_cast<std::size_t>(address)], value) << "address " << address;
    }
    // 0xFF fills up to the chip's top address only.
    if (c.chip_top < CodeImage::kSize - 1) {
        EXPECT_EQ(img->rom_data[static_cast<std::size_t>(c.chip_top + 1)], static_cast<uint8_t>((c.chip_top + 1) * 7));
    }
}

const std::string kRec0 = data_record(0x0000, {0x02});                   // 0x02 at address 0
const std::string kRec10 = data_record(0x0010, {0xAA, 0xBB});             // 0x10..0x11

INSTANTIATE_TEST_SUITE_P(
    Files, HexLoads,
    ::testing::Values(
        HexCase{"single_byte_at_zero", kRec0 + "\r\n" + kEof + "\r\n", 0x1FFF, 0, 1, {{0, 0x02}, {1, 0xFF}, {0x1FFF, 0xFF}}},
        HexCase{"lf_line_ends", kRec0 + "\n" + kRec10 + "\n" + kEof + "\n", 0x1FFF, 0x11, 2, {{0, 0x02}, {0x10, 0xAA}, {0x11, 0xBB}}},
        HexCase{"cr_line_ends", kRec0 + "\r" + kRec10 + "\r" + kEof, 0x1FFF, 0x11, 2, {{0x11, 0xBB}}},
        HexCase{"blank_lines_and_spaces", "\r\n\r\n   " + kRec10 + "   \r\n\r\n\n" + kEof + "\r\n\r\n", 0x1FFF, 0x11, 1,
                {{0x10, 0xAA}, {0, 0xFF}}},
        HexCase{"lower_case_digits", ":02001000aabb89\r\n" + kEof, 0x1FFF, 0x11, 1, {{0x10, 0xAA}, {0x11, 0xBB}}},
        HexCase{"wrong_checksum_is_not_checked", ":02001000123400\r\n" + kEof, 0x1FFF, 0x11, 1, {{0x10, 0x12}, {0x11, 0x34}}},
        HexCase{"address_records_are_skipped",
                hex_record(0, 0x02, {0x10, 0x00}) + "\r\n" + hex_record(0, 0x04, {0x00, 0x01}) + "\r\n" + kRec10 + "\r\n" +
                    hex_record(0, 0x03, {0, 0, 0, 0}) + "\r\n" + hex_record(0, 0x05, {0, 0, 0, 0}) + "\r\n" + kEof,
                0x1FFF, 0x11, 5, {{0x10, 0xAA}}},
        // An empty record stores nothing, but its end address A - 1 still counts.
        HexCase{"empty_record_stores_nothing", data_record(0x0005, {}) + "\r\n" + kEof, 0x1FFF, 4, 1, {{4, 0xFF}, {5, 0xFF}}},
        HexCase{"no_end_record_keeps_data_len", kRec10 + "\r\n", 0x1FFF, 99, 0, {{0x10, 0xAA}, {0x11, 0xBB}}},
        HexCase{"lines_after_the_end_record_are_stored_not_read", kRec0 + "\r\n" + kEof + "\r\nnot a record\r\n", 0x1FFF, 0, 2,
                {{0, 0x02}}},
        HexCase{"highest_end_not_the_last_record", data_record(0x1FF0, {1, 2, 3}) + "\r\n" + kRec10 + "\r\n" + kEof, 0x1FFF,
                0x1FF2, 2, {{0x1FF2, 3}}},
        HexCase{"data_reaching_0x2000_fits_a_64k_model", data_record(0x1FFF, {0x11, 0x22}) + "\r\n" + kEof, 0xFFFF, 0x2000, 1,
                {{0x1FFF, 0x11}, {0x2000, 0x22}, {0xFFFF, 0xFF}}},
        HexCase{"no_line_at_all", "\r\n\r\n", 0x1FFF, 99, -1, {{0, 0xFF}, {0x1FFF, 0xFF}}}),
    [](const ::testing::TestParamInfo<HexCase>& info) { return std::string(info.param.name); });

TEST(HexLoad, KeepsLinesExactlyAsReadAndLeavesLaterEntries) {
    auto img = earlier_image();
    ASSERT_EQ(load_hex("  " + kRec0 + " \r\n", 0x1FFF, *img), LoadError::None);
    EXPECT_EQ(img->str_len, 0);
    ASSERT_EQ(img->hex_lines.size(), 3u);
    EXPECT_EQ(img->hex_lines[0], "  " + kRec0 + " ");
    EXPECT_EQ(img->hex_lines[1], "old line 1");
}

struct BadHexCase {
    const char* name;
    std::string text;
    LoadError error;
    friend void PrintTo(const BadHexCase& c, std::ostream* os) { *os << c.name; }
};

class HexFailures : public ::testing::TestWithParam<BadHexCase> {};

// A failed load leaves image, lengths and lines exactly as they were.
TEST_P(HexFailures, ReportAndChangeNothing) {
    const BadHexCase& c = GetParam();
    auto img = earlier_image();
    EXPECT_EQ(load_hex(c.text, 0x1FFF, *img), c.error);
    expect_unchanged(*img);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HexFailures,
    ::testing::Values(
        BadHexCase{"missing_colon", kRec0 + "\r\n0100000002FD\r\n" + kEof, LoadError::Format},
        BadHexCase{"blank_but_spaces", kRec0 + "\r\n    \r\n" + kEof, LoadError::Format},
        BadHexCase{"type_not_hex", ":000000G1FF\r\n", LoadError::Format},
        BadHexCase{"line_too_short_for_a_type", ":0000\r\n", LoadError::Format},
        BadHexCase{"count_not_hex", ":X10000000211\r\n" + kEof, LoadError::Format},
        BadHexCase{"address_not_hex", ":0100Z00002FD\r\n" + kEof, LoadError::Format},
        BadHexCase{"data_not_hex", ":02001000AZBB89\r\n" + kEof, LoadError::Format},
        BadHexCase{"fewer_data_than_count", ":04001000AABB\r\n" + kEof, LoadError::Format},
        BadHexCase{"data_reaching_0x2000_on_an_8k_model", kRec10 + "\r\n" + data_record(0x1FFF, {0x11, 0x22}) + "\r\n" + kEof,
                   LoadError::Range},
        BadHexCase{"record_far_beyond_the_chip", data_record(0xFFF0, {1}) + "\r\n" + kEof, LoadError::Range}),
    [](const ::testing::TestParamInfo<BadHexCase>& info) { return std::string(info.param.name); });

TEST(HexLoad, BadLineAfterTheEndRecordIsNeverRead) {
    auto img = earlier_image();
    EXPECT_EQ(load_hex(kRec0 + "\r\n" + kEof + "\r\n" + data_record(0xFFF0, {1}) + "\r\n", 0x1FFF, *img), LoadError::None);
}

TEST(HexLoad, TooManyLines) {
    std::string text;
    for (std::size_t i = 0; i < kMaxHexLines; ++i) text += ":00000001FF\n";
    auto img = earlier_image();
    EXPECT_EQ(load_hex(text, 0xFFFF, *img), LoadError::None);
    EXPECT_EQ(img->str_len, static_cast<int32_t>(kMaxHexLines) - 1);

    auto img2 = earlier_image();
    EXPECT_EQ(load_hex(text + ":00000001FF\n", 0xFFFF, *img2), LoadError::TooBig);
    expect_unchanged(*img2);
}

TEST(BinaryLoad, ShorterAfterLongerKeepsTheTailOfTheEarlierFile) {
    CodeImage img;
    img.str_len = 5;
    std::vector<uint8_t> longer(4000, 0x5A);
    std::vector<uint8_t> shorter(100, 0x11);
    ASSERT_EQ(load_binary(longer, img), LoadError::None);
    ASSERT_EQ(load_binary(shorter, img), LoadError::None);
    EXPECT_EQ(img.data_len, 99);
    EXPECT_EQ(img.str_len, 0);
    EXPECT_EQ(img.rom_data[99], 0x11);
    EXPECT_EQ(img.rom_data[100], 0x5A);
    EXPECT_EQ(img.rom_data[3999], 0x5A);
}

TEST(BinaryLoad, LengthsAndLimits) {
    struct Case {
        std::size_t size;
        LoadError error;
        int32_t data_len;
    };
    for (const Case& c : {Case{1, LoadError::None, 0}, Case{8192, LoadError::None, 0x1FFF},
                          Case{65537, LoadError::None, 0x10000}, Case{0, LoadError::Empty, 99},
                          Case{65538, LoadError::TooBig, 99}}) {
        auto img = earlier_image();
        std::vector<uint8_t> bytes(c.size, 0x42);
        EXPECT_EQ(load_binary(bytes, *img), c.error) << c.size;
        EXPECT_EQ(img->data_len, c.data_len) << c.size;
        if (c.error != LoadError::None) expect_unchanged(*img);
    }
}

TEST(FileKind, ByTheTextAfterTheLastDot) {
    EXPECT_EQ(file_kind("C:\\fw\\a.hex"), FileKind::Hex);
    EXPECT_EQ(file_kind("C:\\fw\\A.HEX"), FileKind::Hex);
    EXPECT_EQ(file_kind("C:\\fw\\a.Hex  "), FileKind::Hex);
    EXPECT_EQ(file_kind("C:\\fw\\a.bin"), FileKind::Binary);
    EXPECT_EQ(file_kind("C:\\fw\\a.COD"), FileKind::Binary);
    EXPECT_EQ(file_kind("C:\\fw\\a.hex.txt"), FileKind::Unknown);
    EXPECT_EQ(file_kind("C:\\fw.hex\\firmware"), FileKind::Unknown);
    EXPECT_EQ(file_kind("hex"), FileKind::Hex);  // no dot: the whole name is the last piece
    EXPECT_EQ(file_kind(""), FileKind::Unknown);
}

class FileLoad : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tarn_loader_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& bytes) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    std::filesystem::path dir_;
};

TEST_F(FileLoad, ReadsByKindAndReportsUnreadableFiles) {
    auto img = earlier_image();
    EXPECT_EQ(load_file(write("fw.hex", kRec10 + "\r\n" + kEof), FileKind::Hex, 0x1FFF, *img), LoadError::None);
    EXPECT_EQ(img->data_len, 0x11);
    EXPECT_EQ(load_file(write("fw.bin", std::string(300, '\x01')), FileKind::Binary, 0x1FFF, *img), LoadError::None);
    EXPECT_EQ(img->data_len, 299);

    auto untouched = earlier_image();
    EXPECT_EQ(load_file((dir_ / "missing.hex").string(), FileKind::Hex, 0x1FFF, *untouched), LoadError::OpenFailed);
    EXPECT_EQ(load_file(dir_.string(), FileKind::Binary, 0x1FFF, *untouched), LoadError::OpenFailed);
    EXPECT_EQ(load_file(write("empty.cod", ""), FileKind::Binary, 0x1FFF, *untouched), LoadError::Empty);
    EXPECT_EQ(load_file(write("big.bin", std::string(70000, 'x')), FileKind::Binary, 0x1FFF, *untouched),
              LoadError::TooBig);
    expect_unchanged(*untouched);
}

TEST_F(FileLoad, ChinesePathsWork) {
    auto img = earlier_image();
    EXPECT_EQ(load_file(write("固件.hex", kRec10 + "\r\n" + kEof), FileKind::Hex, 0x1FFF, *img), LoadError::None);
    EXPECT_EQ(img->rom_data[0x10], 0xAA);
}

} // namespace
} // namespace tarn
