// Tag operations of each reader kind against the simulators: scan with user data, block
// ranges on real tags, writes with merge, Mifare logins and the option-flag switch.

#include <numeric>

#include <gtest/gtest.h>

#include "browser/rfid/rfid_test_support.h"
#include "sim/rfid_frame_reader.h"
#include "sim/rfid_module.h"
#include "sim/rfid_text_reader.h"

namespace tessel::rfid {
namespace {

using reader::ModelIndex;
using test::countOf;
using test::RfidRig;
using test::tagRequest;

constexpr std::array<std::uint8_t, 4> kMifareUid{0xA1, 0xB2, 0xC3, 0xD4};

Bytes counting(std::size_t n, std::uint8_t from = 0) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), from);
    return b;
}

// Fills every data block of an S50 tag with its own block number.
sim::MifareClassic numberedS50() {
    sim::MifareClassic tag(sim::MifareClassic::Kind::S50, kMifareUid);
    for (std::size_t b = 1; b < 64; ++b) {
        if (sim::MifareClassic::trailerOf(b) != b) tag.block(b).fill(std::uint8_t(b));
    }
    return tag;
}

sim::Iso15693Tag countingIso(std::uint8_t maker = sim::Iso15693Tag::kMakerPhilips) {
    sim::Iso15693Tag tag(maker, 0x0000123456, 64);
    for (std::size_t b = 0; b < 64; ++b) {
        const auto data = counting(4, std::uint8_t(4 * b));
        tag.write(b, std::span<const std::uint8_t, 4>(data.data(), 4));
    }
    return tag;
}

// A reader simulator with the reader under test started on it; the commands of the start-up
// are forgotten.
template <class Device>
struct Started {
    template <class... Args>
    explicit Started(ModelIndex model, Args&&... args)
        : reader(std::forward<Args>(args)...), rig(reader, model) {
        EXPECT_TRUE(rig.rfid.start(ReaderType::Auto));
        if constexpr (requires { reader.clearCommands(); }) reader.clearCommands();
    }
    Device reader;
    RfidRig rig;
};

struct TextRig : Started<sim::RfidTextReader> {
    TextRig() : Started(ModelIndex::K230, 1, 57600) {}
};

TEST(RfidTextScan, MifareDefaultPageSkipsTrailersAndLogsInPerSector) {
    TextRig t;
    t.reader.insert(numberedS50());
    RfidTagResult result;
    ASSERT_TRUE(t.rig.rfid.scan(tagRequest(-1, 10), result));
    EXPECT_EQ(result.code, 3);
    EXPECT_EQ(result.typeName, "ISO14443 Type A, Mifare family");
    EXPECT_EQ(result.uid, "A1B2C3D4");
    EXPECT_EQ(result.blockSize, 16);
    EXPECT_EQ(result.userData, Bytes(10, 4));
    EXPECT_FALSE(t.rig.port.isOpen());
    // Power-on leaves the reader 100 ms before the select command.
    EXPECT_EQ(t.rig.clock.waits().back(), std::chrono::milliseconds(100));

    ASSERT_TRUE(t.rig.rfid.scan(tagRequest(-1, 50), result));
    Bytes expected;
    for (std::uint8_t b : {4, 5, 6}) expected.insert(expected.end(), 16, b);
    expected.insert(expected.end(), 2, 8);
    EXPECT_EQ(result.userData, expected);
    EXPECT_EQ(countOf(t.reader.commands(), "l01AAFFFFFFFFFFFF"), 2);
    EXPECT_EQ(countOf(t.reader.commands(), "l02AAFFFFFFFFFFFF"), 1);
    EXPECT_EQ(countOf(t.reader.commands(), "rb07"), 0);
}

TEST(RfidTextScan, Iso15693AndSr176Ranges) {
    TextRig t;
    t.reader.insert(countingIso());
    RfidTagResult result;
    ASSERT_TRUE(t.rig.rfid.scan(tagRequest(20, 8), result));
    EXPECT_EQ(result.code, 10);
    EXPECT_EQ(result.uid, "E004000000123456");
    EXPECT_EQ(result.userData, counting(8, 20));

    t.reader.clearField();
    t.reader.insert(sim::SrTag(sim::SrTag::Kind::SR176, 0x11, 0x0102030405060708));
    ASSERT_TRUE(t.rig.rfid.scan(tagRequest(0, 100), result));
    EXPECT_EQ(result.code, 6);
    EXPECT_EQ(result.blockSize, 2);
    EXPECT_EQ(result.userData.size(), 30u);  // capped at block 14

    // A 4-byte block 0 makes an "S" tag an SRIX4K.
    t.reader.clearField();
    t.reader.insert(sim::SrTag(sim::SrTag::Kind::SRIX4K, 0x11, 0x0102030405060708));
    ASSERT_TRUE(t.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_EQ(result.code, 7);
    EXPECT_EQ(result.typeName, "ISO14443 Type B, SRIX4K");
}

TEST(RfidTextScan, LengthZeroGivesTheTagWithoutData) {
    TextRig t;
    t.reader.insert(countingIso());
    RfidTagResult result;
    ASSERT_TRUE(t.rig.rfid.scan(tagRequest(0, 0), result));
    EXPECT_EQ(result.code, 10);
    EXPECT_TRUE(result.userData.empty());
}

TEST(RfidTextScan, ErrorCharactersAndSilenceFailTheScanAndKeepTheResult) {
    TextRig t;
    RfidTagResult result;
    result.uid = "previous";
    EXPECT_FALSE(t.rig.rfid.scan(tagRequest(-1, 4), result));  // empty field: "N"
    EXPECT_EQ(t.rig.rfid.lastError(), kRfidNoTag);
    EXPECT_EQ(result.uid, "previous");

    t.reader.insert(countingIso());
    t.reader.setErrorChar('O');
    t.reader.misbehave(sim::RfidReaderModel::Fault::ErrorChar);
    EXPECT_FALSE(t.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_EQ(t.rig.rfid.lastError(), kRfidOperation);

    t.reader.misbehave(sim::RfidReaderModel::Fault::Truncate);
    EXPECT_FALSE(t.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_FALSE(t.rig.port.isOpen());
    t.reader.unplug();
    EXPECT_FALSE(t.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_EQ(result.uid, "previous");
}

TEST(RfidTextWrite, SixBytesAtStartTwoMergeIntoFourByteBlocks) {
    TextRig t;
    auto& tag = t.reader.insert(countingIso());
    const Bytes data{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    EXPECT_EQ(t.rig.rfid.write(2, data, "FFFFFFFFFFFF", 0), 6);
    EXPECT_EQ(tag.read(0, 2), (Bytes{0, 1, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}));
    EXPECT_EQ(tag.read(2, 1), counting(4, 8));
    EXPECT_FALSE(t.rig.port.isOpen());
}

TEST(RfidTextWrite, MifareTrailersOnlyOnExplicitAddresses) {
    TextRig t;
    auto& tag = t.reader.insert(numberedS50());
    const auto trailer = tag.block(7);
    const Bytes data = counting(50, 0x80);
    EXPECT_EQ(t.rig.rfid.write(-1, data, "FFFFFFFFFFFF", 0), 50);
    EXPECT_EQ(tag.block(7), trailer);
    EXPECT_EQ(tag.block(4)[0], 0x80);
    EXPECT_EQ(tag.block(8)[0], 0x80 + 48);
    EXPECT_EQ(tag.block(8)[2], 8);  // the last block keeps what the data does not reach

    // Start 48 is block 3, the first sector's trailer: written like any block.
    const Bytes trailerData = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07,
                               0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(t.rig.rfid.write(48, trailerData, "FFFFFFFFFFFF", 0), 16);
    EXPECT_TRUE(std::equal(trailerData.begin(), trailerData.end(), tag.block(3).begin()));

    // A wrong key ends the write before anything is written.
    EXPECT_EQ(t.rig.rfid.write(-1, data, "010203040506", 0), 0);
}

struct FrameRig : Started<sim::RfidFrameReader> {
    FrameRig() : Started(ModelIndex::K220) {}
};

TEST(RfidFrameScan, Iso15693UidReversedAndDataCut) {
    FrameRig f;
    f.reader.insert(countingIso());
    RfidTagResult result;
    ASSERT_TRUE(f.rig.rfid.scan(tagRequest(6, 5), result));
    EXPECT_EQ(result.code, 16);
    EXPECT_EQ(result.typeName, "ISO15693");
    EXPECT_EQ(result.uid, "E004000000123456");
    EXPECT_EQ(result.userData, counting(5, 6));
    EXPECT_EQ(f.rig.rfid.protocol, kProtocol15693);
    EXPECT_EQ(f.rig.port.idleSemaphore.count(), 1);
}

TEST(RfidFrameScan, ShortIso15693UidRotatesOnAndTheFoundProtocolStays) {
    FrameRig f;
    f.reader.setUidBytes(6);
    f.reader.insert(countingIso());
    f.reader.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, kMifareUid));
    RfidTagResult result;
    ASSERT_TRUE(f.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_EQ(result.code, 3);
    EXPECT_EQ(result.uid, "A1B2C3D4");
    EXPECT_TRUE(result.userData.empty());
    EXPECT_EQ(countOf(f.reader.commands(), "010B000304140401000000"), 2);
    EXPECT_EQ(f.rig.rfid.protocol, kProtocol14443A);

    // The next scan starts with type A again: no protocol selection.
    f.reader.clearCommands();
    ASSERT_TRUE(f.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_EQ(f.reader.commands(), std::vector<std::string>{"0109000304A0010000"});
}

TEST(RfidFrameScan, EmptyFieldFailsAfterEveryProtocolTwice) {
    FrameRig f;
    RfidTagResult result;
    f.rig.clock.clearWaits();
    EXPECT_FALSE(f.rig.rfid.scan(tagRequest(-1, 4), result));
    EXPECT_EQ(f.rig.rfid.lastError(), kRfidNoTag);
    EXPECT_EQ(f.reader.commands().size(), 4u + 8u);  // four selections, eight inventories
    const auto waits = f.rig.clock.waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), std::chrono::milliseconds(100)), 8);
    EXPECT_EQ(f.rig.port.idleSemaphore.count(), 0);
}

TEST(RfidFrameScan, TagitFlagAndBlockCountLimitTheRead) {
    FrameRig f;
    // UID A1B2C3D4 (characters 4-11), flag 01 and 2 blocks (bytes 8 and 9).
    f.reader.setTagit("0000A1B2C3D400000102",
                      {"000000" "0102030405" "00", "000000" "00C0000000" "00",
                       "000000" "FFFFFFFFFF" "00"});
    RfidTagResult result;
    ASSERT_TRUE(f.rig.rfid.scan(tagRequest(1, 20), result));
    EXPECT_EQ(result.code, 8);
    EXPECT_EQ(result.uid, "A1B2C3D4");
    // Blocks 0 and 1 only (the tag has two), each 40 bits shifted by two, from byte 1 on.
    EXPECT_EQ(result.userData, (Bytes{0x08, 0x0C, 0x10, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(countOf(f.reader.commands(), "010B000304180008020000"), 0);
}

TEST(RfidFrameWrite, OptionFlagSwitchLastsForTheRestOfTheWrite) {
    FrameRig f;
    f.reader.setWriteNeedsOptionFlag(true);
    auto& tag = f.reader.insert(countingIso(sim::Iso15693Tag::kMakerTexas));
    const Bytes data = counting(8, 0xC0);
    EXPECT_EQ(f.rig.rfid.write(0, data, "", 0), 8);
    EXPECT_EQ(tag.read(0, 2), data);
    EXPECT_EQ(countOf(f.reader.commands(), "010F000304180021" "00C0C1C2C3" "0000"), 1);
    EXPECT_EQ(countOf(f.reader.commands(), "010F000304184021" "00C0C1C2C3" "0000"), 1);
    EXPECT_EQ(countOf(f.reader.commands(), "010F000304184021" "01C4C5C6C7" "0000"), 1);
    EXPECT_EQ(countOf(f.reader.commands(), "010F000304180021" "01C4C5C6C7" "0000"), 0);
}

TEST(RfidFrameWrite, UnsupportedTagsWriteNothing) {
    FrameRig f;
    f.reader.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, kMifareUid));
    EXPECT_EQ(f.rig.rfid.write(-1, counting(4), "", 0), 0);
}

sim::RfidModuleSim::Config moduleConfig() {
    sim::RfidModuleSim::Config c;
    c.key = {0x5A, 0xC3, 0x3C, 0xA5};
    return c;
}

struct ModuleRig : Started<sim::RfidModuleSim> {
    ModuleRig() : Started(ModelIndex::K240, moduleConfig()) {}
};

TEST(RfidModuleScan, ClassifiesByCodeByteAndReadsUserData) {
    ModuleRig m;
    m.reader.insert(numberedS50());
    RfidTagResult result;
    ASSERT_TRUE(m.rig.rfid.scan(tagRequest(-1, 20), result));
    EXPECT_EQ(result.code, 3);
    EXPECT_EQ(result.typeName, "ISO14443 Type A, Mifare S50");
    EXPECT_EQ(result.uid, "A1B2C3D4");
    Bytes expected(16, 4);
    expected.insert(expected.end(), 4, 5);
    EXPECT_EQ(result.userData, expected);
    EXPECT_EQ(m.rig.rfid.powerState, 0);

    m.reader.clearField();
    m.reader.insert(countingIso(sim::Iso15693Tag::kMakerSt));
    ASSERT_TRUE(m.rig.rfid.scan(tagRequest(4, 6), result));
    EXPECT_EQ(result.code, 9);
    EXPECT_EQ(result.uid, "E002000000123456");
    EXPECT_EQ(result.userData, counting(6, 4));
}

TEST(RfidModuleWrite, Sr176BlocksAndIso15693) {
    ModuleRig m;
    auto& iso = m.reader.insert(countingIso());
    const Bytes data{1, 2, 3, 4, 5};
    EXPECT_EQ(m.rig.rfid.write(1, data, "", 0), 5);
    EXPECT_EQ(iso.read(0, 2), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));

    m.reader.clearField();
    EXPECT_EQ(m.rig.rfid.write(1, data, "", 0), 0);
}

}  // namespace
}  // namespace tessel::rfid
