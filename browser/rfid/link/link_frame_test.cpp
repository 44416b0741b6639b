#include "browser/rfid/link/link_frame.h"

#include <gtest/gtest.h>

namespace tessel::rfid {
namespace {

TEST(LinkFrameTest, FormatAStuffsSpecialBytesAndSumsThemOnce) {
    // LEN is 3 and the parameter is 0x03: both go out behind 0x10, the checksum counts each once.
    EXPECT_EQ(encodeFrameA(Bytes{0x11, 0x03}, std::nullopt),
              (Bytes{0x02, 0x10, 0x03, 0x11, 0x10, 0x03, 0x17, 0x03}));
    // 0x01 is plain in format A but escaped in format B.
    EXPECT_EQ(stuff(Bytes{0x01, 0x02, 0x10}, Format::A), (Bytes{0x01, 0x10, 0x02, 0x10, 0x10}));
    EXPECT_EQ(stuff(Bytes{0x01}, Format::B), (Bytes{0x10, 0x01}));
}

TEST(LinkFrameTest, ModeOneRotatesTheBodyBySOneModuloItsLength) {
    // Body 04 21 05 06 with S1 = 6: rotated by 2, then S1 and S2.
    const Bytes frame = encodeFrameA(Bytes{0x21, 0x05, 0x06}, LinkBytes{6, 0x40});
    EXPECT_EQ(frame, (Bytes{0x02, 0x05, 0x06, 0x04, 0x21, 0x06, 0x40, 0x76, 0x03}));
    // The handshake goes out plain even with link bytes at hand.
    EXPECT_EQ(encodeFrameA(Bytes{kCmdHandshake}, LinkBytes{6, 0x40}),
              (Bytes{0x02, 0x10, 0x02, 0x17, 0x19, 0x03}));
    EXPECT_EQ(rotateRight(rotateLeft(Bytes{1, 2, 3, 4, 5}, 7), 7), (Bytes{1, 2, 3, 4, 5}));
}

TEST(LinkFrameTest, FormatBCarriesLengthAddressModeAndTrailer) {
    EXPECT_EQ(encodeFrameB(Bytes{0x19}, 1, 1, LinkBytes{0x22, 0x33}),
              (Bytes{0x01, 0x00, 0x07, 0x10, 0x01, 0x10, 0x01, 0x19, 0x22, 0x33, 0x77, 0x03}));
    // The handshake always has mode byte 0 and trailer 00 00; 0xF6 has no trailer.
    EXPECT_EQ(
        encodeFrameB(Bytes{kCmdHandshake, 2}, 1, 2, LinkBytes{0x22, 0x33}),
        (Bytes{0x01, 0x00, 0x08, 0x10, 0x01, 0x00, 0x17, 0x10, 0x02, 0x00, 0x00, 0x22, 0x03}));
    EXPECT_EQ(encodeFrameB(Bytes{kCmdUnlinked}, 1, 1, LinkBytes{0x22, 0x33}),
              (Bytes{0x01, 0x00, 0x05, 0x10, 0x01, 0x00, 0xF6, 0xFC, 0x03}));
}

TEST(LinkFrameTest, FormatARepliesAreCheckedAndUnrotated) {
    // The module's replies are framed like requests.
    const Bytes plain = encodeFrameA(Bytes{0x21, 0xAA, 0x03, 0x10}, std::nullopt);
    auto reply = decodeReplyA(plain, {});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, 0x21);
    EXPECT_EQ(reply->data, (Bytes{0xAA, 0x03, 0x10}));

    Bytes corrupt = plain;
    corrupt[corrupt.size() - 2] ^= 1;
    EXPECT_FALSE(decodeReplyA(corrupt, {}));

    const LinkBytes link{9, 0x55};
    const Bytes linked = encodeFrameA(Bytes{0x21, 1, 2, 3, 4, 5}, link);
    reply = decodeReplyA(linked, {true, link});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_FALSE(decodeReplyA(linked, {true, LinkBytes{9, 0x56}}));
    // A handshake reply's link bytes are not compared; the first one still unrotates the body.
    EXPECT_TRUE(decodeReplyA(linked, {true, std::nullopt}));

    // LEN beyond the bytes that arrived, and no frame at all.
    EXPECT_FALSE(decodeReplyA(Bytes{0x02, 0x09, 0x21, 0x2A, 0x03}, {}));
    EXPECT_FALSE(decodeReplyA(Bytes{0x02, 0x03}, {}));
    EXPECT_FALSE(decodeReplyA(Bytes{0x05, 0x06}, {}));
}

TEST(LinkFrameTest, FormatBRepliesCheckLengthAndAddress) {
    // LEN ADDR MODE CMD STATUS data S1 S2
    const Bytes frame = encodeFrameB(Bytes{0x21, 0x00, 7, 8}, 1, 1, LinkBytes{1, 2});
    auto reply = decodeReplyB(frame, 1, false);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, 0x21);
    EXPECT_EQ(reply->status, 0);
    EXPECT_EQ(reply->data, (Bytes{7, 8}));
    EXPECT_FALSE(decodeReplyB(frame, 2, false));

    // LEN one short of the content.
    Bytes content{0x00, 0x07, 0x01, 0x01, 0x21, 0x00, 0x00, 0x00};
    Bytes bad{0x01};
    const Bytes stuffed = stuff(content, Format::B);
    bad.insert(bad.end(), stuffed.begin(), stuffed.end());
    bad.push_back(checksum(content));
    bad.push_back(0x03);
    EXPECT_FALSE(decodeReplyB(bad, 1, false));

    const Bytes unlinked = encodeFrameB(Bytes{kCmdUnlinked, 0x00, 5}, 1, 0, std::nullopt);
    reply = decodeReplyB(unlinked, 1, true);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, (Bytes{5}));
}

TEST(LinkFrameTest, LinkWordsFollowTheKeyAndAdvanceModulo32Bits) {
    const std::array<std::uint8_t, 8> r{1, 2, 3, 4, 5, 6, 7, 8};
    LinkState link = deriveLink(r, LinkKey{0x10, 0x20, 0x30, 0x40});
    EXPECT_EQ(link.a, (std::array<std::uint8_t, 4>{0x33, 0x22, 0x48, 0x26}));
    EXPECT_EQ(link.b, (std::array<std::uint8_t, 4>{0x11, 0x15, 0x37, 0x44}));
    EXPECT_EQ(link.bytes, (LinkBytes{0x26, 0x51}));  // B0 odd

    advanceLink(link);  // 0x44371511 + 0x26482233
    EXPECT_EQ(link.b, (std::array<std::uint8_t, 4>{0x44, 0x37, 0x7F, 0x6A}));
    EXPECT_EQ(link.bytes, (LinkBytes{0x48, 0x2E}));  // B0 even

    LinkState wrap;
    wrap.a = {1, 0, 0, 0};
    wrap.b = {0xFF, 0xFF, 0xFF, 0xFF};
    advanceLink(wrap);
    EXPECT_EQ(wrap.b, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST(LinkFrameTest, KeyTextGivesFourHexPairsOrTheDefaultKey) {
    EXPECT_EQ(parseKeyText("0A1b2C3dFF"), (LinkKey{0x0A, 0x1B, 0x2C, 0x3D}));
    EXPECT_EQ(parseKeyText("0G1b2C 3"), (LinkKey{0x00, 0x1B, 0x2C, 0x00}));
    EXPECT_EQ(parseKeyText("1234567"), kDefaultKey);
    EXPECT_EQ(parseKeyText(""), kDefaultKey);
}

TEST(LinkFrameTest, CollectorStopsAtTheUnescapedEndAndBoundsTheFrame) {
    FrameCollector collector(kStartA);
    for (std::uint8_t b : Bytes{0x03, 0x55, 0x02, 0x10, 0x03, 0x04}) {
        EXPECT_EQ(collector.push(b), FrameCollector::State::Collecting);
    }
    EXPECT_EQ(collector.push(0x03), FrameCollector::State::Complete);

    FrameCollector endless(kStartA);
    FrameCollector::State state = FrameCollector::State::Collecting;
    for (std::size_t i = 0; i <= kMaxFrame && state == FrameCollector::State::Collecting; ++i) {
        state = endless.push(0x02);
    }
    EXPECT_EQ(state, FrameCollector::State::Overflow);
    EXPECT_EQ(endless.bytes().size(), kMaxFrame + 1);
}

// Bytes before a reply may hold an escaped start byte (noise, or the tail of an earlier reply):
// the frame starts at the first start byte that no 0x10 escapes.
TEST(LinkFrameTest, EscapedStartBytesBeginNoFrame) {
    for (const Format format : {Format::A, Format::B}) {
        const std::uint8_t start = format == Format::A ? kStartA : kStartB;
        const Bytes frame = format == Format::A
                                ? encodeFrameA(Bytes{0x11, 0x08}, std::nullopt)
                                : encodeFrameB(Bytes{0x11, 0x08}, 0, 0, std::nullopt);
        Bytes raw{kEscape, start, 0xBB};
        raw.insert(raw.end(), frame.begin(), frame.end());

        FrameCollector collector(start);
        FrameCollector::State state = FrameCollector::State::Collecting;
        for (std::uint8_t b : raw) state = collector.push(b);
        EXPECT_EQ(state, FrameCollector::State::Complete) << int(format);
        EXPECT_EQ(unframe(raw, start), unframe(frame, start)) << int(format);
        EXPECT_TRUE(unframe(raw, start)) << int(format);
    }
    // An escape before the start byte is not carried into the frame.
    EXPECT_EQ(unframe(Bytes{0x10, 0x10, 0x02, 0x05, 0x05, 0x03}, kStartA), (Bytes{0x05}));
}

TEST(LinkFrameTest, TypeAAnswerSplitsUidAndMarksItsEnd) {
    auto answer = parseTypeA(Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0x04, 0x00, 0x08});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->uid, (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(answer->answerToRequest, 0x0004);
    EXPECT_EQ(answer->selectAcknowledge, 0x08);
    EXPECT_EQ(answer->handOver[4], kUidMarker);
    EXPECT_EQ(answer->handOver[5], 0);

    // Six data bytes: a 4-byte UID with the fixed answer to request.
    answer = parseTypeA(Bytes{1, 2, 3, 4, 0x44, 0x99});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->uid, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(answer->answerToRequest, 0x0004);
    EXPECT_EQ(answer->selectAcknowledge, 0);

    // A UID too long for the hand-over is cut so that the marker still fits.
    Bytes longUid(40, 0x11);
    longUid.insert(longUid.end(), {0x44, 0x00, 0x00});
    answer = parseTypeA(longUid);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->uid.size(), 40u);
    EXPECT_EQ(answer->handOver[kHandOverSize - 2], 0x11);
    EXPECT_EQ(answer->handOver[kHandOverSize - 1], kUidMarker);

    EXPECT_FALSE(parseTypeA(Bytes{0x04, 0x00}));
}

}  // namespace
}  // namespace tessel::rfid
