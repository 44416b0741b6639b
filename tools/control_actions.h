#pragma once
// What each control of tessel-control does, as data: messages to the browser by name (as
// tessel-send sends them) and request lines to the simulated terminal (as tessel-terminal
// present sends them, terminal/control_line.h), each after a pause. Built here without any I/O;
// the window only carries them out, in order.
//
//     std::string error;
//     if (auto actions = barcodeActions("A", "4006381333931", error)) run(*actions);

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_channel.h"

namespace tessel::tools {

struct ControlAction {
    enum class To { Browser, Terminal };
    To to = To::Browser;
    platform::ChannelRequest message;    // To::Browser
    std::string line;                    // To::Terminal
    std::chrono::milliseconds after{0};  // the pause after the previous action
    bool operator==(const ControlAction&) const = default;
};
using ControlActions = std::vector<ControlAction>;

// The trigger key going down or up.
ControlActions triggerActions(bool down);

// A barcode for the scan engine's next read: TYPE is one character or a number 0-255, DATA any
// bytes but none (each byte is escaped as the request line needs). Nullopt with a reason.
std::optional<ControlActions> barcodeActions(std::string_view type, std::string_view data, std::string& error);

// A tag in the RFID reader's field (UID: 4 or 7 bytes in hexadecimal), or the field emptied.
std::optional<ControlActions> tagActions(std::string_view uid, std::string& error);
ControlActions tagRemovedActions();

// The power source, then the charge (percent, 0-100) as the battery-state message. The browser
// looks at its power source every 500 ms and draws the battery icon when the charge comes, so
// the charge follows after a longer pause.
inline constexpr std::chrono::milliseconds kPowerSettleTime{600};
std::optional<ControlActions> batteryActions(int charge, bool onMains, std::string& error);

// The wireless signal in dBm (-128 to 0), then its level (0-4) as the signal-strength message.
std::optional<ControlActions> signalActions(std::int32_t dbm, std::string& error);

// Shows or hides the browser's Wi-Fi and battery icons.
ControlActions iconActions(bool wifi, bool battery);

}  // namespace tessel::tools
