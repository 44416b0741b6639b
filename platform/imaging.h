#pragma once
// The imaging service: decode a captured picture (JPEG or BMP), turn it by 180 degrees, and
// encode it again within a size budget.
//
// Every operation is pure over bytes and reports failure as nullopt; nothing is thrown.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessel::platform {

enum class PictureFormat { Jpeg, Bmp };

// Pixels row by row from the top, channels bytes each (1 grey, 3 RGB).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> pixels;

    bool operator==(const Picture&) const = default;
};

// The picture turned by 180 degrees.
Picture rotate180(const Picture& picture);

class Imaging {
  public:
    virtual ~Imaging() = default;
    // A JPEG or BMP file's picture; nullopt for anything else or a damaged file.
    virtual std::optional<Picture> decode(std::span<const std::uint8_t> file) = 0;
    // The picture as a file of format, at most maxBytes long (JPEG lowers its quality until it
    // fits); nullopt when it cannot fit.
    virtual std::optional<std::vector<std::uint8_t>> encode(const Picture& picture,
                                                            PictureFormat format,
                                                            std::size_t maxBytes) = 0;
    // A JPEG turned by 180 degrees without re-encoding its pixels, at most maxBytes long;
    // nullopt when the file is not a JPEG or its size is not whole blocks (the turn would
    // move the partial edge blocks).
    virtual std::optional<std::vector<std::uint8_t>> turnJpegLossless(
        std::span<const std::uint8_t> file, std::size_t maxBytes) = 0;
};

// The imaging service on libjpeg-turbo and a BMP codec of our own.
Imaging& jpegImaging();

}  // namespace tessel::platform
