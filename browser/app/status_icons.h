#pragma once
// The three status rows of the browser page: page-load globe, battery and Wi-Fi. Each row is a
// set of bitmap windows at one position, at most one of them shown.

#include <cstdint>
#include <optional>

#include "browser/app/layout.h"
#include "platform/ui.h"

namespace tessel::app {

// The signal level 0..4 for a strength in dBm.
int signalLevel(std::int32_t dbm);
// The Wi-Fi icon for a "WM_WIFISTRENGTH" wParam.
int wifiIcon(std::uintptr_t wParam);
// The battery icon for the mains flag and a charge in percent; nullopt: none shown.
std::optional<int> batteryIcon(std::uint8_t mains, std::intptr_t charge);

inline constexpr int kEarthFrames = 10;
inline constexpr int kBatteryIcons = 7;
inline constexpr int kWlanIcons = 6;

class StatusIcons {
public:
    explicit StatusIcons(platform::ui::Window& page) : page_(page) {}

    // Makes the bitmap windows, hidden; place() puts them where they belong.
    void create();
    // The rows at their main window positions for the mode, in the page of the layout.
    void place(const Screen& screen, bool fullScreen, const Layout& layout);

    // Shows icon index of a row and hides the others; nullopt hides the whole row.
    void show(IconRow row, std::optional<int> index);
    // The icon of a row shown now.
    std::optional<int> shown(IconRow row) const;

    static int controlId(IconRow row, int index);

private:
    platform::ui::Window& page_;
};

}  // namespace tessel::app
