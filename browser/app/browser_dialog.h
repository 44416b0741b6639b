#pragma once
// BrowserDialog: the browser page. It hosts the web view (control 61) and the address box
// (control 62), answers the view's host questions, navigates with the local-file check, keeps
// the status icons, and runs the battery poller and page-load animation threads.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "browser/app/layout.h"
#include "browser/app/shell_hooks.h"
#include "browser/app/status_icons.h"
#include "browser/app/stop_signal.h"
#include "browser/settings/browser_options.h"
#include "platform/clock.h"
#include "platform/device_fs.h"
#include "platform/power_status.h"
#include "platform/semaphore.h"
#include "platform/ui.h"
#include "platform/web_view.h"

namespace tessel::app {

inline constexpr int kBrowserControl = 61;
inline constexpr int kAddressBox = 62;
inline constexpr int kAddressListLimit = 20;

inline constexpr char16_t kBadNetworkPath[] =
    u"Bad network path, Check \r\nto see if the path you \r\ntyped is correct and that \r\n"
    u"your dial-up connection is \r\nactive or your network \r\ncard is properly inserted.";
inline constexpr char16_t kStartPageName[] = u"tmp.htm";
inline constexpr char kStartPageText[] =
    "<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=8859_1\"></html>";

// What the shell's pages share: the toolkit, the web views, time, the device's files and power.
struct ShellContext {
    platform::ui::Toolkit& toolkit;
    platform::WebViewFactory& webViews;
    platform::Clock& clock;
    platform::PowerStatus& power;
    platform::DeviceFs fs;
    std::u16string programFolder;  // a device path ending in "\"
};

// What the browser page asks of the main window.
class BrowserPageOwner {
public:
    virtual ~BrowserPageOwner() = default;
    // command 1 forward, 2 back: the toolbar button follows.
    virtual void historyStateChanged(int command, bool enabled) = 0;
    // The page's OK command.
    virtual void pageOk() = 0;
    virtual void browserMouse(bool down, int x, int y) = 0;
};

class BrowserDialog final : public platform::ui::WindowHandler, public platform::WebViewEvents {
public:
    // Makes the page window under parent and starts the battery poller and the animation.
    BrowserDialog(ShellContext& context, BrowserPageOwner& owner, platform::ui::Window& parent,
                  const settings::BrowserOptions& options, ShellHooks& hooks,
                  platform::PageExternal* external);
    ~BrowserDialog() override;
    BrowserDialog(const BrowserDialog&) = delete;
    BrowserDialog& operator=(const BrowserDialog&) = delete;

    // Creates the controls and icons, writes the start page and navigates to it.
    void init();
    // Opens an address; a local path ("\...") must name a file that opens, else the "Bad
    // network path" box shows and nothing is opened.
    void navigate(std::u16string_view address);
    void place(const Layout& layout, const Screen& screen, bool fullScreen);

    // The address box's list: adds an entry at the end, selecting it when asked.
    void addAddress(std::u16string_view address, bool select);
    void enableAddressBox(bool enabled) { window_->enable(kAddressBox, enabled); }

    platform::ui::Window& window() { return *window_; }
    platform::WebView& view() { return *view_; }
    StatusIcons& icons() { return icons_; }
    bool loading() const { return loading_.load(); }
    std::uint8_t mainsFlag() const { return mains_.load(); }
    std::uint32_t wifiMessage() const { return wifiMessage_; }
    std::uint32_t batteryMessage() const { return batteryMessage_; }
    void hideWifi() { icons_.show(IconRow::Wlan, std::nullopt); }
    void hideBattery() { icons_.show(IconRow::Battery, std::nullopt); }

    // WindowHandler
    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void onOk() override { owner_.pageOk(); }
    void onBrowserMouse(bool down, int x, int y) override { owner_.browserMouse(down, x, y); }

    // WebViewEvents
    void beforeNavigate(std::u16string_view url) override;
    void documentComplete(std::u16string_view url) override;
    void navigateError(std::u16string_view url) override;
    void commandStateChange(int command, bool enabled) override;

private:
    void addressEntered();
    bool localFileOpens(std::u16string_view path) const;
    std::u16string startPagePath() const { return context_.programFolder + kStartPageName; }
    void pollBattery();
    void animate();
    // Runs a show or hide of the icons on the window thread, unless the page is gone by then.
    void onWindowThread(std::function<void()> task);

    ShellContext& context_;
    BrowserPageOwner& owner_;
    const settings::BrowserOptions& options_;
    ShellHooks& hooks_;
    platform::PageExternal* external_;
    std::unique_ptr<platform::ui::Window> window_;
    std::unique_ptr<platform::WebView> view_;
    StatusIcons icons_;
    std::uint32_t wifiMessage_;
    std::uint32_t batteryMessage_;

    std::atomic<bool> loading_{false};
    std::atomic<std::uint8_t> mains_{0};
    platform::Semaphore animationWake_;
    int frame_ = 0;  // animation thread only
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    StopSignal stop_;
    std::thread batteryThread_;
    std::thread animationThread_;
};

}  // namespace tessel::app
