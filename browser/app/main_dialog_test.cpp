#include "browser/app/main_dialog.h"

#include <gtest/gtest.h>

#include "browser/app/app_test_support.h"
#include "platform/registry.h"

namespace tessel::app::test {
namespace {

namespace ui = platform::ui;

settings::BrowserOptions withHome(std::u16string home) {
    settings::BrowserOptions options;
    options.homeUrl = std::move(home);
    return options;
}

std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(ShellTest, StartUpBuildsTheWindowInOrder) {
    toolkit_.addSystemWindow(kTaskBarClass);
    start(withHome(u"http://host/app.htm"));
    EXPECT_EQ(log_.events(), (std::vector<std::string>{"startUp at 500 waiting"}));
    EXPECT_FALSE(toolkit_.waitCursor());
    ui([&] {
        EXPECT_EQ(window().caption(), u"TESSEL Browser");
        EXPECT_EQ(window().icon(), kMainIcon);
        EXPECT_TRUE(window().visible());
        EXPECT_EQ(window().rect(), (ui::Rect{0, 0, 240, 320}));
        EXPECT_EQ(window().text(kToolsLabel), u"Tools");
        EXPECT_EQ(window().controlRect(kToolsLabel), (ui::Rect{1, 3, 50, 21}));
        EXPECT_EQ(window().controlRect(kToolbar), (ui::Rect{52, 1, 200, 25}));
        EXPECT_FALSE(window().isToolButtonEnabled(kToolbar, kCmdBack));
        EXPECT_FALSE(window().isToolButtonEnabled(kToolbar, kCmdForward));
        EXPECT_TRUE(window().isToolButtonEnabled(kToolbar, kCmdHome));
        EXPECT_TRUE(trayMenu().item(kCmdMaximize).grey);
        EXPECT_EQ(toolkit_.menu(kToolsMenu)->title(), u"Tools");
        auto tray = toolkit_.trayIcon(kMainIcon);
        ASSERT_TRUE(tray);
        EXPECT_EQ(tray->callbackMessage, 0x0401u);
        EXPECT_EQ(tray->tip, u"TESSEL Browser");
        EXPECT_TRUE(toolkit_.systemWindowEnabled(kTaskBarClass));
        EXPECT_TRUE(page().isEnabled(kAddressBox));
        auto* progress = toolkit_.findWindow(u"Processing...");
        ASSERT_NE(progress, nullptr);
        EXPECT_FALSE(progress->visible());
        EXPECT_EQ(progress->rect(), (ui::Rect{40, 70, 150, 70}));
        // The start page first, then the home page unchanged, the address list untouched.
        EXPECT_EQ(view().navigations(),
                  (std::vector<std::u16string>{u"\\Program Files\\Tessel\\tmp.htm", u"http://host/app.htm"}));
        EXPECT_TRUE(page().comboEntries(kAddressBox).empty());
    });
}

TEST_F(ShellTest, HomePageWithoutPrefixIsOpenedPrefixedAndSelected) {
    start(withHome(u"host/app.htm"));
    ui([&] {
        EXPECT_EQ(view().navigations().back(), u"http://host/app.htm");
        EXPECT_EQ(page().comboEntries(kAddressBox), std::vector<std::u16string>{u"http://host/app.htm"});
        EXPECT_EQ(page().comboSelection(kAddressBox), 0u);
    });
}

TEST_F(ShellTest, PrefixTestIsCaseSensitive) {
    start(withHome(u"HTTP://host"));
    ui([&] { EXPECT_EQ(view().navigations().back(), u"http://HTTP://host"); });
}

TEST_F(ShellTest, EmptyHomePageOpensTheTestPageUnselected) {
    start();
    ui([&] {
        EXPECT_EQ(view().navigations().back(), u"\\Program Files\\Tessel\\test.htm");
        EXPECT_EQ(page().comboEntries(kAddressBox).size(), 1u);
        EXPECT_FALSE(page().comboSelection(kAddressBox));
    });
}

TEST_F(ShellTest, StartPageIsWrittenAndGoneAfterTheFirstDocument) {
    start(withHome(u"http://host/"));
    EXPECT_EQ(fileText(programFile("tmp.htm")),
              "<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=8859_1\"></html>");
    completePage();
    EXPECT_FALSE(std::filesystem::exists(programFile("tmp.htm")));
    EXPECT_EQ(log_.events().back(), "document taken");
    ui([&] { EXPECT_EQ(page().text(kAddressBox), u"http://host/"); });
}

TEST_F(ShellTest, BrowserControlGetsTheHostAnswers) {
    settings::BrowserOptions options;
    options.disablePictures = 1;
    start(options);
    ui([&] {
        EXPECT_EQ(view().downloadControl(), 0x60u);
        EXPECT_FALSE(view().contextMenu());
        EXPECT_FALSE(view().border3d());
    });
}

TEST_F(ShellTest, PicturesAreDownloadedUnlessDisabled) {
    start();
    ui([&] { EXPECT_EQ(view().downloadControl(), 0x70u); });
}

// ---- layout ----

struct LayoutCase {
    ui::Rect desktop;
    bool kp30;
    ui::Rect window;
    ui::Rect page;
    ui::Rect browser;
};

class ShellLayoutTest : public ShellTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ShellLayoutTest, NormalThenFullScreen) {
    const auto& c = GetParam();
    toolkit_.setScreen(c.desktop);
    toolkit_.addSystemWindow(kTaskBarClass);
    start({}, c.kp30);
    ui([&] {
        EXPECT_EQ(window().rect(), c.window);
        EXPECT_EQ(page().rect(), c.page);
        // The browser control at its main window rect, the address box in the page's foot below it.
        const ui::Rect inPage{c.browser.x - c.page.x, c.browser.y - c.page.y, c.browser.width, c.browser.height};
        EXPECT_EQ(view().rect(), inPage);
        const int foot = inPage.y + inPage.height;
        EXPECT_EQ(page().controlRect(kAddressBox), (ui::Rect{inPage.x, foot, inPage.width, c.page.height - foot}));
        EXPECT_EQ(window().frame(), c.kp30 ? ui::Window::Frame::SystemMenuOnly : ui::Window::Frame::Caption);
        window().clickToolButton(kToolbar, kCmdFullScreen);
        EXPECT_TRUE(main_->fullScreen());
        EXPECT_EQ(window().frame(), ui::Window::Frame::None);
        EXPECT_FALSE(window().isShown(kToolbar));
        EXPECT_FALSE(window().isShown(kToolsLabel));
        EXPECT_FALSE(page().isShown(kAddressBox));
        EXPECT_FALSE(toolkit_.systemWindowVisible(kTaskBarClass));
        const ui::Rect full{0, 0, c.window.width, c.kp30 ? 400 : c.window.height};
        EXPECT_EQ(page().rect(), full);
        EXPECT_EQ(view().rect(), full);
        EXPECT_EQ(page().focus(), kBrowserControl);
        page().pressOk();  // the page's OK returns to normal mode at these heights
        EXPECT_FALSE(main_->fullScreen());
        EXPECT_TRUE(toolkit_.systemWindowVisible(kTaskBarClass));
        EXPECT_EQ(page().rect(), c.page);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ShellLayoutTest,
    ::testing::Values(LayoutCase{{0, 0, 240, 320}, false, {0, 0, 240, 320}, {1, 26, 239, 294}, {1, 26, 239, 264}},
                      LayoutCase{{0, 0, 480, 640}, false, {0, 0, 480, 640}, {1, 26, 479, 614}, {2, 27, 479, 581}},
                      LayoutCase{{0, 0, 240, 400}, true, {0, 16, 240, 384}, {1, 26, 240, 400}, {1, 26, 240, 400}}));

class ShellRegistryTest : public ShellTest {
protected:
    ShellRegistryTest() { registry_ = &registry; }
    void setShell(const char* key, std::uint32_t value) {
        auto opened = registry.create(platform::Hive::LocalMachine, std::string("Software\\Microsoft\\Shell\\") + key);
        ASSERT_TRUE(opened);
        opened->set("", platform::RegValue::dwordValue(value));
    }
    platform::Registry registry{root_.path() / "registry.txt"};
};

TEST_F(ShellRegistryTest, TaskBarOnTopShortensTheBrowserAndRaisesTheTrayMenu) {
    setShell("OnTop", 1);
    start();
    toolkit_.answerPopup(std::nullopt);
    ui([&] {
        EXPECT_EQ(view().rect().height, 216);
        toolkit_.trayNotify(kMainIcon);
    });
    ASSERT_EQ(toolkit_.popups().size(), 1u);
    EXPECT_EQ(toolkit_.popups()[0].y, 170);
}

TEST_F(ShellRegistryTest, AutoHideKeepsTheFullHeight) {
    setShell("OnTop", 1);
    setShell("AutoHide", 1);
    start();
    ui([&] {
        EXPECT_EQ(view().rect().height, 264);
        toolkit_.trayNotify(kMainIcon);
    });
    EXPECT_EQ(toolkit_.popups().at(0).y, 190);
}

TEST_F(ShellTest, SettingChangeMovesTheWindowBackAndLaysItOut) {
    start();
    ui([&] {
        window().setRect({5, 5, 10, 10});
        window().settingChange();
        EXPECT_EQ(window().rect(), (ui::Rect{0, 0, 240, 320}));
    });
}

// ---- menus ----

struct TrayCase {
    ReaderType barcode;
    ReaderType rfid;
    int activeBarcodeItem;  // 0: none
    bool rfidActive;
};

class TrayItemsTest : public ShellTest, public ::testing::WithParamInterface<TrayCase> {};

TEST_P(TrayItemsTest, ReaderItemsFollowTheFittedKinds) {
    const auto& c = GetParam();
    readers_.barcode = c.barcode;
    readers_.rfid = c.rfid;
    start();
    ui([&] {
        for (int item : {kCmdCcdLaser, kCmdLongRange, kCmd2D}) {
            EXPECT_EQ(trayMenu().item(item).grey, item != c.activeBarcodeItem) << item;
            EXPECT_EQ(trayMenu().item(item).ticked, item == c.activeBarcodeItem) << item;
        }
        EXPECT_EQ(trayMenu().item(kCmdRfid).grey, !c.rfidActive);
        EXPECT_EQ(trayMenu().item(kCmdRfid).ticked, c.rfidActive);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TrayItemsTest,
    ::testing::Values(TrayCase{ReaderType::None, ReaderType::None, 0, false},
                      TrayCase{ReaderType::CcdLaser, ReaderType::RfidText, kCmdCcdLaser, true},
                      TrayCase{ReaderType::LongRange1D955, ReaderType::RfidFrame, kCmdCcdLaser, true},
                      TrayCase{ReaderType::Imager2D, ReaderType::RfidModule, kCmd2D, true},
                      TrayCase{ReaderType::Imager2D4507, ReaderType::None, kCmd2D, false},
                      TrayCase{ReaderType::LongRange1D, ReaderType::None, kCmdLongRange, false}));

TEST_F(ShellTest, TrayReaderCommandsToggleOnlyTheirOwnKind) {
    readers_.barcode = ReaderType::CcdLaser;
    readers_.rfid = ReaderType::RfidText;
    start();
    toolkit_.answerPopup(kCmdLongRange);  // greyed: nothing happens
    toolkit_.answerPopup(kCmdCcdLaser);
    toolkit_.answerPopup(kCmdRfid);
    ui([&] {
        for (int i = 0; i < 3; ++i) toolkit_.trayNotify(kMainIcon);
        EXPECT_FALSE(trayMenu().item(kCmdCcdLaser).ticked);
        EXPECT_FALSE(trayMenu().item(kCmdRfid).ticked);
        // Item 405 sent on a CCD/laser terminal (by a stale menu) is ignored too.
        window().message(0, 0, 0);
        main_->onCommand(kCmdLongRange, ui::Notify::Clicked);
    });
    EXPECT_FALSE(readers_.barcodeOn);
    EXPECT_FALSE(readers_.rfidOn);
    auto events = log_.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "barcode check off"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "rfid check off"), 1);
}

TEST_F(ShellTest, ToolsLabelOpensTheToolsMenuAndPagesSwitch) {
    start({}, true);
    toolkit_.answerPopup(kCmdReader);
    toolkit_.answerPopup(kCmdBrowser);
    ui([&] {
        window().clickAt(60, 10);  // outside the label: nothing
        window().clickAt(20, 10);
        EXPECT_EQ(main_->pageState(), -1);
        EXPECT_FALSE(page().visible());
        EXPECT_FALSE(window().isShown(kToolbar));
        window().clickAt(20, 10);
        EXPECT_EQ(main_->pageState(), 0);
        EXPECT_TRUE(page().visible());
        EXPECT_TRUE(window().isShown(kToolbar));
    });
    ASSERT_EQ(toolkit_.popups().size(), 2u);
    EXPECT_EQ(toolkit_.popups()[0].x, 2);
    EXPECT_EQ(toolkit_.popups()[0].y, 45);  // KP30
}

TEST_F(ShellTest, InputPanelButtonTogglesThePanel) {
    toolkit_.addSystemWindow(kInputPanelClass);
    start();
    ui([&] {
        window().clickToolButton(kToolbar, kCmdInputPanel);
        EXPECT_FALSE(toolkit_.systemWindowVisible(kInputPanelClass));
        window().clickToolButton(kToolbar, kCmdInputPanel);
        EXPECT_TRUE(toolkit_.systemWindowVisible(kInputPanelClass));
    });
}

// ---- title bar and tray ----

TEST_F(ShellTest, TitleBarOkHidesToTrayAndMaximizeRestores) {
    start();
    toolkit_.answerPopup(kCmdMaximize);
    ui([&] {
        window().pressOk();
        EXPECT_FALSE(window().visible());
        EXPECT_FALSE(trayMenu().item(kCmdMaximize).grey);
        toolkit_.trayNotify(kMainIcon);
        EXPECT_TRUE(window().visible());
        EXPECT_TRUE(trayMenu().item(kCmdMaximize).grey);
    });
    EXPECT_EQ(toolkit_.popups().at(0).x, 40);
    EXPECT_EQ(toolkit_.popups().at(0).y, 190);
}

TEST_F(ShellTest, NoHideFlagKeepsTheWindowOnOk) {
    start();
    ui([&] {
        main_->setNoHide(true);
        window().pressOk();
        EXPECT_TRUE(window().visible());
    });
    EXPECT_TRUE(toolkit_.messageBoxes().empty());
}

// ---- kiosk lock ----

settings::BrowserOptions locked() {
    settings::BrowserOptions options;
    options.lockScreen = 1;
    return options;
}

TEST_F(ShellTest, KioskLockDisablesTaskBarAndAddressBoxUntilUnlocked) {
    toolkit_.addSystemWindow(kTaskBarClass);
    start(locked());
    ui([&] {
        EXPECT_FALSE(toolkit_.systemWindowEnabled(kTaskBarClass));
        EXPECT_FALSE(page().isEnabled(kAddressBox));
        window().pressOk();
        EXPECT_TRUE(window().visible());
        main_->options().lockScreen = 0;
        main_->unlockNow();
        EXPECT_TRUE(toolkit_.systemWindowEnabled(kTaskBarClass));
        EXPECT_TRUE(page().isEnabled(kAddressBox));
        window().pressOk();
        EXPECT_FALSE(window().visible());
    });
    ASSERT_EQ(toolkit_.messageBoxes().size(), 1u);
    const auto box = toolkit_.messageBoxes()[0];
    EXPECT_EQ(box.text, u"Please disable [Lock the screen] option.");
    EXPECT_EQ(box.caption, u"Warning");
    EXPECT_EQ(box.icon, ui::Icon::Exclamation);
}

// ---- quit ----

TEST_F(ShellTest, QuitCancelledKeepsRunning) {
    start();
    toolkit_.answerMessageBox(ui::Answer::Cancel);
    ui([&] { window().pressClose(); });
    EXPECT_FALSE(main_->destroyed());
    EXPECT_EQ(boxTexts(toolkit_), std::vector<std::u16string>{u"Do you want to quit?"});
    EXPECT_EQ(toolkit_.messageBoxes()[0].buttons, ui::Buttons::OkCancel);
}

TEST_F(ShellTest, QuitUnderKioskLockIsRefusedAfterTheExport) {
    settings::BrowserOptions options = locked();
    options.updateIniWhenExit = 1;
    start(options);
    ui([&] { main_->onCommand(kCmdExit, ui::Notify::Clicked); });
    EXPECT_FALSE(main_->destroyed());
    EXPECT_EQ(boxTexts(toolkit_), (std::vector<std::u16string>{
                                      u"Do you want to quit?",
                                      u"Please disable [Lock the screen] option before exiting."}));
    const auto events = log_.events();
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
              (std::vector<std::string>{"document released", "settings exported"}));
}

TEST_F(ShellTest, ExportFailureShowsTheStoreTextAndKeepsRunning) {
    settings::BrowserOptions options;
    options.updateIniWhenExit = 1;
    hooks_.exportFailure = u"Cannot write browserINI.txt";
    start(options);
    ui([&] { window().pressClose(); });
    EXPECT_FALSE(main_->destroyed());
    EXPECT_EQ(boxTexts(toolkit_).back(), u"Cannot write browserINI.txt");
    EXPECT_EQ(toolkit_.messageBoxes().back().caption, u"Warning");
}

TEST_F(ShellTest, QuitTearsDownInOrderAndEndsTheLoop) {
    start();
    ui([&] { window().pressClose(); });
    windowThread_.join();
    windowThread_ = std::thread([] {});  // the fixture joins it again
    EXPECT_TRUE(main_->destroyed());
    EXPECT_FALSE(toolkit_.trayIcon(kMainIcon));
    EXPECT_EQ(toolkit_.windows().size(), 0u);
    EXPECT_FALSE(toolkit_.post([] {}));
    const auto events = log_.events();
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"document released", "readers closed", "pages destroyed"}));
}

// ---- password ----

class PasswordTest : public ShellTest {
protected:
    void startWithPassword() {
        settings::BrowserOptions options;
        options.password = u"Secret";
        start(options);
    }
    void answerPassword(std::u16string typed, int button) {
        toolkit_.answerModal([typed, button](HeadlessWindow& dialog) {
            EXPECT_EQ(dialog.caption(), u"Password");
            EXPECT_EQ(dialog.focus(), kPasswordEdit);
            dialog.type(kPasswordEdit, typed);
            dialog.click(button);
        });
    }
    bool settingsOpened() {
        const auto events = log_.events();
        return std::find(events.begin(), events.end(), "browser settings") != events.end();
    }
};

TEST_F(PasswordTest, RightPasswordOpensTheSettings) {
    startWithPassword();
    answerPassword(u"Secret", ui::kIdOk);
    ui([&] { window().clickToolButton(kToolbar, kCmdSettings); });
    EXPECT_TRUE(settingsOpened());
    EXPECT_TRUE(toolkit_.messageBoxes().empty());
    ui([&] { EXPECT_TRUE(window().isShown(kToolbar)); });
}

TEST_F(PasswordTest, OtherLetterCaseIsIncorrect) {
    startWithPassword();
    answerPassword(u"secret", ui::kIdOk);
    ui([&] { window().clickToolButton(kToolbar, kCmdSettings); });
    EXPECT_FALSE(settingsOpened());
    EXPECT_EQ(boxTexts(toolkit_), std::vector<std::u16string>{u"Incorrect password"});
}

TEST_F(PasswordTest, CancelLeavesEverythingAlone) {
    startWithPassword();
    answerPassword(u"Secret", ui::kIdCancel);
    ui([&] { window().clickToolButton(kToolbar, kCmdSettings); });
    EXPECT_FALSE(settingsOpened());
    EXPECT_TRUE(toolkit_.messageBoxes().empty());
    ui([&] { EXPECT_TRUE(window().isShown(kToolbar)); });
}

TEST_F(PasswordTest, NoPasswordOpensTheSettingsAtOnce) {
    start();
    ui([&] { window().clickToolButton(kToolbar, kCmdSettings); });
    EXPECT_TRUE(settingsOpened());
    EXPECT_EQ(toolkit_.modalRuns(), 0);
}

// ---- navigation ----

TEST_F(ShellTest, MissingLocalFileShowsBadNetworkPath) {
    start();
    ui([&] {
        const auto before = view().navigations().size();
        main_->browserPage()->navigate(u"\\Program Files\\Tessel\\missing.htm");
        main_->browserPage()->navigate(u"\\..\\..\\etc\\passwd");
        EXPECT_EQ(view().navigations().size(), before);
        main_->browserPage()->navigate(u"nowhere/at/all");  // no test without a backslash
        EXPECT_EQ(view().navigations().back(), u"nowhere/at/all");
    });
    ASSERT_EQ(toolkit_.messageBoxes().size(), 2u);
    EXPECT_EQ(toolkit_.messageBoxes()[0].text, kBadNetworkPath);
    EXPECT_EQ(toolkit_.messageBoxes()[0].caption, u"Window CE Networking");
}

TEST_F(ShellTest, AddressListKeepsTwentyEntries) {
    start(withHome(u"http://home"));
    ui([&] {
        for (int i = 0; i < 21; ++i) {
            page().type(kAddressBox, u"http://site/" + std::u16string(1, static_cast<char16_t>(u'A' + i)));
            page().pressEnter(kAddressBox);
        }
        const auto entries = page().comboEntries(kAddressBox);
        ASSERT_EQ(entries.size(), 20u);
        EXPECT_EQ(entries.front(), u"http://site/B");
        EXPECT_EQ(entries.back(), u"http://site/U");
        EXPECT_EQ(view().navigations().back(), u"http://site/U");
        page().select(kAddressBox, 3);
        EXPECT_EQ(view().navigations().back(), u"http://site/E");
        page().pressEnter(kAddressBox);  // a selected entry is opened, not added
        EXPECT_EQ(page().comboEntries(kAddressBox).size(), 20u);
        EXPECT_EQ(view().navigations().back(), u"http://site/E");
    });
}

TEST_F(ShellTest, HistoryButtonsFollowTheControl) {
    start(withHome(u"http://one"));
    completePage();
    ui([&] {
        EXPECT_FALSE(window().isToolButtonEnabled(kToolbar, kCmdBack));
        window().clickToolButton(kToolbar, kCmdBack);  // disabled: nothing
        main_->browserPage()->navigate(u"http://two");
        view().complete();
        EXPECT_TRUE(window().isToolButtonEnabled(kToolbar, kCmdBack));
        window().clickToolButton(kToolbar, kCmdBack);
        view().complete();
        EXPECT_EQ(view().navigations().back(), u"http://one");
        EXPECT_FALSE(window().isToolButtonEnabled(kToolbar, kCmdBack));
        EXPECT_TRUE(window().isToolButtonEnabled(kToolbar, kCmdForward));
        window().clickToolButton(kToolbar, kCmdHome);
        EXPECT_EQ(view().navigations().back(), u"http://one");
        window().clickToolButton(kToolbar, kCmdRefresh);
        EXPECT_EQ(view().refreshes(), 1);
    });
}

TEST_F(ShellTest, SwipeOnTheKp30SendsArrowKeys) {
    start({}, true);
    ui([&] {
        page().browserMouse(true, 100, 200);
        page().browserMouse(false, 130, 150);  // up by 50, right by 30
    });
    std::vector<platform::RecordingKeyboard::Call> expected;
    for (std::uint8_t key : {40, 40, 40, 40, 40, 40, 37, 37, 37, 37, 37, 37})
        expected.push_back(platform::RecordingKeyboard::KeyEvent{key, 0, 0x1});  // down, extended
    EXPECT_EQ(keyboard_.calls(), expected);
}

TEST_F(ShellTest, NoSwipeScrollingOffTheKp30) {
    start();
    ui([&] {
        page().browserMouse(true, 100, 200);
        page().browserMouse(false, 100, 100);
    });
    EXPECT_TRUE(keyboard_.calls().empty());
}

}  // namespace
}  // namespace tessel::app::test
