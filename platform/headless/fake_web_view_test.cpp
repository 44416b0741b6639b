#include "platform/headless/fake_web_view.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_ui.h"
#include "platform/headless/json_line.h"

namespace tessel::platform::headless {
namespace {

class Events final : public WebViewEvents, public ui::WindowHandler {
public:
    void beforeNavigate(std::u16string_view url) override { log.push_back(u"before " + std::u16string(url)); }
    void documentComplete(std::u16string_view url) override { log.push_back(u"complete " + std::u16string(url)); }
    void navigateError(std::u16string_view url) override { log.push_back(u"error " + std::u16string(url)); }
    void commandStateChange(int command, bool enabled) override {
        log.push_back(u"state " + std::u16string(1, static_cast<char16_t>(u'0' + command)) + (enabled ? u"+" : u"-"));
    }
    void onCommand(int, ui::Notify) override {}
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    std::vector<std::u16string> log;
};

class FakeWebViewTest : public ::testing::Test {
protected:
    HeadlessToolkit toolkit_;
    Events events_;
    std::unique_ptr<ui::Window> host_ = toolkit_.createWindow(events_, nullptr);
    FakeWebView view_{toolkit_, *host_, 61, events_, nullptr, false};
};

TEST_F(FakeWebViewTest, NavigationReportsItsEventsInOrder) {
    EXPECT_FALSE(view_.document());
    EXPECT_FALSE(view_.historyGo(-1));  // no document yet
    view_.navigate(u"http://a");
    view_.complete();
    view_.navigate(u"http://b");
    view_.complete();
    view_.failOn(u"http://c");
    view_.navigate(u"http://c");
    view_.fail();
    EXPECT_EQ(events_.log, (std::vector<std::u16string>{u"before http://a", u"state 1-", u"state 2-",
                                                        u"complete http://a", u"before http://b", u"state 1-",
                                                        u"state 2+", u"complete http://b", u"before http://c",
                                                        u"error http://c"}));
}

TEST_F(FakeWebViewTest, HistoryStepsStayInRange) {
    for (auto url : {u"1", u"2", u"3"}) {
        view_.navigate(url);
        view_.complete();
    }
    EXPECT_TRUE(view_.historyGo(-2));
    view_.complete();
    EXPECT_EQ(view_.navigations().back(), u"1");
    const auto count = view_.navigations().size();
    EXPECT_TRUE(view_.historyGo(-1));  // before the first page: nothing happens
    EXPECT_EQ(view_.navigations().size(), count);
    view_.navigate(u"4");  // a new page drops the forward entries
    view_.complete();
    EXPECT_EQ(view_.history(), (std::vector<std::u16string>{u"1", u"4"}));
}

TEST_F(FakeWebViewTest, DocumentsCallRegisteredFunctions) {
    auto document = std::make_shared<FakeDocument>(u"x");
    document->define(u"onScanBarcode", [](std::span<const std::u16string> args) {
        return PageCall{PageCall::Outcome::Returned, ScriptValue(args[0] + args[1]), 0};
    });
    document->define(u"onBroken", [](std::span<const std::u16string>) {
        return PageCall{PageCall::Outcome::Threw, {}, 0};
    });
    const std::u16string args[] = {u"Code 39", std::u16string(u"12\0" u"3", 4)};
    auto result = document->call(u"onScanBarcode", args);
    EXPECT_EQ(result.outcome, PageCall::Outcome::Returned);
    EXPECT_EQ(std::get<std::u16string>(result.value), std::u16string(u"Code 3912\0" u"3", 11));
    EXPECT_EQ(document->call(u"onBroken", {}).outcome, PageCall::Outcome::Threw);
    EXPECT_EQ(document->call(u"onMissing", {}).outcome, PageCall::Outcome::Missing);
    EXPECT_EQ(document->calls().size(), 3u);
}

TEST(JsonLine, EscapesWhatJsonNeeds) {
    EXPECT_EQ(jsonString(u"a\"b\\c\r\n"), "\"a\\\"b\\\\c\\u000d\\u000a\"");
    EXPECT_EQ(jsonString(std::u16string(u"\0\u00e9\u20ac", 3)), "\"\\u0000\xc3\xa9\xe2\x82\xac\"");
    EXPECT_EQ(jsonString(u"\U0001F600"), "\"\xf0\x9f\x98\x80\"");
    EXPECT_EQ(jsonString(std::u16string(1, char16_t(0xD800))), "\"\\ud800\"");
    const std::u16string args[] = {u"x", u"y"};
    EXPECT_EQ(callLine(u"onScanRFID", args), "{\"call\":\"onScanRFID\",\"args\":[\"x\",\"y\"]}");
}

}  // namespace
}  // namespace tessel::platform::headless
