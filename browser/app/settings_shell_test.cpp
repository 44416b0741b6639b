#include "browser/app/settings_shell.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "browser/app/app_test_support.h"
#include "platform/imaging.h"
#include "platform/library_loader.h"
#include "platform/registry.h"
#include "platform/virtual_serial.h"

namespace tessel::app {
namespace {

using test::boxTexts;
using namespace std::chrono_literals;
namespace ui = platform::ui;

constexpr char16_t kModulePath[] = u"\\Program Files\\Tessel\\browser.exe";

// The shell on the headless window thread with persistence as its settings hooks, over a reader
// manager whose ports have nothing plugged in.
class SettingsShellTest : public test::ShellTest {
protected:
    ~SettingsShellTest() override {
        ui([&] { main_.reset(); });
    }

    void startWith(settings::BrowserOptions options) {
        main_ = std::make_unique<MainDialog>(
            MainDialog::Parts{context_, readers_, shell_, signal_, registry_, &keyboard_, nullptr, false},
            std::move(options));
        toolkit_.post([this] { main_->create(); });
        EXPECT_TRUE(clock_.awaitWaitOf(500ms));
        clock_.advance(500ms);
        ui([] {});
    }
    std::string iniFile() {
        std::ifstream in(programFile("browserINI.txt"), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    platform::VirtualClock readerClock_;
    platform::VirtualPortOpener opener_{readerClock_};
    platform::Registry readerRegistry_{root_.path() / "registry.txt", readerClock_};
    platform::TableLibraryLoader loader_;
    reader::ReaderManager manager_{{opener_, readerClock_, readerRegistry_, loader_, platform::jpegImaging(), nullptr}};
    SettingsShell shell_{{manager_, nullptr, platform::DeviceFs(root_.path()), kModulePath,
                          [this]() -> settings::BrowserOptions& { return main_->options(); }, nullptr}};
};

TEST_F(SettingsShellTest, QuitUnderKioskLockWritesTheFileBeforeRefusing) {
    settings::BrowserOptions options;
    options.lockScreen = 1;
    options.updateIniWhenExit = 1;
    options.homeUrl = u"http://terminal/app";
    startWith(options);
    ui([&] { main_->onCommand(kCmdExit, ui::Notify::Clicked); });
    EXPECT_FALSE(main_->destroyed());
    EXPECT_EQ(boxTexts(toolkit_).back(), u"Please disable [Lock the screen] option before exiting.");
    const std::string file = iniFile();
    EXPECT_TRUE(file.starts_with("\r\n[General]\r\npassword=\r\nhomeurl=http://terminal/app\r\n")) << file;
    EXPECT_EQ(file.find("lockscreen"), std::string::npos);  // only the Browser Settings page writes it
}

TEST_F(SettingsShellTest, AnUnwritableFileKeepsTheProgramRunningWithTheStoreText) {
    std::ofstream(programFile("browserINI.txt")) << "[General]\r\nhomeUrl=mine\r\n";
    std::filesystem::permissions(programFile("browserINI.txt"), std::filesystem::perms::owner_read);
    settings::BrowserOptions options;
    options.updateIniWhenExit = 1;
    startWith(options);
    ui([&] { window().pressClose(); });
    EXPECT_FALSE(main_->destroyed());
    EXPECT_EQ(boxTexts(toolkit_).back(),
              u"Unable to write the INI file.\r\nPlease make sure it is not opened by WordPad.");
    EXPECT_EQ(iniFile(), "[General]\r\nhomeUrl=mine\r\n");

    // Once the file can be written, the next quit goes through.
    std::filesystem::permissions(programFile("browserINI.txt"), std::filesystem::perms::owner_all);
    ui([&] { window().pressClose(); });
    EXPECT_TRUE(main_->destroyed());
}

TEST(SettingsShellStartUp, LoadsDetectsAndImports) {
    platform::TempDir root;
    std::filesystem::create_directories(root.path() / "Program Files" / "Tessel");
    std::ofstream(root.path() / "Program Files" / "Tessel" / "browserINI.txt")
        << "[General]\r\nloadIniWhenStart=1\r\nhomeUrl=imported\r\n";
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry{root.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    reader::ReaderManager manager{{opener, clock, registry, loader, platform::jpegImaging(), nullptr}};
    settings::BrowserOptions options;
    int threadStarts = 0;
    SettingsShell shell({manager, nullptr, platform::DeviceFs(root.path()), kModulePath,
                         [&]() -> settings::BrowserOptions& { return options; },
                         [&] { ++threadStarts; }});
    shell.startUpProcedure()();
    EXPECT_EQ(options.homeUrl, u"imported");
    EXPECT_EQ(threadStarts, 0);  // no presence key: no reader looked for, none found
    EXPECT_FALSE(shell.store().isEmpty());
}

}  // namespace
}  // namespace tessel::app
