// The frame RFID reader's replies fed arbitrary bytes: the reply framing, then the bracketed
// results per protocol as UID, block data, Tag-it data and write answer, the version text and
// the module's UID classification.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "browser/reader/engine_codec.h"
#include "browser/rfid/rfid_codec.h"
#include "browser/rfid/tag_types.h"

using namespace tessel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reader::Bytes reply;
    reader::BufferSource source(std::span<const std::uint8_t>(data, size));
    reader::readReply(source, reader::ReaderType::RfidFrame, platform::Millis(1000), reply);
    const std::string_view text = rfid::asText(reply);
    static constexpr std::array<int, 5> kProtocols{0, 3, 5, 8, 16};
    for (int protocol : kProtocols) {
        if (const auto uid = rfid::frameUid(protocol, text)) {
            rfid::classifyFrameTag(protocol, *uid);
            rfid::classifyModuleTag(protocol, *uid);
        }
        if (const auto group = rfid::frameResult(protocol, text)) rfid::decodeTagitGroup(*group);
    }
    rfid::frame15693Data(text);
    rfid::frameWriteAccepted(text);
    rfid::frameReaderVersion(text);
    return 0;
}
