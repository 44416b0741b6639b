#include "browser/rfid/link/rfid_link.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "browser/rfid/link/link_test_support.h"
#include "platform/virtual_serial.h"
#include "sim/rfid_module.h"

namespace tessel::rfid {
namespace {

using platform::Micros;
using platform::Millis;
using Fault = sim::RfidModuleSim::Fault;

constexpr std::string_view kKeyText = "1A2B3C4D";
constexpr LinkKey kKey{0x1A, 0x2B, 0x3C, 0x4D};
constexpr int kHandle = 2;

sim::RfidModuleSim::Config moduleAt(std::uint32_t speed, LinkKey key = kKey) {
    sim::RfidModuleSim::Config config;
    config.speed = speed;
    config.key = key;
    return config;
}

// The library on COM2: joined to a simulated module, on a virtual clock.
struct Rig {
    explicit Rig(sim::RfidModuleSim::Config config = moduleAt(19200)) : module(config) {
        opener.plug("COM2:", module);
    }
    OpenResult open(int mode, std::uint32_t speed = 19200, std::string_view key = kKeyText) {
        return link.open(kHandle, speed, key, mode, 550);
    }
    std::size_t waitsOf(Micros d) const {
        const auto waits = clock.waits();
        return std::size_t(std::count(waits.begin(), waits.end(), d));
    }

    platform::VirtualClock clock;
    platform::VirtualPortOpener opener{clock};
    sim::RfidModuleSim module;
    RfidLink link{opener, clock};
};

// A port that can be told to send one byte less than asked in its next writes.
class ShortWritePort final : public ForwardingPort {
  public:
    ShortWritePort(std::unique_ptr<platform::SerialPort> port, int& shortWrites)
        : ForwardingPort(std::move(port)), shortWrites_(shortWrites) {}
    std::size_t write(std::span<const std::uint8_t> bytes, Millis timeout) override {
        if (shortWrites_ == 0) return ForwardingPort::write(bytes, timeout);
        --shortWrites_;
        return ForwardingPort::write(bytes.first(bytes.size() - 1), timeout);
    }

  private:
    int& shortWrites_;
};

class ShortWriteOpener final : public platform::SerialPortOpener {
  public:
    explicit ShortWriteOpener(platform::SerialPortOpener& inner) : inner_(inner) {}
    std::unique_ptr<platform::SerialPort> open(std::string_view name, int& error) override {
        auto port = inner_.open(name, error);
        return port ? std::make_unique<ShortWritePort>(std::move(port), shortWrites) : nullptr;
    }
    int shortWrites = 0;

  private:
    platform::SerialPortOpener& inner_;
};

class EveryMode : public testing::TestWithParam<int> {};

TEST_P(EveryMode, ConnectsAndDisconnectsWithTheFixedSteps) {
    const int mode = GetParam();
    Rig rig;
    const OpenResult opened = rig.open(mode);
    ASSERT_EQ(opened.result, LinkResult::Success);
    EXPECT_EQ(opened.speed, 19200u);
    EXPECT_EQ(rig.waitsOf(Millis(550)), 1u);

    const bool secured = mode == 1 || mode == 3 || mode == 4;
    std::vector<std::uint8_t> expected{0x1F, 0x11, 0x1B, 0x13};
    if (secured) expected.insert(expected.begin(), 0x17);
    EXPECT_EQ(rig.module.commands(), expected);
    EXPECT_EQ(rig.module.option(), 9);
    EXPECT_EQ(rig.waitsOf(Millis(50)), secured ? 1u : 0u);

    // A second open of a connected handle sends nothing.
    EXPECT_EQ(rig.open(mode).result, LinkResult::Success);
    EXPECT_EQ(rig.module.commands().size(), expected.size());

    EXPECT_EQ(rig.link.close(kHandle), LinkResult::Success);
    EXPECT_EQ(rig.module.option(), 0);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NotOpen);
    EXPECT_EQ(rig.link.close(kHandle), LinkResult::NotOpen);
}

// Every command of the module against a field of tags; in secured modes every one of them also
// advances the link words on both ends.
TEST_P(EveryMode, EveryCommandReachesTheTags) {
    Rig rig;
    auto& mifare = rig.module.insert(
        sim::MifareClassic(sim::MifareClassic::Kind::S50, {0xC1, 0x02, 0x03, 0x10}));
    auto& sr176 = rig.module.insert(sim::SrTag(sim::SrTag::Kind::SR176, 0x1D, 0x0102030405060708));
    auto& srix = rig.module.insert(sim::SrTag(sim::SrTag::Kind::SRIX4K, 0x07, 0xD002AABBCCDDEEFF));
    auto& iso =
        rig.module.insert(sim::Iso15693Tag(sim::Iso15693Tag::kMakerTexas, 0x0A0B0C0D0E0F, 64));
    ASSERT_EQ(rig.open(GetParam()).result, LinkResult::Success);

    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
    EXPECT_EQ(rig.module.option(), 8);
    ModuleVersion version;
    ASSERT_EQ(rig.link.version(kHandle, version), LinkResult::Success);
    EXPECT_EQ(version.second, (std::array<std::uint8_t, 4>{'V', '3', '.', '1'}));
    EXPECT_EQ(version.first[0], 'S');

    // ISO 14443 type A: Mifare.
    ASSERT_EQ(rig.link.selectProtocol(kHandle, 'A'), LinkResult::Success);
    TypeAAnswer answer;
    ASSERT_EQ(rig.link.requestTypeA(kHandle, 1, answer), LinkResult::Success);
    EXPECT_EQ(answer.uid, (Bytes{0xC1, 0x02, 0x03, 0x10}));
    EXPECT_EQ(answer.answerToRequest, 0x0004);
    EXPECT_EQ(answer.selectAcknowledge, 0x08);
    const SectorKey key{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::array<std::uint8_t, 16> data{0x02, 0x03, 0x10, 0x01, 5,  6,  7,  8,
                                            9,    10,   11,   12,   13, 14, 15, 16};
    EXPECT_EQ(rig.link.mifareWrite(kHandle, MifareKeyType::B, 5, key, data), LinkResult::Success);
    EXPECT_EQ(mifare.block(5), data);
    std::array<std::uint8_t, 16> block{};
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::A, 5, key, block), LinkResult::Success);
    EXPECT_EQ(block, data);

    // ISO 14443 type B: SR176 and SRIX4K.
    ASSERT_EQ(rig.link.selectProtocol(kHandle, 's'), LinkResult::Success);
    std::uint8_t chip = 0;
    EXPECT_EQ(rig.link.srInitiate(kHandle, chip), LinkResult::Success);
    EXPECT_EQ(chip, 0x1D);
    std::array<std::uint8_t, 2> two{};
    EXPECT_EQ(rig.link.sr176ReadBlock(kHandle, 0, two), LinkResult::Success);
    EXPECT_EQ(two, (std::array<std::uint8_t, 2>{0x08, 0x07}));
    EXPECT_EQ(rig.link.sr176WriteBlock(kHandle, 9, {0x03, 0x02}), LinkResult::Success);
    EXPECT_EQ(sr176.readBlock(9), (sim::TagBytes{0x03, 0x02}));
    std::array<std::uint8_t, 4> four{};
    EXPECT_EQ(rig.link.srix4kWriteBlock(kHandle, 100, {1, 2, 3, 0x10}), LinkResult::Success);
    EXPECT_EQ(rig.link.srix4kReadBlock(kHandle, 100, four), LinkResult::Success);
    EXPECT_EQ(four, (std::array<std::uint8_t, 4>{1, 2, 3, 0x10}));
    std::array<std::uint8_t, 8> uid{};
    EXPECT_EQ(rig.link.srix4kGetUid(kHandle, uid), LinkResult::Success);
    EXPECT_EQ(uid, srix.uid());

    // ISO 15693.
    ASSERT_EQ(rig.link.selectProtocol(kHandle, '1'), LinkResult::Success);
    IsoInventory inventory;
    ASSERT_EQ(rig.link.isoInventory(kHandle, 0x26, 0, 0, {}, inventory), LinkResult::Success);
    EXPECT_EQ(inventory.uid, iso.uid());
    EXPECT_EQ(inventory.uid[7], 0xE0);
    EXPECT_EQ(rig.link.isoWriteBlock(kHandle, 0x22, inventory.uid, 7, {0xAA, 0x01, 0x02, 0x03}),
              LinkResult::Success);
    std::array<std::uint8_t, 4> isoBlock{};
    std::size_t length = 0;
    EXPECT_EQ(rig.link.isoReadBlocks(kHandle, 0x22, inventory.uid, 7, 1, isoBlock, length),
              LinkResult::Success);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(isoBlock, (std::array<std::uint8_t, 4>{0xAA, 0x01, 0x02, 0x03}));

    EXPECT_EQ(rig.module.rejected(), 0);
    EXPECT_EQ(rig.link.close(kHandle), LinkResult::Success);
}

// A reply behind an escaped start byte is taken whole, with no fresh handshake.
TEST_P(EveryMode, AnEscapedStartByteBeforeAReplyStartsNoFrame) {
    Rig rig;
    ASSERT_EQ(rig.open(GetParam()).result, LinkResult::Success);
    const int handshakes = rig.module.handshakes();
    rig.module.misbehave(Fault::EscapedStart, 2);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
    EXPECT_EQ(rig.link.setOption(kHandle, 7), LinkResult::Success);
    EXPECT_EQ(rig.module.option(), 7);
    EXPECT_EQ(rig.module.handshakes(), handshakes);
}

// The tail of a reply that stalled past the gap arrives during the next transaction; the escaped
// start bytes in it must not start a frame, or every later command would take the reply of the
// one before.
TEST_P(EveryMode, TheTailOfAStalledReplyIsNotTakenForTheNextReply) {
    Rig rig;
    rig.module.insert(sim::MifareClassic(sim::MifareClassic::Kind::S50, {0xC1, 0x02, 0x03, 0x04}));
    ASSERT_EQ(rig.open(GetParam()).result, LinkResult::Success);
    ASSERT_EQ(rig.link.selectProtocol(kHandle, 'A'), LinkResult::Success);
    TypeAAnswer answer;
    ASSERT_EQ(rig.link.requestTypeA(kHandle, 1, answer), LinkResult::Success);
    const SectorKey key{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::array<std::uint8_t, 16> data{9, 9, 9, 9, 9,    9,    9,    9,
                                            9, 9, 9, 9, 0x01, 0x02, 0x01, 0x02};
    ASSERT_EQ(rig.link.mifareWrite(kHandle, MifareKeyType::A, 5, key, data), LinkResult::Success);

    rig.module.setStallGap(Millis(120));
    rig.module.misbehave(Fault::Stall);
    std::array<std::uint8_t, 16> block{};
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::A, 5, key, block), LinkResult::NoReply);
    for (std::uint8_t option : {7, 6, 5}) {
        EXPECT_EQ(rig.link.setOption(kHandle, option), LinkResult::Success) << int(option);
    }
    EXPECT_EQ(rig.module.option(), 5);
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::A, 5, key, block), LinkResult::Success);
    EXPECT_EQ(block, data);
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, testing::Range(0, 5));

TEST(RfidLinkTest, UltralightPagesAndTheTagsRefusals) {
    Rig rig;
    auto& tag = rig.module.insert(sim::Ultralight({0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
    ASSERT_EQ(rig.open(1).result, LinkResult::Success);
    ASSERT_EQ(rig.link.selectProtocol(kHandle, 'A'), LinkResult::Success);
    TypeAAnswer answer;
    ASSERT_EQ(rig.link.requestTypeA(kHandle, 1, answer), LinkResult::Success);
    EXPECT_EQ(answer.uid.size(), 7u);
    EXPECT_EQ(answer.answerToRequest, 0x0044);

    EXPECT_EQ(rig.link.ultralightWrite(kHandle, 4, {1, 2, 3, 4}), LinkResult::Success);
    EXPECT_EQ(tag.page(4), (sim::Ultralight::Page{1, 2, 3, 4}));
    std::array<std::uint8_t, 16> pages{};
    EXPECT_EQ(rig.link.ultralightRead(kHandle, 4, pages), LinkResult::Success);
    EXPECT_EQ(pages[0], 1);
    // The tag refuses: a read-only page, a Mifare command without a Mifare tag.
    EXPECT_EQ(rig.link.ultralightWrite(kHandle, 1, {1, 2, 3, 4}), LinkResult::BadReply);
    std::array<std::uint8_t, 16> block{};
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::A, 4, {}, block), LinkResult::BadReply);
    // A refusal is a valid answer: the link stays in step.
    EXPECT_EQ(rig.link.ultralightRead(kHandle, 0, pages), LinkResult::Success);
    EXPECT_EQ(rig.module.handshakes(), 1);
}

TEST(RfidLinkTest, MifareKeysDecideAccess) {
    Rig rig(moduleAt(19200));
    auto& tag = rig.module.insert(
        sim::MifareClassic(sim::MifareClassic::Kind::S70, {0x11, 0x22, 0x33, 0x44}));
    const SectorKey keyA{1, 2, 3, 4, 5, 6};
    const SectorKey keyB{9, 8, 7, 6, 5, 4};
    tag.setSectorKeys(sim::MifareClassic::trailerOf(200), keyA, keyB);
    ASSERT_EQ(rig.open(3).result, LinkResult::Success);
    ASSERT_EQ(rig.link.selectProtocol(kHandle, 'A'), LinkResult::Success);

    std::array<std::uint8_t, 16> block{};
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::A, 200, keyB, block),
              LinkResult::BadReply);
    EXPECT_EQ(rig.link.lastStatus(kHandle), 1);
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::B, 200, keyB, block),
              LinkResult::Success);
    // The trailer reads back with key A hidden.
    EXPECT_EQ(rig.link.mifareRead(kHandle, MifareKeyType::A, sim::MifareClassic::trailerOf(200),
                                  keyA, block),
              LinkResult::Success);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[10], 9);
}

TEST(RfidLinkTest, SpeedSearchFindsTheModuleAfterTheGivenSpeedFails) {
    Rig rig(moduleAt(38400));
    const OpenResult opened = rig.open(1);
    EXPECT_EQ(opened.result, LinkResult::Success);
    EXPECT_EQ(opened.speed, 38400u);
    // 19200, then 115200, then 38400: each attempt waits the settle time.
    EXPECT_EQ(rig.waitsOf(Millis(550)), 3u);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
}

TEST(RfidLinkTest, FailedOpenReportsTheLastCodeAndLeavesNoContext) {
    Rig silent(moduleAt(57600));
    const OpenResult opened = silent.open(1);
    EXPECT_EQ(opened.result, LinkResult::NoReply);
    EXPECT_EQ(opened.speed, 0u);
    EXPECT_EQ(silent.waitsOf(Millis(550)), 4u);
    EXPECT_EQ(silent.link.setOption(kHandle, 8), LinkResult::NotOpen);

    Rig unplugged;
    unplugged.opener.unplug("COM2:");
    EXPECT_EQ(unplugged.open(1).result, LinkResult::PortFailed);
    EXPECT_EQ(unplugged.open(1, 0).result, LinkResult::PortFailed);
    EXPECT_TRUE(unplugged.clock.waits().empty());
}

TEST(RfidLinkTest, HandshakeFailuresDuringConnect) {
    // The module sits at the last search speed so that its answer decides the result.
    Rig refused(moduleAt(9600));
    refused.module.misbehave(Fault::NonZeroStatus);
    EXPECT_EQ(refused.open(4, 0).result, LinkResult::HandshakeFailed);

    Rig foreign(moduleAt(9600));
    foreign.module.misbehave(Fault::ForeignCommand);
    EXPECT_EQ(foreign.open(1, 0).result, LinkResult::HandshakeFailed);

    // A format B mode the library does not know.
    auto unknownMode = moduleAt(9600);
    unknownMode.formatBMode = 3;
    Rig unknown(unknownMode);
    EXPECT_EQ(unknown.open(3, 0).result, LinkResult::HandshakeFailed);

    // Protocol selection unanswered, then the second handshake refused.
    Rig resync(moduleAt(9600));
    resync.module.misbehave(Fault::None);
    resync.module.misbehave(Fault::Silence);
    resync.module.misbehave(Fault::ForeignCommand);
    EXPECT_EQ(resync.open(1, 0).result, LinkResult::ResyncFailed);

    // Protocol selection unanswered, the second handshake answered: connect goes on.
    Rig recovered;
    recovered.module.misbehave(Fault::None);
    recovered.module.misbehave(Fault::Silence);
    EXPECT_EQ(recovered.open(1).result, LinkResult::Success);
    EXPECT_EQ(recovered.module.handshakes(), 2);

    // A failed connect step.
    Rig step(moduleAt(9600));
    step.module.misbehave(Fault::None, 2);
    step.module.misbehave(Fault::NonZeroStatus);
    EXPECT_EQ(step.open(3, 0).result, LinkResult::BadReply);
}

TEST(RfidLinkTest, ModuleMayDropTheLinkBytesInFormatB) {
    auto config = moduleAt(19200);
    config.formatBMode = 0;
    Rig rig(config);
    ASSERT_EQ(rig.open(4).result, LinkResult::Success);
    EXPECT_EQ(rig.link.mode(kHandle), 2);
    // Without link bytes a lost reply needs no handshake.
    rig.module.misbehave(Fault::Silence);
    EXPECT_EQ(rig.link.setOption(kHandle, 1), LinkResult::NoReply);
    EXPECT_EQ(rig.module.handshakes(), 1);
    EXPECT_EQ(rig.link.setOption(kHandle, 1), LinkResult::Success);
}

TEST(RfidLinkTest, KeyTextsDecideWhetherTheModuleAcceptsTheLink) {
    Rig shortKey(moduleAt(19200, kDefaultKey));
    EXPECT_EQ(shortKey.open(1, 19200, "1A2B").result, LinkResult::Success);
    EXPECT_EQ(shortKey.link.setOption(kHandle, 8), LinkResult::Success);

    // The handshake itself is answered with any key; the first secured command is not.
    Rig wrongKey(moduleAt(19200, kDefaultKey));
    EXPECT_EQ(wrongKey.open(1, 19200, kKeyText).result, LinkResult::NoReply);
    EXPECT_GT(wrongKey.module.rejected(), 0);
}

TEST(RfidLinkTest, WrongLinkBytesInAReplyLeadToAFreshHandshake) {
    Rig rig;
    ASSERT_EQ(rig.open(1).result, LinkResult::Success);
    ASSERT_EQ(rig.module.handshakes(), 1);
    rig.module.misbehave(Fault::WrongLinkBytes);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NoReply);
    EXPECT_EQ(rig.module.handshakes(), 2);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
    EXPECT_EQ(rig.module.rejected(), 0);
}

TEST(RfidLinkTest, LostReplyInSecuredModeResynchronises) {
    for (int mode : {1, 3, 4}) {
        Rig rig;
        ASSERT_EQ(rig.open(mode).result, LinkResult::Success);
        // The module took the request and advanced its link; the terminal never saw an answer.
        rig.module.misbehave(Fault::Silence);
        EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NoReply) << mode;
        EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success) << mode;
        EXPECT_EQ(rig.module.handshakes(), 2) << mode;
    }
}

TEST(RfidLinkTest, ReplyTimeOutIsExact) {
    Rig rig;
    ASSERT_EQ(rig.open(0).result, LinkResult::Success);
    const platform::LineSettings line{19200};
    // set option 8 goes out as 02 10 03 11 08 1C 03; the answer's first byte follows it.
    const Micros firstByte = platform::characterTime(line, 7) + platform::characterTime(line);

    // The answer 02 10 02 11 13 03 is taken at its end byte, without waiting for more.
    Micros before = rig.clock.now();
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
    EXPECT_EQ(rig.clock.now() - before,
              platform::characterTime(line, 7) + Micros(500) + platform::characterTime(line, 6));

    rig.module.misbehave(Fault::Silence);
    before = rig.clock.now();
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NoReply);
    EXPECT_EQ(rig.clock.now() - before, Millis(250));

    rig.module.setReplyDelay(Millis(250) - firstByte);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
    rig.module.setReplyDelay(Millis(250) - firstByte + Micros(1));
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NoReply);
}

TEST(RfidLinkTest, AShortWriteFailsTheCommand) {
    Rig rig;
    ShortWriteOpener opener(rig.opener);
    RfidLink link(opener, rig.clock);
    ASSERT_EQ(link.open(kHandle, 19200, kKeyText, 1, 0).result, LinkResult::Success);
    // The module is left with half a frame; the handshake that follows starts afresh.
    opener.shortWrites = 1;
    EXPECT_EQ(link.setOption(kHandle, 8), LinkResult::NoReply);
    EXPECT_EQ(rig.module.handshakes(), 2);
    EXPECT_EQ(link.setOption(kHandle, 8), LinkResult::Success);
}

TEST(RfidLinkTest, AReplyMayPauseAtMostFiftyMilliseconds) {
    Rig rig;
    ASSERT_EQ(rig.open(1).result, LinkResult::Success);
    rig.module.setStallGap(Millis(50));
    rig.module.misbehave(Fault::Stall);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
    rig.module.setStallGap(Millis(50) + Micros(1));
    rig.module.misbehave(Fault::Stall);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NoReply);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success);
}

TEST(RfidLinkTest, DamagedRepliesGiveTheirResultCodes) {
    for (int mode : {0, 1, 2, 3}) {
        Rig rig;
        ASSERT_EQ(rig.open(mode).result, LinkResult::Success);
        auto expect = [&](Fault fault, LinkResult result) {
            rig.module.misbehave(fault);
            EXPECT_EQ(rig.link.setOption(kHandle, 8), result) << mode << " " << int(fault);
            // The link is in step again for the next command.
            EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::Success) << mode;
        };
        expect(Fault::BadChecksum, LinkResult::NoReply);
        expect(Fault::HugeFrame, LinkResult::NoReply);
        expect(Fault::ForeignCommand, LinkResult::BadReply);
        expect(Fault::NonZeroStatus, LinkResult::BadReply);
        // Only format A compares the link bytes of a reply with the request's.
        expect(Fault::WrongLinkBytes, mode == 1 ? LinkResult::NoReply : LinkResult::Success);
    }
}

TEST(RfidLinkTest, LongRepliesAreCutToTheCallersBuffer) {
    Rig rig;
    auto& iso = rig.module.insert(sim::Iso15693Tag(sim::Iso15693Tag::kMakerSt, 0x010203040506, 8));
    auto& mifare = rig.module.insert(
        sim::MifareClassic(sim::MifareClassic::Kind::S50, {0x11, 0x22, 0x33, 0x44}));
    mifare.block(1).fill(0x42);
    ASSERT_EQ(rig.open(3).result, LinkResult::Success);

    ASSERT_EQ(rig.link.selectProtocol(kHandle, 'A'), LinkResult::Success);
    std::array<std::uint8_t, 16> block{};
    rig.module.misbehave(Fault::LongData);
    EXPECT_EQ(
        rig.link.mifareRead(kHandle, MifareKeyType::A, 1, sim::MifareClassic::kTransportKey, block),
        LinkResult::Success);
    EXPECT_EQ(block, mifare.block(1));

    ASSERT_EQ(rig.link.selectProtocol(kHandle, '1'), LinkResult::Success);
    std::array<std::uint8_t, 6> small{};
    std::size_t length = 0;
    EXPECT_EQ(rig.link.isoReadBlocks(kHandle, 0x22, iso.uid(), 0, 2, small, length),
              LinkResult::Success);
    EXPECT_EQ(length, small.size());
    // Another tag's UID is not answered.
    IsoUid other = iso.uid();
    other[0] ^= 1;
    EXPECT_EQ(rig.link.isoReadBlocks(kHandle, 0x22, other, 0, 1, small, length),
              LinkResult::BadReply);
    EXPECT_EQ(length, 0u);
}

TEST(RfidLinkTest, CloseReportsDisconnectFailuresAndHandleZeroClosesAll) {
    Rig rig;
    sim::RfidModuleSim second(moduleAt(19200));
    rig.opener.plug("COM3:", second);
    ASSERT_EQ(rig.open(1).result, LinkResult::Success);
    ASSERT_EQ(rig.link.open(3, 19200, kKeyText, 2, 0).result, LinkResult::Success);

    rig.module.misbehave(Fault::Silence);
    EXPECT_EQ(rig.link.close(kHandle), LinkResult::DisconnectNoReply);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NotOpen);

    ASSERT_EQ(rig.open(1).result, LinkResult::Success);
    rig.module.misbehave(Fault::None);
    rig.module.misbehave(Fault::ForeignCommand);
    EXPECT_EQ(rig.link.close(0), LinkResult::BadReply);
    EXPECT_EQ(rig.link.setOption(kHandle, 8), LinkResult::NotOpen);
    EXPECT_EQ(rig.link.setOption(3, 8), LinkResult::NotOpen);
    EXPECT_EQ(second.commands().back(), 0x13);
    EXPECT_EQ(rig.link.close(0), LinkResult::Success);
}

}  // namespace
}  // namespace tessel::rfid
