#include "browser/app/layout.h"

#include <algorithm>

namespace tessel::app {

namespace {

using Frame = platform::ui::Window::Frame;

enum class Form { Wide, Kp30, Narrow };

Form formOf(const Screen& screen) {
    if (screen.sizeClass == 2) return Form::Wide;
    return screen.kp30 ? Form::Kp30 : Form::Narrow;
}

struct LayoutRow {
    Form form;
    Layout normal;
    int coveredBrowserHeight;  // browser height when the task bar covers the page's foot
    Layout full;
};

constexpr LayoutRow kLayouts[] = {
    {Form::Wide, {Frame::Caption, true, {1, 26, 479, 614}, {2, 27, 479, 581}}, 555,
     {Frame::None, false, {0, 0, 480, 640}, {0, 0, 480, 640}}},
    {Form::Kp30, {Frame::SystemMenuOnly, true, {1, 26, 240, 400}, {1, 26, 240, 400}}, 400,
     {Frame::None, false, {0, 0, 240, 400}, {0, 0, 240, 400}}},
    {Form::Narrow, {Frame::Caption, true, {1, 26, 239, 294}, {1, 26, 239, 264}}, 216,
     {Frame::None, false, {0, 0, 240, 320}, {0, 0, 240, 320}}},
};

const LayoutRow& rowOf(const Screen& screen) {
    for (const auto& row : kLayouts)
        if (row.form == formOf(screen)) return row;
    return kLayouts[2];
}

struct IconPlace {
    IconRow row;
    int wideX;
    int narrowX;
    int normalY;
    int fullY;
    int size;
};

constexpr IconPlace kIconPlaces[] = {
    {IconRow::Earth, 428, 189, 27, 1, 20},
    {IconRow::Battery, 411, 155, 28, 2, 16},
    {IconRow::Wlan, 394, 172, 28, 2, 16},
};

}  // namespace

Screen screenFor(const Rect& desktop, bool kp30) {
    return desktop.width == 480 ? Screen{2, kp30} : Screen{1, kp30};
}

Rect windowRect(const Screen& screen) {
    switch (formOf(screen)) {
        case Form::Wide: return {0, 0, 480, 640};
        case Form::Kp30: return {0, 16, 240, 384};
        case Form::Narrow: break;
    }
    return {0, 0, 240, 320};
}

Layout layoutFor(const Screen& screen, bool fullScreen, bool taskBarCoversPage) {
    const LayoutRow& row = rowOf(screen);
    if (fullScreen) return row.full;
    Layout layout = row.normal;
    if (taskBarCoversPage) layout.browser.height = row.coveredBrowserHeight;
    return layout;
}

Rect inPage(const Rect& windowRect, const Layout& layout) {
    return {windowRect.x - layout.page.x, windowRect.y - layout.page.y, windowRect.width, windowRect.height};
}

PagePlaces pagePlaces(const Layout& layout) {
    const Rect browser = inPage(layout.browser, layout);
    const int foot = browser.y + browser.height;
    return {browser, {browser.x, foot, browser.width, std::max(0, layout.page.height - foot)}};
}

Rect iconRect(IconRow row, const Screen& screen, bool fullScreen) {
    for (const auto& place : kIconPlaces) {
        if (place.row != row) continue;
        return {screen.sizeClass == 2 ? place.wideX : place.narrowX,
                fullScreen ? place.fullY : place.normalY, place.size, place.size};
    }
    return {};
}

Point toolsPopupPoint(const Screen& screen) { return screen.kp30 ? Point{2, 45} : Point{2, 28}; }

Point trayPopupPoint(const Screen& screen, bool taskBarLowersPopup) {
    const int d = taskBarLowersPopup ? 20 : 0;
    switch (formOf(screen)) {
        case Form::Wide: return {320, 480 + d};
        case Form::Kp30: return {40, 270 + d};
        case Form::Narrow: break;
    }
    return {40, 170 + d};
}

std::vector<int> swipeKeys(int dx, int dy) {
    constexpr int kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kPresses = 6;
    std::vector<int> keys;
    if (dy < -10) keys.insert(keys.end(), kPresses, kDown);
    if (dy > 10) keys.insert(keys.end(), kPresses, kUp);
    if (dx < -10) keys.insert(keys.end(), kPresses, kRight);
    if (dx > 10) keys.insert(keys.end(), kPresses, kLeft);
    return keys;
}

}  // namespace tessel::app
