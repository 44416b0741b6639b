// Reply un-stuffing and checks of the RFID module link in every mode, on arbitrary bytes.
//
// The first input byte picks the mode and the checks; the rest is what came down the line.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "browser/rfid/link/link_frame.h"

using namespace tessel::rfid;

namespace {

void checkReply(const std::optional<Reply>& reply, std::size_t inputSize) {
    // A reply never holds more than the bytes that arrived.
    if (reply && reply->data.size() > inputSize) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t selector = data[0];
    const ByteSpan raw(data + 1, size - 1);
    const int mode = selector % 5;
    const LinkBytes expected{std::uint8_t(selector * 7), std::uint8_t(selector * 13)};

    FrameCollector collector(formatOf(mode) == Format::A ? kStartA : kStartB);
    std::size_t taken = 0;
    while (taken < raw.size() && collector.push(raw[taken]) == FrameCollector::State::Collecting) {
        ++taken;
    }
    if (collector.bytes().size() > kMaxFrame + 1) std::abort();

    if (formatOf(mode) == Format::A) {
        const bool handshake = selector & 0x80;
        const ReplyCheckA check{mode == 1,
                                handshake ? std::nullopt : std::optional<LinkBytes>(expected)};
        checkReply(decodeReplyA(raw, check), raw.size());
    } else {
        checkReply(decodeReplyB(raw, selector & 0x0F, selector & 0x80), raw.size());
    }
    if (auto answer = parseTypeA(raw)) {
        if (answer->handOver[kHandOverSize - 1] != 0 &&
            answer->handOver[kHandOverSize - 1] != kUidMarker) {
            std::abort();
        }
    }
    return 0;
}
