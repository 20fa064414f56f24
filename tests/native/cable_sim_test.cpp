#include "cable_sim.h"

#include <gtest/gtest.h>

namespace tarn::sim {
namespace {

using Frame = std::array<uint8_t, 7>;

struct Exchange {
    bool write_ok;
    uint32_t written;
    bool read_ok;
    std::vector<uint8_t> reply;
};

Exchange exchange(CableSimulator& cable, uint8_t code, uint8_t p3 = 0, uint8_t p4 = 0, uint8_t p5 = 0, uint32_t want = 7) {
    Frame f{code, static_cast<uint8_t>(0xFF - code), 0, p3, p4, p5, 0};
    Exchange e;
    e.written = 7;
    e.write_ok = cable.write(f.data(), e.written);
    std::vector<uint8_t> buf(want);
    uint32_t n = want;
    e.read_ok = cable.read(buf.data(), n);
    buf.resize(n);
    e.reply = buf;
    return e;
}

TEST(CableSimulator, TestFrameAndProgrammingMode) {
    CableSimulator cable;
    const Frame test{0x93, 0x6C, 0x5A, 0x96, 0xF3, 0x4C, 0x39};
    uint32_t n = 7;
    ASSERT_TRUE(cable.write(test.data(), n));
    std::vector<uint8_t> reply(64);
    n = 64;
    ASSERT_TRUE(cable.read(reply.data(), n));
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(reply[0], 0x6C);
    EXPECT_EQ(reply[2], 0xA5);
    EXPECT_EQ(reply[3], 0x69);

    // Programming commands are refused until programming mode is on.
    EXPECT_EQ(exchange(cable, 0xA5).reply, std::vector<uint8_t>(7, 0));
    EXPECT_EQ(exchange(cable, 0xA8, 0, 0, 0, 3).reply, (std::vector<uint8_t>{0xA5, 0x5A, 0x69}));
    for (uint8_t i = 0; i < 5; ++i) EXPECT_EQ(exchange(cable, 0xA4, i, 0, 0, 3).reply[2], CableSimulator::kAt89s5xIdentity[i]);
    // A frame whose check byte is wrong is refused.
    const Frame bad{0xA5, 0x00, 0, 0, 0, 0, 0};
    n = 7;
    cable.write(bad.data(), n);
    n = 7;
    cable.read(reply.data(), n);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0x00);
}

TEST(CableSimulator, FlashErasesToFFAndProgramsByClearingBits) {
    CableSimulator cable;
    exchange(cable, 0xA8);
    exchange(cable, 0xA6, 0x34, 0x12, 0xF0);  // 0x1234 wraps into 8 KiB: 0x1234
    EXPECT_EQ(cable.flash[0x1234], 0xF0);
    exchange(cable, 0xA6, 0x34, 0x12, 0x3C);  // without erase: the AND of old and new
    EXPECT_EQ(exchange(cable, 0xA5, 0x34, 0x12).reply[2], 0x30);
    exchange(cable, 0xA6, 0x00, 0x20, 0x55);  // 0x2000 is address 0 of an 8 KiB chip
    EXPECT_EQ(cable.flash[0], 0x55);
    exchange(cable, 0xA7, 2);
    exchange(cable, 0xA7, 3);
    EXPECT_EQ(cable.lock_bits, (std::array<bool, 3>{false, true, true}));
    exchange(cable, 0xA3);
    EXPECT_EQ(cable.flash[0x1234], 0xFF);
    EXPECT_EQ(cable.lock_bits, (std::array<bool, 3>{}));
}

TEST(CableSimulator, FaultsStrikeTheChosenFrames) {
    CableSimulator cable;
    auto faults = parse_faults("failwrite:A5@1; shortwrite:A5@3, failread:A6*2; shortreply:A4=2; reject:A3; reply:A8=000069");
    ASSERT_TRUE(faults.has_value());
    for (const auto& f : *faults) cable.add_fault(f);

    const Exchange enable = exchange(cable, 0xA8);
    EXPECT_EQ(enable.reply, (std::vector<uint8_t>{0x00, 0x00, 0x69}));
    EXPECT_TRUE(exchange(cable, 0xA5).read_ok);            // read byte #0
    EXPECT_FALSE(exchange(cable, 0xA5).write_ok);          // #1 fails
    EXPECT_TRUE(exchange(cable, 0xA5).write_ok);           // #2
    const Exchange short_write = exchange(cable, 0xA5);    // #3 goes out in part
    EXPECT_TRUE(short_write.write_ok);
    EXPECT_EQ(short_write.written, 6u);
    EXPECT_FALSE(short_write.read_ok);                     // the cable took no command
    EXPECT_FALSE(exchange(cable, 0xA6).read_ok);
    EXPECT_FALSE(exchange(cable, 0xA6).read_ok);
    EXPECT_TRUE(exchange(cable, 0xA6).read_ok);            // times 2: over
    EXPECT_EQ(exchange(cable, 0xA4).reply.size(), 2u);
    EXPECT_EQ(exchange(cable, 0xA3).reply[0], 0x00);

    EXPECT_FALSE(parse_faults("explode:A5").has_value());
    EXPECT_FALSE(parse_faults("failread:ZZ").has_value());
    EXPECT_TRUE(parse_faults("").has_value());
}

TEST(CableSimulator, UnplugFaultPullsTheCable) {
    CableSimulator cable;
    std::vector<bool> changes;
    cable.on_plug_change = [&](bool plugged) { changes.push_back(plugged); };
    CableFault unplug;
    unplug.kind = CableFault::Kind::Unplug;
    unplug.code = 0xA6;
    unplug.nth = 2;
    cable.add_fault(unplug);
    exchange(cable, 0xA8);
    EXPECT_TRUE(exchange(cable, 0xA6).write_ok);
    EXPECT_TRUE(exchange(cable, 0xA6).write_ok);
    EXPECT_FALSE(exchange(cable, 0xA6).write_ok);
    EXPECT_FALSE(cable.plugged());
    EXPECT_EQ(changes, std::vector<bool>{false});
    EXPECT_FALSE(exchange(cable, 0x93).write_ok);
    cable.set_plugged(true);
    // Plugged in again: programming mode has to be entered anew.
    EXPECT_EQ(exchange(cable, 0xA5).reply[0], 0x00);
}

} // namespace
} // namespace tarn::sim
