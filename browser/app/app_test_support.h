#pragma once
// Test support for the shell: fakes of the parts beside it and a running headless window
// thread with a MainDialog on it.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/app/main_dialog.h"
#include "platform/headless/fake_web_view.h"
#include "platform/headless/headless_ui.h"
#include "platform/paced_clock.h"
#include "platform/power_status.h"
#include "platform/temp_dir.h"

namespace tessel::app::test {

using platform::headless::FakeWebView;
using platform::headless::HeadlessMenu;
using platform::headless::HeadlessToolkit;
using platform::headless::HeadlessWindow;
using namespace std::chrono_literals;

// One log of what the fakes were asked, in order, shared by them.
class EventLog {
public:
    void add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

class FakeReaders final : public ReaderAccess {
public:
    FakeReaders(EventLog& log, HeadlessToolkit& toolkit, const platform::Clock& clock)
        : log_(log), toolkit_(toolkit), clock_(clock) {}
    // Logs when start-up came and whether the wait cursor showed.
    void startUp() override {
        const auto ms = std::chrono::duration_cast<platform::Millis>(clock_.now()).count();
        log_.add("startUp at " + std::to_string(ms) + (toolkit_.waitCursor() ? " waiting" : ""));
    }
    std::u16string startupFailures() const override { return {}; }
    ReaderType barcodeKind() const override { return barcode; }
    ReaderType rfidKind() const override { return rfid; }
    bool barcodeEnabled() const override { return barcodeOn; }
    void setBarcodeEnabled(bool on) override { barcodeOn = on; }
    bool rfidEnabled() const override { return rfidOn; }
    void setRfidEnabled(bool on) override { rfidOn = on; }
    void close() override { log_.add("readers closed"); }

    ReaderType barcode = ReaderType::None;
    ReaderType rfid = ReaderType::None;
    bool barcodeOn = true;
    bool rfidOn = true;

private:
    EventLog& log_;
    HeadlessToolkit& toolkit_;
    const platform::Clock& clock_;
};

class RecordingHooks final : public ShellHooks {
public:
    explicit RecordingHooks(EventLog& log) : log_(log) {}
    void setBarcodeCheck(bool on) override { log_.add(std::string("barcode check ") + (on ? "on" : "off")); }
    void setRfidCheck(bool on) override { log_.add(std::string("rfid check ") + (on ? "on" : "off")); }
    void openBrowserSettings() override { log_.add("browser settings"); }
    void documentChanged(std::shared_ptr<platform::PageDocument> document) override {
        log_.add(document ? "document taken" : "document released");
    }
    std::optional<std::u16string> exportSettings() override {
        log_.add("settings exported");
        return exportFailure;
    }
    void destroyPages() override { log_.add("pages destroyed"); }

    std::optional<std::u16string> exportFailure;

private:
    EventLog& log_;
};

class FixedSignal final : public SignalSource {
public:
    bool available() const override { return present; }
    std::optional<std::int32_t> signalDbm() const override { return dbm.load(); }
    bool present = true;
    std::atomic<std::int32_t> dbm{-60};
};

inline std::vector<std::u16string> boxTexts(const HeadlessToolkit& toolkit) {
    std::vector<std::u16string> texts;
    for (const auto& box : toolkit.messageBoxes()) texts.push_back(box.text);
    return texts;
}

// A headless window thread with one MainDialog, built from options on start().
class ShellTest : public ::testing::Test {
protected:
    ShellTest() {
        std::filesystem::create_directories(root_.path() / "Program Files" / "Tessel");
        std::ofstream(programFile("test.htm")) << "<html></html>";
        windowThread_ = std::thread([this] { toolkit_.run(); });
    }

    ~ShellTest() override {
        ui([&] { main_.reset(); });
        toolkit_.quit();
        windowThread_.join();
    }

    // Builds the main window on the window thread; the start-up wait is let pass.
    void start(settings::BrowserOptions options = {}, bool kp30 = false) {
        main_ = std::make_unique<MainDialog>(
            MainDialog::Parts{context_, readers_, shellHooks ? *shellHooks : hooks_, signal_,
                              registry_, &keyboard_, nullptr, kp30},
            std::move(options));
        if (beforeCreate) beforeCreate(*main_);
        toolkit_.post([this] { main_->create(); });
        EXPECT_TRUE(clock_.awaitWaitOf(500ms));
        clock_.advance(500ms);
        ui([] {});
    }

    // Runs f on the window thread and waits for it.
    template <class F>
    void ui(F f) {
        toolkit_.send(std::function<void()>(std::move(f)));
    }

    HeadlessWindow& window() { return static_cast<HeadlessWindow&>(*main_->window()); }
    HeadlessWindow& page() { return static_cast<HeadlessWindow&>(main_->browserPage()->window()); }
    FakeWebView& view() { return static_cast<FakeWebView&>(main_->browserPage()->view()); }
    HeadlessMenu& trayMenu() { return *toolkit_.menu(kTrayMenu); }
    std::filesystem::path programFile(const std::string& name) {
        return root_.path() / "Program Files" / "Tessel" / name;
    }
    void completePage() {
        ui([&] { view().complete(); });
    }

    platform::TempDir root_;
    HeadlessToolkit toolkit_;
    platform::headless::FakeWebViewFactory webViews_{toolkit_, nullptr, false};
    platform::PacedClock clock_;
    platform::FixedPowerStatus power_;
    ShellContext context_{toolkit_, webViews_, clock_, power_, platform::DeviceFs(root_.path()),
                          u"\\Program Files\\Tessel\\"};
    EventLog log_;
    FakeReaders readers_{log_, toolkit_, clock_};
    RecordingHooks hooks_{log_};
    // Hooks that replace the recording ones, and what to do with the window before it is built.
    ShellHooks* shellHooks = nullptr;
    std::function<void(MainDialog&)> beforeCreate;
    FixedSignal signal_;
    platform::RecordingKeyboard keyboard_;
    platform::Registry* registry_ = nullptr;
    std::unique_ptr<MainDialog> main_;
    std::thread windowThread_;
};

}  // namespace tessel::app::test
