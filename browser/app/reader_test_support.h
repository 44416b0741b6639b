#pragma once
// Test support for the reader threads and trigger keys: a running headless window thread, the
// reader manager on virtual ports (made safe for the reader threads and the window thread to
// share), and recorders of what reaches the window.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/app/decode_sink.h"
#include "browser/app/reader_hooks.h"
#include "browser/app/manager_readers.h"
#include "browser/app/trigger_keys.h"
#include "browser/rfid/managed_rfid_reader.h"
#include "platform/headless/headless_ui.h"
#include "platform/library_loader.h"
#include "platform/paced_clock.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"
#include "platform/virtual_serial.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"
#include "sim/rfid_text_reader.h"

namespace tessel::app::test {

using namespace std::chrono_literals;

// Threads of this process, as the kernel lists them.
inline std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// The main window's message handling as the tests have it: each registered reader message goes
// to the hooks.
inline MessageTarget toHooks(platform::ui::Toolkit& toolkit, std::function<ReaderHooks&()> hooks) {
    return [&toolkit, hooks](std::uint32_t number, std::uintptr_t wParam, std::intptr_t lParam) {
        for (std::size_t i = 0; i < kMessageNames.size(); ++i)
            if (toolkit.registerMessage(kMessageNames[i]) == number)
                hooks().readerMessage(static_cast<Msg>(i), wParam, lParam);
    };
}

// Virtual ports whose every call runs under one lock, so that a reader thread and the window
// thread may use a port as they would a real one; the devices are reached under the same lock.
class SharedLineOpener final : public platform::SerialPortOpener {
public:
    explicit SharedLineOpener(platform::VirtualClock& clock) : inner_(clock) {}
    void plug(const std::string& name, platform::DeviceModel& model) { inner_.plug(name, model); }
    std::unique_ptr<platform::SerialPort> open(std::string_view name, int& error) override {
        std::lock_guard lock(mutex_);
        auto port = inner_.open(name, error);
        return port ? std::make_unique<Port>(std::move(port), mutex_) : nullptr;
    }
    // Runs f with the devices to itself.
    template <class F>
    void withDevices(F f) {
        std::lock_guard lock(mutex_);
        f();
    }

private:
    class Port final : public platform::SerialPort {
    public:
        Port(std::unique_ptr<platform::SerialPort> inner, std::recursive_mutex& mutex)
            : inner_(std::move(inner)), mutex_(mutex) {}
        ~Port() override {
            std::lock_guard lock(mutex_);
            inner_.reset();
        }
        template <class F>
        auto locked(F f) const {
            std::lock_guard lock(mutex_);
            return f();
        }
        bool configure(const platform::LineSettings& l) override { return locked([&] { return inner_->configure(l); }); }
        platform::LineSettings settings() const override { return locked([&] { return inner_->settings(); }); }
        bool setRts(bool on) override { return locked([&] { return inner_->setRts(on); }); }
        bool setDtr(bool on) override { return locked([&] { return inner_->setDtr(on); }); }
        std::optional<bool> cts() override { return locked([&] { return inner_->cts(); }); }
        bool purge() override { return locked([&] { return inner_->purge(); }); }
        bool readByte(std::uint8_t& out, platform::Millis t) override {
            return locked([&] { return inner_->readByte(out, t); });
        }
        std::size_t write(std::span<const std::uint8_t> b, platform::Millis t) override {
            return locked([&] { return inner_->write(b, t); });
        }
        bool drain(platform::Millis t) override { return locked([&] { return inner_->drain(t); }); }
        int lastError() const override { return locked([&] { return inner_->lastError(); }); }

    private:
        std::unique_ptr<platform::SerialPort> inner_;
        std::recursive_mutex& mutex_;
    };

    platform::VirtualPortOpener inner_;
    std::recursive_mutex mutex_;
};

// What reached the window: the decode sink's calls, in order.
class RecordingSink final : public DecodeSink {
public:
    void onDecode(std::uintptr_t wParam) override { add("decode " + std::to_string(wParam)); }
    void onDecodeError(std::uintptr_t wParam) override { add("error " + std::to_string(wParam)); }
    void onDecodeImage() override { add("image"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // Waits (for real, a few seconds at most) until count calls came.
    bool awaitCalls(std::size_t count) const {
        for (int i = 0; i < 5000; ++i) {
            if (calls().size() >= count) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

private:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// A headless window thread with the reader manager on simulated readers, the reader threads
// (pausing on a paced clock the test moves), the trigger keys and the reader messages routed to
// a recording sink.
class ReaderShellTest : public ::testing::Test {
protected:
    ReaderShellTest() {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz("DEVK220CE"));
        windowThread_ = std::thread([this] { toolkit.run(); });
    }
    ~ReaderShellTest() override {
        readers.close();
        toolkit.quit();
        windowThread_.join();
    }

    // Runs f on the window thread and waits for it.
    template <class F>
    void ui(F f) {
        toolkit.send(std::function<void()>(std::move(f)));
    }
    void press() {
        ui([&] { hooks.readerMessage(Msg::User1Down, 0, 0); });
    }
    void release() {
        ui([&] { hooks.readerMessage(Msg::User1Up, 0, 0); });
    }

    platform::TempDir dir;
    platform::headless::HeadlessToolkit toolkit;
    platform::VirtualClock clock;      // the ports, the devices and the manager
    platform::PacedClock threadClock;  // the reader threads' pauses
    // The devices a test plugs in; they outlive the manager, which closes their ports.
    sim::CcdLaserEngine textEngine;
    sim::PacketEngine imager{sim::PacketKind::Imager2D, 115200};
    sim::RfidTextReader rfidReader{1, 57600};
    SharedLineOpener opener{clock};
    platform::Registry registry{dir.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    rfid::RfidLink link{opener, clock};
    rfid::FrameReaderFlags flags;
    rfid::ManagedRfidReader rfid{link, flags, {.idleThread = false}};
    reader::ReaderManager manager{{opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
    platform::RecordingSoundPlayer sounds;
    RecordingSink sink;
    settings::BrowserOptions options;
    std::vector<std::u16string> resultBox;
    ManagerReaders readers{
        {manager, rfid, toolkit, threadClock, sounds, toHooks(toolkit, [this]() -> ReaderHooks& { return hooks; })}};
    TriggerKeys keys{{manager, readers.threads(), [this] { return rfid.reader(); },
                      [this]() -> const settings::BrowserOptions& { return options; },
                      [this](std::u16string_view text) { resultBox.emplace_back(text); }}};
    ReaderHooks hooks{keys, sink};

private:
    std::thread windowThread_;
};

}  // namespace tessel::app::test
