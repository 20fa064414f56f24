// The serial programming run for the Philips models: open the port, make
// contact with the boot loader, identify the chip, then read, or erase,
// blank-check, program and verify, as ticked.
#pragma once

#include <string>

namespace tarn {

class Form1;

// The run behind the start button; blocks until it returns (a read-back goes
// on in the background and closes the port itself).
void serial_run(Form1& f);

// The steps of the run.
void serial_blank(Form1& f);
void serial_program(Form1& f);
void serial_verify(Form1& f);
void serial_read(Form1& f);
// Called with the whole reply text when a read-back has come in.
void read_back_complete(Form1& f, const std::string& reply);

} // namespace tarn
