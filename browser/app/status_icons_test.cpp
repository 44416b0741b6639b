#include "browser/app/status_icons.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "browser/app/app_test_support.h"

namespace tessel::app::test {
namespace {

TEST(StatusLevels, SignalThresholds) {
    const std::pair<std::int32_t, int> cases[] = {
        {-95, 1}, {-89, 1}, {-88, 2}, {-69, 2}, {-68, 3}, {-49, 3},
        {-48, 4}, {-10, 4}, {-1, 4},  {-99, 0}, {-120, 0}, {0, 0}, {5, 0},
    };
    for (auto [dbm, level] : cases) EXPECT_EQ(signalLevel(dbm), level) << dbm;
}

TEST(StatusLevels, WifiIconOutOfRangeIsThree) {
    EXPECT_EQ(wifiIcon(0), 0);
    EXPECT_EQ(wifiIcon(5), 5);
    EXPECT_EQ(wifiIcon(6), 3);
    EXPECT_EQ(wifiIcon(9), 3);
    EXPECT_EQ(wifiIcon(static_cast<std::uintptr_t>(-1)), 3);
}

TEST(StatusLevels, BatteryIconByMainsAndCharge) {
    EXPECT_EQ(batteryIcon(1, 0), 6);
    EXPECT_EQ(batteryIcon(1, 100), 6);
    const std::pair<std::intptr_t, int> onBattery[] = {
        {100, 5}, {90, 5}, {89, 4}, {70, 4}, {69, 3}, {50, 3}, {49, 2},
        {30, 2},  {29, 1}, {15, 1}, {14, 0}, {0, 0},  {-5, 0},
    };
    for (auto [charge, icon] : onBattery) EXPECT_EQ(batteryIcon(0, charge), icon) << charge;
    EXPECT_EQ(batteryIcon(255, 50), std::nullopt);
    EXPECT_EQ(batteryIcon(2, 50), std::nullopt);
}

class StatusShellTest : public ShellTest {
protected:
    void startShowing(bool wifi, bool battery) {
        settings::BrowserOptions options;
        options.homeUrl = u"http://home";
        options.showWifiSignal = wifi;
        options.showBattery = battery;
        start(options);
    }
    std::optional<int> shown(IconRow row) {
        std::optional<int> icon;
        ui([&] { icon = main_->browserPage()->icons().shown(row); });
        return icon;
    }
    void send(Msg msg, std::uintptr_t w, std::intptr_t l) {
        ui([&] { window().message(main_->messages()[msg], w, l); });
    }
    // Moves time by d and waits until the thread that waits with period d is waiting again.
    void tick(std::chrono::milliseconds d) {
        const auto waits = clock_.waits();
        const auto before = std::count(waits.begin(), waits.end(), d);
        clock_.advance(d);
        ASSERT_TRUE(clock_.awaitWaitOf(d, static_cast<std::size_t>(before) + 1));
    }
};

TEST_F(StatusShellTest, IconsStartAsConfigured) {
    startShowing(true, true);
    EXPECT_EQ(shown(IconRow::Battery), 2);
    EXPECT_EQ(shown(IconRow::Wlan), 1);
    ui([&] {
        // (189, 27) in the main window, inside the page that stands at (1, 26)
        EXPECT_EQ(page().controlRect(StatusIcons::controlId(IconRow::Earth, 0)), (Rect{188, 1, 20, 20}));
        EXPECT_EQ(page().text(StatusIcons::controlId(IconRow::Battery, 6)), u"IDB_BATTERY6");
    });
}

TEST_F(StatusShellTest, HiddenRowsStayHidden) {
    startShowing(false, false);
    EXPECT_EQ(shown(IconRow::Battery), std::nullopt);
    EXPECT_EQ(shown(IconRow::Wlan), std::nullopt);
    send(Msg::WifiStrength, 4, 0);
    send(Msg::BatteryState, 0, 80);
    EXPECT_EQ(shown(IconRow::Wlan), std::nullopt);
    EXPECT_EQ(main_->lastSignal(), 4u);
    EXPECT_EQ(main_->lastBattery(), 80);
}

TEST_F(StatusShellTest, MessagesAreForwardedToThePage) {
    startShowing(true, true);
    send(Msg::WifiStrength, 9, 0);
    EXPECT_EQ(shown(IconRow::Wlan), 3);
    send(Msg::BatteryState, 0, 15);
    EXPECT_EQ(shown(IconRow::Battery), 1);
    send(Msg::BatteryState, 0, 14);
    EXPECT_EQ(shown(IconRow::Battery), 0);
}

TEST_F(StatusShellTest, ShowIconSwitchesRowsAndReplaysTheLastValues) {
    startShowing(true, true);
    send(Msg::BrowserShowIcon, 0, 0);
    EXPECT_EQ(shown(IconRow::Wlan), std::nullopt);
    EXPECT_EQ(shown(IconRow::Battery), std::nullopt);
    send(Msg::BatteryState, 0, 95);  // remembered, not shown
    send(Msg::WifiStrength, 2, 0);
    EXPECT_EQ(shown(IconRow::Battery), std::nullopt);
    EXPECT_EQ(main_->lastBattery(), 95);
    send(Msg::BrowserShowIcon, 1, 1);
    EXPECT_EQ(shown(IconRow::Wlan), 2);
    EXPECT_EQ(shown(IconRow::Battery), 5);
    EXPECT_EQ(main_->options().showBattery, 1);
}

TEST_F(StatusShellTest, MainsPowerShowsTheChargingIcon) {
    power_.set(platform::kAcOnline);
    startShowing(false, true);
    tick(500ms);
    send(Msg::BatteryState, 0, 3);
    EXPECT_EQ(shown(IconRow::Battery), 6);
    power_.set(platform::kAcUnknown);
    tick(500ms);
    send(Msg::BatteryState, 0, 3);
    EXPECT_EQ(shown(IconRow::Battery), std::nullopt);
}

TEST_F(StatusShellTest, SignalMonitorPostsTheLevelToThePageOnly) {
    signal_.dbm = -95;
    startShowing(true, false);
    tick(1200ms);
    EXPECT_EQ(shown(IconRow::Wlan), 1);
    signal_.dbm = -10;
    tick(1200ms);
    EXPECT_EQ(shown(IconRow::Wlan), 4);
    EXPECT_EQ(main_->lastSignal(), 0u);  // the monitor's level does not pass the main window
}

TEST_F(StatusShellTest, GlobeTurnsWhileLoadingAndHidesAfter) {
    startShowing(false, false);
    ASSERT_TRUE(clock_.awaitWaitOf(200ms));
    const auto first = shown(IconRow::Earth);
    ASSERT_TRUE(first);
    tick(200ms);
    EXPECT_EQ(shown(IconRow::Earth), (*first + 1) % kEarthFrames);
    completePage();
    clock_.advance(200ms);
    for (int i = 0; i < 500 && shown(IconRow::Earth); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(shown(IconRow::Earth), std::nullopt);
}

int threadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

TEST_F(StatusShellTest, QuitLeavesNoThreadWithinOneSecond) {
    const int before = threadCount();  // the test's own window thread among them
    startShowing(true, true);
    EXPECT_EQ(threadCount(), before + 3);  // signal monitor, battery poller, animation
    const auto asked = std::chrono::steady_clock::now();
    ui([&] { window().pressClose(); });
    windowThread_.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_EQ(threadCount(), before - 1);
    windowThread_ = std::thread([] {});
}

}  // namespace
}  // namespace tessel::app::test
