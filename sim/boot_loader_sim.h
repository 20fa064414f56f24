// A simulated Philips boot loader (P89C51RA2X, P89C51RD2X, P89C51RD2HX,
// P89V51RD2) as the serial line sees it: autobaud on 0x55 after a reset,
// the echo of every character, Intel-HEX command records with their check
// bytes, identity reads, erase, blank check, programming, the contents
// display, and faults on demand. Time is in nanoseconds; the line around it
// paces the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::sim {

enum class LoaderModel { P89C51RA2X, P89C51RD2X, P89C51RD2HX, P89V51RD2 };

std::optional<LoaderModel> loader_model(std::string_view name);

struct LoaderFaults {
    bool silent = false;             // answers nothing at all, not even the echo
    int silent_after_bytes = -1;     // falls silent after this many bytes since the reset
    bool missing_dot = false;        // acknowledgements and identity replies lack their "."
    int stop_reply_after = -1;       // a reply stops after this many bytes
    int stop_contents_after = -1;    // the contents display stops after this many bytes
    std::string stray;               // bytes sent before every reply
    bool lower_case = false;         // hexadecimal digits of replies in lower case
    std::vector<std::string> refuse; // records answered with an error instead of "."
    std::vector<std::string> ignore; // records echoed but never answered
};

class BootLoaderSim {
public:
    // Queues bytes on the loader's transmit line, not before time `at`.
    using Send = std::function<void(uint64_t at_ns, std::string_view bytes)>;

    explicit BootLoaderSim(LoaderModel model);

    // A byte has been received completely at time t.
    void receive(uint8_t byte, uint64_t t_ns, const Send& send);
    // The reset button (or power-on) at time t: the loader waits for 0x55.
    void reset(uint64_t t_ns);

    LoaderModel model() const { return model_; }

    // The chip.
    std::vector<uint8_t> flash;
    std::array<uint8_t, 3> identity{};
    LoaderFaults faults;

    // Times the loader takes (ns).
    uint64_t erase_ns;
    uint64_t blank_check_ns;
    uint64_t record_ns = 2'000'000;       // a data record: 2 ms and 60 us a byte
    uint64_t record_byte_ns = 60'000;
    uint64_t command_ns = 500'000;        // any other command
    uint64_t echo_ns = 0;                 // a loader that echoes late
    // The P89V51RD2 listens this long after a reset, then runs the user program.
    uint64_t autobaud_window_ns = 400'000'000;

    // Every complete record received, as sent.
    std::vector<std::string> records;

private:
    enum class State { Autobaud, Ready, UserProgram };
    enum class Pending { None, Contents, BlankCheck };

    void handle_record(const std::string& record, uint64_t t, const Send& send);
    // A reply: stray bytes first, the faults applied.
    void reply(uint64_t at, std::string text, const Send& send);
    std::string hex2(uint8_t v) const;
    void show_contents(uint64_t t, const Send& send);

    LoaderModel model_;
    State state_ = State::Autobaud;
    uint64_t reset_ns_ = 0;
    int64_t received_ = 0;
    std::string record_;
    bool in_record_ = false;
    Pending pending_ = Pending::None;
    uint32_t range_start_ = 0, range_end_ = 0;
};

} // namespace tarn::sim
