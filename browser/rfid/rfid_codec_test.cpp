#include "browser/rfid/rfid_codec.h"

#include <gtest/gtest.h>

namespace tessel::rfid {
namespace {

TEST(FrameText, FixedFramesPerProtocol) {
    EXPECT_EQ(selectFrame(3), "010C00030410002101090000");
    EXPECT_EQ(selectFrame(5), "010C000304100021010C0000");
    EXPECT_EQ(selectFrame(8), "010C00030410002101130000");
    EXPECT_EQ(selectFrame(16), "010C00030410002101000000");
    EXPECT_EQ(inventoryFrame(3), "0109000304A0010000");
    EXPECT_EQ(inventoryFrame(5), "0109000304B0040000");
    EXPECT_EQ(inventoryFrame(8), "010B000304340050000000");
    EXPECT_EQ(inventoryFrame(16), "010B000304140401000000");
    EXPECT_EQ(selectFrame(0), "");
    EXPECT_EQ(inventoryFrame(4), "");
}

TEST(FrameText, BlockFramesCarryTheirLength) {
    EXPECT_EQ(blockFrame(0, kFrameRead15693, 5), "010B000304180020050000");
    EXPECT_EQ(blockFrame(0, kFrameReadTagit, 0x1F), "010B0003041800081F0000");
    const Bytes data{0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(blockFrame(kFrameOptionFlag, kFrameWrite15693, 2, data),
              "010F00030418402102DEADBEEF0000");
    EXPECT_EQ(blockFrame(0, kFrameWriteTagit, 2, data), "010F00030418002802DEADBEEF0000");
}

TEST(FrameReply, ResultPerProtocol) {
    EXPECT_EQ(frameResult(3, "xx[04A1B2C3D408]\r\n[zz]"), "04A1B2C3D4");
    EXPECT_EQ(frameResult(3, "[08]"), std::nullopt);
    EXPECT_EQ(frameResult(5, "[][][50A1B2C3D4000000]"), "50A1B2C3D4000000");
    EXPECT_EQ(frameResult(8, "[][]"), std::nullopt);
    EXPECT_EQ(frameResult(8, "[ab"), std::nullopt);
    // Empty ISO 15693 slots are skipped; the field ends at the comma or the bracket.
    EXPECT_EQ(frameResult(16, "[,40][,40][0102030405060708,3C]"), "0102030405060708");
    EXPECT_EQ(frameResult(16, "[00AABBCCDD]\r\n[,x]"), "00AABBCCDD");
    EXPECT_EQ(frameResult(16, "[,40][,40]"), std::nullopt);
    EXPECT_EQ(frameResult(16, "[00AB"), "00AB");
    EXPECT_EQ(frameResult(16, ""), std::nullopt);
    EXPECT_EQ(frameResult(0, "[00]"), std::nullopt);
}

TEST(FrameReply, Iso15693UidIsReversedAndBlockDataLosesTheFlags) {
    EXPECT_EQ(frameUid(16, "[,40][0807060504030201,3C]"), "0102030405060708");
    EXPECT_EQ(frameUid(3, "[04A1B2C3D408]"), "04A1B2C3D4");
    EXPECT_EQ(frameUid(16, "[zz,3C]"), std::nullopt);
    EXPECT_EQ(frame15693Data("[0011223344]"), (Bytes{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(frame15693Data("[00]"), std::nullopt);
    EXPECT_TRUE(frameWriteAccepted("Request mode.\r\n[00]"));
    EXPECT_TRUE(frameWriteAccepted("[00]\r\n"));
    EXPECT_FALSE(frameWriteAccepted("[01]"));
    EXPECT_FALSE(frameWriteAccepted("[00]x"));
}

TEST(FrameReply, TagitGroupShiftsFortyBitsLeftByTwo) {
    // Characters 6-15: C0 00 00 00 01 -> 00 00 00 00 with the top bits of each next byte.
    EXPECT_EQ(decodeTagitGroup("012345400000004000"), (Bytes{0x00, 0x00, 0x00, 0x01}));
    EXPECT_EQ(decodeTagitGroup("000000FFFFFFFFFF00"), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(decodeTagitGroup("000000FFFFFFFFF"), std::nullopt);
    EXPECT_EQ(decodeTagitGroup("000000FFFFZZFFFF00"), std::nullopt);
}

TEST(TextReply, ErrorCharacters) {
    EXPECT_EQ(blockReplyError('?'), 30011);
    EXPECT_EQ(blockReplyError('F'), 30003);
    EXPECT_EQ(blockReplyError('N'), 30002);
    EXPECT_EQ(blockReplyError('O'), 30004);
    EXPECT_EQ(blockReplyError('R'), 30005);
    EXPECT_EQ(blockReplyError('A'), 0);
    EXPECT_EQ(selectReplyError('A'), 30011);
    EXPECT_EQ(selectReplyError('N'), 30002);
}

TEST(Hex, DecodeStopsAtTheFirstNonDigitPair) {
    EXPECT_EQ(decodeHex("0aFf1"), (Bytes{0x0A, 0xFF}));
    EXPECT_EQ(decodeHex("12x456"), (Bytes{0x12}));
    EXPECT_EQ(encodeHex(Bytes{0x00, 0xAB}), "00AB");
    EXPECT_EQ(hex2(0x0A), "0a");
}

TEST(Version, TextAndFrameReaders) {
    EXPECT_EQ(textReaderVersion("MultiISO 1.2.5"), "1.2.5");
    EXPECT_EQ(textReaderVersion("ISO0.9v"), "");
    EXPECT_EQ(frameReaderVersion("\r\n FR Reader V2.10 \r\n"), "V2.10");
    EXPECT_EQ(frameReaderVersion("V2"), "V2");
}

}  // namespace
}  // namespace tessel::rfid
