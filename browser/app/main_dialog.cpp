#include "browser/app/main_dialog.h"

namespace tessel::app {

namespace ui = platform::ui;

namespace {

constexpr std::uint32_t kStartupWaitMs = 500;
constexpr std::uint32_t kSignalPeriodMs = 1200;
constexpr std::uint32_t kExtendedKey = 0x1;  // keybd_event flag of the arrow keys

const ui::MenuSpec kToolsMenuSpec{kToolsMenu, u"Tools",
                                  {{kCmdBrowser, u"Browser"},
                                   {kCmdSymbologies, u"Symbologies"},
                                   {kCmdReader, u"Reader"},
                                   {kCmdAbout, u"About"},
                                   {0, u""},
                                   {kCmdExit, u"Exit"}}};

const ui::MenuSpec kTrayMenuSpec{kTrayMenu, u"ICON_MENU",
                                 {{kCmdCcdLaser, u"CCD/Laser"},
                                  {kCmdLongRange, u"Long Range Laser"},
                                  {kCmd2D, u"2D"},
                                  {kCmdRfid, u"RFID"},
                                  {0, u""},
                                  {kCmdMaximize, u"Maximize"},
                                  {kCmdExit, u"Exit"}}};

const std::vector<ui::ToolButton> kToolButtons = {
    {kCmdBack, 0}, {kCmdForward, 1}, {kCmdRefresh, 2},    {kCmdHome, 3},
    {0, 0},        {kCmdSettings, 4}, {kCmdInputPanel, 5}, {kCmdFullScreen, 6},
};

// The tray item that stands for each engine kind of port 1; 0: none.
int barcodeItemOf(ReaderType kind) {
    switch (kind) {
        case ReaderType::CcdLaser:
        case ReaderType::LongRange1D955: return kCmdCcdLaser;
        case ReaderType::Imager2D:
        case ReaderType::Imager2D4507: return kCmd2D;
        case ReaderType::LongRange1D: return kCmdLongRange;
        default: return 0;
    }
}

// The tray item whose command toggles barcode reading for each kind; 0: none.
int barcodeToggleOf(ReaderType kind) {
    return kind == ReaderType::LongRange1D955 ? 0 : barcodeItemOf(kind);
}

bool isRfidKind(ReaderType kind) {
    return kind == ReaderType::RfidText || kind == ReaderType::RfidFrame ||
           kind == ReaderType::RfidModule;
}

}  // namespace

MainDialog::MainDialog(Parts parts, settings::BrowserOptions options)
    : context_(parts.context),
      toolkit_(parts.context.toolkit),
      readers_(parts.readers),
      hooks_(parts.hooks),
      signal_(parts.signal),
      registry_(parts.registry),
      keyboard_(parts.keyboard),
      external_(parts.external),
      kp30_(parts.kp30),
      options_(std::move(options)),
      messages_(toolkit_) {
    signalThread_ = std::thread([this] { monitorSignal(); });
}

MainDialog::~MainDialog() {
    if (!destroyed_) destroy();
    stopThreads();
}

// ---- start-up ----

void MainDialog::create() {
    window_ = toolkit_.createWindow(*this, nullptr);
    window_->setCaption(kMainTitle);
    window_->setIcon(kMainIcon);

    context_.clock.sleepMs(kStartupWaitMs);
    toolkit_.setWaitCursor(true);
    readers_.startUp();
    toolkit_.setWaitCursor(false);

    screen_ = screenFor(toolkit_.screen(), kp30_);
    window_->setRect(windowRect(screen_));
    window_->show(true);

    createStrip();
    browser_ = std::make_unique<BrowserDialog>(context_, *this, *window_, options_, hooks_, external_);
    browser_->init();
    browser_->window().show(true);
    pageExists_ = true;
    hooks_.createPages(*window_);
    createMenus();
    applyLayout();
    setTrayReaderItems();
    toolkit_.addTrayIcon(*window_, {kMainIcon, kTrayCallbackMessage, kMainIcon, kMainTitle});
    openHomePage();
    applyKioskLock();
    createProgressWindow();
}

void MainDialog::createStrip() {
    ui::ControlSpec label{ui::ControlKind::Static, kToolsLabel, {1, 3, 50, 21}, u"Tools", {}, {}};
    label.style.border = true;
    label.style.centered = true;
    window_->addControl(label);
    window_->addControl({ui::ControlKind::Toolbar, kToolbar, {52, 1, 200, 25}, u"415", {}, kToolButtons});
    window_->enableToolButton(kToolbar, kCmdBack, false);
    window_->enableToolButton(kToolbar, kCmdForward, false);
}

void MainDialog::createMenus() {
    toolsMenu_ = toolkit_.createMenu(kToolsMenuSpec);
    trayMenu_ = toolkit_.createMenu(kTrayMenuSpec);
    trayMenu_->setGrey(kCmdMaximize, true);
}

void MainDialog::setTrayReaderItems() {
    const int active = barcodeItemOf(readers_.barcodeKind());
    for (int item : {kCmdCcdLaser, kCmdLongRange, kCmd2D}) {
        trayMenu_->setGrey(item, item != active);
        trayMenu_->setTick(item, item == active && readers_.barcodeEnabled());
    }
    const bool rfid = isRfidKind(readers_.rfidKind());
    trayMenu_->setGrey(kCmdRfid, !rfid);
    trayMenu_->setTick(kCmdRfid, rfid && readers_.rfidEnabled());
}

void MainDialog::openHomePage() {
    const std::u16string& home = options_.homeUrl;
    if (home.empty()) {
        const std::u16string test = context_.programFolder + u"test.htm";
        browser_->addAddress(test, false);
        browser_->navigate(test);
    } else if (home.starts_with(u"http://")) {
        browser_->navigate(home);
    } else {
        const std::u16string prefixed = u"http://" + home;
        browser_->addAddress(prefixed, true);
        browser_->navigate(prefixed);
    }
}

void MainDialog::applyKioskLock() {
    const bool unlocked = options_.lockScreen == 0;
    toolkit_.enableSystemWindow(kTaskBarClass, unlocked);
    browser_->enableAddressBox(unlocked);
}

void MainDialog::createProgressWindow() {
    progress_ = std::make_unique<ProgressDialog>(toolkit_);
    progress_->create();
}

void MainDialog::unlockNow() {
    toolkit_.enableSystemWindow(kTaskBarClass, true);
    if (browser_) browser_->enableAddressBox(true);
}

// ---- layout ----

void MainDialog::applyLayout() {
    const TaskBarOptions taskBar = TaskBarOptions::read(registry_);
    const Layout layout = layoutFor(screen_, fullScreen_, taskBar.coversPage());
    window_->setFrame(layout.frame);
    window_->showControl(kToolsLabel, layout.stripShown);
    window_->showControl(kToolbar, layout.stripShown);
    browser_->place(layout, screen_, fullScreen_);
    toolkit_.showSystemWindow(kTaskBarClass, !fullScreen_);
    if (fullScreen_) browser_->view().setFocus();
}

void MainDialog::setFullScreen(bool fullScreen) {
    fullScreen_ = fullScreen;
    applyLayout();
}

void MainDialog::onSettingChange() {
    if (!window_) return;
    window_->setRect(windowRect(screen_));
    applyLayout();
}

void MainDialog::pageOk() {
    const int height = browser_->window().rect().height;
    if (height == 320 || height == 400 || height == 640) setFullScreen(false);
}

// ---- commands ----

void MainDialog::onCommand(int id, ui::Notify) {
    switch (id) {
        case kToolsLabel: onClick(kToolsArea.x, kToolsArea.y); break;
        case kCmdBrowser:
        case kCmdSymbologies:
        case kCmdReader: showPage(id); break;
        case kCmdAbout: hooks_.openAbout(); break;
        case kCmdExit: quit(); break;
        case kCmdCcdLaser:
        case kCmdLongRange:
        case kCmd2D: toggleBarcode(id); break;
        case kCmdRfid: toggleRfid(); break;
        case kCmdMaximize: restoreWindow(); break;
        case kCmdBack:
        case kCmdForward: browser_->view().historyGo(id == kCmdBack ? -1 : 1); break;
        case kCmdHome:
            if (!options_.homeUrl.empty()) browser_->navigate(options_.homeUrl);
            break;
        case kCmdRefresh: browser_->view().refresh(); break;
        case kCmdSettings: openSettings(); break;
        case kCmdInputPanel: toggleInputPanel(); break;
        case kCmdFullScreen: setFullScreen(true); break;
        default: break;
    }
}

void MainDialog::showPage(int command) {
    const bool browser = command == kCmdBrowser;
    browser_->window().show(browser);
    window_->showControl(kToolbar, browser);
    hooks_.showSymbologyPage(command == kCmdSymbologies);
    hooks_.showReaderPage(command == kCmdReader);
    if (browser) browser_->view().setFocus();
    pageState_ = command == kCmdReader ? -1 : 0;
}

void MainDialog::toggleBarcode(int item) {
    if (barcodeToggleOf(readers_.barcodeKind()) != item) return;
    const bool on = !readers_.barcodeEnabled();
    readers_.setBarcodeEnabled(on);
    trayMenu_->setTick(item, on);
    hooks_.setBarcodeCheck(on);
}

void MainDialog::tickTrayItem(int item, bool ticked) {
    if (trayMenu_) trayMenu_->setTick(item, ticked);
}

void MainDialog::toggleRfid() {
    if (!isRfidKind(readers_.rfidKind())) return;
    const bool on = !readers_.rfidEnabled();
    readers_.setRfidEnabled(on);
    trayMenu_->setTick(kCmdRfid, on);
    hooks_.setRfidCheck(on);
}

bool MainDialog::askPassword() {
    if (options_.password.empty()) return true;
    return InputPasswdDialog(toolkit_, *window_, options_.password).ask();
}

void MainDialog::openSettings() {
    if (!askPassword()) return;
    window_->showControl(kToolbar, false);
    hooks_.openBrowserSettings();
    if (window_) window_->showControl(kToolbar, true);
}

void MainDialog::toggleInputPanel() {
    if (!toolkit_.systemWindowExists(kInputPanelClass)) return;
    toolkit_.showSystemWindow(kInputPanelClass, !toolkit_.systemWindowVisible(kInputPanelClass));
}

void MainDialog::restoreWindow() {
    window_->bringToFront();
    window_->show(true);
    trayMenu_->setGrey(kCmdMaximize, true);
}

void MainDialog::onClick(int x, int y) {
    if (!kToolsArea.contains(x, y)) return;
    const Point at = toolsPopupPoint(screen_);
    if (auto command = toolsMenu_->popup(at.x, at.y)) onCommand(*command, ui::Notify::Clicked);
}

void MainDialog::trayNotify() {
    if (window_->visible()) restoreWindow();
    const Point at = trayPopupPoint(screen_, TaskBarOptions::read(registry_).lowersPopup());
    if (auto command = trayMenu_->popup(at.x, at.y)) onCommand(*command, ui::Notify::Clicked);
}

void MainDialog::onOk() {
    if (options_.lockScreen != 0) {
        warn(u"Please disable [Lock the screen] option.");
        return;
    }
    if (noHide_) return;
    window_->show(false);
    trayMenu_->setGrey(kCmdMaximize, false);
}

void MainDialog::historyStateChanged(int command, bool enabled) {
    if (command == 1) window_->enableToolButton(kToolbar, kCmdForward, enabled);
    if (command == 2) window_->enableToolButton(kToolbar, kCmdBack, enabled);
}

void MainDialog::browserMouse(bool down, int x, int y) {
    if (!kp30_) return;
    if (down) {
        swipeStart_ = Point{x, y};
        return;
    }
    if (!swipeStart_) return;
    const auto keys = swipeKeys(x - swipeStart_->x, y - swipeStart_->y);
    swipeStart_.reset();
    if (keyboard_)
        for (int key : keys) keyboard_->keybdEvent(static_cast<std::uint8_t>(key), 0, kExtendedKey);
}

void MainDialog::warn(std::u16string_view text) {
    toolkit_.messageBox(window_.get(),
                        {std::u16string(text), u"Warning", ui::Buttons::Ok, ui::Icon::Exclamation});
}

// ---- messages ----

void MainDialog::onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == kTrayCallbackMessage) {
        trayNotify();
        return;
    }
    for (std::size_t i = 0; i < kMessageNames.size(); ++i) {
        const Msg msg = static_cast<Msg>(i);
        if (!messages_.is(message, msg)) continue;
        if (msg == Msg::WifiStrength || msg == Msg::BatteryState || msg == Msg::BrowserShowIcon)
            forwardStatus(msg, wParam, lParam);
        else
            hooks_.readerMessage(msg, wParam, lParam);
        return;
    }
}

void MainDialog::forwardStatus(Msg msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (msg == Msg::BrowserShowIcon) {
        showIcons(wParam, lParam);
    } else if (msg == Msg::WifiStrength) {
        lastSignal_ = wParam;
        if (options_.showWifiSignal && browser_)
            browser_->onMessage(browser_->wifiMessage(), wParam, lParam);
    } else {
        lastBattery_ = lParam;
        if (options_.showBattery && browser_)
            browser_->onMessage(browser_->batteryMessage(), wParam, lParam);
    }
}

void MainDialog::showIcons(std::uintptr_t wifi, std::intptr_t battery) {
    options_.showWifiSignal = static_cast<int>(wifi);
    options_.showBattery = static_cast<int>(battery);
    if (!browser_) return;
    if (options_.showWifiSignal)
        browser_->onMessage(browser_->wifiMessage(), lastSignal_, 0);
    else
        browser_->hideWifi();
    if (options_.showBattery)
        browser_->onMessage(browser_->batteryMessage(), 0, lastBattery_);
    else
        browser_->hideBattery();
}

// ---- quit and teardown ----

void MainDialog::quit() {
    const auto answer = toolkit_.messageBox(
        window_.get(), {u"Do you want to quit?", u"Warning", ui::Buttons::OkCancel, ui::Icon::Exclamation});
    if (answer != ui::Answer::Ok) return;
    hooks_.documentChanged(nullptr);
    if (options_.updateIniWhenExit != 0) {
        if (auto failure = hooks_.exportSettings()) {
            warn(*failure);
            return;
        }
    }
    if (options_.lockScreen != 0) {
        warn(u"Please disable [Lock the screen] option before exiting.");
        return;
    }
    toolkit_.removeTrayIcon(kMainIcon);
    trayMenu_.reset();
    destroy();
    toolkit_.quit();
}

void MainDialog::destroy() {
    destroyed_ = true;
    pageExists_ = false;
    stopThreads();
    readers_.close();
    toolsMenu_.reset();
    trayMenu_.reset();
    hooks_.destroyPages();
    browser_.reset();
    progress_.reset();
    window_.reset();
}

void MainDialog::stopThreads() {
    stop_.stop();
    if (signalThread_.joinable()) signalThread_.join();
}

void MainDialog::monitorSignal() {
    if (!signal_.available()) return;
    while (stop_.pause(context_.clock, kSignalPeriodMs)) {
        if (!pageExists_) continue;
        const auto dbm = signal_.signalDbm();
        if (!dbm) continue;
        const int level = signalLevel(*dbm);
        std::weak_ptr<bool> alive = alive_;
        toolkit_.post([this, alive, level] {
            if (alive.expired() || !browser_ || !options_.showWifiSignal) return;
            browser_->onMessage(browser_->wifiMessage(), static_cast<std::uintptr_t>(level), 0);
        });
    }
}

}  // namespace tessel::app
