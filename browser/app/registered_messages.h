#pragma once
// The registered message names that join the program to other processes and its own threads,
// and their numbers in this run.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/ui.h"

namespace tessel::app {

enum class Msg {
    User1Down,
    User1Up,
    User2Down,
    User2Up,
    Decode,
    DecodeError,
    BatteryState,
    WifiStrength,
    BrowserShowIcon,
    DecodeImg,
};

inline constexpr std::array<std::string_view, 10> kMessageNames = {
    "WM_USER1DOWN",    "WM_USER1UP",      "WM_USER2DOWN",     "WM_USER2UP",
    "WM_DECODE",       "WM_DECODEERROR",  "WM_BATTERYSTATE",  "WM_WIFISTRENGTH",
    "WM_BROWSER_SHOWICON", "WM_DECODE_IMG",
};

// The numbers the toolkit gave the ten names.
class RegisteredMessages {
public:
    explicit RegisteredMessages(platform::ui::Toolkit& toolkit) {
        for (std::size_t i = 0; i < kMessageNames.size(); ++i)
            numbers_[i] = toolkit.registerMessage(kMessageNames[i]);
    }
    std::uint32_t operator[](Msg m) const { return numbers_[static_cast<std::size_t>(m)]; }
    bool is(std::uint32_t message, Msg m) const { return message == (*this)[m]; }

private:
    std::array<std::uint32_t, kMessageNames.size()> numbers_{};
};

}  // namespace tessel::app
