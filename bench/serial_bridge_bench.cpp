// Wall time of a serial programming job over a real COM port, against its
// floor: Tarnload's main window programs and verifies a 256-line HEX file on
// a P89C51RA2X at 38400 baud behind COM1, where the pty bridge runs the
// simulated boot loader with no processing time of its own. The floor is the
// line time of every byte the run has to wait for plus the pauses the run
// makes by design; the report also gives the process's processor time.
//
// Run it with "make bench" (about three minutes), which starts it as
//   tools/with-pty-bridge build/win64/host/tarn_pty_bridge --fast COM1=P89C51RA2X --
//   tools/wine-run build/win64/bin/tarnload_serial_bench.exe
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "image/hex_digits.h"
#include "serial/isp_records.h"
#include "usb/ch375_library.h"
#include "window_driver.h"

namespace {

using namespace tarn;

constexpr int kLines = 256;
constexpr double kBaud = 38400;

std::string hex_file() {
    std::string text;
    for (int r = 0; r < kLines; ++r) {
        std::string line = ":10";
        unsigned sum = 0x10 + ((r * 16) >> 8) + ((r * 16) & 0xFF);
        append_hex2(line, static_cast<uint8_t>((r * 16) >> 8));
        append_hex2(line, static_cast<uint8_t>((r * 16) & 0xFF));
        line += "00";
        for (int i = 0; i < 16; ++i) {
            const auto b = static_cast<uint8_t>(r * 7 + i * 13);
            append_hex2(line, b);
            sum += b;
        }
        append_hex2(line, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
        text += line + "\r\n";
    }
    return text + ":00000001FF\r\n";
}

double seconds(const FILETIME& ft) {
    return static_cast<double>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7;
}

double cpu_seconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return seconds(kernel) + seconds(user);
}

// The floor: bytes the run waits for at the line's rate, plus its pauses.
double floor_seconds(const Form1& form) {
    const double byte = 10.0 / kBaud;
    double line_bytes = 0, pauses_ms = 0;
    // One probe: "U" out, 50 ms.
    line_bytes += 1;
    pauses_ms += 50;
    // Three identity reads, a character at a time with 1 ms after each, 200 ms.
    line_bytes += 3 * 15;
    pauses_ms += 3 * (15 * 1 + 200);
    // The record before the data, 10 ms after each character, then 50 ms.
    line_bytes += isp::kBeforeData.size();
    pauses_ms += static_cast<double>(isp::kBeforeData.size()) * 10 + 50;
    // Every line of the file in one write, 50 ms after each.
    for (int32_t j = 0; j <= form.image.str_len; ++j) {
        line_bytes += static_cast<double>(form.image.hex_lines[static_cast<std::size_t>(j)].size());
        pauses_ms += 50;
    }
    // The finishing records, 5 ms after each character, 10 ms, 200 ms between.
    line_bytes += isp::kFinish1.size() + isp::kFinish2.size();
    pauses_ms += static_cast<double>(isp::kFinish1.size() + isp::kFinish2.size()) * 5 + 10 + 200 + 10;
    // Verification of each data line: the record, the CR; 10, 10, 50, 500 ms.
    line_bytes += kLines * (21 + 1);
    pauses_ms += kLines * (10 + 10 + 50 + 500);
    return line_bytes * byte + pauses_ms / 1000.0;
}

} // namespace

int main() {
    const auto path = std::filesystem::temp_directory_path() / "tarnload_bench_256.hex";
    std::ofstream(path, std::ios::binary) << hex_file();

    win::Ch375Library ch375;
    win::testing::WindowDriver d(ch375);
    d.open();
    d.answerer().take_boxes();
    d.choose(Ctl::Combo2, "P89C51RA2X");
    d.choose(Ctl::Combo3, "COM1");
    d.choose(Ctl::Combo4, "38400");
    d.form().open_path(win::narrow(path.wstring()));
    d.pump();
    if (d.form().image.str_len != kLines) {
        std::fprintf(stderr, "bench: the HEX file did not load\n");
        return 1;
    }
    d.tick_only({3, 4});

    const double cpu0 = cpu_seconds();
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    d.click(Ctl::start);
    QueryPerformanceCounter(&t1);
    const double wall = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart);
    const double cpu = cpu_seconds() - cpu0;
    const double floor = floor_seconds(d.form());

    const std::string status = d.status();
    std::printf("serial program + verify, %d lines at 38400 baud: %s\n", kLines, status.c_str());
    std::printf("  wall time  %8.2f s\n", wall);
    std::printf("  floor      %8.2f s   (line time of every byte waited for + the run's pauses)\n", floor);
    std::printf("  over floor %8.2f %%\n", 100.0 * (wall - floor) / floor);
    std::printf("  processor  %8.2f s = %.2f %% of the wall time\n", cpu, 100.0 * cpu / wall);
    return status == "校验成功！" ? 0 : 1;
}
