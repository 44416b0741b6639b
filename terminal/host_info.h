#pragma once
// Readings of the host's status files, as pure functions over their text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::terminal {

// Signal level in dBm of the first interface listed in /proc/net/wireless; nullopt when no
// interface is listed or its level cannot be read.
std::optional<std::int32_t> wirelessSignalDbm(std::string_view procNetWireless);

// The operating system's name and version from os-release text: PRETTY_NAME, else NAME and
// VERSION_ID; nullopt when neither is there.
std::optional<std::string> osReleaseName(std::string_view osRelease);

// A DMI text field (product_serial, bios_date...) without its line end; nullopt when it is
// empty or one of the placeholders firmware writes in place of a value.
std::optional<std::string> dmiValue(std::string_view raw);

// Whether bit `bit` is set in a capability mask as the kernel prints it under
// /sys/class/input/*/device/capabilities (hexadecimal words, most significant first).
bool capabilityBit(std::string_view mask, unsigned bit);

}  // namespace tessel::terminal
