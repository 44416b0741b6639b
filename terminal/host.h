#pragma once
// What the substitute system-services library reads and drives on the host, and where.
//
// Every root comes from the environment so that a simulated terminal (or a test) can point the
// library at folders of its own: TESSEL_PROC_ROOT (/proc), TESSEL_SYS_ROOT (/sys),
// TESSEL_ETC_ROOT (/etc), TESSEL_DEV_ROOT (/dev) and TESSEL_DEVICE_ROOT (the terminal's device
// root, which holds the status channel; none by default).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tessel::terminal {

struct Host {
    std::filesystem::path proc = "/proc";
    std::filesystem::path sys = "/sys";
    std::filesystem::path etc = "/etc";
    std::filesystem::path dev = "/dev";
    std::filesystem::path deviceRoot;  // empty: calls are not reported
    std::string ledName;               // TESSEL_LED: the good-read LED; empty: the first LED
    std::string soundDevice;           // TESSEL_SOUND_DEVICE: the buzzer's ALSA device

    static Host fromEnvironment();
};

// A text file of the host (a /proc or /sys file, whose size is not known beforehand), at most
// 64 KiB of it; nullopt when it cannot be read.
std::optional<std::string> readHostFile(const std::filesystem::path& file);

// Serial number, manufacture date and OS version of the host, with fallbacks ("Unknown", the
// kernel release) where the host has no such data.
struct HostIdentity {
    std::string serialNumber;
    std::string manufactureDate;
    std::string osVersion;
};
HostIdentity readIdentity(const Host& host);

// The wireless signal in dBm; 0 when the host has no wireless interface.
std::int32_t readSignalDbm(const Host& host);

}  // namespace tessel::terminal
