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
