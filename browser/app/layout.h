#pragma once
// The main window's geometry as tables: its place per screen, the page and browser control per
// mode, the status icon rows, and where the pop-up menus open. Pure functions of the screen.

#include <optional>
#include <vector>

#include "platform/ui.h"

namespace tessel::app {

using platform::ui::Rect;

// Screen class 1: 240 pixels wide (the KP30 is one too, with a taller window); 2: 480 wide.
struct Screen {
    int sizeClass = 1;
    bool kp30 = false;
};

Screen screenFor(const Rect& desktop, bool kp30);

// The main window's place at start-up.
Rect windowRect(const Screen& screen);

struct Layout {
    platform::ui::Window::Frame frame = platform::ui::Window::Frame::Caption;
    bool stripShown = true;  // "Tools" label, toolbar and address box
    Rect page;
    Rect browser;
};

// taskBarCoversPage: the task bar's OnTop setting is 1 and its AutoHide setting is not.
Layout layoutFor(const Screen& screen, bool fullScreen, bool taskBarCoversPage);

// The layout's rects are the main window's; the browser page stands at layout.page, so its own
// controls take them moved into the page's coordinates.
Rect inPage(const Rect& windowRect, const Layout& layout);

// The browser page's controls in its coordinates: the browser control, and the address box in
// the page's foot below it (zero height when the browser fills the page, as on the KP30).
struct PagePlaces {
    Rect browser;
    Rect addressBox;
};
PagePlaces pagePlaces(const Layout& layout);

// The three status icon rows, in the order animation, battery, Wi-Fi (main window positions).
enum class IconRow { Earth, Battery, Wlan };
Rect iconRect(IconRow row, const Screen& screen, bool fullScreen);

// Where the "Tools" pop-up and the tray pop-up open.
struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
Point toolsPopupPoint(const Screen& screen);
// taskBarLowersPopup: AutoHide is 1 or OnTop is not 1.
Point trayPopupPoint(const Screen& screen, bool taskBarLowersPopup);

// The "Tools" label's click area.
inline constexpr Rect kToolsArea{1, 1, 50, 21};

// A swipe over the browser control on the KP30: the arrow keys it sends (six presses of each).
std::vector<int> swipeKeys(int dx, int dy);

}  // namespace tessel::app
