#pragma once
// The host folders of a simulated terminal: its own /proc and /sys, in the device root, so that
// the operator sets the battery's power source and the wireless signal the browser and the
// system-services library read (TESSEL_PROC_ROOT, TESSEL_SYS_ROOT). Only the files these
// readings use are simulated:
//   proc/net/wireless                      one interface whose level is the signal in dBm
//   sys/class/power_supply/AC/type,online  a mains supply, online while on mains power
// The rest links to the host's own: proc/sys (the kernel release), sys/class/dmi (identity),
// sys/class/leds and sys/class/input (the LED and the vibrator the library drives).

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tessel::terminal {

struct SimulatedHost {
    std::filesystem::path proc;
    std::filesystem::path sys;

    // The folders of a device root ("simhost/proc", "simhost/sys").
    static SimulatedHost of(const std::filesystem::path& root);
    // The environment that points a process at these folders.
    std::vector<std::pair<std::string, std::string>> environment() const;
};

// The text of /proc/net/wireless with one interface, "wlan0", at signal level dbm.
std::string wirelessText(std::int32_t dbm);

// Makes the folders and links; the terminal starts on battery with a signal of kStartSignalDbm.
// False with a reason in error.
inline constexpr std::int32_t kStartSignalDbm = -60;
bool createSimulatedHost(const SimulatedHost& host, std::string& error);

// Replace one simulated reading, each file whole. False with a reason in error.
bool setMains(const SimulatedHost& host, bool onMains, std::string& error);
bool setSignal(const SimulatedHost& host, std::int32_t dbm, std::string& error);

}  // namespace tessel::terminal
