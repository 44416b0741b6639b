// The reader manager driving the RFID reader on port 2 against the reader simulators: start-up
// detection per model and request, its failure texts, stop, close, shutdown and a tag scan.

#include "browser/rfid/managed_rfid_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "browser/reader/reader_manager.h"
#include "browser/rfid/rfid_test_support.h"
#include "platform/temp_dir.h"
#include "platform/virtual_serial.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_module.h"
#include "sim/rfid_text_reader.h"

namespace tessel::rfid {
namespace {

using reader::ReaderManager;
using test::tagRequest;
using namespace std::chrono_literals;

constexpr std::array<std::uint8_t, 4> kUid{0xA1, 0xB2, 0xC3, 0xD4};

sim::RfidModuleSim::Config moduleConfig() {
    sim::RfidModuleSim::Config config;
    config.key = {0x5A, 0xC3, 0x3C, 0xA5};
    return config;
}

// The simulators outlive the manager, whose end closes port 2 and its link.

class ManagedRfidTest : public ::testing::Test {
  protected:
    void setModel(const char* ident) {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz(ident));
    }
    bool startRfid(platform::DeviceModel& device, const char* ident) {
        setModel(ident);
        opener.plug("COM2:", device);
        return manager.start(ReaderType::None, ReaderType::Auto);
    }
    bool waited(platform::Millis ms) const {
        const auto waits = clock.waits();
        return std::find(waits.begin(), waits.end(), ms) != waits.end();
    }

    platform::TempDir dir;
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry{dir.path() / "registry.txt", clock};
    platform::TableLibraryLoader loader;
    sim::RfidTextReader text{1, 57600};
    sim::RfidFrameReader frame;
    sim::RfidModuleSim module{moduleConfig()};
    RfidLink link{opener, clock};
    FrameReaderFlags flags;
    ManagedRfidReader rfid{link, flags, {.idleThread = false}};
    ReaderManager manager{{opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
};

TEST_F(ManagedRfidTest, ModuleTerminalFindsTheModuleThroughTheLink) {
    ASSERT_TRUE(startRfid(module, "DEVK240CE"));
    EXPECT_EQ(manager.scannerType(2), ReaderType::RfidModule);
    EXPECT_TRUE(manager.rfidAvailable());
    EXPECT_EQ(manager.messageText(), "");
    EXPECT_TRUE(waited(550ms));  // the link's settling time
}

TEST_F(ManagedRfidTest, AutomaticDetectionFindsTextAndFrameReaders) {
    ASSERT_TRUE(startRfid(text, "DEVK210CE"));
    EXPECT_EQ(manager.scannerType(2), ReaderType::RfidText);
    EXPECT_FALSE(manager.port(2).isOpen());  // opened per use
    manager.close(2);

    ASSERT_TRUE(startRfid(frame, "DEVK210CE"));
    EXPECT_EQ(manager.scannerType(2), ReaderType::RfidFrame);
    EXPECT_TRUE(manager.port(2).isOpen());
    EXPECT_TRUE(rfid.reader()->idleThreadStarted());
}

TEST_F(ManagedRfidTest, RequestAndModelLimitTheSearch) {
    setModel("DEVK220CE");  // a frame reader only
    opener.plug("COM2:", text);
    EXPECT_FALSE(manager.start(ReaderType::None, ReaderType::Auto));
    EXPECT_EQ(manager.scannerType(2), ReaderType::None);
    EXPECT_FALSE(manager.port(2).isOpen());
    EXPECT_TRUE(manager.start(ReaderType::None, ReaderType::RfidText));
    EXPECT_EQ(manager.scannerType(2), ReaderType::RfidText);
}

TEST_F(ManagedRfidTest, StartUpTextsForAMissingAndAFailingReader) {
    setModel("DEVK230CE");
    EXPECT_FALSE(manager.start(ReaderType::None, ReaderType::Auto));  // nothing on COM2:
    EXPECT_EQ(manager.messageText(), "The RFID scanner fails, error code = 2");
    EXPECT_FALSE(manager.rfidAvailable());
    EXPECT_EQ(rfid.reader(), nullptr);

    text.unplug();
    ReaderManager second{{opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
    opener.plug("COM2:", text);
    EXPECT_FALSE(second.start(ReaderType::None, ReaderType::Auto));
    EXPECT_EQ(second.messageText(), reader::kNoRfidText);
}

TEST_F(ManagedRfidTest, StopWhilePort2IsLockedReturnsAtOnce) {
    ASSERT_TRUE(startRfid(text, "DEVK230CE"));
    text.clearCommands();
    clock.clearWaits();
    ASSERT_TRUE(manager.port(2).portLock.wait(0));
    EXPECT_FALSE(manager.stop(false, true));
    EXPECT_TRUE(clock.waits().empty());
    EXPECT_TRUE(text.commands().empty());
    manager.port(2).portLock.release();
    EXPECT_TRUE(manager.stop(false, true));
}

TEST_F(ManagedRfidTest, ScanAndWriteReachTheStartedReader) {
    auto& tag = text.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, kUid));
    ASSERT_TRUE(startRfid(text, "DEVK230CE"));
    ASSERT_NE(rfid.reader(), nullptr);
    RfidTagResult result;
    ASSERT_TRUE(rfid.reader()->scan(tagRequest(-1, 0), result));
    EXPECT_EQ(result.uid, "A1B2C3D4");
    const auto data = test::bytes("tessel");
    EXPECT_EQ(rfid.reader()->write(16, data, std::string(test::kTransportKey), 0), 6);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), tag.block(1).begin()));
}

TEST(ManagedRfidIdle, CloseAndShutdownEndTheIdleThread) {
    platform::TempDir dir;
    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    platform::Registry registry{dir.path() / "registry.txt", clock};
    registry.create(platform::Hive::LocalMachine, "Ident")
        ->set("DeviceModel", platform::RegValue::sz("DEVK220CE"));
    platform::TableLibraryLoader loader;
    RfidLink link{opener, clock};
    sim::RfidFrameReader frame;
    FrameReaderFlags flags;
    ManagedRfidReader rfid{link, flags};
    ReaderManager manager{{opener, clock, registry, loader, platform::jpegImaging(), &rfid}};
    opener.plug("COM2:", frame);

    ASSERT_TRUE(manager.start(ReaderType::None, ReaderType::Auto));
    // The thread waits the idle time on the activity signal, then closes the port.
    for (int i = 0; i < 2000 && manager.port(2).isOpen(); ++i) {
        std::this_thread::sleep_for(1ms);  // the thread runs for real
    }
    EXPECT_FALSE(manager.port(2).isOpen());
    const auto waits = clock.waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), platform::Millis(20000)), waits.end());

    rfid.setIdleSeconds(60);
    manager.close(2);  // returns only once the thread has ended
    EXPECT_EQ(rfid.reader(), nullptr);
    EXPECT_FALSE(manager.rfidAvailable());
    EXPECT_EQ(manager.scannerType(2), ReaderType::None);

    ASSERT_TRUE(manager.start(ReaderType::None, ReaderType::Auto));
    EXPECT_EQ(rfid.idleSeconds(), 60u);  // kept across the restart
    manager.shutdown();
    EXPECT_EQ(rfid.reader(), nullptr);
    EXPECT_FALSE(manager.port(2).isOpen());
}

}  // namespace
}  // namespace tessel::rfid
