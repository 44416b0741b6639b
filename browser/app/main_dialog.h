#pragma once
// MainDialog: the one top-level window. It owns the options, the browser page, the toolbar and
// menus, the tray icon and the signal monitor; it lays the window out per screen and mode,
// carries out every command of its menus, toolbar, tray icon and title bar, applies the kiosk
// lock, forwards the status messages to the browser page, and quits in order.
//
//   MainDialog main(parts, options);   // registers the messages, starts the signal monitor
//   main.create();                     // on the window thread: builds and shows the window
//   ...                                // the user quits: the window goes and the loop ends

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "browser/app/browser_dialog.h"
#include "browser/app/kiosk.h"
#include "browser/app/layout.h"
#include "browser/app/progress_dialog.h"
#include "browser/app/reader_access.h"
#include "browser/app/registered_messages.h"
#include "browser/app/shell_hooks.h"
#include "browser/app/stop_signal.h"
#include "browser/settings/browser_options.h"
#include "platform/keyboard.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace tessel::app {

inline constexpr char16_t kMainTitle[] = u"TESSEL Browser";
inline constexpr int kMainIcon = 400;
inline constexpr std::uint32_t kTrayCallbackMessage = 0x0401;  // WM_USER + 1

// Controls, menus and commands of the main window.
enum : int {
    kToolsLabel = 95,
    kToolsMenu = 401,
    kTrayMenu = 402,
    kCmdCcdLaser = 404,
    kCmdLongRange = 405,
    kCmd2D = 406,
    kCmdRfid = 407,
    kCmdExit = 408,
    kCmdMaximize = 409,
    kCmdAbout = 410,
    kCmdBrowser = 411,
    kCmdSymbologies = 412,
    kCmdReader = 413,
    kToolbar = 415,
    kCmdBack = 416,
    kCmdForward = 417,
    kCmdHome = 418,
    kCmdRefresh = 419,
    kCmdSettings = 420,
    kCmdInputPanel = 421,
    kCmdFullScreen = 422,
};

// The wireless signal of the terminal library; unavailable on models without it.
class SignalSource {
public:
    virtual ~SignalSource() = default;
    virtual bool available() const = 0;
    virtual std::optional<std::int32_t> signalDbm() const = 0;
};

class MainDialog final : public platform::ui::WindowHandler, public BrowserPageOwner {
public:
    struct Parts {
        ShellContext& context;
        ReaderAccess& readers;
        ShellHooks& hooks;
        const SignalSource& signal;
        platform::Registry* registry = nullptr;  // task bar options; null: none set
        platform::Keyboard* keyboard = nullptr;  // swipe scrolling on the KP30
        platform::PageExternal* external = nullptr;
        bool kp30 = false;
    };

    MainDialog(Parts parts, settings::BrowserOptions options);
    ~MainDialog() override;
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // Builds the window and shows it; on the window thread.
    void create();
    // The quit request of the Exit items and the close button.
    void quit();
    // The title-bar OK keeps the window when set.
    void setNoHide(bool noHide) { noHide_ = noHide; }
    // Lifts the kiosk lock's hold on the task bar and the address box at once.
    void unlockNow();
    // The password prompt; true when there is no password or the right one was typed.
    bool askPassword();
    void setFullScreen(bool fullScreen);
    // Lays the window and the pages out for the current mode.
    void applyLayout();

    settings::BrowserOptions& options() { return options_; }
    const RegisteredMessages& messages() const { return messages_; }
    platform::ui::Window* window() { return window_.get(); }
    // The tray menu; null until the window is created.
    platform::ui::Menu* trayMenu() { return trayMenu_.get(); }
    // The "Processing..." window of image captures; null until the window is created.
    ProgressDialog* progressDialog() { return progress_.get(); }
    BrowserDialog* browserPage() { return browser_.get(); }
    const Screen& screen() const { return screen_; }
    bool fullScreen() const { return fullScreen_; }
    int pageState() const { return pageState_; }
    std::uintptr_t lastSignal() const { return lastSignal_; }
    std::intptr_t lastBattery() const { return lastBattery_; }
    bool destroyed() const { return destroyed_; }
    // The page's reader switches tick the tray menu; a level it found out of range is kept.
    void tickTrayItem(int item, bool ticked);
    void setLastSignal(std::uintptr_t level) { lastSignal_ = level; }

    // WindowHandler
    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void onOk() override;
    void onClose() override { quit(); }
    void onClick(int x, int y) override;
    void onSettingChange() override;

    // BrowserPageOwner
    void historyStateChanged(int command, bool enabled) override;
    void pageOk() override;
    void browserMouse(bool down, int x, int y) override;

private:
    void createStrip();
    void createMenus();
    void setTrayReaderItems();
    void openHomePage();
    void applyKioskLock();
    void createProgressWindow();
    void showPage(int command);
    void toggleBarcode(int item);
    void toggleRfid();
    void openSettings();
    void toggleInputPanel();
    void restoreWindow();
    void trayNotify();
    void forwardStatus(Msg msg, std::uintptr_t wParam, std::intptr_t lParam);
    void showIcons(std::uintptr_t wifi, std::intptr_t battery);
    void warn(std::u16string_view text);
    void destroy();
    void stopThreads();
    void monitorSignal();

    ShellContext& context_;
    platform::ui::Toolkit& toolkit_;
    ReaderAccess& readers_;
    ShellHooks& hooks_;
    const SignalSource& signal_;
    platform::Registry* registry_;
    platform::Keyboard* keyboard_;
    platform::PageExternal* external_;
    const bool kp30_;
    settings::BrowserOptions options_;
    RegisteredMessages messages_;

    std::unique_ptr<platform::ui::Window> window_;
    std::unique_ptr<BrowserDialog> browser_;
    std::unique_ptr<platform::ui::Menu> toolsMenu_;
    std::unique_ptr<platform::ui::Menu> trayMenu_;
    std::unique_ptr<ProgressDialog> progress_;
    Screen screen_;
    bool fullScreen_ = false;
    int pageState_ = 0;
    bool noHide_ = false;
    bool destroyed_ = false;
    std::uintptr_t lastSignal_ = 0;
    std::intptr_t lastBattery_ = 0;
    std::optional<Point> swipeStart_;

    std::atomic<bool> pageExists_{false};
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    StopSignal stop_;
    std::thread signalThread_;
};

}  // namespace tessel::app
