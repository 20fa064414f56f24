#include "serial/isp_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarn::isp {
namespace {

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(IspRecords, Type04Records) {
    EXPECT_EQ(type04(0, 0x1FFF, 1), ":0500000400001FFF01D8");
    EXPECT_EQ(type04(0, 0xFFFF, 1), ":050000040000FFFF01F8");
    EXPECT_EQ(type04(0, 0x1FFF, 0), ":0500000400001FFF00D9");
    EXPECT_EQ(type04(0, 0xFFFF, 0), ":050000040000FFFF00F9");
    EXPECT_EQ(type04("0000", 0x000F, 0), ":050000040000000F00E8");
    // Bytes that add up to a multiple of 256 give the check byte 00.
    EXPECT_EQ(type04(0x00F7, 0x0000, 0), ":0500000400F7000000" "00");
    // Address digits copied from a file line keep their case; the check byte
    // comes from their values.
    EXPECT_EQ(type04("00a0", 0x00AF, 0), ":0500000400a000AF00" "A8");
    EXPECT_TRUE(check_byte_ok(":0500000400A000AF00A8"));
    EXPECT_FALSE(type04("00g0", 0x00AF, 0).has_value());
    EXPECT_FALSE(type04("000", 0x00AF, 0).has_value());
}

TEST(IspRecords, EveryFixedRecordSatisfiesTheCheckByteRule) {
    for (std::string_view r : {kReadId[0], kReadId[1], kReadId[2], kErase, kEraseV51, kBeforeData, kFinish1, kFinish2, kFinishV51}) {
        EXPECT_TRUE(check_byte_ok(r)) << r;
    }
    EXPECT_FALSE(check_byte_ok(":020000050000F8"));
}

TEST(IspRecords, AcknowledgementPositions) {
    const std::size_t len = 4;
    EXPECT_TRUE(acknowledged(bytes("abc."), len));      // len - 1
    EXPECT_TRUE(acknowledged(bytes("abcd."), len));     // len
    EXPECT_TRUE(acknowledged(bytes("abcdx."), len));    // len + 1
    EXPECT_FALSE(acknowledged(bytes("ab.dxy"), len));   // len - 2: one place off
    EXPECT_FALSE(acknowledged(bytes("abcdxy."), len));  // len + 2
    EXPECT_FALSE(acknowledged(bytes("abcd"), len));     // not received
    EXPECT_FALSE(acknowledged(bytes(""), 0));
}

TEST(IspRecords, BlankAnswer) {
    EXPECT_TRUE(blank(bytes(".\r\n"), 3));
    EXPECT_FALSE(blank(bytes("1FFF\r\n"), 6));
    EXPECT_FALSE(blank(bytes("\n.\r"), 3));
    // n counts what was waiting when the wait ended; later bytes do not move it.
    EXPECT_TRUE(blank(bytes(".\r\nxx"), 3));
    EXPECT_FALSE(blank(bytes(".\r"), 2));
}

TEST(IspRecords, ReadBackLength) {
    EXPECT_EQ(read_back_length(0x1FFF), 19970);
    EXPECT_EQ(read_back_length(0xFFFF), 159746);
    EXPECT_EQ(read_back_length(0x1FFF), 2 + 39 * 512);
    EXPECT_EQ(round_half_even(2.5), 2);
    EXPECT_EQ(round_half_even(3.5), 4);
}

} // namespace
} // namespace tarn::isp
