#include "browser/reader/engine_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace tessel::reader {
namespace {

using platform::Millis;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// An engine decode packet without its checksum: L F3 00 status type data.
Bytes decodePacket(std::uint8_t status, std::uint8_t type, const Bytes& data) {
    Bytes packet{static_cast<std::uint8_t>(5 + data.size()), 0xF3, 0x00, status, type};
    packet.insert(packet.end(), data.begin(), data.end());
    return packet;
}

TEST(PacketFraming, ChecksumIsTwosComplementOfSumHighByteFirst) {
    const Bytes revision{0x04, 0xA3, 0x04, 0x00};
    EXPECT_EQ(packetChecksum(revision), 0xFF55);
    EXPECT_EQ(withChecksum(revision), (Bytes{0x04, 0xA3, 0x04, 0x00, 0xFF, 0x55}));
    // The sum wraps at 16 bits; a packet summing to zero has checksum zero.
    EXPECT_EQ(packetChecksum(Bytes(258, 0xFF)), 0xFF02);
    EXPECT_EQ(packetChecksum(Bytes{}), 0);
}

TEST(PacketFraming, CommandEncoders) {
    const Bytes ccd = frameCcdCommand("VER");
    ASSERT_EQ(ccd.size(), 35u);
    EXPECT_EQ(Bytes(ccd.begin(), ccd.begin() + 30), Bytes(30, 0xFF));
    EXPECT_EQ(Bytes(ccd.begin() + 30, ccd.end()), (Bytes{0x1B, 'V', 'E', 'R', 0x0D}));

    EXPECT_EQ(encodeSpeedSwitch(115200), (Bytes{0x07, 0xC6, 0x04, 0x08, 0xFF, 0x9C, 0x0B}));
    EXPECT_EQ(encodeSpeedSwitch(38400).back(), 0x08);
    EXPECT_EQ(encodeSpeedSwitch(19200).back(), 0x06);
    EXPECT_EQ(encodeImagerMode(1), (Bytes{0x05, 0xF7, 0x00, 0x00, 0x01}));
}

TEST(PacketFraming, NegativeAckNeedsFiveBytesFromTheEngine) {
    EXPECT_TRUE(isNegativeAck(Bytes{0x05, 0xD1, 0x00, 0x00, 0x01}));
    EXPECT_FALSE(isNegativeAck(Bytes{0x05, 0xD1, 0x00, 0x00}));
    EXPECT_FALSE(isNegativeAck(Bytes{0x05, 0xD1, 0x04, 0x00, 0x01}));  // the host's resend
    EXPECT_FALSE(isNegativeAck(Bytes{0x04, 0xD0, 0x00, 0x00, 0x00}));
}

struct ReplyCase {
    ReaderType type;
    Bytes input;
    ReplyStatus status;
    Bytes reply;
};

TEST(ReadReply, EachFramingStopsWhereItsReplyEnds) {
    const ReplyCase cases[] = {
        {ReaderType::CcdLaser, bytesOf("VER1\rX"), ReplyStatus::Complete, bytesOf("VER1")},
        {ReaderType::CcdLaser, bytesOf("\x1bNG\r"), ReplyStatus::Complete, bytesOf("NG")},
        {ReaderType::CcdLaser, bytesOf("A\x1b\r"), ReplyStatus::Complete, bytesOf("A\x1b")},
        {ReaderType::CcdLaser, bytesOf("NO END"), ReplyStatus::TimedOut, bytesOf("NO END")},
        {ReaderType::RfidText, Bytes{'O', 0, 'K', '\r', '\n', 'Z'}, ReplyStatus::Complete,
         bytesOf("OK")},
        {ReaderType::RfidText, bytesOf("A\rB\n"), ReplyStatus::Complete, bytesOf("A\rB")},
        {ReaderType::RfidText, bytesOf("OK\r"), ReplyStatus::TimedOut, bytesOf("OK\r")},
        {ReaderType::RfidFrame,
         bytesOf("\x02"
                 "abc"),
         ReplyStatus::Complete,
         bytesOf("\x02"
                 "abc")},
        {ReaderType::RfidFrame, Bytes{}, ReplyStatus::TimedOut, Bytes{}},
        {ReaderType::Imager2D, Bytes{0x04, 0xD0, 0x00, 0x00, 0xFF, 0x2C}, ReplyStatus::Complete,
         Bytes{0x04, 0xD0, 0x00, 0x00}},
        {ReaderType::LongRange1D, Bytes{0x06, 0xA4, 0x00}, ReplyStatus::TimedOut,
         Bytes{0x06, 0xA4, 0x00}},
        {ReaderType::Imager2D4507, Bytes{0x00, 0x01}, ReplyStatus::Malformed, Bytes{0x00}},
    };
    for (const ReplyCase& c : cases) {
        BufferSource source(c.input);
        Bytes out{0xEE};
        EXPECT_EQ(readReply(source, c.type, Millis(1000), out), c.status)
            << "type " << static_cast<int>(c.type);
        EXPECT_EQ(out, c.reply) << "type " << static_cast<int>(c.type);
    }
}

TEST(ReadReply, PacketReplyTakesItsChecksumOffTheLineButNotIntoTheReply) {
    const Bytes input{0x04, 0xD0, 0x00, 0x00, 0xFF, 0x2C};
    BufferSource source(input);
    Bytes out;
    ASSERT_EQ(readReply(source, ReaderType::Imager2D, Millis(1000), out), ReplyStatus::Complete);
    EXPECT_EQ(source.consumed(), 6u);
}

TEST(ReadReply, EndlessTextIsRefusedAtTheLimit) {
    const Bytes input(kMaxReplyBytes + 10, 'x');
    BufferSource source(input);
    Bytes out;
    EXPECT_EQ(readReply(source, ReaderType::CcdLaser, Millis(1000), out), ReplyStatus::Malformed);
    EXPECT_EQ(out.size(), kMaxReplyBytes);
}

ReplyStatus decode(ReaderType type, const Bytes& input, Bytes& out, int* acks = nullptr) {
    BufferSource source(input);
    const ReplyStatus status = readDecodeMessage(source, type, Millis(3000), out);
    if (acks) *acks = source.acknowledgements();
    return status;
}

TEST(DecodeMessage, SinglePacketAndStrayBytes) {
    Bytes out;
    const Bytes single = concat({decodePacket(0, 0x01, bytesOf("ABC")), {0xFE, 0x9A}});
    EXPECT_EQ(decode(ReaderType::Imager2D, single, out), ReplyStatus::Complete);
    EXPECT_EQ(out, (Bytes{0x01, 'A', 'B', 'C'}));

    // Two stray bytes before the length: the fourth byte is the opcode.
    const Bytes stray = concat({{0x55, 0x66}, decodePacket(0, 0x03, bytesOf("xy"))});
    EXPECT_EQ(decode(ReaderType::LongRange1D, stray, out), ReplyStatus::Complete);
    EXPECT_EQ(out, (Bytes{0x03, 'x', 'y'}));

    // One stray byte puts the opcode third: not a decode.
    const Bytes oneStray = concat({{0x55}, decodePacket(0, 0x03, bytesOf("xy"))});
    EXPECT_EQ(decode(ReaderType::LongRange1D, oneStray, out), ReplyStatus::Malformed);

    const Bytes truncated = decodePacket(0, 0x01, bytesOf("ABCDEF"));
    EXPECT_EQ(decode(ReaderType::Imager2D, Bytes(truncated.begin(), truncated.begin() + 7), out),
              ReplyStatus::TimedOut);
    EXPECT_EQ(decode(ReaderType::Imager2D, Bytes{0x03, 0xF3, 0x00, 0x00}, out),
              ReplyStatus::Malformed);
    EXPECT_EQ(decode(ReaderType::Imager2D, Bytes{0x07}, out), ReplyStatus::TimedOut);
}

TEST(DecodeMessage, EngineRefusalComesBackAsItsFiveBytes) {
    Bytes out;
    EXPECT_EQ(decode(ReaderType::Imager2D, Bytes{0x05, 0xD1, 0x00, 0x00, 0x02, 0xFF, 0x25}, out),
              ReplyStatus::Complete);
    EXPECT_EQ(out, (Bytes{0x05, 0xD1, 0x00, 0x00, 0x02}));
}

TEST(DecodeMessage, StatusTwoContinuationGathersEveryPacket) {
    const Bytes clean = concat({decodePacket(2, 0x1B, bytesOf("ab")),
                                {0x11, 0x22},
                                decodePacket(2, 0x1B, bytesOf("cd")),
                                {0x33, 0x44},
                                decodePacket(0, 0x1B, bytesOf("e")),
                                {0x55, 0x66},
                                bytesOf("LATER")});
    Bytes out;
    int acks = 0;
    EXPECT_EQ(decode(ReaderType::Imager2D, clean, out, &acks), ReplyStatus::Complete);
    EXPECT_EQ(out, concat({{0x1B}, bytesOf("abcde")}));
    EXPECT_EQ(acks, 2);  // after the first and the second packet; the last ends the message

    // Silence or a foreign opcode in the loop ends the message with what came.
    EXPECT_EQ(decode(ReaderType::Imager2D,
                     concat({decodePacket(2, 0x1B, bytesOf("ab")), Bytes{0x05, 0xD0}}), out),
              ReplyStatus::Complete);
    EXPECT_EQ(out, concat({{0x1B}, bytesOf("ab")}));
    EXPECT_EQ(decode(ReaderType::Imager2D,
                     concat({decodePacket(2, 0x1B, bytesOf("ab")), Bytes{0x09, 0xF3, 0x00}}), out),
              ReplyStatus::Complete);
    EXPECT_EQ(out, concat({{0x1B}, bytesOf("ab")}));
}

TEST(DecodeMessage, LongRangeRecordDropsPartHeadersAndToleratesAnEarlyEnd) {
    // 99, real type 0x08, part count 2, then parts as 00, 2-byte length, data.
    const Bytes body{0x08, 0x02, 0x00, 0x00, 0x02, 'a', 'b', 0x00, 0x00, 0x01, 'c'};
    const Bytes record = decodePacket(0, 0x99, body);
    Bytes out;
    EXPECT_EQ(decode(ReaderType::LongRange1D955, concat({record, {0x12, 0x34}}), out),
              ReplyStatus::Complete);
    EXPECT_EQ(out, (Bytes{0x08, 'a', 'b', 'c'}));

    // The record stops after its first part: what came is the decode.
    EXPECT_EQ(decode(ReaderType::LongRange1D, Bytes(record.begin(), record.begin() + 12), out),
              ReplyStatus::Complete);
    EXPECT_EQ(out, (Bytes{0x08, 'a', 'b'}));
}

TEST(DecodeMessage, ImagerRecordReadsPacketsUntilStatusZero) {
    // First packet: 99, real type, packet count, number, 2-byte total, data.
    const Bytes first = decodePacket(2, 0x99, {0x11, 0x02, 0x01, 0x00, 0x05, 'a', 'b', 'c'});
    const Bytes second = decodePacket(0, 0x99, bytesOf("de"));
    Bytes out;
    int acks = 0;
    EXPECT_EQ(decode(ReaderType::Imager2D4507, concat({first, {0xAA, 0xBB}, second}), out, &acks),
              ReplyStatus::Complete);
    EXPECT_EQ(out, concat({{0x11}, bytesOf("abcde")}));
    EXPECT_EQ(acks, 1);

    // A later packet that never comes fails the message.
    EXPECT_EQ(decode(ReaderType::Imager2D, first, out), ReplyStatus::TimedOut);
}

TEST(ImagePacket, FirstPacketIsFoundAfterNoiseAndAnnouncesTheSize) {
    Bytes data{0x00, 0x00, 0x01, 0x2C, 0x01, 0, 0, 0, 0, 0, 'J', 'P'};
    Bytes packet{static_cast<std::uint8_t>(4 + data.size()), 0xB1, 0x00, 0x02};
    packet.insert(packet.end(), data.begin(), data.end());
    // 0xB1 as the very first byte has no length before it and is skipped; after 0x00 it would
    // announce an impossible length.
    const Bytes noisy = concat({{0xB1, 0x00, 0xB1}, packet});
    BufferSource source(noisy);
    Bytes out;
    EXPECT_EQ(readImageFirstPacket(source, Millis(3000), out), ReplyStatus::Malformed);

    const Bytes afterNoise = concat({{0x7F, 0x01}, packet});
    BufferSource clean(afterNoise);
    ASSERT_EQ(readImageFirstPacket(clean, Millis(3000), out), ReplyStatus::Complete);
    EXPECT_EQ(out, data);
    EXPECT_EQ(imageTotalSize(out), 300u);
    EXPECT_EQ(imageTotalSize(Bytes(10, 0)), std::nullopt);
}

}  // namespace
}  // namespace tessel::reader
