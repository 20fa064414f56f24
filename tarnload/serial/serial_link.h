// The serial link under the serial programming run: configuring and opening
// the port, putting records on the line (character by character with the
// reply collected as hex text, or in one write), the autobaud probe and the
// wait-for-reset window, the receive handler that gathers a read-back in the
// background, and the watchdog squ_timer that bounds it.
//
// The line is paced for a boot loader that echoes every character and has no
// flow control; every pause goes through the window's clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarn {

class Form1;

// Bound of every wait until sent (the line drains by itself; this only keeps
// a broken port from holding the window).
inline constexpr uint32_t kSendWaitMs = 10'000;
// The watchdog's interval, and the bound of the programming acknowledgements.
inline constexpr uint32_t kWatchdogMs = 5000;

// Configures and opens the port from the window's port and baud-rate boxes;
// false (having reported) when the port does not open.
bool port_setup(Form1& f);
// Sends com_cmd a character at a time and leaves the reply, without its
// line end, as hexadecimal text in com_dack (empty: no reply).
void com_send(Form1& f);
// Writes a record in one call, waits until it is sent, then pauses.
void send_record(Form1& f, std::string_view record, uint32_t pause_ms);
// Writes a record a character at a time: each written, sent, then a pause.
// With clear_each, the output queue is cleared before each character.
void send_chars(Form1& f, std::string_view record, uint32_t pause_ms, bool clear_each = false);
// Takes every waiting byte and drops it.
void flush_input(Form1& f);
// Drops the echo of a record of `len` characters sent a character at a time.
// The loader echoes each character once it has received the whole of it, so
// the echo of the last one comes a line time after it went out, later than
// the pause after it at low baud rates; it is waited for (a short while) so
// that it is not taken for the answer that follows.
void flush_echo(Form1& f, std::size_t len);
// One autobaud probe: true when the first byte back is the echo of 0x55.
bool probe_once(Form1& f);

// The port's notifications (receive handler), on the window's thread.
void serial_comm_event(Form1& f, int code);
// squ_timer expired.
void serial_watchdog_tick(Form1& f);

// The wait window XINXI.
void wait_window_load(Form1& f);
void wait_window_tick(Form1& f);
void wait_window_cancel(Form1& f);
void wait_window_unload(Form1& f);

} // namespace tarn
