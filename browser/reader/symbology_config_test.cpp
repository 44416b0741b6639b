#include "browser/reader/symbology_config.h"

#include <gtest/gtest.h>

#include "browser/reader/engine_port_fixture.h"
#include "sim/ccd_laser_engine.h"
#include "sim/packet_engine.h"

namespace tessel::reader {
namespace {

using sim::PacketKind;
namespace packet = sim::packet;

class SymbologyTest : public testing::EnginePortTest {
  protected:
    void connectCcd() {
        connect(ccd, ReaderType::CcdLaser, 115200);
        ccd.clearCommands();
    }

    bool engineBit(int byte, int bit) const { return (ccd.configBlock()[byte] >> bit) & 1; }

    sim::CcdLaserEngine ccd;
};

// ---- Text engine ----

struct BitCase {
    std::string_view section;
    std::string_view key;
    int value;
    int byte;
    std::uint8_t mask;      // the bits the key owns
    std::uint8_t expected;  // those bits after the write
};

TEST_F(SymbologyTest, TextEngineKeysLandInTheirBitsAndReadBack) {
    const BitCase cases[] = {
        {"Barcode Reader CCD/Laser", "scanMode", 5, 20, 0xF0, 0x50},
        {"Barcode Reader CCD/Laser", "redundancy", 2, 11, 0x0C, 0x08},
        {"Barcode Reader CCD/Laser", "laserOnTime", 0xA5, 21, 0xFF, 0xA5},
        {"Code39 CCD/Laser", "fullASCII", 1, 5, 0x10, 0x10},
        {"Code39 CCD/Laser", "transmitStartStopChar", 1, 5, 0x80, 0x80},
        {"EAN-8 CCD/Laser", "convertToEAN13", 1, 11, 0x80, 0x80},
        {"CodaBar CCD/Laser", "startStopChar", 3, 7, 0x30, 0x30},
        {"Industrial25 CCD/Laser", "startStopPattern", 2, 6, 0x03, 0x02},
        {"Interleaved25 CCD/Laser", "length1", 100, 14, 0x7F, 100},
        {"Matrix25 CCD/Laser", "startStopPattern", 1, 7, 0xC0, 0x40},
        {"Matrix25 CCD/Laser", "length2", 200, 17, 0xFF, 200},
        {"MSI CCD/Laser", "checkDigitVerification", 2, 9, 0xC0, 0x80},
        {"MSI CCD/Laser", "transmitCheckDigit", 1, 9, 0x30, 0x10},
        {"Ean128 CCD/Laser", "wantCodeId", 1, 22, 0x20, 0x00},
        {"Ean128 CCD/Laser", "wantCodeId", 0, 22, 0x20, 0x20},
        {"RSS CCD/Laser", "transmitRSSExpandedCodeID", 0, 4, 0x80, 0x00},
        {"Telepen CCD/Laser", "enableAIM", 1, 2, 0x02, 0x02},
        {"UPC-E CCD/Laser", "upcE1TripleCheck", 1, 11, 0x02, 0x02},
    };
    connectCcd();
    for (const BitCase& c : cases) {
        const std::string label = std::string(c.section) + " " + std::string(c.key);
        KeyValues write{{std::string(c.key), c.value}};
        ASSERT_TRUE(config.configure(c.section, 'w', write)) << label;
        EXPECT_EQ(ccd.configBlock()[c.byte] & c.mask, c.expected) << label;
        KeyValues read;
        ASSERT_TRUE(config.configure(c.section, 'r', read)) << label;
        EXPECT_EQ(read[std::string(c.key)], c.value) << label;
    }
}

TEST_F(SymbologyTest, TextEngineWriteOfUnchangedValuesSendsNothing) {
    connectCcd();
    KeyValues values;
    ASSERT_TRUE(config.configure("Code39 CCD/Laser", 'r', values));
    ASSERT_TRUE(config.configure("Code39 CCD/Laser", 'w', values));
    EXPECT_TRUE(ccd.commands().empty());
    int mode = 'x';
    EXPECT_FALSE(
        config.configure("Code39 CCD/Laser", 'x', {&mode, nullptr, nullptr, nullptr, nullptr}));
}

TEST_F(SymbologyTest, TextEngineRefusalRestoresTheBlock) {
    connectCcd();
    const Bytes before = port.configBlock;
    ccd.misbehave(sim::Fault::Nak);
    int off = 0;
    const int enable = (before[0] >> 7) & 1;
    off = enable ? 0 : 1;
    EXPECT_FALSE(
        config.configure("Code39 CCD/Laser", 'w', {&off, nullptr, nullptr, nullptr, nullptr}));
    EXPECT_EQ(port.configBlock, before);
}

TEST_F(SymbologyTest, TextEngineNeedsItsBlockAndItsType) {
    connectCcd();
    port.configBlock.resize(29);
    int value = 0;
    EXPECT_FALSE(config.configure("Code93 CCD/Laser", 'r', {&value}));
    port.type = ReaderType::Imager2D;
    EXPECT_FALSE(config.configure("Code93 CCD/Laser", 'r', {&value}));
}

TEST_F(SymbologyTest, Code128AndEan128ShareOneEngineBit) {
    connectCcd();
    int on = 1, off = 0;
    ASSERT_TRUE(config.configure("Code128 CCD/Laser", 'w', {&on}));
    ASSERT_TRUE(config.configure("Ean128 CCD/Laser", 'w', {&on, nullptr, nullptr}));
    EXPECT_TRUE(engineBit(1, 7));
    // EAN-128 off while Code 128 stays on keeps the shared bit.
    ASSERT_TRUE(config.configure("Ean128 CCD/Laser", 'w', {&off, nullptr, nullptr}));
    EXPECT_FALSE(engineBit(22, 6));
    EXPECT_TRUE(engineBit(1, 7));
    // With both off the bit goes.
    ASSERT_TRUE(config.configure("Code128 CCD/Laser", 'w', {&off}));
    EXPECT_FALSE(engineBit(1, 7));
}

TEST_F(SymbologyTest, HostHeldEanOptionsOnlySwitchEngineBitsOnUntilClose) {
    connectCcd();
    Bytes block = ccd.configBlock();
    block[10] = static_cast<std::uint8_t>(block[10] | 0x04);  // transmit EAN-13 check digit on
    block[9] = static_cast<std::uint8_t>(block[9] & ~0x01);   // convert to EAN-13 off
    ccd.setConfigBlock(block);
    ASSERT_TRUE(readConfiguration(port));
    int zero = 0, one = 1;
    std::vector<int*> values(9, nullptr);
    values[5] = &zero;  // transmitEan13CheckDigit
    values[6] = &one;   // convertToEAN13
    ASSERT_TRUE(config.configure("EAN-13,UPC-A CCD/Laser", 'w', values));
    EXPECT_TRUE(engineBit(10, 2));  // 0 leaves the engine bit alone
    EXPECT_TRUE(engineBit(9, 0));
    EXPECT_FALSE(config.hostOptions().transmitEan13CheckDigit);
    EXPECT_TRUE(config.hostOptions().convertToEAN13);

    int readBack = 1;
    std::vector<int*> read(9, nullptr);
    read[5] = &readBack;
    ASSERT_TRUE(config.configure("EAN-13,UPC-A CCD/Laser", 'r', read));
    EXPECT_EQ(readBack, 0);

    ASSERT_TRUE(config.closingWrite());
    EXPECT_FALSE(engineBit(10, 2));
    EXPECT_TRUE(engineBit(9, 0));
    EXPECT_FALSE(engineBit(10, 4));
}

TEST_F(SymbologyTest, LeavingScanMode3ReopensThePortBeforeSaving) {
    connectCcd();
    int three = 3, six = 6;
    std::vector<int*> values{&three, nullptr, nullptr};
    ASSERT_TRUE(config.configure("Barcode Reader CCD/Laser", 'w', values));
    EXPECT_EQ(config.scanMode, 3);
    clock.clearWaits();
    values[0] = &six;
    ASSERT_TRUE(config.configure("Barcode Reader CCD/Laser", 'w', values));
    EXPECT_EQ(ccd.scanMode(), 6);
    EXPECT_EQ(config.scanMode, 6);
    EXPECT_EQ(port.speed(), 115200u);
    const auto waits = clock.waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), platform::Millis(200)), waits.end());
}

// ---- Packet engines ----

std::vector<ReaderType> packetTypes() {
    return {ReaderType::Imager2D, ReaderType::LongRange1D, ReaderType::Imager2D4507,
            ReaderType::LongRange1D955};
}

// A value unlike any factory value, fitting the slot.
int testValue(const PacketSlot& slot, std::size_t i) {
    if (slot.key == "exposureTime") return 25;
    if (slot.kind == SlotKind::Flag) return static_cast<int>(i % 2);
    return 40 + static_cast<int>(i);
}

TEST_F(SymbologyTest, EveryPacketOperationWritesAndReadsItsParameters) {
    for (ReaderType type : packetTypes()) {
        sim::PacketEngine engine(static_cast<PacketKind>(type), 115200);
        connect(engine, type, 115200);
        SymbologyConfig fresh(port);
        for (const PacketOperation& op : packetOperations()) {
            if (!op.on(type)) continue;
            const std::string label =
                std::string(op.section) + " on " + std::to_string(static_cast<int>(type));
            std::vector<int> written(op.slots.size());
            std::vector<int*> refs;
            for (int& v : written) refs.push_back(&v);
            // The read fills the cache with the engine's values; the write sends what differs.
            ASSERT_TRUE(fresh.configure(op.section, 'r', refs)) << label;
            for (std::size_t i = 0; i < op.slots.size(); ++i) {
                written[i] = testValue(op.slots[i], i);
            }
            ASSERT_TRUE(fresh.configure(op.section, 'w', refs)) << label;
            std::vector<int> read(op.slots.size(), -1);
            std::vector<int*> readRefs;
            for (int& v : read) readRefs.push_back(&v);
            SymbologyConfig reader(port);
            ASSERT_TRUE(reader.configure(op.section, 'r', readRefs)) << label;
            for (std::size_t i = 0; i < op.slots.size(); ++i) {
                const int expected = op.slots[i].wire(type) ? written[i] : -1;
                EXPECT_EQ(read[i], expected) << label << " slot " << i;
            }
        }
        port.closePort();
    }
}

TEST_F(SymbologyTest, PacketWireBytesOfRequestAndSend) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    connect(engine, ReaderType::Imager2D, 115200);
    engine.clearCommands();
    int enable = 1, checkDigit = 0, transmit = 0, length1 = 0, length2 = 0;
    std::vector<int*> refs{&enable, &checkDigit, &transmit, &length1, &length2};
    ASSERT_TRUE(config.configure("Code11 2D", 'r', refs));
    // Requested as enable, lengths, then the check-digit keys.
    const Bytes request = withChecksum(Bytes{0x09, 0xC7, 0x04, 0x00, 0x0A, 0x1C, 0x1D, 0x34, 0x2F});
    ASSERT_EQ(engine.commands().size(), 1u);
    EXPECT_EQ(engine.commands()[0], request);

    engine.clearCommands();
    length1 = 7;
    ASSERT_TRUE(config.configure("Code11 2D", 'w', refs));
    const Bytes send = withChecksum(Bytes{0x07, 0xC6, 0x04, 0x08, 0xFF, 0x1C, 0x07});
    ASSERT_EQ(engine.commands().size(), 1u);
    EXPECT_EQ(engine.commands()[0], send);

    // Writing the same values again sends nothing.
    engine.clearCommands();
    ASSERT_TRUE(config.configure("Code11 2D", 'w', refs));
    EXPECT_TRUE(engine.commands().empty());
}

TEST_F(SymbologyTest, PacketReadWithoutReplyKeepsAndCachesTheCallersValues) {
    sim::PacketEngine engine(PacketKind::LongRange1D, 38400);
    connect(engine, ReaderType::LongRange1D, 38400);
    engine.misbehave(sim::Fault::Silence, sim::kForever);
    int enable = 1, length1 = 9, length2 = 33;
    ASSERT_TRUE(config.configure("Code93 2D/1D_LR", 'r', {&enable, &length1, &length2}));
    EXPECT_EQ(length1, 9);
    engine.behave();
    engine.clearCommands();
    ASSERT_TRUE(config.configure("Code93 2D/1D_LR", 'w', {&enable, &length1, &length2}));
    EXPECT_TRUE(engine.commands().empty());
}

TEST_F(SymbologyTest, RefusedPacketWriteLeavesTheCacheSoTheNextWriteRetries) {
    sim::PacketEngine engine(PacketKind::Imager2D, 115200);
    connect(engine, ReaderType::Imager2D, 115200);
    engine.setParameter(packet::param(0x09), 0);
    engine.misbehave(sim::Fault::Nak, 5);
    int enable = 1;
    EXPECT_FALSE(config.configure("Code93 2D/1D_LR", 'w', {&enable, nullptr, nullptr}));
    EXPECT_TRUE(config.configure("Code93 2D/1D_LR", 'w', {&enable, nullptr, nullptr}));
    EXPECT_EQ(engine.parameter(packet::param(0x09)), 1);
}

TEST_F(SymbologyTest, ExposureTimeIsACodeOnTheFirstImagerAndTwoBytesOnTheNewer) {
    std::vector<int*> refs(17, nullptr);
    int exposure = 20;
    refs[8] = &exposure;
    {
        sim::PacketEngine engine(PacketKind::Imager2D, 115200);
        connect(engine, ReaderType::Imager2D, 115200);
        ASSERT_TRUE(config.configure("Image 2D", 'w', refs));
        EXPECT_EQ(engine.parameter(packet::wideParam(0xF0, 0x38)), 0x013B);
        exposure = 17;  // not a listed time: sent as 10 ms
        ASSERT_TRUE(config.configure("Image 2D", 'w', refs));
        EXPECT_EQ(engine.parameter(packet::wideParam(0xF0, 0x38)), 0x009D);
        for (auto [code, ms] : {std::pair{0x004F, 5}, {0x01D8, 30}, {0x0077, 10}}) {
            engine.setParameter(packet::wideParam(0xF0, 0x38), static_cast<std::uint16_t>(code));
            ASSERT_TRUE(config.configure("Image 2D", 'r', refs));
            EXPECT_EQ(exposure, ms);
        }
        port.closePort();
    }
    sim::PacketEngine newer(PacketKind::Imager2D4507, 115200);
    SymbologyConfig fresh(port);
    connect(newer, ReaderType::Imager2D4507, 115200);
    exposure = 600;
    ASSERT_TRUE(fresh.configure("Image 2D", 'w', refs));
    EXPECT_EQ(newer.parameter(packet::wideParam(0xF1, 0x37)), 600);
}

TEST_F(SymbologyTest, LongRangeAimTimeIsThePortsAndScanModeReachesTheManager) {
    sim::PacketEngine engine(PacketKind::LongRange1D955, 38400);
    connect(engine, ReaderType::LongRange1D955, 38400);
    engine.clearCommands();
    KeyValues values{{"aimDurtion", 15}};
    ASSERT_TRUE(config.configure("Barcode Reader 1D_LR", 'w', values));
    EXPECT_EQ(port.aimDurtion, 15u);
    EXPECT_TRUE(engine.commands().empty());
    values = {{"scanMode", 4}};
    ASSERT_TRUE(config.configure("Barcode Reader 1D_LR", 'w', values));
    EXPECT_EQ(config.scanMode, 4);
    KeyValues read;
    ASSERT_TRUE(config.configure("Barcode Reader 1D_LR", 'r', read));
    EXPECT_EQ(read["aimDurtion"], 15);
    EXPECT_EQ(read["scanMode"], 4);
}

TEST_F(SymbologyTest, SectionsOutsideTheEnginesFamilyFail) {
    sim::PacketEngine engine(PacketKind::LongRange1D, 38400);
    connect(engine, ReaderType::LongRange1D, 38400);
    KeyValues values;
    EXPECT_FALSE(config.configure("Code11 2D", 'r', values));
    EXPECT_FALSE(config.configure("Code39 CCD/Laser", 'r', values));
    EXPECT_TRUE(config.configure("Code39 2D/1D_LR", 'r', values));
}

TEST(ParamReply, WalkSkipsStrangersAndMatchesPrefixedNumbers) {
    const PacketOperation& op = *findPacketOperation("Code128 2D/1D_LR", ReaderType::Imager2D);
    // 08=1, a stranger 77, F1 41=5 (its 41 is not another number), DF cut short at the end.
    const Bytes reply{0x0E, 0xC6, 0x00, 0x00, 0xFF, 0x08, 0x01,
                      0x77, 0xF1, 0x41, 0x05, 0x54, 0x00, 0xDF};
    const auto values = parseParamReply(op, ReaderType::Imager2D, reply);
    ASSERT_TRUE(values);
    EXPECT_EQ((*values)[0], 1);
    EXPECT_EQ((*values)[1], std::nullopt);
    EXPECT_EQ((*values)[2], 0);
    EXPECT_EQ((*values)[3], 5);
    EXPECT_EQ((*values)[4], std::nullopt);
    EXPECT_FALSE(parseParamReply(op, ReaderType::Imager2D, Bytes{0x05, 0xD0, 0x00, 0x00, 0xFF}));
    EXPECT_FALSE(parseParamReply(op, ReaderType::Imager2D, Bytes{}));
}

}  // namespace
}  // namespace tessel::reader
