// A simulated USB programmer cable with an AT89S5x target behind it: the
// 7-byte command frames and their replies, 8 KiB of flash that erases to
// 0xFF and programs by clearing bits, three lock bits, a plug that can be
// pulled, and faults on demand.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::sim {

// A fault that strikes frames: those with the given command code (or any),
// from the nth such frame on (counting from 0), for `times` frames (-1: all).
struct CableFault {
    enum class Kind {
        FailWrite,    // the write of the frame fails
        ShortWrite,   // the write reports 6 bytes; the cable ignores the piece
        FailRead,     // the read of the frame's reply fails
        ShortReply,   // the reply keeps only `length` bytes
        RejectReply,  // the reply starts with neither 0xA5 nor 0x5A
        Unplug,       // the cable is pulled as the frame arrives
        Reply,        // the reply is replaced by `bytes`
    };
    Kind kind = Kind::FailWrite;
    int code = -1;
    int nth = 0;
    int times = 1;
    uint32_t length = 6;
    std::vector<uint8_t> bytes;
};

// Parses faults written as "kind[:code][@nth][*times][=value]", separated by
// ";" or ",": kinds failwrite, shortwrite, failread, shortreply, reject,
// unplug, reply; the code in hex (A6), nth and times in decimal; the value is
// the length of a short reply in decimal, or the bytes of a reply in hex
// (reply:A8=000069). Nothing on error.
std::optional<std::vector<CableFault>> parse_faults(std::string_view text);

class CableSimulator {
public:
    static constexpr std::array<uint8_t, 5> kAt89s5xIdentity{0x1E, 0x52, 0x06, 0x40, 0x24};

    explicit CableSimulator(std::size_t flash_size = 8192);

    bool plugged() const { return plugged_; }
    // Plugging or pulling the cable; a pulled cable forgets programming mode.
    void set_plugged(bool plugged);
    // Called whenever the plug state changes (also by an Unplug fault).
    std::function<void(bool plugged)> on_plug_change;

    // One write of the library: a 7-byte command frame.
    bool write(const uint8_t* data, uint32_t& length);
    // One read of the library: up to `length` bytes of the pending reply.
    bool read(uint8_t* buffer, uint32_t& length);

    void add_fault(const CableFault& fault) { faults_.push_back({fault, 0}); }
    void clear_faults() { faults_.clear(); }

    // The target chip.
    std::vector<uint8_t> flash;
    std::array<uint8_t, 5> identity = kAt89s5xIdentity;
    std::array<bool, 3> lock_bits{};
    bool programming_enabled = false;

    // Every whole frame the cable received, in order.
    std::vector<std::array<uint8_t, 7>> frames;
    // Frames received, whole or not (faults count these).
    uint64_t writes = 0;

private:
    struct ActiveFault {
        CableFault fault;
        int seen;
    };
    std::vector<uint8_t> answer(const std::array<uint8_t, 7>& frame);
    std::size_t flash_address(uint8_t lo, uint8_t hi) const { return (static_cast<std::size_t>(hi) << 8 | lo) % flash.size(); }

    bool plugged_ = true;
    std::vector<ActiveFault> faults_;
    bool reply_pending_ = false;
    std::vector<uint8_t> reply_;
    bool reply_fails_ = false;
};

} // namespace tarn::sim
