#include "browser/rfid/tag_types.h"

#include <climits>

#include <gtest/gtest.h>

namespace tessel::rfid {
namespace {

TEST(BlockRange, ByteAddresses) {
    EXPECT_EQ(blockRange(16, 4, 20, 8), (BlockRange{5, 6, 0, 3}));
    EXPECT_EQ(blockRange(16, 4, 2, 6), (BlockRange{0, 1, 2, 3}));
    // SR176: capped at block 14, whose last byte ends the range.
    EXPECT_EQ(blockRange(6, 2, 0, 100), (BlockRange{0, 14, 0, 1}));
    EXPECT_EQ(blockRange(3, 16, 48, 16), (BlockRange{3, 3, 0, 15}));
}

TEST(BlockRange, DefaultPageSkipsMifareTrailers) {
    EXPECT_EQ(blockRange(3, 16, -1, 10), (BlockRange{4, 4, 0, 9}));
    // Four data blocks need five blocks: 7 is a trailer.
    EXPECT_EQ(blockRange(3, 16, -1, 50), (BlockRange{4, 8, 0, 1}));
    // Three data blocks fit 4, 5, 6.
    EXPECT_EQ(blockRange(3, 16, -1, 48), (BlockRange{4, 6, 0, 15}));
    EXPECT_EQ(blockRange(3, 16, -1, 96), (BlockRange{4, 10, 0, 15}));
    EXPECT_EQ(blockRange(7, 4, -1, 8), (BlockRange{7, 8, 0, 3}));
    EXPECT_EQ(blockRange(99, 4, -1, 4), (BlockRange{0, 0, 0, 3}));
}

TEST(BlockRange, RejectsEmptyAndSurvivesExtremes) {
    EXPECT_EQ(blockRange(16, 0, 0, 4), std::nullopt);
    EXPECT_EQ(blockRange(16, 4, 0, 0), std::nullopt);
    EXPECT_EQ(blockRange(16, 4, 0, -5), std::nullopt);
    const auto far = blockRange(16, 1, INT_MAX, INT_MAX);
    ASSERT_TRUE(far);
    EXPECT_EQ(far->last, 63);
    const auto huge = blockRange(3, 1, -1, INT_MAX);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->last, 255);
}

TEST(Classify, TextReaderLines) {
    auto c = classifyTextLine("MA1B2C3D4");
    EXPECT_EQ(c.code, 3);
    EXPECT_EQ(c.name, "ISO14443 Type A, Mifare family");
    EXPECT_EQ(c.uid, "A1B2C3D4");
    EXPECT_EQ(classifyTextLine("M04112233445566").code, 2);
    EXPECT_EQ(classifyTextLine("M0411223344556677").code, 4);
    EXPECT_EQ(classifyTextLine("VE007123456789ABC").code, 13);
    EXPECT_EQ(classifyTextLine("VE099123456789ABC").code, 16);
    EXPECT_EQ(classifyTextLine("S0102").code, 6);
    c = classifyTextLine("Q1234");
    EXPECT_EQ(c.code, 0);
    EXPECT_EQ(c.name, "unkonwn");
    EXPECT_EQ(c.uid, "1234");
}

TEST(Classify, ShortVLineClassifiesNothing) {
    const auto c = classifyTextLine("VE00");
    EXPECT_EQ(c.code, 0);
    EXPECT_EQ(c.name, "");
    EXPECT_EQ(c.uid, "VE00");
}

TEST(Classify, ModuleCodeByte) {
    auto c = classifyModuleTag(3, std::string("\x04") + "A1B2C3D4");
    EXPECT_EQ(c.name, "ISO14443 Type A, Mifare S50");
    EXPECT_EQ(c.uid, "A1B2C3D4");
    EXPECT_EQ(classifyModuleTag(3, std::string("\x44") + "04").code, 2);
    EXPECT_EQ(classifyModuleTag(5, std::string("\x07") + "00").code, 7);
    EXPECT_EQ(classifyModuleTag(5, std::string("\x06") + "00").code, 6);
    c = classifyModuleTag(16, std::string("\x00", 1) + "E002AABBCCDDEEFF");
    EXPECT_EQ(c.code, 9);
    EXPECT_EQ(c.name, "ISO15693, ST Microelectronics");
    EXPECT_EQ(c.uid, "E002AABBCCDDEEFF");
    EXPECT_EQ(classifyModuleTag(16, std::string("\x00", 1) + "E0").code, 0);
    EXPECT_EQ(classifyFrameTag(8, "11").name, "Tagit");
    EXPECT_EQ(classifyFrameTag(4, "11").name, "unkonwn");
}

}  // namespace
}  // namespace tessel::rfid
