// The seven microcontroller models the programmer serves, in the order of the
// device list, with their identity bytes, top code address and hint texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

enum class Family { Serial, Usb };

struct DeviceModel {
    std::string_view name;
    std::array<uint8_t, 5> id;
    int id_count;  // identity bytes written into chip_id: 3 (serial) or 5 (USB)
    int32_t chip_top;
};

inline constexpr std::array<DeviceModel, 7> kCatalogue{{
    {"P89C51RA2X", {0x15, 0xC2, 0x8F, 0, 0}, 3, 0x1FFF},
    {"P89C51RD2X", {0x15, 0xC2, 0x82, 0, 0}, 3, 0xFFFF},
    {"P89C51RD2HX", {0x15, 0xC2, 0x80, 0, 0}, 3, 0xFFFF},
    {"P89V51RD2", {0xBF, 0x91, 0x07, 0, 0}, 3, 0xFFFF},
    {"AT89S51", {0x1E, 0x52, 0x06, 0x40, 0x24}, 5, 0x1FFF},
    {"AT89S52", {0x1E, 0x52, 0x06, 0x40, 0x24}, 5, 0x1FFF},
    {"AT89S54", {0x1E, 0x52, 0x06, 0x40, 0x24}, 5, 0x1FFF},
}};

// A model whose name starts with "P" (exactly, case-sensitive) is programmed
// over the serial port; every other one through the USB cable.
Family family_of(std::string_view model_name);

// The catalogue row whose name equals the text exactly, or nullptr.
const DeviceModel* find_model(std::string_view model_name);

// The hint shown in the message window when a model is selected (CR LF
// between lines, no line break at the end).
std::string model_hint(std::string_view model_name);

} // namespace tarn
