// Trigger presses and releases on a simulated terminal: the reader manager on virtual ports with
// the engine and RFID reader simulators, the reader threads running, the messages reaching a
// recording sink.

#include "browser/app/trigger_keys.h"

#include <gtest/gtest.h>

#include "browser/app/reader_test_support.h"

namespace tessel::app::test {
namespace {

constexpr char kScanModeSection[] = "Barcode Reader CCD/Laser";
constexpr std::array<std::uint8_t, 4> kUid{0xA1, 0xB2, 0xC3, 0xD4};
const std::vector<std::string> kNoCalls;

sim::Bytes bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

class TriggerTest : public ReaderShellTest {
protected:
    void startUp() {
        ui([&] { readers.startUp(); });
    }
    void setScanMode(int mode) {
        ASSERT_TRUE(manager.symbology().configure(kScanModeSection, 'w', {&mode, nullptr, nullptr}));
    }
    void queue(sim::EngineModel& engine, sim::Decode decode) {
        opener.withDevices([&] { engine.queueDecode(std::move(decode)); });
    }
    std::size_t commandCount(sim::EngineModel& engine) {
        std::size_t n = 0;
        opener.withDevices([&] { n = engine.commands().size(); });
        return n;
    }
    std::size_t queued(sim::EngineModel& engine) {
        std::size_t n = 0;
        opener.withDevices([&] { n = engine.queuedDecodes(); });
        return n;
    }
    // Lets the reader threads' pause after a read pass once the count-th pause has begun.
    void passPause(std::size_t count) {
        ASSERT_TRUE(threadClock.awaitWaitOf(200ms, count));
        threadClock.advance(200ms);
    }
    bool waitedOnPorts(platform::Millis ms) const {
        const auto waits = clock.waits();
        return std::find(waits.begin(), waits.end(), ms) != waits.end();
    }
};

TEST_F(TriggerTest, PressesDuringADecodeGiveOneMoreReadNotOnePerPress) {
    sim::PacketEngine& engine = imager;
    opener.plug("COM1:", engine);
    startUp();
    ASSERT_EQ(manager.scannerType(1), ReaderType::Imager2D);
    for (int i = 0; i < 4; ++i) queue(engine, {27, bytesOf("code " + std::to_string(i))});

    // The engine's port is busy: the read the first press starts waits inside the manager.
    manager.port(1).portLock.wait(platform::kInfinite);
    press();
    for (int i = 0; i < 5000 && readers.threads().singleShot().count() != 0; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(readers.threads().singleShot().count(), 0);
    press();
    press();
    manager.port(1).portLock.release();

    passPause(1);
    passPause(2);
    ASSERT_TRUE(sink.awaitCalls(2));
    ASSERT_TRUE(threadClock.awaitWaitOf(200ms, 2));
    EXPECT_EQ(readers.threads().singleShot().count(), 0);
    EXPECT_EQ(sink.calls(), (std::vector<std::string>{"decode 1", "decode 1"}));
    EXPECT_EQ(queued(engine), 2u);
    EXPECT_EQ(manager.lastResult().data, bytesOf("code 1"));
}

TEST_F(TriggerTest, ScanModeThreeTogglesContinuousReading) {
    sim::CcdLaserEngine& engine = textEngine;
    opener.plug("COM1:", engine);
    startUp();
    ASSERT_EQ(manager.scannerType(1), ReaderType::CcdLaser);
    setScanMode(3);

    press();
    EXPECT_TRUE(readers.threads().continuousOn());
    // Results keep coming without another press, one per cycle.
    for (std::size_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(threadClock.awaitWaitOf(200ms, i));
        queue(engine, {'A', bytesOf("CODE" + std::to_string(i))});
        threadClock.advance(200ms);
        ASSERT_TRUE(sink.awaitCalls(i));
        EXPECT_EQ(manager.lastResult().data, bytesOf("CODE" + std::to_string(i)));
    }
    ASSERT_TRUE(threadClock.awaitWaitOf(200ms, 4));

    press();
    EXPECT_FALSE(readers.threads().continuousOn());
    EXPECT_EQ(readers.threads().continuousGo().count(), 0);
    EXPECT_EQ(readers.threads().continuousContinue().count(), 0);
    EXPECT_TRUE(waitedOnPorts(600ms));  // the engine port was reset
    threadClock.advance(200ms);
    queue(engine, {'A', bytesOf("LATE")});
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(sink.calls().size(), 3u);
    EXPECT_EQ(resultBox, (std::vector<std::u16string>{u"", u""}));
}

TEST_F(TriggerTest, SelfReadingScanModesOnlyEmptyTheResultBox) {
    sim::CcdLaserEngine& engine = textEngine;
    opener.plug("COM1:", engine);
    startUp();
    for (int mode : {1, 5, 7}) {
        setScanMode(mode);
        resultBox.clear();
        const std::size_t commands = commandCount(engine);
        press();
        EXPECT_EQ(resultBox, std::vector<std::u16string>{u""}) << mode;
        EXPECT_EQ(readers.threads().singleShot().count(), 0) << mode;
        EXPECT_EQ(readers.threads().continuousGo().count(), 0) << mode;
        EXPECT_EQ(readers.threads().rfidScan().count(), 1) << mode;  // no RFID thread takes it
        EXPECT_EQ(commandCount(engine), commands) << mode;
    }
    // A triggered mode empties the box a second time and starts a single read.
    setScanMode(6);
    queue(engine, {'A', bytesOf("ONE")});
    resultBox.clear();
    press();
    EXPECT_EQ(resultBox, (std::vector<std::u16string>{u"", u""}));
    passPause(1);
    ASSERT_TRUE(sink.awaitCalls(1));
    EXPECT_EQ(sink.calls(), std::vector<std::string>{"decode 1"});
}

TEST_F(TriggerTest, ReleaseStopsAnImagerReadButNotATextEngineRead) {
    struct Case {
        ReaderType kind;
        int imageCapture;
        bool stops;
    };
    for (const Case c : {Case{ReaderType::Imager2D, 0, true}, Case{ReaderType::Imager2D, 1, false},
                         Case{ReaderType::CcdLaser, 0, false}}) {
        sim::EngineModel& engine =
            c.kind == ReaderType::CcdLaser ? static_cast<sim::EngineModel&>(textEngine) : imager;
        opener.plug("COM1:", engine);
        ASSERT_TRUE(manager.start(c.kind, ReaderType::None));
        options.imageCapture = c.imageCapture;
        // A read in progress has the trigger on.
        ASSERT_TRUE(manager.trigger(true));
        const std::size_t commands = commandCount(engine);
        release();
        EXPECT_EQ(commandCount(engine), commands + (c.stops ? 1 : 0)) << int(c.kind);
        EXPECT_EQ(manager.port(1).triggerState, c.stops ? 0 : 1) << int(c.kind);
        manager.close(1);
    }
}

TEST_F(TriggerTest, WriteModeWithoutAReaderFailsEveryPress) {
    options.rfidRW = 1;
    options.rfidWriteContent = u"data";
    startUp();
    press();
    press();
    EXPECT_EQ(resultBox, (std::vector<std::u16string>{u"", kCannotWriteTag, u"", kCannotWriteTag}));
    EXPECT_EQ(readers.threads().rfidScan().count(), 0);
}

class RfidTriggerTest : public TriggerTest {
protected:
    RfidTriggerTest() {
        registry.create(platform::Hive::LocalMachine, "Ident")
            ->set("DeviceModel", platform::RegValue::sz("DEVK230CE"));
        opener.plug("COM2:", rfidReader);
        options.mifareLoginKeyA = u"FFFFFFFFFFFF";
    }
    sim::MifareClassic& tag = rfidReader.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, kUid));
};

TEST_F(RfidTriggerTest, WriteModeWritesTheTagAndShowsItReadBack) {
    startUp();
    ASSERT_EQ(manager.scannerType(2), ReaderType::RfidText);
    options.rfidRW = 1;
    options.rfidWriteStartByte = 16;
    options.rfidWriteContent = u"74657373656C";
    options.isHexContent = 1;
    options.displayUserDataByHex = 1;
    press();
    const auto& block = tag.block(1);
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 6, bytesOf("tessel").begin()));
    // Read back: the 6 bytes written and 10 more, which here run to the end of block 1.
    std::u16string userData = u"74657373656c";
    for (std::size_t i = 6; i < 16; ++i) userData += u"00";
    ASSERT_EQ(resultBox.size(), 2u);
    EXPECT_EQ(resultBox[1],
              u"type : ISO14443 Type A, Mifare family\r\nuid : A1B2C3D4\r\nuser data : " + userData);
    EXPECT_EQ(sink.calls(), kNoCalls);
}

TEST_F(RfidTriggerTest, ReadModeScansOnTheRfidThread) {
    startUp();
    options.rfidReadStartByte = 16;
    options.rfidReadLength = 4;
    opener.withDevices([&] { std::copy_n(bytesOf("abcd").begin(), 4, tag.block(1).begin()); });
    press();
    ASSERT_TRUE(sink.awaitCalls(1));
    EXPECT_EQ(sink.calls(), std::vector<std::string>{"decode 2"});
    EXPECT_EQ(rfid.reader()->tag.uid, "A1B2C3D4");
    EXPECT_EQ(rfid.reader()->tag.userData, bytesOf("abcd"));
}

}  // namespace
}  // namespace tessel::app::test
