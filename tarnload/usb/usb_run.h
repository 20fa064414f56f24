// The USB programming run for the Atmel models.
#pragma once

namespace tarn {

class Form1;

// Runs the ticked operations through the USB cable, synchronously.
void usb_run(Form1& form);

} // namespace tarn
