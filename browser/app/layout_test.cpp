#include "browser/app/layout.h"

#include <gtest/gtest.h>

namespace tessel::app {
namespace {

TEST(Layout, ScreenClassComesFromTheDesktopWidth) {
    EXPECT_EQ(screenFor({0, 0, 480, 640}, false).sizeClass, 2);
    EXPECT_EQ(screenFor({0, 0, 240, 320}, false).sizeClass, 1);
    EXPECT_EQ(screenFor({0, 0, 800, 600}, false).sizeClass, 1);
}

TEST(Layout, CoveringTaskBarShortensOnlyNormalMode) {
    const Screen wide{2, false};
    EXPECT_EQ(layoutFor(wide, false, true).browser, (Rect{2, 27, 479, 555}));
    EXPECT_EQ(layoutFor(wide, true, true).browser, (Rect{0, 0, 480, 640}));
    EXPECT_EQ(layoutFor(Screen{1, true}, false, true).browser, (Rect{1, 26, 240, 400}));
}

TEST(Layout, StatusIconsMoveUpInFullScreen) {
    const Screen narrow{1, false};
    EXPECT_EQ(iconRect(IconRow::Battery, narrow, false), (Rect{155, 28, 16, 16}));
    EXPECT_EQ(iconRect(IconRow::Wlan, Screen{2, false}, true), (Rect{394, 2, 16, 16}));
    EXPECT_EQ(iconRect(IconRow::Earth, narrow, true), (Rect{189, 1, 20, 20}));
}

TEST(Layout, ThePagesControlsStandInsideThePageWithTheAddressBoxBelowTheBrowser) {
    const PagePlaces narrow = pagePlaces(layoutFor({1, false}, false, false));
    EXPECT_EQ(narrow.browser, (Rect{0, 0, 239, 264}));
    EXPECT_EQ(narrow.addressBox, (Rect{0, 264, 239, 30}));
    const PagePlaces wide = pagePlaces(layoutFor({2, false}, false, false));
    EXPECT_EQ(wide.browser, (Rect{1, 1, 479, 581}));
    EXPECT_EQ(wide.addressBox, (Rect{1, 582, 479, 32}));
    // A covering task bar shortens the browser; the address box follows it up.
    EXPECT_EQ(pagePlaces(layoutFor({1, false}, false, true)).addressBox, (Rect{0, 216, 239, 78}));
    // The KP30's browser fills its page: no room is left below it.
    EXPECT_EQ(pagePlaces(layoutFor({1, true}, false, false)).addressBox, (Rect{0, 400, 240, 0}));
    EXPECT_EQ(pagePlaces(layoutFor({1, false}, true, false)).browser, (Rect{0, 0, 240, 320}));
    const Layout normal = layoutFor({1, false}, false, false);
    EXPECT_EQ(inPage(iconRect(IconRow::Earth, {1, false}, false), normal), (Rect{188, 1, 20, 20}));
}

TEST(Layout, PopupPoints) {
    EXPECT_EQ(trayPopupPoint({2, false}, false), (Point{320, 480}));
    EXPECT_EQ(trayPopupPoint({1, true}, true), (Point{40, 290}));
    EXPECT_EQ(toolsPopupPoint({1, false}), (Point{2, 28}));
}

TEST(Layout, SwipeNeedsMoreThanTenPixels) {
    EXPECT_TRUE(swipeKeys(10, -10).empty());
    EXPECT_EQ(swipeKeys(-11, 0), std::vector<int>(6, 39));
    EXPECT_EQ(swipeKeys(0, 11), std::vector<int>(6, 38));
}

}  // namespace
}  // namespace tessel::app
