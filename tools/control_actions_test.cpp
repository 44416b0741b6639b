#include "tools/control_actions.h"

#include <gtest/gtest.h>

#include "terminal/control_line.h"

namespace tessel::tools {
namespace {

using namespace std::chrono_literals;
using To = ControlAction::To;

platform::ChannelRequest post(const char* name, std::uint32_t wParam = 0, std::int32_t lParam = 0) {
    return {platform::ChannelRequest::Kind::Post, name, wParam, lParam};
}

ControlAction terminalLine(const char* line) { return {To::Terminal, {}, line, {}}; }
ControlAction browser(platform::ChannelRequest message, std::chrono::milliseconds after = {}) {
    return {To::Browser, std::move(message), {}, after};
}

TEST(ControlActions, TriggerAndIconsAreMessagesByName) {
    EXPECT_EQ(triggerActions(true), ControlActions{browser(post("WM_USER1DOWN"))});
    EXPECT_EQ(triggerActions(false), ControlActions{browser(post("WM_USER1UP"))});
    EXPECT_EQ(iconActions(true, false), ControlActions{browser(post("WM_BROWSER_SHOWICON", 1, 0))});
}

// Whatever bytes are typed, the terminal's parser gets them back exactly.
TEST(ControlActions, BarcodeDataOfAnyBytesSurvivesTheRequestLine) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    std::string error;
    for (const std::string& data : {std::string("4006381333931"), std::string("50%\r\n\xc3\xa9 x"), all}) {
        const auto actions = barcodeActions("A", data, error);
        ASSERT_TRUE(actions) << error;
        ASSERT_EQ(actions->size(), 1u);
        EXPECT_EQ(actions->front().to, To::Terminal);
        EXPECT_EQ(actions->front().line.find_first_of("\r\n"), std::string::npos);
        const auto parsed = terminal::parseControlLine(actions->front().line, error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->codeType, 'A');
        EXPECT_EQ(std::string(parsed->data.begin(), parsed->data.end()), data);
    }
    EXPECT_EQ(barcodeActions("11", "x%", error)->front().line, "barcode 11 x%25");
    for (const auto& [type, data] : {std::pair{"A", ""}, {"", "x"}, {"AB", "x"}, {"256", "x"}, {"A x", "y"}}) {
        error.clear();
        EXPECT_FALSE(barcodeActions(type, data, error)) << type << " " << data;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ControlActions, TagsArePresentedByUidAndRemoved) {
    std::string error;
    EXPECT_EQ(tagActions("04A1B2C3", error), ControlActions{terminalLine("tag 04A1B2C3")});
    EXPECT_EQ(tagRemovedActions(), ControlActions{terminalLine("tag none")});
    for (const char* bad : {"", "none", "04A1B2", "04A1B2C3 "}) EXPECT_FALSE(tagActions(bad, error)) << bad;
}

TEST(ControlActions, BatteryChargeFollowsThePowerSourceOnceTheBrowserHasSeenIt) {
    std::string error;
    const ControlActions expected{terminalLine("power mains"),
                                  browser(post("WM_BATTERYSTATE", 0, 80), kPowerSettleTime)};
    EXPECT_EQ(batteryActions(80, true, error), expected);
    EXPECT_GT(kPowerSettleTime, 500ms);  // the browser's power polling period
    EXPECT_EQ(batteryActions(0, false, error)->front().line, "power battery");
    EXPECT_FALSE(batteryActions(101, false, error));
    EXPECT_FALSE(batteryActions(-1, false, error));
}

TEST(ControlActions, SignalSetsTheHostReadingAndSendsItsLevel) {
    std::string error;
    const ControlActions expected{terminalLine("signal -95"), browser(post("WM_WIFISTRENGTH", 1))};
    EXPECT_EQ(signalActions(-95, error), expected);
    EXPECT_EQ(signalActions(-60, error)->back().message.wParam, 3u);
    EXPECT_EQ(signalActions(0, error)->back().message.wParam, 0u);
    EXPECT_FALSE(signalActions(-129, error));
    EXPECT_FALSE(signalActions(1, error));
}

}  // namespace
}  // namespace tessel::tools
