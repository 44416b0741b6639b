// The browser program in its real window (GTK with a WebKit page) on a simulated terminal: a
// trigger press sent by name from another process reads the barcode, or the tag, the simulators
// hold, and the page's own script receives it; the operator's battery and signal reach the page. The page is served by the test over HTTP, as a
// web application's server would serve it, and reports each callback back to that server; the
// browser has no way in for the test beyond what every page has.

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/temp_dir.h"
#include "terminal/profiles.h"
#include "tools/control_actions.h"
#include "tools/browser_test_support.h"
#include "tools/control_link.h"
#include "tools/terminal_core.h"

namespace tessel::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Each callback sends its name and arguments, as a JSON array, to the page's server.
constexpr char kPage[] = R"page(<!DOCTYPE html><html><head><title>Scan test</title><script>
function report(values) {
  var request = new XMLHttpRequest();
  request.open("GET", "/report?" + encodeURIComponent(JSON.stringify(values)), true);
  request.send();
}
function onScanBarcode(type, data) {
  report(["onScanBarcode", type, data, window.external.getSignalStrength(), window.external.getBatteryStatus()]);
}
function onScanRFID(family, uid, userData) { report(["onScanRFID", family, uid, userData]); }
</script></head>
<body onload="report(['loaded', window.external.getScannerTypeOnCom1()])">Scan test</body></html>)page";

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 3 <= text.size()) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A one-page HTTP server on the loopback: "/" is the page, "/report?VALUES" is recorded.
class PageServer {
public:
    PageServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 16);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~PageServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

    std::vector<std::string> reports() const {
        std::lock_guard lock(mutex_);
        return reports_;
    }

private:
    void serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) answer(client);
        }
    }

    void answer(int client) {
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string path = request.substr(4, request.find(' ', 4) - 4);  // "GET PATH HTTP/1.1"
        std::string body, status = "200 OK";
        if (path == "/") {
            body = kPage;
        } else if (path.starts_with("/report?")) {
            std::lock_guard lock(mutex_);
            reports_.push_back(percentDecoded(path.substr(8)));
        } else {
            status = "404 Not Found";
        }
        const std::string reply = "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: " +
                                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        (void)!::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(client);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> reports_;
};

class BrowserWindowOnTerminal : public ::testing::Test {
protected:
    ~BrowserWindowOnTerminal() override { endProcess(browser_); }

    void startTerminal(const char* profile) {
        std::string error;
        terminal_ = startSimulatedTerminal(profile, root_.path(), notes_, error);
        ASSERT_NE(terminal_, nullptr) << error;
        control_ = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                pollfd p{terminal_->controlFd(), POLLIN, 0};
                if (::poll(&p, 1, 50) > 0) terminal_->serveControl();
            }
        });
        // The home page is the test's server; a settings file read at start names it, and so
        // has to ask for the readers too.
        std::ofstream ini(root_.path() / "Program Files/Tessel/browserINI.txt", std::ios::binary);
        ini << "\r\n[General]\r\nloadIniWhenStart=1\r\nhomeUrl=" << server_.url()
            << "\r\n\r\n[Barcode Reader CCD/Laser]\r\nhasCCD=1\r\nenableBarcode=1"
               "\r\n\r\n[RFID]\r\nhasRfid=1\r\nenableRfid=1\r\n";
    }

    // The browser in its window (the display there is: the test runs under Xvfb) on the
    // terminal's simulated host, as tessel-terminal starts it; WebKit's files in the test's folder.
    void startBrowser() {
        for (const char* name : {"XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            ::setenv(name, home_.path().c_str(), 1);
        for (const auto& [name, value] : terminal_->host().environment()) ::setenv(name.c_str(), value.c_str(), 1);
        ::setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
        browser_ = spawnBrowser({"--device-root", root_.path().string()}, output(), output());
        ASSERT_GT(browser_, 0);
    }

    int send(const std::string& args) { return sendByName(root_.path(), args); }

    // Waits (15 s at most: the first page of a fresh web process) until the page has reported.
    bool awaitReport(const std::string& report) {
        for (int i = 0; i < 1500; ++i) {
            const auto all = server_.reports();
            if (std::ranges::find(all, report) != all.end()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string seen() const {
        std::string all;
        for (const auto& report : server_.reports()) all += report + "\n";
        return all + "browser output:\n" + readFile(output());
    }

    fs::path output() const { return home_.path() / "browser.out"; }

    PageServer server_;
    platform::TempDir root_;
    platform::TempDir home_;
    std::ostringstream notes_;
    std::unique_ptr<SimulatedTerminal> terminal_;
    std::jthread control_;  // serves the terminal's control socket, as tessel-terminal does
    pid_t browser_ = -1;
};

TEST_F(BrowserWindowOnTerminal, TriggerPressesBringScansAndTheOperatorsSignalAndChargeReachThePageScript) {
    startTerminal("K220");
    startBrowser();
    // The home page loaded in the window, and window.external answered it: port 1 holds the
    // CCD/laser engine (kind 2).
    ASSERT_TRUE(awaitReport(R"(["loaded",2])")) << seen();

    // What the control window does for a signal of -95 dBm, a charge of 40 % on battery and a
    // barcode; the trigger is pulled by tessel-send.
    std::string error;
    platform::VirtualClock clock;
    EXPECT_EQ(performAll(root_.path(), *signalActions(-95, error), clock), "ok");
    EXPECT_EQ(performAll(root_.path(), *batteryActions(40, false, error), clock), "ok");
    EXPECT_EQ(clock.waits(), std::vector<platform::Micros>{kPowerSettleTime});
    const std::string data = "TS-42 \xc3\xa9";  // bytes beyond ASCII arrive as U+0000-U+00FF
    EXPECT_EQ(performAll(root_.path(), *barcodeActions("A", data, error), clock), "ok");
    EXPECT_EQ(send("WM_USER1DOWN"), 0);
    EXPECT_EQ(send("WM_USER1UP"), 0);
    EXPECT_TRUE(awaitReport("[\"onScanBarcode\",\"A\",\"TS-42 \xc3\x83\xc2\xa9\",1,40]")) << seen();

    EXPECT_EQ(performAll(root_.path(), *tagActions("04a1b2c3", error), clock), "ok");
    EXPECT_EQ(send("WM_USER1DOWN"), 0);
    EXPECT_EQ(send("WM_USER1UP"), 0);
    EXPECT_TRUE(awaitReport(R"(["onScanRFID","M","04A1B2C3",""])")) << seen();
}

}  // namespace
}  // namespace tessel::tools
