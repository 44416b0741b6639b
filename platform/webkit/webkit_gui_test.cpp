// The WebKit view in a real GTK window: loading, page-function calls, window.external through
// the web-process extension, keyboard input into the page, failures and a dying web process.

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "browser/bridge/keyboard_emulation.h"
#include "platform/headless/headless_ui.h"
#include "platform/temp_dir.h"
#include "platform/webkit/webkit_web_view.h"

namespace tessel::platform::webkit {
namespace {

using namespace std::chrono_literals;

const std::u16string kAwkward{u"q\"'\\\0\n\u00e9\U0001F600</script>", 17};

constexpr char kPage[] = R"(<html><body><input id="field" type="text"><img id="pic" src="pixel.gif">
<script>
var keys = [];
var field = document.getElementById('field');
['keydown', 'keypress', 'input', 'keyup'].forEach(function (type) {
  field.addEventListener(type, function (e) { keys.push(type + ':' + (e.key || e.inputType)); });
});
function echo(a, b) { return a + '|' + b; }
function lengthOf(a) { return a.length; }
function boom() { throw new Error('boom'); }
function busy(ms) { var t = Date.now(); while (Date.now() - t < Number(ms)) {} return 1; }
</script></body></html>)";

// A 1 × 1 GIF.
constexpr char kPixel[] =
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,"
    "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";

std::string narrow(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

class RecordingEvents final : public WebViewEvents {
public:
    void beforeNavigate(std::u16string_view url) override { log.push_back("before " + narrow(url)); }
    void documentComplete(std::u16string_view url) override { log.push_back("complete " + narrow(url)); }
    void navigateError(std::u16string_view url) override { log.push_back("error " + narrow(url)); }
    void commandStateChange(int command, bool enabled) override {
        state[command == 1 ? 0 : 1] = enabled;
    }
    std::size_t count(const std::string& entry) const {
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), entry));
    }
    std::vector<std::string> log;
    bool state[2] = {false, false};  // forward, back
};

// window.external with three methods: a text, a sum of two integers, and one that refuses.
class FakeExternal final : public PageExternal {
public:
    ExternalReply call(std::u16string_view method, std::span<const ScriptValue> args) override {
        calls.push_back({std::u16string(method), {args.begin(), args.end()}});
        using Status = ExternalReply::Status;
        if (method == u"getVendor") return {Status::Ok, std::u16string(u"MORVALENT")};
        if (method == u"echo" && args.size() == 1) return {Status::Ok, args[0]};
        if (method == u"add" && args.size() == 2 && std::holds_alternative<std::int32_t>(args[0]) &&
            std::holds_alternative<std::int32_t>(args[1]))
            return {Status::Ok, std::get<std::int32_t>(args[0]) + std::get<std::int32_t>(args[1])};
        if (method == u"add") return {Status::Error, {}};
        return {Status::UnknownMethod, {}};
    }
    std::vector<std::pair<std::u16string, std::vector<ScriptValue>>> calls;
};

class NoHandler final : public ui::WindowHandler {
public:
    void onCommand(int, ui::Notify) override {}
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
};

// Turns the main context until done() holds; false after the limit (a broken view, not a wait
// the code under test makes).
template <typename Done>
bool spinUntil(Done done, std::chrono::milliseconds limit = 15s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        g_main_context_iteration(nullptr, FALSE);
        if (!done()) g_usleep(1000);
    }
    return true;
}

std::vector<pid_t> webProcessesOf(pid_t parent) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, comm, state;
        pid_t ppid = 0;
        if (stat >> pid >> comm >> state >> ppid && ppid == parent && comm == "(WebKitWebProces)")
            found.push_back(static_cast<pid_t>(std::stoi(pid)));
    }
    if (proc) closedir(proc);
    return found;
}

// A local port nothing listens on: connections to it are refused.
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

class WebKitViewTest : public ::testing::Test {
protected:
    void SetUp() override { makeView(10s); }
    void TearDown() override {
        view_.reset();
        if (window_) gtk_widget_destroy(window_);
    }

    void makeView(std::chrono::milliseconds callTimeout,
                  std::filesystem::path extensionDir = builtExtensionDir()) {
        root_.write("Program Files/Tessel/page.htm", kPage);
        root_.write("Program Files/Tessel/page2.htm", "<html><body>two</body></html>");
        root_.write("Program Files/Tessel/pixel.gif", std::string_view(kPixel, sizeof(kPixel) - 1));
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window_), 480, 640);
        GtkWidget* fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window_), fixed);
        factory_ = std::make_unique<WebKitWebViewFactory>(
            [fixed](ui::Window&, int) { return fixed; },
            WebKitViewOptions{extensionDir, DeviceFs(root_.path()), callTimeout});
        host_ = toolkit_.createWindow(handler_, nullptr);
        view_ = factory_->create(*host_, 61, events_);
        view_->setExternal(&external_);
        view_->place({0, 0, 480, 600});
        gtk_widget_show_all(window_);
    }

    bool load(const std::u16string& url) {
        const std::size_t before = events_.log.size();
        view_->navigate(url);
        return spinUntil([&] {
            for (std::size_t i = before; i < events_.log.size(); ++i)
                if (events_.log[i].rfind("complete", 0) == 0 || events_.log[i].rfind("error", 0) == 0)
                    return true;
            return false;
        });
    }

    PageCall call(std::u16string_view name, std::vector<std::u16string> args) {
        auto document = view_->document();
        if (!document) return {};
        return document->call(name, args);
    }
    // A script expression's value in the page.
    ScriptValue eval(const std::u16string& expression) { return call(u"eval", {expression}).value; }

    WebKitView& webkit() { return dynamic_cast<WebKitView&>(*view_); }

    TempDir root_;
    headless::HeadlessToolkit toolkit_;
    NoHandler handler_;
    std::unique_ptr<ui::Window> host_;
    GtkWidget* window_ = nullptr;
    std::unique_ptr<WebKitWebViewFactory> factory_;
    RecordingEvents events_;
    FakeExternal external_;
    std::unique_ptr<WebView> view_;
};

const std::u16string kPagePath = u"\\Program Files\\Tessel\\page.htm";
const std::u16string kPage2Path = u"\\Program Files\\Tessel\\page2.htm";

TEST_F(WebKitViewTest, LoadsADevicePathAndReportsItsEvents) {
    EXPECT_FALSE(view_->document());
    EXPECT_FALSE(view_->historyGo(-1));  // no document yet
    ASSERT_TRUE(load(kPagePath));
    EXPECT_EQ(events_.log, (std::vector<std::string>{"before \\Program Files\\Tessel\\page.htm",
                                                     "complete \\Program Files\\Tessel\\page.htm"}));
    ASSERT_TRUE(view_->document());
    EXPECT_GE(webkit().extensionHellos(), 1u);
    EXPECT_EQ(view_->rect(), (ui::Rect{0, 0, 480, 600}));
}

TEST_F(WebKitViewTest, PageFunctionsGetTextsIntactAndReportEachOutcome) {
    ASSERT_TRUE(load(kPagePath));
    const PageCall echoed = call(u"echo", {kAwkward, u"2"});
    EXPECT_EQ(echoed.outcome, PageCall::Outcome::Returned);
    EXPECT_EQ(echoed.value, ScriptValue(kAwkward + u"|2"));
    EXPECT_EQ(call(u"lengthOf", {kAwkward}).value, ScriptValue(std::int32_t(kAwkward.size())));
    EXPECT_EQ(call(u"absent", {}).outcome, PageCall::Outcome::Missing);
    EXPECT_EQ(call(u"boom", {}).outcome, PageCall::Outcome::Threw);
    // A document of a page no longer shown reaches nothing.
    auto old = view_->document();
    ASSERT_TRUE(load(kPage2Path));
    EXPECT_EQ(old->call(u"echo", {}).outcome, PageCall::Outcome::Missing);
}

TEST_F(WebKitViewTest, ExternalMethodsAnswerSynchronouslyAndThrowOnRefusal) {
    ASSERT_TRUE(load(kPagePath));
    EXPECT_EQ(eval(u"window.external.getVendor()"), ScriptValue(u"MORVALENT"));
    EXPECT_EQ(eval(u"typeof window.external.add(2, 3) + window.external.add(2, 3)"),
              ScriptValue(u"number5"));
    EXPECT_EQ(eval(u"window.external.echo(" + std::u16string(u"'a\\0\\u00e9\\ud83d\\ude00'") + u").length"),
              ScriptValue(std::int32_t{5}));
    EXPECT_EQ(external_.calls.back().second, (std::vector<ScriptValue>{std::u16string(u"a\0\u00e9\U0001F600", 5)}));
    EXPECT_EQ(eval(u"try { window.external.add('1', 2); 'returned' } catch (e) { e.name }"),
              ScriptValue(u"Error"));
    EXPECT_EQ(eval(u"try { window.external.GetVendor(); 'returned' } catch (e) { e.name }"),
              ScriptValue(u"TypeError"));
    EXPECT_EQ(eval(u"String(window.external)"), ScriptValue(u"[object Object]"));
    // A page function that calls window.external while the host waits for it.
    EXPECT_EQ(eval(u"(function(){ return window.external.add(40, 2); })()"), ScriptValue(std::int32_t{42}));
}

TEST_F(WebKitViewTest, KeyboardEmulationTypesIntoTheFocusedInputInBothModes) {
    ASSERT_TRUE(load(kPagePath));
    view_->setFocus();
    eval(u"field.focus()");
    VirtualClock clock;
    bridge::KeyboardEmulation keys(factory_->keyboard(), clock);

    keys.type(u"aB1!", true);
    EXPECT_TRUE(spinUntil([&] { return eval(u"field.value") == ScriptValue(u"aB1!"); }))
        << narrow(std::get<std::u16string>(eval(u"field.value")));
    EXPECT_EQ(eval(u"keys.filter(function (k) { return k.indexOf('Shift') < 0; }).slice(0, 4).join()"),
              ScriptValue(u"keydown:a,keypress:a,input:insertText,keyup:a"));
    EXPECT_FALSE(clock.waits().empty());  // the shift pauses go through the clock

    eval(u"field.value = ''; keys = []; field.focus()");
    keys.type(u"x\u00e9\U0001F600\t", false);
    EXPECT_TRUE(spinUntil([&] { return eval(u"field.value") == ScriptValue(u"x\u00e9\U0001F600"); }));
    // Characters arrive as text input; only the tab is a key.
    EXPECT_EQ(eval(u"keys.filter(function (k) { return k.indexOf('keypress') == 0; }).length"),
              ScriptValue(std::int32_t{0}));
}

TEST_F(WebKitViewTest, UnreachableAddressesReportNavigateErrorAndKeepThePage) {
    ASSERT_TRUE(load(kPagePath));
    auto document = view_->document();
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    ASSERT_TRUE(load(std::u16string(refused.begin(), refused.end())));
    EXPECT_EQ(events_.count("error " + refused), 1u) << testing::PrintToString(events_.log);
    ASSERT_TRUE(load(u"\\Program Files\\Tessel\\missing.htm"));
    EXPECT_EQ(events_.count("error \\Program Files\\Tessel\\missing.htm"), 1u);
    EXPECT_EQ(events_.log.back().rfind("error", 0), 0u);
    EXPECT_EQ(view_->document(), document);
}

TEST_F(WebKitViewTest, HistoryStepsFollowTheBackForwardList) {
    ASSERT_TRUE(load(kPagePath));
    EXPECT_FALSE(events_.state[0] || events_.state[1]);
    ASSERT_TRUE(load(kPage2Path));
    EXPECT_TRUE(events_.state[1]);
    EXPECT_FALSE(events_.state[0]);
    const std::size_t completes = events_.count("complete \\Program Files\\Tessel\\page.htm");
    EXPECT_TRUE(view_->historyGo(-1));
    ASSERT_TRUE(spinUntil([&] { return events_.count("complete \\Program Files\\Tessel\\page.htm") > completes; }));
    EXPECT_TRUE(events_.state[0]);
    EXPECT_FALSE(events_.state[1]);
    EXPECT_TRUE(view_->historyGo(-1));  // nothing before the first page: nothing happens
}

TEST_F(WebKitViewTest, PicturesOffLoadsNoImages) {
    view_->setDownloadControl(kDownloadVideos | kDownloadBackgroundSounds);
    ASSERT_TRUE(load(kPagePath));
    EXPECT_EQ(eval(u"document.getElementById('pic').naturalWidth"), ScriptValue(std::int32_t{0}));
    view_->setDownloadControl(kDownloadPictures);
    ASSERT_TRUE(load(kPage2Path));
    ASSERT_TRUE(load(kPagePath));
    EXPECT_EQ(eval(u"document.getElementById('pic').naturalWidth"), ScriptValue(std::int32_t{1}));
}

TEST_F(WebKitViewTest, AKilledWebProcessIsFollowedByTheHomePage) {
    ASSERT_TRUE(load(kPagePath));
    ASSERT_TRUE(load(kPage2Path));
    const auto processes = webProcessesOf(getpid());
    ASSERT_FALSE(processes.empty());
    const std::size_t completes = events_.count("complete \\Program Files\\Tessel\\page.htm");
    for (const pid_t pid : processes) kill(pid, SIGKILL);
    ASSERT_TRUE(spinUntil([&] { return events_.count("complete \\Program Files\\Tessel\\page.htm") > completes; }));
    EXPECT_EQ(eval(u"window.external.getVendor()"), ScriptValue(u"MORVALENT"));
}

class SlowPageTest : public WebKitViewTest {
protected:
    void SetUp() override { makeView(300ms); }
};

TEST_F(SlowPageTest, ACallThatDoesNotComeBackInTimeFails) {
    ASSERT_TRUE(load(kPagePath));
    const PageCall late = call(u"busy", {u"1500"});
    EXPECT_EQ(late.outcome, PageCall::Outcome::Failed);
    EXPECT_EQ(late.failure, 0x80004005u);
    EXPECT_TRUE(spinUntil([&] { return call(u"busy", {u"0"}).outcome == PageCall::Outcome::Returned; }));
}

class NoExtensionTest : public WebKitViewTest {
protected:
    void SetUp() override { makeView(10s, empty_.path()); }
    TempDir empty_;
};

TEST_F(NoExtensionTest, APageWithoutTheExtensionIsNoticedAndHasNoExternal) {
    ASSERT_TRUE(load(kPagePath));
    EXPECT_EQ(webkit().extensionHellos(), 0u);
    EXPECT_EQ(call(u"eval", {u"window.external.getVendor()"}).outcome, PageCall::Outcome::Threw);
    EXPECT_TRUE(external_.calls.empty());
}

}  // namespace
}  // namespace tessel::platform::webkit

int main(int argc, char** argv) {
    // WebKit keeps its caches and data under the XDG folders: a private one for the run.
    tessel::platform::TempDir home;
    for (const char* name : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        setenv(name, home.path().c_str(), 1);
    gtk_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
