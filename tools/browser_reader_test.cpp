// The browser program on a simulated terminal: a trigger press sent by name from another process
// reads the barcode the engine simulator holds, and the scan reaches the page's onScanBarcode.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/message_channel.h"
#include "platform/temp_dir.h"
#include "terminal/profiles.h"
#include "tools/browser_test_support.h"
#include "tools/terminal_core.h"

namespace tessel::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class BrowserOnTerminal : public ::testing::Test {
protected:
    ~BrowserOnTerminal() override { endProcess(browser_); }

    void startTerminal(const char* profile) {
        std::string error;
        terminal_ = startSimulatedTerminal(profile, root_.path(), notes_, error);
        ASSERT_NE(terminal_, nullptr) << error;
    }

    // The browser, headless, with its page callbacks and its standard error in files.
    void startBrowser() {
        browser_ = spawnBrowser({"--headless", "--device-root", root_.path().string()}, output(), errors());
        ASSERT_GT(browser_, 0);
    }

    // Waits until the browser answers by name (its readers are started and its window stands)
    // and its page can be called.
    void awaitBrowser() {
        bool up = false;
        for (int i = 0; i < 1000 && !up; ++i) {
            up = send("WM_BATTERYSTATE 80") == 0;
            if (!up) std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(up);
        ASSERT_TRUE(awaitOutput("{\"document\":")) << readFile(errors());
    }

    // Presents a Code 39 barcode to the text engine and presses the trigger.
    void scan(const std::string& data) {
        EXPECT_EQ(terminal_->present({terminal::ControlCommand::Kind::Barcode, 'A', {data.begin(), data.end()}}), "ok");
        EXPECT_EQ(send("WM_USER1DOWN"), 0);
    }

    // The browser's settings file, imported at start: the text engine and these General keys.
    void writeSettings(const std::string& general) {
        const fs::path folder = root_.path() / "Program Files" / "Tessel";
        fs::create_directories(folder);
        std::ofstream(folder / "browserINI.txt", std::ios::binary)
            << "\r\n[General]\r\nloadIniWhenStart=1\r\n" << general
            << "\r\n[Barcode Reader CCD/Laser]\r\nhasCCD=1\r\n";
    }

    int send(const std::string& args) { return sendByName(root_.path(), args); }

    // Waits (a few seconds at most) until the browser's page callbacks hold text.
    bool awaitOutput(const std::string& text) {
        for (int i = 0; i < 1000; ++i) {
            if (readFile(output()).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    fs::path output() const { return root_.path() / "browser.out"; }
    fs::path errors() const { return root_.path() / "browser.err"; }

    platform::TempDir root_;
    std::ostringstream notes_;
    std::unique_ptr<SimulatedTerminal> terminal_;
    pid_t browser_ = -1;
};

TEST_F(BrowserOnTerminal, TriggerPressReadsTheBarcodeAndTheScanReachesThePage) {
    startTerminal("K220");
    startBrowser();
    awaitBrowser();

    scan("TS-42");
    EXPECT_TRUE(awaitOutput("{\"call\":\"onScanBarcode\",\"args\":[\"A\",\"TS-42\"]}")) << readFile(output());
    // Keyboard emulation is on by default: characters, the data and a carriage return.
    EXPECT_NE(readFile(output()).find("{\"typed\":\"TS-42\\u000d\"}\n{\"call\":\"onScanBarcode\""),
              std::string::npos)
        << readFile(output());
    EXPECT_EQ(send("WM_USER1UP"), 0);
    // A decode error named by another process goes the same way.
    EXPECT_EQ(send("WM_DECODEERROR 2"), 0);
    EXPECT_TRUE(awaitOutput("{\"call\":\"onScanRfidError\",\"args\":[\"")) << readFile(output());

    EXPECT_EQ(send("--close"), 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 500 && ended == 0; ++i) {
        ended = ::waitpid(browser_, &status, WNOHANG);
        if (ended == 0) std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(ended, browser_) << readFile(errors());
    browser_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(errors());
}

TEST_F(BrowserOnTerminal, KeyStrokeModeTypesThePrefixSuffixAndEnterCharacterAroundTheScan) {
    startTerminal("K220");
    writeSettings("keyboardEmu=2\r\nprefixStr=<\r\nsuffixStr=>\r\nautoEnter=2\r\nautoEnterChar=2\r\n");
    startBrowser();
    awaitBrowser();

    scan("TS-\xE9");  // a byte above 127 survives as its character
    EXPECT_TRUE(awaitOutput("{\"call\":\"onScanBarcode\",\"args\":[\"A\",\"TS-\xC3\xA9\"]}")) << readFile(output());
    EXPECT_NE(readFile(output()).find("{\"typed\":\"\\u0009<TS-\xC3\xA9>\"}"), std::string::npos)
        << readFile(output());
}

}  // namespace
}  // namespace tessel::tools
