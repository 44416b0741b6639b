#include "browser/reader/engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "browser/reader/engine_interpret.h"
#include "browser/reader/test_device.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"

namespace tessel::reader {
namespace {

using platform::Micros;
using platform::Millis;
using sim::PacketKind;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

class EngineTest : public ::testing::Test {
  protected:
    // Joins port 1 to engine and opens it for a reader of type.
    void connect(platform::DeviceModel& engine, ReaderType type) {
        opener.plug("COM1:", engine);
        port.closePort();
        port.type = type;
        port.triggerState = 0;
        ASSERT_TRUE(port.openPort());
    }

    // The host packets that the engine received, without their checksums.
    static std::vector<Bytes> packets(const sim::EngineModel& engine) {
        std::vector<Bytes> all;
        for (const Bytes& c : engine.commands()) all.emplace_back(c.begin(), c.end() - 2);
        return all;
    }

    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    ReaderPort port{1, opener, clock};
    AimToggle toggle;
};

struct NegotiationCase {
    PacketKind engine;
    std::uint32_t engineBaud;
    ReaderType probed;
    ReaderType found;  // None: not found
    std::uint32_t speed;
};

TEST_F(EngineTest, NegotiationFindsEachPacketEngineAndMovesItToItsWorkingSpeed) {
    const NegotiationCase cases[] = {
        {PacketKind::Imager2D, 9600, ReaderType::Imager2D, ReaderType::Imager2D, 115200},
        {PacketKind::Imager2D, 115200, ReaderType::Imager2D, ReaderType::Imager2D, 115200},
        {PacketKind::LongRange1D, 9600, ReaderType::LongRange1D, ReaderType::LongRange1D, 38400},
        // A 'G' engine answering an imager probe is the long-range laser.
        {PacketKind::LongRange1D, 9600, ReaderType::Imager2D, ReaderType::LongRange1D, 115200},
        {PacketKind::Imager2D4507, 9600, ReaderType::Imager2D4507, ReaderType::Imager2D4507,
         115200},
        {PacketKind::LongRange1D955, 38400, ReaderType::LongRange1D955, ReaderType::LongRange1D955,
         38400},
        {PacketKind::Imager2D, 9600, ReaderType::Imager2D4507, ReaderType::None, 0},
        {PacketKind::Imager2D4507, 9600, ReaderType::LongRange1D955, ReaderType::None, 0},
    };
    for (const NegotiationCase& c : cases) {
        sim::PacketEngine engine(c.engine, c.engineBaud);
        connect(engine, c.probed);
        const bool found = negotiate(port);
        const std::string label = "engine " + std::to_string(static_cast<int>(c.engine)) +
                                  " probed " + std::to_string(static_cast<int>(c.probed));
        EXPECT_EQ(found, c.found != ReaderType::None) << label;
        if (!found) {
            EXPECT_EQ(port.type, c.probed) << label;
            continue;
        }
        EXPECT_EQ(port.type, c.found) << label;
        EXPECT_EQ(port.speed(), c.speed) << label;
        EXPECT_EQ(engine.baud(), c.speed) << label;
    }
}

TEST_F(EngineTest, DetectionTriesTheModelsCandidatesWithTheirPauses) {
    using enum ReaderType;
    EXPECT_EQ(detectionOrder(Auto, ModelIndex::K210),
              (std::vector<DetectionStep>{{0, LongRange1D955}, {2500, Imager2D4507}}));
    EXPECT_EQ(detectionOrder(Imager2D4507, ModelIndex::K220),
              (std::vector<DetectionStep>{{3000, Imager2D4507}}));
    EXPECT_EQ(detectionOrder(LongRange1D, ModelIndex::K240),
              (std::vector<DetectionStep>{{0, LongRange1D}}));
    EXPECT_EQ(detectionOrder(Auto, ModelIndex::K220),
              (std::vector<DetectionStep>{{0, CcdLaser}, {0, Imager2D}, {0, LongRange1D}}));
    EXPECT_EQ(detectionOrder(Auto, ModelIndex::PocketPc),
              (std::vector<DetectionStep>{
                  {0, LongRange1D955}, {0, CcdLaser}, {3000, Imager2D4507}, {0, Imager2D}}));

    sim::PacketEngine engine(PacketKind::Imager2D, 9600);
    connect(engine, None);
    clock.clearWaits();
    EXPECT_TRUE(detectEngine(port, Auto, ModelIndex::Unknown));
    EXPECT_EQ(port.type, Imager2D);
    const auto waits = clock.waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), Millis(3000)), waits.end());

    sim::PacketEngine laser(PacketKind::LongRange1D, 9600);
    connect(laser, None);
    EXPECT_FALSE(detectEngine(port, Auto, ModelIndex::K210));
    EXPECT_EQ(port.type, None);
}

TEST_F(EngineTest, TextEngineIsFoundOnlyAt115200) {
    sim::CcdLaserEngine engine(115200);
    connect(engine, ReaderType::CcdLaser);
    EXPECT_TRUE(negotiate(port));
    EXPECT_EQ(port.speed(), 115200u);
    EXPECT_EQ(versionText(port), engine.version());

    sim::CcdLaserEngine slow(9600);
    connect(slow, ReaderType::CcdLaser);
    EXPECT_FALSE(negotiate(port));
    EXPECT_TRUE(switchSpeed(port, 115200));  // nothing to switch on this engine
    EXPECT_TRUE(slow.commands().empty());
}

TEST_F(EngineTest, RefusedSpeedSwitchKeepsEngineAndPortAt9600) {
    // Answers only at 9600: its revision to a revision request, a refusal to anything else.
    testing::ScriptedDevice engine;
    engine.onWrite([](const Bytes& written, const platform::LineState& line) {
        if (line.settings.baud != 9600) return testing::Answer{};
        if (written.size() > 1 && written[1] == 0xA3) {
            const std::string text = "IM2D-R14 B05 CP ENG";
            Bytes reply{static_cast<std::uint8_t>(4 + text.size()), 0xA4, 0x00, 0x00};
            reply.insert(reply.end(), text.begin(), text.end());
            return testing::backToBack(withChecksum(reply));
        }
        return testing::backToBack(withChecksum(Bytes{0x05, 0xD1, 0x00, 0x00, 0x06}));
    });
    connect(engine, ReaderType::Imager2D);
    EXPECT_TRUE(negotiate(port));
    EXPECT_EQ(port.speed(), 9600u);
    EXPECT_EQ(engine.line().settings.baud, 9600u);
    // Three unanswered probes at 115200, one at 9600, five refused switches.
    ASSERT_EQ(engine.writes().size(), 9u);
    EXPECT_EQ(engine.writes().back(), withChecksum(encodeSpeedSwitch(115200)));
}

TEST_F(EngineTest, LinkSetupAndImagerModeAreAccepted) {
    sim::PacketEngine laser(PacketKind::LongRange1D955, 38400);
    connect(laser, ReaderType::LongRange1D955);
    ASSERT_TRUE(port.setSpeed(38400));
    EXPECT_TRUE(linkSetup(port));
    EXPECT_EQ(packets(laser).back(),
              (Bytes{0x13, 0xC6, 0x04, 0x08, 0xFF, 0x8A, 0x08, 0xEC, 0x00, 0xEE, 0x01, 0x9B, 0x14,
                     0x88, 0x1E, 0x9F, 0x01, 0xED, 0x00}));
    EXPECT_EQ(laser.parameter(sim::packet::param(0x88)), 0x1E);

    sim::PacketEngine imager(PacketKind::Imager2D, 9600);
    connect(imager, ReaderType::Imager2D);
    ASSERT_TRUE(port.setSpeed(9600));
    EXPECT_TRUE(linkSetup(port));
    EXPECT_EQ(packets(imager).back().size(), 17u);  // no 0xED for an imager
    EXPECT_TRUE(imagerMode(port, 1));
    EXPECT_EQ(imager.imagerMode(), 1);
}

TEST_F(EngineTest, ConfigurationBlockIsReadAsHex) {
    sim::CcdLaserEngine engine(115200);
    Bytes block = sim::ccd::defaultBlock();
    block[3] = 0xA5;
    engine.setConfigBlock(block);
    connect(engine, ReaderType::CcdLaser);
    ASSERT_TRUE(port.setSpeed(115200));
    EXPECT_TRUE(readConfiguration(port));
    EXPECT_EQ(port.configBlock, block);
}

TEST_F(EngineTest, VersionTexts) {
    sim::PacketEngine imager(PacketKind::Imager2D, 115200);
    connect(imager, ReaderType::Imager2D);
    ASSERT_TRUE(port.setSpeed(115200));
    EXPECT_EQ(versionText(port), "IM2D-R14");

    sim::PacketEngine newer(PacketKind::Imager2D4507, 115200);
    connect(newer, ReaderType::Imager2D4507);
    ASSERT_TRUE(port.setSpeed(115200));
    EXPECT_EQ(versionText(port), "PAAAAS00-4507 R3");

    newer.unplug();
    EXPECT_EQ(versionText(port), "");
}

// Frames that await no reply (the decode acknowledgement, the text engine's "ON" and "OFF") must
// have left the port before the next command purges it. On a line without modem lines no
// handshake wait gives them time.
TEST_F(EngineTest, FramesWithoutReplyReachTheEngineBeforeTheNextCommand) {
    sim::PacketEngine packet(PacketKind::Imager2D, 115200);
    packet.setModemLines(false);
    connect(packet, ReaderType::Imager2D);
    ASSERT_TRUE(port.setSpeed(115200));
    for (int i = 0; i < 3; ++i) {
        packet.queueDecode({1, bytesOf("A1")});
        ASSERT_TRUE(trigger(port, true, toggle));
        ASSERT_TRUE(receiveDecode(port, HostOptions{}));
        ASSERT_TRUE(trigger(port, false, toggle));
    }
    const Bytes ack(kAckDecode.begin(), kAckDecode.end());
    const auto all = packets(packet);
    EXPECT_EQ(std::count(all.begin(), all.end(), ack), 3) << all.size();

    sim::CcdLaserEngine text(115200);
    text.setModemLines(false);
    connect(text, ReaderType::CcdLaser);
    ASSERT_TRUE(port.setSpeed(115200));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(trigger(port, true, toggle));
        ASSERT_TRUE(trigger(port, false, toggle));
    }
    std::vector<std::string> heard;
    for (const Bytes& c : text.commands()) heard.emplace_back(c.begin(), c.end());
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "\x1bON\r") +
                  std::count(heard.begin(), heard.end(), "ON"),
              3);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "\x1bOFF\r") +
                  std::count(heard.begin(), heard.end(), "OFF"),
              3);
}

TEST_F(EngineTest, TriggerSendsNothingWhenAlreadyInTheRequestedState) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    connect(engine, ReaderType::Imager2D);
    ASSERT_TRUE(port.setSpeed(115200));
    EXPECT_TRUE(trigger(port, true, toggle));
    EXPECT_TRUE(trigger(port, true, toggle));
    EXPECT_TRUE(engine.triggered());
    EXPECT_TRUE(trigger(port, false, toggle));
    EXPECT_EQ(packets(engine), (std::vector<Bytes>{Bytes(kStartDecode.begin(), kStartDecode.end()),
                                                   Bytes(kStopDecode.begin(), kStopDecode.end())}));
    EXPECT_EQ(port.portLock.count(), 1);

    engine.misbehave(sim::Fault::Nak);
    EXPECT_FALSE(trigger(port, true, toggle));
    EXPECT_EQ(port.triggerState, 0);
}

class LongRangeTrigger : public EngineTest {
  protected:
    void SetUp() override {
        connect(engine, ReaderType::LongRange1D);
        ASSERT_TRUE(port.setSpeed(38400));
    }
    std::vector<std::uint8_t> opcodes() {
        std::vector<std::uint8_t> ops;
        for (const Bytes& p : packets(engine)) ops.push_back(p[1]);
        engine.clearCommands();
        return ops;
    }
    bool waited(Micros d) const {
        const auto w = clock.waits();
        return std::find(w.begin(), w.end(), d) != w.end();
    }

    sim::PacketEngine engine{PacketKind::LongRange1D, 38400};
    const std::vector<std::uint8_t> aimThenDecode{0xC5, 0xC4, 0xE4};
    const std::vector<std::uint8_t> off{0xC4, 0xE5};
};

TEST_F(LongRangeTrigger, WithoutAimTimeNeverAims) {
    for (int pull = 0; pull < 3; ++pull) {
        EXPECT_TRUE(trigger(port, true, toggle));
        EXPECT_EQ(opcodes(), std::vector<std::uint8_t>{0xE4});
        EXPECT_TRUE(trigger(port, false, toggle));
        EXPECT_EQ(opcodes(), off);
    }
}

TEST_F(LongRangeTrigger, EveryPullAimsForTheAimTimeFirst) {
    port.aimDurtion = 7;
    for (int pull = 0; pull < 2; ++pull) {
        clock.clearWaits();
        EXPECT_TRUE(trigger(port, true, toggle));
        EXPECT_EQ(opcodes(), aimThenDecode);
        EXPECT_TRUE(waited(Millis(700)));
        EXPECT_TRUE(trigger(port, false, toggle));
        EXPECT_EQ(opcodes(), off);
    }
}

TEST_F(LongRangeTrigger, AimCutShortFailsAndTheNextPullDecodesAtOnce) {
    port.aimDurtion = 7;
    port.aimSemaphore.release();  // as a trigger release arriving during the aim
    EXPECT_FALSE(trigger(port, true, toggle));
    EXPECT_EQ(opcodes(), std::vector<std::uint8_t>{0xC5});
    EXPECT_TRUE(trigger(port, false, toggle));
    EXPECT_EQ(opcodes(), off);
    EXPECT_EQ(port.aimSemaphore.count(), 0);  // the release made by trigger-off was taken back

    clock.clearWaits();
    EXPECT_TRUE(trigger(port, true, toggle));
    EXPECT_EQ(opcodes(), std::vector<std::uint8_t>{0xE4});
    EXPECT_FALSE(waited(Millis(700)));
}

class DecodeTest : public EngineTest {
  protected:
    // Pulls the trigger of an engine of kind at 115200 and receives the decode.
    bool read(sim::PacketEngine& engine, ReaderType type, sim::Decode decode) {
        connect(engine, type);
        EXPECT_TRUE(port.setSpeed(engine.baud()));
        engine.queueDecode(std::move(decode));
        EXPECT_TRUE(trigger(port, true, toggle));
        const bool decoded = receiveDecode(port, options);
        EXPECT_TRUE(trigger(port, false, toggle));
        return decoded;
    }
    HostOptions options;
};

TEST_F(DecodeTest, SinglePacketDecodeIsInterpretedAndAcknowledged) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    ASSERT_TRUE(
        read(engine, ReaderType::Imager2D, {27, bytesOf("hello"), sim::DecodeForm::Single}));
    EXPECT_EQ(port.result, (ScanResult{27, "Data Matrix", bytesOf("hello")}));
    const auto sent = packets(engine);
    EXPECT_NE(std::find(sent.begin(), sent.end(), Bytes(kAckDecode.begin(), kAckDecode.end())),
              sent.end());
}

TEST_F(DecodeTest, LongDecodesInEveryMultiPacketForm) {
    Bytes data;
    for (int i = 0; i < 700; ++i) data.push_back(static_cast<std::uint8_t>('0' + i % 10));
    const struct {
        PacketKind kind;
        ReaderType type;
        sim::DecodeForm form;
    } cases[] = {
        {PacketKind::Imager2D, ReaderType::Imager2D, sim::DecodeForm::Continuation},
        {PacketKind::Imager2D, ReaderType::Imager2D, sim::DecodeForm::MultiPacket},
        {PacketKind::Imager2D4507, ReaderType::Imager2D4507, sim::DecodeForm::MultiPacket},
        {PacketKind::LongRange1D955, ReaderType::LongRange1D955, sim::DecodeForm::Continuation},
    };
    for (const auto& c : cases) {
        sim::PacketEngine engine(c.kind, 115200);
        ASSERT_TRUE(read(engine, c.type, {17, data, c.form})) << static_cast<int>(c.form);
        EXPECT_EQ(port.result.codeTypeName, "PDF417");
        EXPECT_EQ(port.result.data, data) << static_cast<int>(c.kind);
    }

    // The long-range record carries what fits in one packet, in parts.
    sim::PacketEngine laser(PacketKind::LongRange1D, 38400);
    laser.setMaxPacketData(40);
    const Bytes shortData(data.begin(), data.begin() + 100);
    ASSERT_TRUE(read(laser, ReaderType::LongRange1D, {3, shortData, sim::DecodeForm::MultiPacket}));
    EXPECT_EQ(port.result, (ScanResult{3, "Code 128", shortData}));
}

TEST_F(DecodeTest, RefusalOrStrayBytesOrTruncation) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    connect(engine, ReaderType::Imager2D);
    ASSERT_TRUE(port.setSpeed(115200));
    ASSERT_TRUE(trigger(port, true, toggle));
    engine.misbehave(sim::Fault::Nak);
    engine.queueDecode({1, bytesOf("X1"), sim::DecodeForm::Single});
    EXPECT_FALSE(receiveDecode(port, options));
    EXPECT_EQ(port.lastError, kNoDecode);
    EXPECT_TRUE(port.data.empty());

    ASSERT_TRUE(trigger(port, false, toggle));
    ASSERT_TRUE(trigger(port, true, toggle));
    engine.misbehave(sim::Fault::StrayBytes);
    engine.queueDecode({1, bytesOf("CODE39"), sim::DecodeForm::Single});
    ASSERT_TRUE(receiveDecode(port, options));
    EXPECT_EQ(port.result.data, bytesOf("CODE39"));

    // A long-range record that stops half way gives what came.
    sim::PacketEngine laser(PacketKind::LongRange1D955, 38400);
    const Bytes data(60, 'z');
    connect(laser, ReaderType::LongRange1D955);
    ASSERT_TRUE(port.setSpeed(38400));
    ASSERT_TRUE(trigger(port, true, toggle));
    laser.misbehave(sim::Fault::Truncate);
    laser.queueDecode({3, data, sim::DecodeForm::MultiPacket});
    ASSERT_TRUE(receiveDecode(port, options));
    EXPECT_EQ(port.result.codeType, 3);
    EXPECT_GT(port.result.data.size(), 10u);
    EXPECT_LT(port.result.data.size(), data.size());

    // Silence: the decode time-out passes and the read fails with the port's error.
    port.decodeTimeout = 500;
    EXPECT_FALSE(receiveDecode(port, options));
    EXPECT_EQ(port.lastError, ETIMEDOUT);
}

TEST_F(DecodeTest, TextEngineDecodesAndNoReads) {
    sim::CcdLaserEngine engine(115200);
    connect(engine, ReaderType::CcdLaser);
    ASSERT_TRUE(port.setSpeed(115200));
    ASSERT_TRUE(trigger(port, true, toggle));
    engine.queueDecode({'A', bytesOf("ABC-1")});
    ASSERT_TRUE(receiveDecode(port, options));
    EXPECT_EQ(port.result, (ScanResult{'A', "Code 39", bytesOf("ABC-1")}));

    ASSERT_TRUE(trigger(port, false, toggle));
    ASSERT_TRUE(trigger(port, true, toggle));
    engine.queueDecode({'*', {}});
    EXPECT_FALSE(receiveDecode(port, options));
    EXPECT_EQ(port.lastError, kNoDecode);
    EXPECT_TRUE(port.data.empty());
}

class ImageTest : public EngineTest {
  protected:
    void SetUp() override {
        for (int i = 0; i < 3000; ++i) picture.push_back(static_cast<std::uint8_t>(i * 7));
        engine.setImage(picture);
        engine.setMaxPacketData(200);
        connect(engine, ReaderType::Imager2D);
        ASSERT_TRUE(port.setSpeed(115200));
        ASSERT_TRUE(imagerMode(port, 1));
    }

    sim::PacketEngine engine{PacketKind::Imager2D, 115200};
    Bytes picture;
    std::vector<int> shown;
    ImageProgress progress = [this](int percent) { shown.push_back(percent); };
};

TEST_F(ImageTest, LostPacketIsRequestedAgain) {
    ASSERT_TRUE(trigger(port, true, toggle));
    engine.misbehave(sim::Fault::DropPacket);  // the second image packet
    Bytes image;
    ASSERT_TRUE(receiveImage(port, progress, image));
    EXPECT_EQ(image, picture);
    const auto sent = packets(engine);
    EXPECT_EQ(
        std::count(sent.begin(), sent.end(), Bytes(kResendRequest.begin(), kResendRequest.end())),
        1);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_LE(shown.back(), 90);
}

TEST_F(ImageTest, EngineThatStopsAnsweringEndsTheTransferWithWhatCame) {
    ASSERT_TRUE(trigger(port, true, toggle));
    engine.misbehave(sim::Fault::Silence, sim::kForever);
    Bytes image;
    ASSERT_TRUE(receiveImage(port, progress, image));
    EXPECT_LT(image.size(), picture.size());
    EXPECT_EQ(image, Bytes(picture.begin(), picture.begin() + image.size()));
    const auto sent = packets(engine);
    EXPECT_EQ(
        std::count(sent.begin(), sent.end(), Bytes(kResendRequest.begin(), kResendRequest.end())),
        5);
}

TEST_F(ImageTest, NoImageWithinTheTimeOutFails) {
    Bytes image;
    port.decodeTimeout = 200;
    EXPECT_FALSE(receiveImage(port, progress, image));
    EXPECT_TRUE(image.empty());
}

}  // namespace
}  // namespace tessel::reader
