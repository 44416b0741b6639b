#include "sim/packet_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/engine_test_support.h"

namespace tessel::sim {
namespace {

using namespace packet;

constexpr PacketKind kKinds[] = {PacketKind::Imager2D, PacketKind::LongRange1D,
                                 PacketKind::Imager2D4507, PacketKind::LongRange1D955};

Bytes command(std::uint8_t opcode, std::span<const std::uint8_t> body = {},
              std::uint8_t status = 0) {
    return hostPacket(opcode, status, body);
}

const Bytes kAckPacket = makePacket(kAck, kEngineSource, 0, {});
const Bytes kAckBetweenPackets = command(kAck, {}, kStatusBetweenPackets);

Bytes nak(std::uint8_t cause) {
    const std::uint8_t body[] = {cause};
    return makePacket(kNak, kEngineSource, 0, body);
}

// The kind a host concludes from a revision reply (packet without checksum), or 0.
int identify(const Bytes& reply) {
    if (reply.size() >= 17 && (reply[15] == 0x98 || reply[15] == 0x99)) return 9;
    const std::string text(reply.begin(), reply.end());
    const auto paaaa = text.find("PAAAA");
    if (paaaa != std::string::npos && paaaa >= 4) return 8;
    std::size_t space = 0;
    for (int i = 0; i < 3; ++i) {
        space = text.find(' ', space + 1);
        if (space == std::string::npos) return 0;
    }
    const char before = text[space - 1];
    if (before == 0x00 || before == 0x07 || before == 'G') return 4;
    return before == 'P' ? 3 : 0;
}

class PacketEngineTest : public ::testing::Test {
protected:
    explicit PacketEngineTest(PacketKind kind = PacketKind::Imager2D, std::uint32_t baud = 9600)
        : engine_(kind, baud), host_(engine_, baud) {}

    Bytes exchange(std::span<const std::uint8_t> bytes) { return host_.exchange(bytes); }

    PacketEngine engine_;
    VirtualHost host_;
};

TEST(PacketEngineRevision, EachKindIsKnownByItsRevisionTextAlone) {
    for (PacketKind kind : kKinds) {
        PacketEngine engine(kind);
        VirtualHost host(engine, 9600);
        const Bytes reply = host.exchange(command(kRevisionRequest));
        ASSERT_TRUE(checksumOk(reply)) << int(kind);
        EXPECT_EQ(reply[1], kRevisionReply);
        EXPECT_EQ(Bytes(reply.begin() + 4, reply.end() - 2), defaultRevision(kind));
        EXPECT_EQ(identify(Bytes(reply.begin(), reply.end() - 2)), int(kind));
    }
}

TEST_F(PacketEngineTest, DamagedAndUnknownPacketsAreRefused) {
    Bytes damaged = command(kRevisionRequest);
    damaged.back() ^= 0x01;
    EXPECT_EQ(exchange(damaged), nak(kNakResend));
    EXPECT_EQ(exchange(command(0x77)), nak(kNakBadContext));
    const std::uint8_t lengthTooShort[] = {0x02, 0x00, 0xFE};
    EXPECT_TRUE(exchange(lengthTooShort).empty());
    EXPECT_TRUE(checksumOk(exchange(command(kRevisionRequest))));  // back in step
}

TEST_F(PacketEngineTest, SpeedSwitchIsAcknowledgedAtTheOldSpeed) {
    const std::uint8_t to115200[] = {kNoBeep, 0x9C, 0x0B};
    EXPECT_EQ(exchange(command(kParamSend, to115200, kStatusPermanent)), kAckPacket);
    EXPECT_EQ(engine_.baud(), 115200u);
    EXPECT_TRUE(exchange(command(kRevisionRequest)).empty());
    host_.setBaud(115200);
    EXPECT_TRUE(checksumOk(exchange(command(kRevisionRequest))));

    // Back to factory settings: the engine acknowledges, then listens at 9600 again.
    EXPECT_EQ(exchange(command(kParamDefaults)), kAckPacket);
    EXPECT_EQ(engine_.baud(), 9600u);
}

TEST_F(PacketEngineTest, SpeedSwitchRefusedKeepsTheSpeed) {
    const std::uint8_t unknownCode[] = {kNoBeep, 0x9C, 0x0A};
    EXPECT_EQ(exchange(command(kParamSend, unknownCode, kStatusPermanent)), nak(kNakDenied));
    engine_.misbehave(Fault::Nak);
    const std::uint8_t to38400[] = {kNoBeep, 0x9C, 0x08};
    EXPECT_EQ(exchange(command(kParamSend, to38400, kStatusPermanent)), nak(kNakDenied));
    EXPECT_EQ(engine_.baud(), 9600u);
}

TEST_F(PacketEngineTest, ParametersAreRequestedAndSent) {
    // Plain, prefixed, two-byte and unknown numbers; the unknown one is left out of the answer.
    const std::uint8_t request[] = {0x00, 0xF0, 0x52, 0xF4, 0xF0, 0x38, 0x70};
    const std::uint8_t answer[] = {kNoBeep, 0x00, 1, 0xF0, 0x52, 1, 0xF4, 0xF0, 0x38, 0x00, 0x9D};
    EXPECT_EQ(exchange(command(kParamRequest, request)),
              makePacket(kParamSend, kEngineSource, 0, answer));

    const std::uint8_t change[] = {kNoBeep, 0x00, 0, 0xF4, 0xF0, 0x38, 0x01, 0x3B};
    EXPECT_EQ(exchange(command(kParamSend, change, kStatusPermanent)), kAckPacket);
    EXPECT_EQ(engine_.parameter(param(0x00)), 0);
    EXPECT_EQ(engine_.parameter(wideParam(0xF0, 0x38)), 0x013B);

    // A message with a number the engine does not have changes nothing.
    const std::uint8_t withUnknown[] = {kNoBeep, 0x00, 1, 0x70, 1};
    EXPECT_EQ(exchange(command(kParamSend, withUnknown)), nak(kNakDenied));
    EXPECT_EQ(engine_.parameter(param(0x00)), 0);

    EXPECT_EQ(exchange(command(kParamDefaults)), kAckPacket);
    EXPECT_EQ(engine_.parameter(param(0x00)), 1);
}

TEST(PacketEngineParameters, EachKindHasItsOwnNumbers) {
    struct Case {
        ParamId id;
        std::vector<PacketKind> kinds;
    };
    const Case cases[] = {
        {param(0x0A), {PacketKind::Imager2D, PacketKind::LongRange1D955}},
        {param(0x44), {PacketKind::Imager2D, PacketKind::Imager2D4507}},
        {param(0xED), {PacketKind::LongRange1D, PacketKind::LongRange1D955}},
        {param(0xF0, 0x98), {PacketKind::Imager2D4507, PacketKind::LongRange1D955}},
        {param(0xF1, 0x6A), {PacketKind::Imager2D4507}},
        {wideParam(0xF1, 0x37), {PacketKind::Imager2D4507}},
        {param(0xF0, 0xA6), {PacketKind::Imager2D}},
        {param(0xBF), {PacketKind::LongRange1D, PacketKind::LongRange1D955}},
    };
    for (const auto& c : cases) {
        for (PacketKind kind : kKinds) {
            const bool expected = std::ranges::count(c.kinds, kind) > 0;
            EXPECT_EQ(factoryParameters(kind).contains(c.id), expected)
                << int(c.id.prefix) << ":" << int(c.id.number) << " on " << int(kind);
        }
    }
}

TEST_F(PacketEngineTest, TriggerAndAimAreAcknowledged) {
    EXPECT_EQ(exchange(command(kAimOn)), kAckPacket);
    EXPECT_TRUE(engine_.aiming());
    EXPECT_EQ(exchange(command(kAimOff)), kAckPacket);
    EXPECT_FALSE(engine_.aiming());

    engine_.queueDecode({11, bytesOf("4006381333931")});
    const std::uint8_t decode[] = {11,  '4', '0', '0', '6', '3', '8',
                                   '1', '3', '3', '3', '9', '3', '1'};
    EXPECT_EQ(exchange(command(kStartDecode)), kAckPacket);
    EXPECT_EQ(host_.readAll(), makePacket(kDecodeData, kEngineSource, kStatusLast, decode));
    EXPECT_TRUE(exchange(command(kAck)).empty());

    EXPECT_EQ(exchange(command(kStartDecode)), kAckPacket);
    EXPECT_TRUE(engine_.triggered());
    EXPECT_EQ(exchange(command(kStopDecode)), kAckPacket);
    EXPECT_FALSE(engine_.triggered());
}

TEST_F(PacketEngineTest, ContinuousScanModeSendsWithoutTrigger) {
    const std::uint8_t presentation[] = {kNoBeep, 0x8A, 0x07};
    EXPECT_EQ(exchange(command(kParamSend, presentation)), kAckPacket);
    engine_.queueDecode({1, bytesOf("X1")});
    const std::uint8_t decode[] = {1, 'X', '1'};
    EXPECT_EQ(host_.readAll(), makePacket(kDecodeData, kEngineSource, kStatusLast, decode));
}

TEST_F(PacketEngineTest, LongDecodeWaitsForAnAcknowledgementPerPacket) {
    engine_.setMaxPacketData(4);
    engine_.queueDecode({27, bytesOf("ABCDEFGHIJ"), DecodeForm::Continuation});
    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    const std::uint8_t first[] = {27, 'A', 'B', 'C', 'D'};
    EXPECT_EQ(host_.readAll(), makePacket(kDecodeData, kEngineSource, kStatusMore, first));
    EXPECT_TRUE(host_.readAll().empty());  // no acknowledgement, no next packet

    const std::uint8_t second[] = {27, 'E', 'F', 'G', 'H'};
    EXPECT_EQ(exchange(kAckBetweenPackets),
              makePacket(kDecodeData, kEngineSource, kStatusMore, second));
    const std::uint8_t last[] = {27, 'I', 'J'};
    EXPECT_EQ(exchange(kAckBetweenPackets),
              makePacket(kDecodeData, kEngineSource, kStatusLast, last));
    EXPECT_TRUE(exchange(kAckBetweenPackets).empty());
}

TEST_F(PacketEngineTest, ImagerMultiPacketRecordSpansPackets) {
    engine_.setMaxPacketData(6);
    engine_.queueDecode({27, bytesOf("ABCDEFGHIJ"), DecodeForm::MultiPacket});
    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    const std::uint8_t first[] = {kMultiPacketType, 27, 2, 1, 0, 10, 'A', 'B', 'C', 'D', 'E', 'F'};
    EXPECT_EQ(host_.readAll(), makePacket(kDecodeData, kEngineSource, kStatusMore, first));
    const std::uint8_t second[] = {kMultiPacketType, 'G', 'H', 'I', 'J'};
    EXPECT_EQ(exchange(kAckBetweenPackets),
              makePacket(kDecodeData, kEngineSource, kStatusLast, second));
}

TEST(PacketEngineMultiPacket, LaserRecordIsOnePacketOfParts) {
    PacketEngine engine(PacketKind::LongRange1D955);
    VirtualHost host(engine, 9600);
    engine.setMaxPacketData(3);
    engine.queueDecode({15, bytesOf("ABCDE"), DecodeForm::MultiPacket});
    ASSERT_EQ(host.exchange(command(kStartDecode)), kAckPacket);
    const std::uint8_t record[] = {
        kMultiPacketType, 15, 2, 0, 0, 3, 'A', 'B', 'C', 0, 0, 2, 'D', 'E'};
    EXPECT_EQ(host.readAll(), makePacket(kDecodeData, kEngineSource, kStatusLast, record));
}

TEST_F(PacketEngineTest, SpoiledDecodes) {
    // Each fault spoils the next message, here the decode that follows the trigger's ACK.
    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    engine_.misbehave(Fault::StrayBytes);
    engine_.queueDecode({1, bytesOf("A")});
    const std::uint8_t decode[] = {1, 'A'};
    const Bytes clean = makePacket(kDecodeData, kEngineSource, kStatusLast, decode);
    const Bytes stray = host_.readAll();
    ASSERT_EQ(stray.size(), clean.size() + 2);
    EXPECT_TRUE(std::equal(clean.begin(), clean.end(), stray.begin() + 2));

    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    engine_.misbehave(Fault::Nak);
    engine_.queueDecode({1, bytesOf("A")});
    EXPECT_EQ(host_.readAll(), nak(kNakDenied));

    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    engine_.misbehave(Fault::Truncate);
    engine_.queueDecode({1, bytesOf("A")});
    EXPECT_EQ(host_.readAll(), Bytes(clean.begin(), clean.begin() + clean.size() / 2));
}

TEST_F(PacketEngineTest, ImageTransferWithAcknowledgementAndResend) {
    Bytes image(600);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7);
    engine_.setImage(image);
    const std::uint8_t captureMode[] = {1};
    ASSERT_EQ(exchange(makePacket(kImagerMode, 0x00, 0, captureMode)), kAckPacket);
    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);

    const Bytes first = host_.readAll();
    ASSERT_TRUE(checksumOk(first));
    ASSERT_EQ(first[1], kImageData);
    EXPECT_EQ(first[3], kStatusMore);
    const Bytes preamble(first.begin() + 4, first.begin() + 14);
    EXPECT_EQ(preamble, (Bytes{0, 0, 0x02, 0x58, 1, 0, 0, 0, 0, 0}));  // 600 bytes, format 1
    Bytes received(first.begin() + 14, first.end() - 2);

    engine_.misbehave(Fault::DropPacket);
    EXPECT_TRUE(exchange(kAckBetweenPackets).empty());  // lost on the way
    const std::uint8_t resendCause[] = {kNakResend};
    for (Bytes packet = exchange(command(kNak, resendCause)); !packet.empty();
         packet = exchange(kAckBetweenPackets)) {
        ASSERT_TRUE(checksumOk(packet));
        received.insert(received.end(), packet.begin() + 4, packet.end() - 2);
    }
    EXPECT_EQ(received, image);
    EXPECT_EQ(engine_.imagePacketsSent(), 4u);                  // three packets, one of them twice
    EXPECT_TRUE(exchange(command(kNak, resendCause)).empty());  // nothing left to resend
}

TEST_F(PacketEngineTest, ASnapshotEndsImagerModeEvenWhenCutShort) {
    engine_.setImage(Bytes(1000, 0xAB));
    const std::uint8_t captureMode[] = {1};
    ASSERT_EQ(exchange(makePacket(kImagerMode, 0x00, 0, captureMode)), kAckPacket);
    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    ASSERT_FALSE(host_.readAll().empty());
    EXPECT_EQ(engine_.imagerMode(), 0);

    // The host stops after the first packet; the next trigger decodes again.
    ASSERT_EQ(exchange(command(kStopDecode)), kAckPacket);
    EXPECT_TRUE(exchange(kAckBetweenPackets).empty());
    engine_.queueDecode({1, bytesOf("A")});
    ASSERT_EQ(exchange(command(kStartDecode)), kAckPacket);
    const std::uint8_t decode[] = {1, 'A'};
    EXPECT_EQ(host_.readAll(), makePacket(kDecodeData, kEngineSource, kStatusLast, decode));
}

TEST(PacketEngineImage, LasersRefuseImagerMode) {
    PacketEngine engine(PacketKind::LongRange1D);
    VirtualHost host(engine, 9600);
    const std::uint8_t captureMode[] = {1};
    EXPECT_EQ(host.exchange(makePacket(kImagerMode, 0x00, 0, captureMode)), nak(kNakDenied));
    EXPECT_EQ(engine.imagerMode(), 0);
}

TEST_F(PacketEngineTest, ClearToSendFollowsRequestToSend) {
    host_.port.setRts(true);
    EXPECT_EQ(host_.port.cts(), true);
    host_.port.setRts(false);
    EXPECT_EQ(host_.port.cts(), false);
    engine_.setModemLines(false);
    EXPECT_EQ(host_.port.cts(), std::nullopt);
}

}  // namespace
}  // namespace tessel::sim
