// The serial programming run for the Philips models.
#pragma once

namespace tarn {

class Form1;

// Runs the ticked operations over the serial port, synchronously.
void serial_run(Form1& form);

} // namespace tarn
