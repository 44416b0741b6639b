#include "platform/imaging.h"

#include <gtest/gtest.h>

namespace tessel::platform {
namespace {

// A picture whose every pixel differs from its 180-degree partner.
Picture gradient(int width, int height, int channels) {
    Picture p{width, height, channels, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c) {
                p.pixels.push_back(
                    static_cast<std::uint8_t>(x * 8 + c * 40 + (y < height / 2 ? 0 : 100)));
            }
        }
    }
    return p;
}

// Mean absolute difference of two pictures of one shape.
double difference(const Picture& a, const Picture& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(a.pixels[i] - b.pixels[i]);
    return sum / static_cast<double>(a.pixels.size());
}

TEST(Imaging, RotateTurnsPixelsAndTwiceGivesThemBack) {
    const Picture p = gradient(3, 2, 3);
    const Picture turned = rotate180(p);
    EXPECT_EQ(std::vector(turned.pixels.begin(), turned.pixels.begin() + 3),
              std::vector(p.pixels.end() - 3, p.pixels.end()));
    EXPECT_EQ(rotate180(turned), p);
}

TEST(Imaging, BmpRoundTripsExactlyInGreyAndColour) {
    for (int channels : {1, 3}) {
        const Picture p = gradient(5, 3, channels);  // rows need padding
        const auto file = jpegImaging().encode(p, PictureFormat::Bmp, 1 << 20);
        ASSERT_TRUE(file);
        EXPECT_EQ(jpegImaging().decode(*file), p);
        EXPECT_FALSE(jpegImaging().encode(p, PictureFormat::Bmp, file->size() - 1));
    }
}

TEST(Imaging, JpegTurnsLosslesslyOnWholeBlocksAndFitsItsBudget) {
    const Picture p = gradient(32, 16, 3);
    const auto file = jpegImaging().encode(p, PictureFormat::Jpeg, 1 << 20);
    ASSERT_TRUE(file);
    const auto decoded = jpegImaging().decode(*file);
    ASSERT_TRUE(decoded);
    const auto turned = jpegImaging().turnJpegLossless(*file, 1 << 20);
    ASSERT_TRUE(turned);
    EXPECT_FALSE(jpegImaging().turnJpegLossless(*file, turned->size() - 1));
    const auto back = jpegImaging().decode(*turned);
    ASSERT_TRUE(back);
    EXPECT_LT(difference(*back, rotate180(*decoded)), 1.0);

    // 20 × 10 is not whole blocks: no lossless turn.
    const auto odd = jpegImaging().encode(gradient(20, 10, 3), PictureFormat::Jpeg, 1 << 20);
    ASSERT_TRUE(odd);
    EXPECT_FALSE(jpegImaging().turnJpegLossless(*odd, 1 << 20));
}

TEST(Imaging, JpegEncodeLowersQualityToFitOrGivesUp) {
    const Picture p = gradient(64, 64, 3);
    const auto best = jpegImaging().encode(p, PictureFormat::Jpeg, 1 << 20);
    ASSERT_TRUE(best);
    const auto smaller = jpegImaging().encode(p, PictureFormat::Jpeg, best->size() - 1);
    ASSERT_TRUE(smaller);
    EXPECT_LT(smaller->size(), best->size());
    EXPECT_FALSE(jpegImaging().encode(p, PictureFormat::Jpeg, 100));
}

TEST(Imaging, DamagedFilesDecodeToNothing) {
    const auto file = jpegImaging().encode(gradient(16, 16, 1), PictureFormat::Jpeg, 1 << 20);
    ASSERT_TRUE(file);
    const std::vector<std::uint8_t> cut(file->begin(), file->begin() + 20);
    EXPECT_FALSE(jpegImaging().decode(cut));
    EXPECT_FALSE(jpegImaging().turnJpegLossless(cut, 1 << 20));
    const auto bmp = jpegImaging().encode(gradient(4, 4, 3), PictureFormat::Bmp, 1 << 20);
    EXPECT_FALSE(jpegImaging().decode(std::span(*bmp).first(bmp->size() - 1)));
    EXPECT_FALSE(jpegImaging().decode(std::vector<std::uint8_t>{'B', 'M'}));
}

}  // namespace
}  // namespace tessel::platform
