// The reader threads against engine simulators on pseudo-terminals, in real time, through the
// termios port: teardown while a text engine is in a listening read, and a trigger release
// ending a 2D imager's read.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "browser/app/reader_hooks.h"
#include "browser/app/reader_test_support.h"
#include "platform/pty_device.h"
#include "platform/serial_posix.h"

namespace tessel::app::test {
namespace {

using platform::Hive;
using platform::RegValue;
using Clock = std::chrono::steady_clock;

class ReadersOnPty : public ::testing::Test {
protected:
    ReadersOnPty() {
        // A model whose engine line has no clear-to-send handshake to pause for.
        registry.create(Hive::LocalMachine, "Ident")->set("DeviceModel", RegValue::sz("DEVK210CE"));
        windowThread_ = std::thread([this] { toolkit.run(); });
    }
    ~ReadersOnPty() override {
        hooks_.reset();
        keys_.reset();
        readers_.reset();
        toolkit.quit();
        windowThread_.join();
    }

    // Runs engine on a pseudo-terminal mapped as COM1.
    void plug(sim::EngineModel& engine) {
        int error = 0;
        device_ = platform::PtyDevice::start(engine, {.paced = false, .link = {}}, error);
        ASSERT_TRUE(device_) << error;
        registry.create(Hive::LocalMachine, platform::kPortMapKey)
            ->set("COM1", RegValue::sz(device_->slavePath().string()));
    }
    // Starts the reader manager for kind on COM1 and the reader threads, on the window thread.
    void startReaders(ReaderType kind) {
        readers_.emplace(
            ManagerReadersParts{manager, rfid, toolkit, threadClock, sounds,
                                toHooks(toolkit, [this]() -> ReaderHooks& { return *hooks_; })},
            [kind](ManagerReaders& r) {
                if (r.manager().start(kind, ReaderType::None)) r.startThreads();
            });
        keys_.emplace(TriggerParts{manager, readers_->threads(), [] { return nullptr; },
                                   [this]() -> const settings::BrowserOptions& { return options; },
                                   [](std::u16string_view) {}});
        hooks_.emplace(*keys_, sink);
        ui([&] { readers_->startUp(); });
        ASSERT_EQ(manager.scannerType(1), kind);
    }

    template <class F>
    void ui(F f) {
        toolkit.send(std::function<void()>(std::move(f)));
    }
    void press() {
        ui([&] { hooks_->readerMessage(Msg::User1Down, 0, 0); });
    }
    void release() {
        ui([&] { hooks_->readerMessage(Msg::User1Up, 0, 0); });
    }

    std::vector<sim::Bytes> commands() {
        std::vector<sim::Bytes> seen;
        device_->withModel([&](platform::DeviceModel& m) { seen = static_cast<sim::EngineModel&>(m).commands(); });
        return seen;
    }
    // Whether the packet engine heard a command with opcode, waiting (for real) a few seconds.
    bool awaitOpcode(std::uint8_t opcode) {
        for (int i = 0; i < 500; ++i) {
            const auto seen = commands();
            if (std::any_of(seen.begin(), seen.end(),
                            [&](const sim::Bytes& c) { return c.size() > 1 && c[1] == opcode; }))
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    // Waits (for real, a few seconds at most) until a thread other than the caller holds
    // port 1's lock: a listening read is in progress.
    bool awaitPortHeld() {
        platform::Semaphore& lock = manager.port(1).portLock;
        for (int i = 0; i < 500; ++i) {
            if (!lock.tryWait()) return true;
            lock.release();
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    platform::TempDir dir;
    platform::headless::HeadlessToolkit toolkit;
    platform::PacedClock threadClock;  // the reader threads' pauses
    platform::Registry registry{dir.path() / "registry.txt", platform::realClock()};
    std::unique_ptr<platform::PtyDevice> device_;
    platform::PortMapOpener opener{registry, dir.path()};
    platform::TableLibraryLoader loader;
    rfid::RfidLink link{opener, platform::realClock()};
    rfid::FrameReaderFlags flags;
    rfid::ManagedRfidReader rfid{link, flags, {.idleThread = false}};
    reader::ReaderManager manager{{opener, platform::realClock(), registry, loader, platform::jpegImaging(), &rfid}};
    platform::RecordingSoundPlayer sounds;
    RecordingSink sink;
    settings::BrowserOptions options;
    std::optional<ManagerReaders> readers_;
    std::optional<TriggerKeys> keys_;
    std::optional<ReaderHooks> hooks_;

private:
    std::thread windowThread_;
};

TEST_F(ReadersOnPty, TeardownDuringAListeningReadEndsEveryReaderThreadPromptly) {
    sim::CcdLaserEngine engine;
    plug(engine);
    const std::size_t before = threadCount();
    startReaders(ReaderType::CcdLaser);
    int continuous = 3;
    ASSERT_TRUE(manager.symbology().configure("Barcode Reader CCD/Laser", 'w', {&continuous, nullptr, nullptr}));
    press();  // continuous scanning on: the continuous-scan thread listens with the port locked
    ASSERT_TRUE(awaitPortHeld());
    EXPECT_GT(threadCount(), before);

    const auto start = Clock::now();
    readers_->threads().stop();
    // The listening read would hold the port for its whole 3 s decode time-out.
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(readers_->threads().running(), 0u);
    EXPECT_EQ(threadCount(), before);
    readers_->close();
    EXPECT_TRUE(sink.calls().empty());
}

TEST_F(ReadersOnPty, TriggerReleaseEndsAnImagerReadLongBeforeItsTimeOut) {
    sim::PacketEngine engine(sim::PacketKind::Imager2D, 115200);
    plug(engine);
    startReaders(ReaderType::Imager2D);
    press();  // no barcode is presented: the read waits for a decode
    ASSERT_TRUE(awaitOpcode(sim::packet::kStartDecode));

    const auto released = Clock::now();
    release();
    ASSERT_TRUE(threadClock.awaitWaitOf(200ms));  // the single-shot thread's pause after its read
    EXPECT_LT(Clock::now() - released, 1500ms);     // the decode time-out is 3 s
    EXPECT_TRUE(awaitOpcode(sim::packet::kStopDecode));
    EXPECT_TRUE(sink.calls().empty());
    EXPECT_EQ(manager.port(1).triggerState, 0);

    // The port is left in order: the next press reads the barcode now presented.
    threadClock.advance(200ms);
    device_->withModel([](platform::DeviceModel& m) {
        static_cast<sim::EngineModel&>(m).queueDecode({27, {'D', 'M'}});
    });
    press();
    ASSERT_TRUE(sink.awaitCalls(1));
    EXPECT_EQ(sink.calls(), std::vector<std::string>{"decode 1"});
    EXPECT_EQ(manager.lastResult().data, (reader::Bytes{'D', 'M'}));
}

}  // namespace
}  // namespace tessel::app::test
