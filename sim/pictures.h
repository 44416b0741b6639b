#pragma once
// The picture an imager captures when a test gives it none: a 64 × 48 grey scene whose halves
// and columns differ, so that a turned copy is told apart from the original.

#include <cstdint>
#include <vector>

#include "platform/imaging.h"

namespace tessel::sim {

platform::Picture scene();
// The scene as a file: BMP, or JPEG.
std::vector<std::uint8_t> sceneFile(platform::PictureFormat format);

}  // namespace tessel::sim
