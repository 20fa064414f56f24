// The boot-loader simulator on a Linux pseudo-terminal, so that a program
// under Wine talks to it through a real COM port (Wine maps COMn onto the
// terminal's /dev/pts/N). The line is paced at the baud rate the program
// set on the terminal.
//
//   tarn_pty_bridge --model P89C51RA2X [--limit SECONDS] [--control FILE]
//                   [--fast] [--log FILE]
//
// Prints the terminal's path on the first line of its output, then runs
// until the time limit (default 600 s), SIGINT/SIGTERM, or "quit" in the
// control file. Lines appended to the control file: "reset" presses the
// chip's reset button, "quit" ends the bridge. --fast makes the chip answer
// without processing time (for measuring the program alone). --log writes
// every byte that crosses the line, with its time, to FILE.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "boot_loader_sim.h"
#include "serial_line.h"

namespace {

using namespace tarn::sim;

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

uint32_t baud_of(speed_t speed) {
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 9600;
    }
}

int usage() {
    std::fprintf(stderr, "usage: tarn_pty_bridge --model NAME [--limit SECONDS] [--control FILE] [--fast]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<LoaderModel> model;
    double limit_s = 600;
    std::string control;
    bool fast = false;
    std::string log_path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--model" && i + 1 < argc) model = loader_model(argv[++i]);
        else if (arg == "--limit" && i + 1 < argc) limit_s = std::atof(argv[++i]);
        else if (arg == "--control" && i + 1 < argc) control = argv[++i];
        else if (arg == "--fast") fast = true;
        else if (arg == "--log" && i + 1 < argc) log_path = argv[++i];
        else return usage();
    }
    if (!model) return usage();

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("pty");
        return 1;
    }
    const std::string slave_path = ptsname(master);
    // Kept open, so the terminal lives on while the program closes and
    // reopens its side; raw, so no byte is changed or echoed by the kernel.
    const int slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("%s\n", slave_path.c_str());
    std::fflush(stdout);

    BootLoaderSim chip(*model);
    if (fast) {
        chip.erase_ns = chip.blank_check_ns = chip.record_ns = chip.record_byte_ns = chip.command_ns = 0;
    }
    SerialLine line(chip, 9600);
    const auto start = std::chrono::steady_clock::now();
    auto now_ns = [&] {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count());
    };
    chip.reset(0);

    std::FILE* log = log_path.empty() ? nullptr : std::fopen(log_path.c_str(), "w");
    auto note = [&](const char* direction, const uint8_t* bytes, std::size_t n) {
        if (!log) return;
        std::fprintf(log, "%10.3f %s ", static_cast<double>(now_ns()) / 1e6, direction);
        for (std::size_t i = 0; i < n; ++i) {
            const uint8_t b = bytes[i];
            if (b >= 0x20 && b < 0x7F) std::fputc(b, log);
            else std::fprintf(log, "<%02X>", b);
        }
        std::fputc('\n', log);
        std::fflush(log);
    };

    std::streamoff control_offset = 0;
    uint64_t next_control_ns = 0;
    const uint64_t limit_ns = static_cast<uint64_t>(limit_s * 1e9);
    while (!g_stop && now_ns() < limit_ns) {
        // The program's settings: the line runs at the terminal's rate.
        termios t{};
        if (tcgetattr(slave, &t) == 0) {
            const uint32_t baud = baud_of(cfgetospeed(&t));
            if (baud != line.baud()) line.set_baud(baud);
        }

        // Sleep until the next byte is due at the program, or input comes.
        uint64_t now = now_ns();
        int timeout_ms = 20;
        if (const auto next = line.next_arrival(now)) {
            timeout_ms = static_cast<int>(std::min<uint64_t>(20, (*next > now ? *next - now : 0) / 1'000'000));
        }
        pollfd pfd{master, POLLIN, 0};
        poll(&pfd, 1, timeout_ms);

        now = now_ns();
        uint8_t buf[4096];
        while (true) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            note("in ", buf, static_cast<std::size_t>(n));
            line.host_write(std::span<const uint8_t>(buf, static_cast<std::size_t>(n)), now);
        }
        const std::vector<uint8_t> out = line.host_read(now_ns());
        if (!out.empty()) note("out", out.data(), out.size());
        if (!out.empty() && write(master, out.data(), out.size()) < 0) {
            // The program has not opened its side; what the chip said is lost,
            // as on a line with nobody listening.
        }

        // New lines of the control file, looked at every 50 ms.
        if (!control.empty() && now_ns() >= next_control_ns) {
            next_control_ns = now_ns() + 50'000'000;
            std::ifstream commands(control);
            commands.seekg(control_offset);
            std::string cmd;
            while (std::getline(commands, cmd)) {
                if (commands.eof()) break;  // a line still being written
                control_offset += static_cast<std::streamoff>(cmd.size() + 1);
                if (!cmd.empty() && cmd.back() == '\r') cmd.pop_back();
                if (cmd == "reset") line.reset_chip(now_ns());
                if (cmd == "quit") g_stop = 1;
            }
        }
    }
    if (log) std::fclose(log);
    close(slave);
    close(master);
    return 0;
}
