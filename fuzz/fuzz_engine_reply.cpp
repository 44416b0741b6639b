// Reply framing and decode-message assembly fed arbitrary engine bytes. The first input byte
// picks the reader type; the rest is what the line delivers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "browser/reader/engine_codec.h"

using namespace tessel::reader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static constexpr std::array<ReaderType, 7> kTypes{
        ReaderType::CcdLaser,      ReaderType::RfidText,    ReaderType::RfidFrame,
        ReaderType::Imager2D,      ReaderType::LongRange1D, ReaderType::Imager2D4507,
        ReaderType::LongRange1D955};
    const ReaderType type = kTypes[data[0] % kTypes.size()];
    const std::span<const std::uint8_t> line(data + 1, size - 1);
    const tessel::platform::Millis wait(1000);

    Bytes out;
    BufferSource reply(line);
    readReply(reply, type, wait, out);
    if (isPacketType(type)) {
        BufferSource decode(line);
        readDecodeMessage(decode, type, wait, out);
        BufferSource image(line);
        if (readImageFirstPacket(image, wait, out) == ReplyStatus::Complete) imageTotalSize(out);
        isNegativeAck(line);
    }
    return 0;
}
