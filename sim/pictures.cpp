#include "sim/pictures.h"

namespace tessel::sim {

platform::Picture scene() {
    constexpr int kWidth = 64, kHeight = 48;
    platform::Picture picture{kWidth, kHeight, 1, {}};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int bars = (x / 8) % 2 == 0 ? 0 : 60;
            picture.pixels.push_back(
                static_cast<std::uint8_t>(x * 2 + bars + (y < kHeight / 2 ? 0 : 80)));
        }
    }
    return picture;
}

std::vector<std::uint8_t> sceneFile(platform::PictureFormat format) {
    return platform::jpegImaging()
        .encode(scene(), format, 1 << 20)
        .value_or(std::vector<std::uint8_t>{});
}

}  // namespace tessel::sim
