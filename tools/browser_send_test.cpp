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

    // Starts the browser with its output in a file; returns its process id.
    pid_t startBrowser(const fs::path& output) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string root = root_.path().string();
        char* argv[] = {const_cast<char*>(TESSEL_BROWSER), const_cast<char*>("--headless"),
                        const_cast<char*>("--device-root"), const_cast<char*>(root.c_str()), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, TESSEL_BROWSER, &actions, nullptr, argv, environ), 0);
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

}  // namespace
}  // namespace tessel::tools
