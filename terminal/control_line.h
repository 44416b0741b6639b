#pragma once
// The simulator control's requests: one text line each, sent to a running simulated terminal
// (tessel-terminal present ...), parsed here without any I/O.
//
//   barcode TYPE DATA   the scan engine on port 1 decodes DATA as code type TYPE at the next
//                       trigger. TYPE is a number 0-255 (packet engines: 1 Code 39, 11 EAN-13...)
//                       or one character (the text engine's letters: A Code 39...). DATA is the
//                       rest of the line; "%HH" stands for the byte of hex value HH.
//   tag UID             the RFID reader on port 2 gets one tag in its field in place of any
//                       other: UID is hexadecimal, 4 bytes (Mifare Classic 1K) or 7 (Ultralight).
//   tag none            the field is emptied.
//   power mains         the terminal runs on mains power (its charger is plugged in) ...
//   power battery       ... or on its battery.
//   signal DBM          the wireless signal becomes DBM, a whole number from -128 to 0.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::terminal {

struct ControlCommand {
    enum class Kind { Barcode, Tag, Power, Signal };
    Kind kind = Kind::Barcode;
    std::uint8_t codeType = 0;       // Barcode
    std::vector<std::uint8_t> data;  // Barcode: the data; Tag: the UID, empty for "none"
    bool onMains = false;            // Power
    std::int32_t signalDbm = 0;      // Signal
};

inline constexpr std::int32_t kMinSignalDbm = -128;

// Nullopt with a reason in error for a line that is not a request as above. A trailing CR or LF
// is ignored.
std::optional<ControlCommand> parseControlLine(std::string_view line, std::string& error);

}  // namespace tessel::terminal
