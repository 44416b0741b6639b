#include "browser/app/browser_app.h"

#include <gtest/gtest.h>

#include "browser/app/app_test_support.h"
#include "platform/library_loader.h"

namespace tessel::app::test {
namespace {

// One browser on a device root: its own toolkit, clock and fakes.
struct Instance {
    explicit Instance(const std::filesystem::path& root) : context{toolkit, webViews, clock, power, platform::DeviceFs(root), u"\\"} {
        loader.add("K220CE_SYS.dll", {});  // the K220's library has no status entry points
    }
    BrowserApp::Outcome run(std::string commandLine = {}) {
        app = std::make_unique<BrowserApp>(AppParts{context, loader, nullptr, readers, hooks, nullptr, nullptr},
                                           settings::BrowserOptions{}, std::move(commandLine));
        return app->run();
    }
    HeadlessWindow* window() {
        HeadlessWindow* found = nullptr;
        toolkit.send([&] {
            if (app && app->mainDialog()) found = static_cast<HeadlessWindow*>(app->mainDialog()->window());
        });
        return found;
    }

    HeadlessToolkit toolkit;
    platform::headless::FakeWebViewFactory webViews{toolkit, nullptr, true};
    platform::PacedClock clock;
    platform::FixedPowerStatus power;
    ShellContext context;
    platform::TableLibraryLoader loader;
    NoReaders readers;
    ShellHooks hooks;
    std::unique_ptr<BrowserApp> app;
};

TEST(BrowserAppTest, SecondStartRaisesTheFirstAndCloseEndsIt) {
    platform::TempDir root;
    Instance first(root.path());
    BrowserApp::Outcome outcome{};
    std::thread running([&] { outcome = first.run("1"); });
    ASSERT_TRUE(first.clock.awaitWaitOf(500ms));
    first.clock.advance(500ms);
    HeadlessWindow* window = nullptr;
    for (int i = 0; i < 500 && !window; ++i) window = first.window();
    ASSERT_NE(window, nullptr);

    Instance second(root.path());
    EXPECT_EQ(second.run(), BrowserApp::Outcome::OtherInstanceRaised);
    EXPECT_TRUE(second.toolkit.windows().empty());
    first.toolkit.send([&] {
        EXPECT_EQ(window->timesRaised(), 1);
        window->pressOk();  // command line "1": the title-bar OK keeps the window
        EXPECT_TRUE(window->visible());
    });

    std::string error;
    EXPECT_EQ(platform::sendRequest(root.path(), {platform::ChannelRequest::Kind::Close, {}, 0, 0}, error), "ok");
    running.join();
    EXPECT_EQ(outcome, BrowserApp::Outcome::Ended);
    EXPECT_FALSE(platform::sendRequest(root.path(), {platform::ChannelRequest::Kind::Raise, {}, 0, 0}, error));
}

TEST(BrowserAppTest, NoSystemLibraryNoStart) {
    platform::TempDir root;
    Instance instance(root.path());
    instance.loader = platform::TableLibraryLoader();
    EXPECT_EQ(instance.run(), BrowserApp::Outcome::NoLibrary);
    EXPECT_EQ(boxTexts(instance.toolkit), std::vector<std::u16string>{u"Can't find XXXXXX_SYS.dll."});
    EXPECT_TRUE(instance.toolkit.windows().empty());
}

}  // namespace
}  // namespace tessel::app::test
