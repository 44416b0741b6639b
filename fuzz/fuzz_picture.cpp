// The imaging service fed arbitrary picture files, as an engine could send them: decode, turn
// and encode again within the received size.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/imaging.h"

using namespace tessel::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    Imaging& imaging = jpegImaging();
    imaging.turnJpegLossless(file, size);
    if (const auto picture = imaging.decode(file)) {
        if (std::size_t(picture->width) * std::size_t(picture->height) <= 256 * 256) {
            imaging.encode(rotate180(*picture), PictureFormat::Bmp, size);
            imaging.encode(rotate180(*picture), PictureFormat::Jpeg, size);
        }
    }
    return 0;
}
