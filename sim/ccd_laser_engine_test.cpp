#include "sim/ccd_laser_engine.h"

#include <gtest/gtest.h>

#include "sim/engine_test_support.h"

namespace tessel::sim {
namespace {

using ccd::frameCommand;

Bytes line(std::string_view text) {
    Bytes out = bytesOf(text);
    out.push_back(ccd::kCr);
    return out;
}

class CcdLaserEngineTest : public ::testing::Test {
protected:
    Bytes command(std::string_view text) { return host_.exchange(frameCommand(text)); }

    CcdLaserEngine engine_;
    VirtualHost host_{engine_, 115200};
};

TEST_F(CcdLaserEngineTest, AnswersVersionAndRefusesUnknownCommands) {
    EXPECT_EQ(command("VER"), line("CL-1100 V3.07"));
    EXPECT_EQ(command("BEEP"), line("NG"));
    EXPECT_EQ(engine_.commands(), (std::vector<Bytes>{bytesOf("VER"), bytesOf("BEEP")}));
}

TEST_F(CcdLaserEngineTest, HearsNothingAtAnotherSpeedOrFrameShape) {
    host_.setBaud(9600);
    EXPECT_TRUE(command("VER").empty());
    platform::LineSettings sevenEven;
    sevenEven.baud = 115200;
    sevenEven.dataBits = 7;
    sevenEven.parity = platform::Parity::Even;
    host_.port.configure(sevenEven);
    EXPECT_TRUE(command("VER").empty());
    EXPECT_TRUE(engine_.commands().empty());
    host_.setBaud(115200);
    EXPECT_EQ(command("VER"), line("CL-1100 V3.07"));
}

TEST_F(CcdLaserEngineTest, ConfigurationBlockTravelsAsHexadecimal) {
    EXPECT_EQ(command("SET"), line(ccd::toHex(ccd::defaultBlock())));

    Bytes block = ccd::defaultBlock();
    block[ccd::kScanModeByte] = 0x30;  // scan mode 3
    block[22] = 0x40;
    EXPECT_EQ(command("SAVE" + ccd::toHex(block)), line("OK"));
    EXPECT_EQ(engine_.configBlock(), block);
    EXPECT_EQ(engine_.scanMode(), 3);
    EXPECT_EQ(command("SET"), line(ccd::toHex(block)));
}

TEST_F(CcdLaserEngineTest, SaveRefusesBlocksItCannotTake) {
    const std::string good = ccd::toHex(ccd::defaultBlock());
    for (const std::string& bad :
         {good.substr(0, 58), good + "0", good.substr(0, 10) + "G" + good.substr(11)}) {
        EXPECT_EQ(command("SAVE" + bad), line("NG")) << bad;
    }
    EXPECT_EQ(engine_.configBlock(), ccd::defaultBlock());
}

TEST_F(CcdLaserEngineTest, TriggerDecodesTheQueuedBarcodeOnce) {
    engine_.queueDecode({'P', bytesOf("0123456789012")});
    const platform::Micros pulled = host_.clock.now();
    host_.send(frameCommand("ON"));
    std::uint8_t first = 0;
    ASSERT_TRUE(host_.port.readByte(first, Millis(1000)));
    EXPECT_GE(host_.clock.now() - pulled, Millis(30));  // the decode delay
    Bytes decode{first};
    const Bytes rest = host_.readAll(Millis(20));
    decode.insert(decode.end(), rest.begin(), rest.end());
    EXPECT_EQ(decode, line("P0130123456789012"));
    EXPECT_FALSE(engine_.triggered());

    // Nothing queued: the laser stays on without a word until a barcode turns up.
    EXPECT_TRUE(host_.exchange(frameCommand("ON")).empty());
    engine_.queueDecode({'A', bytesOf("CODE39")});
    EXPECT_EQ(host_.readAll(), line("A006CODE39"));
}

TEST_F(CcdLaserEngineTest, NoReadIsStarZeros) {
    engine_.queueDecode({'*', {}});
    EXPECT_EQ(host_.exchange(frameCommand("ON")), line("*000"));
}

TEST_F(CcdLaserEngineTest, ContinuousScanModesDecodeWithoutTrigger) {
    Bytes block = ccd::defaultBlock();
    block[ccd::kScanModeByte] = 0x10;
    engine_.setConfigBlock(block);
    engine_.queueDecode({'I', bytesOf("ABC")});
    engine_.queueDecode({'I', bytesOf("DEF")});
    Bytes both = line("I003ABC");
    const Bytes second = line("I003DEF");
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(host_.readAll(), both);
}

// A closed port leaves the engine unattached: a decode queued meanwhile waits for the next port
// instead of going into the one that is gone.
TEST(CcdLaserEngineLink, ClosingThePortDetachesTheEngine) {
    CcdLaserEngine engine;
    Bytes block = ccd::defaultBlock();
    block[ccd::kScanModeByte] = 0x10;
    engine.setConfigBlock(block);
    auto host = std::make_unique<VirtualHost>(engine, 115200);
    host.reset();
    engine.queueDecode({'I', bytesOf("ABC")});
    EXPECT_EQ(engine.queuedDecodes(), 1u);

    VirtualHost reopened(engine, 115200);
    engine.queueDecode({'I', bytesOf("DEF")});
    Bytes both = line("I003ABC");
    const Bytes second = line("I003DEF");
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(reopened.readAll(), both);
}

TEST_F(CcdLaserEngineTest, SavingAContinuousScanModeSendsWaitingDecodes) {
    engine_.queueDecode({'H', bytesOf("93")});
    Bytes block = ccd::defaultBlock();
    block[ccd::kScanModeByte] = 0x50;
    EXPECT_EQ(command("SAVE" + ccd::toHex(block)), line("OK"));
    EXPECT_EQ(host_.readAll(), line("H00293"));
}

TEST_F(CcdLaserEngineTest, RefusalAndSilenceLeaveTheBlockAlone) {
    Bytes block = ccd::defaultBlock();
    block[0] = 0;
    engine_.misbehave(Fault::Nak);
    engine_.misbehave(Fault::Silence);
    EXPECT_EQ(command("SAVE" + ccd::toHex(block)), line("NG"));
    EXPECT_TRUE(command("SAVE" + ccd::toHex(block)).empty());
    EXPECT_EQ(engine_.configBlock(), ccd::defaultBlock());
    EXPECT_EQ(command("SAVE" + ccd::toHex(block)), line("OK"));
}

TEST_F(CcdLaserEngineTest, SpoiledRepliesKeepTheirShape) {
    engine_.misbehave(Fault::StrayBytes);
    engine_.misbehave(Fault::Truncate);
    engine_.misbehave(Fault::Garbage);
    const Bytes version = line("CL-1100 V3.07");

    const Bytes stray = command("VER");
    ASSERT_EQ(stray.size(), version.size() + 2);
    EXPECT_TRUE(std::equal(version.begin(), version.end(), stray.begin() + 2));

    EXPECT_EQ(command("VER"), Bytes(version.begin(), version.begin() + version.size() / 2));

    const Bytes garbage = command("VER");
    EXPECT_EQ(garbage.size(), version.size());
    EXPECT_NE(garbage, version);

    EXPECT_EQ(command("VER"), version);
}

TEST_F(CcdLaserEngineTest, AnUnpluggedEngineIsSilentAndShowsNoLines) {
    engine_.unplug();
    EXPECT_TRUE(command("VER").empty());
    EXPECT_EQ(host_.port.cts(), std::nullopt);
    engine_.plugIn();
    EXPECT_EQ(command("VER"), line("CL-1100 V3.07"));
}

}  // namespace
}  // namespace tessel::sim
