#include "sim/tag_models.h"

#include <gtest/gtest.h>

namespace tessel::sim {
namespace {

TEST(TagModelsTest, MifareSectorsTrailersAndKeys) {
    EXPECT_EQ(MifareClassic::trailerOf(0), 3u);
    EXPECT_EQ(MifareClassic::trailerOf(127), 127u);
    EXPECT_EQ(MifareClassic::trailerOf(128), 143u);  // 4K: sectors of 16 blocks from 128 on
    EXPECT_EQ(MifareClassic::trailerOf(250), 255u);

    MifareClassic tag(MifareClassic::Kind::S50, {0x01, 0x02, 0x04, 0x08});
    EXPECT_EQ(tag.blockCount(), 64u);
    const auto key = MifareClassic::kTransportKey;
    auto maker = tag.read(0, 0, key);
    ASSERT_TRUE(maker);
    EXPECT_EQ((*maker)[4], 0x0F);  // check byte of the UID
    EXPECT_FALSE(tag.write(0, 0, key, {}));
    EXPECT_FALSE(tag.read(0, 64, key));

    // New keys written into the trailer lock out the old one; key A reads back as zeros.
    MifareClassic::Block trailer{};
    const MifareClassic::Key keyA{1, 1, 1, 1, 1, 1};
    const MifareClassic::Key keyB{2, 2, 2, 2, 2, 2};
    std::copy(keyA.begin(), keyA.end(), trailer.begin());
    std::copy(keyB.begin(), keyB.end(), trailer.begin() + 10);
    ASSERT_TRUE(tag.write(1, 7, key, trailer));
    EXPECT_FALSE(tag.read(0, 5, key));
    EXPECT_TRUE(tag.read(0, 5, keyA));
    auto back = tag.read(1, 7, keyB);
    ASSERT_TRUE(back);
    EXPECT_EQ((*back)[0], 0);
    EXPECT_EQ((*back)[10], 2);
    EXPECT_FALSE(tag.read(2, 5, keyA));  // no such key type
}

TEST(TagModelsTest, UltralightReadsFourPagesAndKeepsItsUid) {
    Ultralight tag({0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    ASSERT_TRUE(tag.write(15, {9, 9, 9, 9}));
    auto pages = tag.read(14);
    ASSERT_TRUE(pages);
    EXPECT_EQ((*pages)[4], 9);      // page 15
    EXPECT_EQ((*pages)[8], 0x04);   // page 0 after the wrap
    EXPECT_EQ((*pages)[12], 0x33);  // page 1
    EXPECT_FALSE(tag.write(1, {0, 0, 0, 0}));
    EXPECT_FALSE(tag.write(16, {0, 0, 0, 0}));
    EXPECT_FALSE(tag.read(16));
}

TEST(TagModelsTest, SrTagsKeepTheirUidAndBlockSize) {
    SrTag sr176(SrTag::Kind::SR176, 0x1D, 0x1122334455667788);
    EXPECT_EQ(sr176.readBlock(0), (TagBytes{0x88, 0x77}));
    EXPECT_EQ(sr176.readBlock(3), (TagBytes{0x22, 0x11}));
    const std::uint8_t two[] = {1, 2};
    const std::uint8_t four[] = {1, 2, 3, 4};
    EXPECT_FALSE(sr176.writeBlock(3, two));
    EXPECT_FALSE(sr176.writeBlock(4, four));
    EXPECT_TRUE(sr176.writeBlock(15, two));
    EXPECT_FALSE(sr176.readBlock(16));

    SrTag srix(SrTag::Kind::SRIX4K, 0x07, 0x1122334455667788);
    EXPECT_EQ(srix.uid()[0], 0x88);
    EXPECT_TRUE(srix.writeBlock(127, four));
    EXPECT_EQ(srix.readBlock(127), (TagBytes{1, 2, 3, 4}));
    EXPECT_FALSE(srix.writeBlock(128, four));
}

TEST(TagModelsTest, Iso15693UidAndBlockRanges) {
    Iso15693Tag tag(Iso15693Tag::kMakerPhilips, 0x0000A1B2C3D4, 4);
    const auto uid = tag.uid();
    EXPECT_EQ(uid[0], 0xD4);
    EXPECT_EQ(uid[6], Iso15693Tag::kMakerPhilips);
    EXPECT_EQ(uid[7], 0xE0);
    const std::array<std::uint8_t, 4> data{5, 6, 7, 8};
    EXPECT_TRUE(tag.write(3, data));
    EXPECT_EQ(tag.read(2, 2), (TagBytes{0, 0, 0, 0, 5, 6, 7, 8}));
    EXPECT_FALSE(tag.read(3, 2));
    EXPECT_FALSE(tag.read(0, 0));
    EXPECT_FALSE(tag.write(4, data));
}

}  // namespace
}  // namespace tessel::sim
