#include "browser/app/status_icons.h"

#include <string>

namespace tessel::app {

namespace {

struct RowInfo {
    IconRow row;
    const char16_t* bitmap;
    int count;
};

constexpr RowInfo kRows[] = {
    {IconRow::Earth, u"IDB_EARTH", kEarthFrames},
    {IconRow::Battery, u"IDB_BATTERY", kBatteryIcons},
    {IconRow::Wlan, u"IDB_WLANS", kWlanIcons},
};

// Lower bounds of the charge for battery icons 5 down to 1; below the last, icon 0.
constexpr int kChargeSteps[] = {90, 70, 50, 30, 15};

}  // namespace

int signalLevel(std::int32_t dbm) {
    if (dbm <= -99 || dbm >= 0) return 0;
    if (dbm <= -89) return 1;
    if (dbm <= -69) return 2;
    if (dbm <= -49) return 3;
    return 4;
}

int wifiIcon(std::uintptr_t wParam) { return wParam < kWlanIcons ? static_cast<int>(wParam) : 3; }

std::optional<int> batteryIcon(std::uint8_t mains, std::intptr_t charge) {
    if (mains == 1) return 6;
    if (mains != 0) return std::nullopt;
    int icon = 5;
    for (int step : kChargeSteps) {
        if (charge >= step) return icon;
        --icon;
    }
    return 0;
}

int StatusIcons::controlId(IconRow row, int index) {
    return 1000 + static_cast<int>(row) * 100 + index;
}

void StatusIcons::create() {
    for (const auto& info : kRows) {
        for (int i = 0; i < info.count; ++i) {
            platform::ui::ControlSpec spec;
            spec.kind = platform::ui::ControlKind::Picture;
            spec.id = controlId(info.row, i);
            spec.text = info.bitmap + std::u16string(1, static_cast<char16_t>(u'0' + i));
            spec.style.hidden = true;
            page_.addControl(spec);
        }
    }
}

void StatusIcons::place(const Screen& screen, bool fullScreen, const Layout& layout) {
    for (const auto& info : kRows)
        for (int i = 0; i < info.count; ++i)
            page_.moveControl(controlId(info.row, i), inPage(iconRect(info.row, screen, fullScreen), layout));
}

void StatusIcons::show(IconRow row, std::optional<int> index) {
    for (const auto& info : kRows) {
        if (info.row != row) continue;
        for (int i = 0; i < info.count; ++i) page_.showControl(controlId(row, i), index == i);
    }
}

std::optional<int> StatusIcons::shown(IconRow row) const {
    for (const auto& info : kRows) {
        if (info.row != row) continue;
        for (int i = 0; i < info.count; ++i)
            if (page_.isShown(controlId(row, i))) return i;
    }
    return std::nullopt;
}

}  // namespace tessel::app
