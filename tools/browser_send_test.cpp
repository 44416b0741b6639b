// The browser program and tessel-send as separate processes on one device root.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_channel.h"
#include "platform/temp_dir.h"

extern char** environ;

namespace tessel::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class BrowserProcessTest : public ::testing::Test {
protected:
    BrowserProcessTest() {
        fs::create_directories(root_.path() / "Windows");
        fs::copy_file(TESSEL_SYSTEM_LIBRARY, root_.path() / "Windows" / "K210CE_SYS.dll");
    }
    ~BrowserProcessTest() override {
        for (pid_t pid : started_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Starts the browser with its output in a file (and a page file when given); returns its
    // process id.
    pid_t startBrowser(const fs::path& output, const std::string& pageFile = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string root = root_.path().string();
        std::vector<char*> argv = {const_cast<char*>(TESSEL_BROWSER),
                                   const_cast<char*>("--headless"),
                                   const_cast<char*>("--device-root"),
                                   const_cast<char*>(root.c_str())};
        if (!pageFile.empty()) {
            argv.push_back(const_cast<char*>("--page"));
            argv.push_back(const_cast<char*>(pageFile.c_str()));
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, TESSEL_BROWSER, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        started_.push_back(pid);
        return pid;
    }

    // The exit status of a started process, waiting up to five seconds; -1 when it runs on.
    int exitOf(pid_t pid) {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                std::erase(started_, pid);
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

    int send(const std::string& args) {
        const std::string command = std::string(TESSEL_SEND) + " --root " + root_.path().string() + " " +
                                    args + " 2>" + (root_.path() / "send.err").string();
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }

    bool waitForChannel() {
        for (int i = 0; i < 500; ++i) {
            if (fs::exists(platform::channelSocketPath(root_.path()))) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Waits up to five seconds for a line starting with start in a browser's output.
    bool waitForLine(const fs::path& output, const std::string& start) {
        for (int i = 0; i < 500; ++i) {
            const std::string lines = "\n" + text(output);
            if (lines.find("\n" + start) != std::string::npos) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    static std::string text(const fs::path& file) {
        std::ifstream in(file);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    platform::TempDir root_;
    std::vector<pid_t> started_;
};

TEST_F(BrowserProcessTest, SendReachesTheBrowserAndASecondStartEnds) {
    const fs::path out = root_.path() / "browser.out";
    const pid_t first = startBrowser(out);
    ASSERT_TRUE(waitForChannel());
    EXPECT_EQ(send("WM_USER1DOWN"), 0);
    EXPECT_EQ(send("WM_BATTERYSTATE 80"), 0);
    EXPECT_EQ(send("WM_BROWSER_SHOWICON 1 1"), 0);

    const pid_t second = startBrowser(root_.path() / "second.out");
    EXPECT_EQ(exitOf(second), 0);
    EXPECT_EQ(text(root_.path() / "second.out"), "");

    EXPECT_EQ(send("--close"), 0);
    EXPECT_EQ(exitOf(first), 0);
    EXPECT_NE(text(out).find("{\"messageBox\":\"Do you want to quit?\",\"caption\":\"Warning\"}"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(root_.path() / "Program Files" / "Tessel" / "tmp.htm"));
}

TEST_F(BrowserProcessTest, SendWithoutBrowserFailsClearly) {
    EXPECT_EQ(send("WM_USER1DOWN"), 1);
    EXPECT_NE(text(root_.path() / "send.err").find("no browser runs on device root"), std::string::npos);
    EXPECT_EQ(send("WM_USER1DOWN x"), 2);
    EXPECT_EQ(send("bad-name"), 2);
}

TEST_F(BrowserProcessTest, MissingSystemLibraryEndsTheStart) {
    fs::remove(root_.path() / "Windows" / "K210CE_SYS.dll");
    const fs::path out = root_.path() / "browser.out";
    EXPECT_EQ(exitOf(startBrowser(out)), 1);
    EXPECT_NE(text(out).find("Can't find XXXXXX_SYS.dll."), std::string::npos);
}

TEST_F(BrowserProcessTest, PageFileDecidesHowEachCallbackEnds) {
    struct Case {
        const char* action;
        const char* text;  // the failure text the program keeps
    };
    const Case cases[] = {
        {"throw", "DISP_E_EXCEPTION"},
        {"fail 80020001", "DISP_E_UNKNOWNINTERFACE"},
        {"fail 80020003", "DISP_E_MEMBERNOTFOUND"},
        {"fail 80020004", "DISP_E_PARAMNOTFOUND"},
        {"fail 80020005", "DISP_E_TYPEMISMATCH"},
        {"fail 80020007", "DISP_E_NONAMEDARGS"},
        {"fail 80020008", "DISP_E_BADVARTYPE"},
        {"fail 80020009", "DISP_E_EXCEPTION"},
        {"fail 8002000A", "DISP_E_OVERFLOW"},
        {"fail 8002000C", "DISP_E_UNKNOWNLCID"},
        {"fail 8002000E", "DISP_E_BADPARAMCOUNT"},
        {"fail 8002000F", "DISP_E_PARAMNOTOPTIONAL"},
        {"fail 80020006", "unable to execute the javascript function --> onScanBarcodeError "
                          "\\u000aPlease verify whether the function implementation is correct."},
        {"fail 1", "unable to execute the javascript function --> onScanBarcodeError "
                   "\\u000aPlease verify whether the function implementation is correct."},
    };
    // Each run: the error callback of the barcode port fails as the case says; the other
    // callbacks return, except onScanRFID, which the page lacks.
    const fs::path pageFile = root_.path() / "page.txt";
    for (const Case& c : cases) {
        std::ofstream(pageFile) << "onScanBarcode=return\nonScanImage=return\n"
                                << "onScanRfidError=return\n"
                                << "onScanBarcodeError=" << c.action << "\n";
        const fs::path out = root_.path() / "browser.out";
        const pid_t pid = startBrowser(out, pageFile.string());
        ASSERT_TRUE(waitForChannel()) << c.action;
        ASSERT_TRUE(waitForLine(out, "{\"document\":")) << c.action;  // the page can be called
        EXPECT_EQ(send("WM_DECODEERROR 1"), 0);
        EXPECT_EQ(send("WM_DECODEERROR 2"), 0);
        EXPECT_EQ(send("WM_DECODE 2"), 0);
        EXPECT_EQ(send("--close"), 0);
        EXPECT_EQ(exitOf(pid), 0);
        const std::string lines = text(out);
        const std::string failure =
            std::string("{\"invokeFailure\":\"onScanBarcodeError\",\"text\":\"") + c.text + "\"}";
        EXPECT_NE(lines.find(failure), std::string::npos) << c.action << "\n" << lines;
        // No port is mapped on this root: the RFID port's last error is the open's ENOENT.
        EXPECT_NE(lines.find("{\"call\":\"onScanRfidError\",\"args\":[\"2\"]}\n"),
                  std::string::npos) << lines;
        EXPECT_NE(lines.find("{\"call\":\"onScanRFID\",\"args\":[\"\\u0000\",\"\",\"\"],"
                             "\"outcome\":\"missing\"}"),
                  std::string::npos)
            << lines;
        EXPECT_EQ(lines.find("\"invokeFailure\":\"onScanR"), std::string::npos);
    }
}

TEST_F(BrowserProcessTest, UnusablePageFileStopsTheStart) {
    const fs::path pageFile = root_.path() / "page.txt";
    std::ofstream(pageFile) << "onScanBarcode=sometimes\n";
    EXPECT_EQ(exitOf(startBrowser(root_.path() / "browser.out", pageFile.string())), 2);
    const std::string missing = (root_.path() / "none").string();
    EXPECT_EQ(exitOf(startBrowser(root_.path() / "browser.out", missing)), 2);
}

}  // namespace
}  // namespace tessel::tools
