// The text RFID reader's replies fed arbitrary line bytes: the line framing, then every reading
// of a line (error characters, select line classification, block data, version), and the block
// range of the tag found with start and length taken from the input.

#include <cstddef>
#include <cstdint>
#include <span>

#include "browser/reader/engine_codec.h"
#include "browser/rfid/rfid_codec.h"
#include "browser/rfid/tag_types.h"

using namespace tessel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const int start = static_cast<std::int8_t>(data[0]) * 1000 + data[1];
    const int length = data[2] * 64;
    const std::span<const std::uint8_t> line(data + 3, size - 3);

    reader::Bytes reply;
    reader::BufferSource source(line);
    reader::readReply(source, reader::ReaderType::RfidText, platform::Millis(1000), reply);
    const std::string_view text = rfid::asText(reply);
    if (text.size() == 1) {
        rfid::blockReplyError(text[0]);
        rfid::selectReplyError(text[0]);
    }
    const auto tag = rfid::classifyTextLine(text);
    const auto block = rfid::decodeHex(text);
    rfid::textReaderVersion(text);
    if (const auto range = rfid::blockRange(tag.code, int(block.size()), start, length)) {
        // Whatever the input, a range stays inside the tag type's blocks.
        if (range->last > rfid::tagType(tag.code).highestBlock) __builtin_trap();
    }
    return 0;
}
