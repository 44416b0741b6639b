#pragma once
// The status channel: every buzzer, LED and vibrator call of the library is appended as one JSON
// line to "terminal-status.jsonl" in the device root, for a simulated terminal to show, e.g.
//   {"library":"K240CE_SYS.DLL","call":"SetLEDLight","args":[2,1],"device":"/sys/class/leds/x"}
// "device" names the host device that was driven, or is empty when the host has none.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::terminal {

inline constexpr const char* kStatusFileName = "terminal-status.jsonl";

struct StatusEvent {
    std::string library;
    std::string call;
    std::vector<std::uint32_t> args;
    std::string device;
};

std::string toJsonLine(const StatusEvent& event);

// Appends the event to the status file of deviceRoot (nothing when it is empty). One write per
// line, so lines of several processes do not mix. False when the file cannot be written.
bool report(const std::filesystem::path& deviceRoot, const StatusEvent& event);

}  // namespace tessel::terminal
