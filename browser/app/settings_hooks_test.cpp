// The settings dialogs joined to the main window through SettingsHooks: the Settings button,
// the Tools menu's pages and About, and the way back from the pages to the window.

#include "browser/app/settings_hooks.h"

#include <gtest/gtest.h>

#include "browser/app/about_dialog.h"
#include "browser/app/app_test_support.h"
#include "browser/settings/dialog_test_support.h"

namespace tessel::app::test {
namespace {

namespace ui = platform::ui;
using settings::ScannerSettingDialog;

class SettingsHooksTest : public ShellTest {
protected:
    SettingsHooksTest() {
        shellHooks = &settingsHooks;
        beforeCreate = [this](MainDialog& main) { settingsHooks.attach(main); };
    }
    // The window goes before the hooks it calls.
    ~SettingsHooksTest() override {
        ui([&] { main_.reset(); });
    }
    HeadlessWindow& readerPage() {
        return static_cast<HeadlessWindow&>(*settingsHooks.readerPage()->window());
    }

    // A reader manager with no reader on its ports.
    platform::TempDir deviceDir;
    platform::VirtualClock readerClock;
    platform::VirtualPortOpener opener{readerClock};
    platform::Registry deviceRegistry{deviceDir.path() / "registry.txt", readerClock};
    platform::TableLibraryLoader loader;
    reader::ReaderManager manager{{opener, readerClock, deviceRegistry, loader, platform::jpegImaging(), nullptr}};
    settings::IniStore store;
    settings::test::StubSymbologies symbologies;
    settings::test::RecordingReading reading;
    SettingsHooks settingsHooks{{toolkit_, store, manager, symbologies, reading}};
};

TEST_F(SettingsHooksTest, SettingsButtonOpensTheBrowserPageWhoseIconsReachTheWindow) {
    start();
    toolkit_.answerModal([](HeadlessWindow& w) {
        EXPECT_EQ(w.caption(), u"Browser Settings");
        w.click(settings::kWifiBox);
        w.pressOk();
    });
    ui([&] { window().clickToolButton(kToolbar, kCmdSettings); });
    EXPECT_EQ(toolkit_.modalRuns(), 1);
    EXPECT_EQ(main_->options().showWifiSignal, 1);
    ui([&] { EXPECT_TRUE(window().isShown(kToolbar)); });
}

TEST_F(SettingsHooksTest, ReaderPageIsAHiddenChildShownByTheToolsMenu) {
    start();
    ui([&] {
        EXPECT_EQ(readerPage().parent(), &window());
        EXPECT_FALSE(readerPage().visible());
        main_->onCommand(kCmdReader, ui::Notify::Clicked);
        EXPECT_TRUE(readerPage().visible());
        main_->onCommand(kCmdBrowser, ui::Notify::Clicked);
        EXPECT_FALSE(readerPage().visible());
    });
}

TEST_F(SettingsHooksTest, TrayTogglesMoveTheCheckBoxAndThePagesTickTheTray) {
    readers_.barcode = ReaderType::CcdLaser;
    readers_.rfid = ReaderType::RfidText;
    start();
    ui([&] {
        main_->onCommand(kCmdCcdLaser, ui::Notify::Clicked);  // reading off
        EXPECT_FALSE(readerPage().isChecked(ScannerSettingDialog::kBarcodeBox));
        main_->onCommand(kCmdCcdLaser, ui::Notify::Clicked);
        EXPECT_TRUE(readerPage().isChecked(ScannerSettingDialog::kBarcodeBox));
        EXPECT_TRUE(trayMenu().item(kCmdRfid).ticked);
    });
    // The manager has no RFID reader: OK on the RFID page switches RFID off and unticks it.
    toolkit_.answerModal([](HeadlessWindow& w) { w.pressOk(); });
    ui([&] { settingsHooks.readerPage()->onCommand(74, ui::Notify::Clicked); });
    ui([&] { EXPECT_FALSE(trayMenu().item(kCmdRfid).ticked); });
}

TEST_F(SettingsHooksTest, AboutComesFromTheToolsMenuAndThePagesGoAtQuit) {
    start();
    toolkit_.answerModal([](HeadlessWindow& w) { EXPECT_EQ(w.caption(), kAboutCaption); });
    ui([&] { main_->onCommand(kCmdAbout, ui::Notify::Clicked); });
    EXPECT_EQ(toolkit_.modalRuns(), 1);
    ui([&] { main_->quit(); });
    EXPECT_EQ(settingsHooks.readerPage(), nullptr);
}

}  // namespace
}  // namespace tessel::app::test
