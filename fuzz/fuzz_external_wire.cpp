// Parses arbitrary bytes as what crosses between the page's window.external and the host: a
// frame, a request, a reply and a page-call answer. What is accepted must encode back to the same
// bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/webkit/external_wire.h"
#include "platform/webkit/page_call_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel::platform::webkit;
    const ByteSpan bytes(data, size);
    const FrameSplit split = splitFrame(bytes);
    if (split.status == FrameSplit::Status::Complete &&
        (split.consumed > size || split.payload.size() + kFrameHeader != split.consumed))
        std::abort();
    // The encoding is canonical: a decoded message encodes back to the very same bytes.
    const auto same = [&](const Bytes& again) {
        return std::equal(again.begin(), again.end(), bytes.begin(), bytes.end());
    };
    if (const auto request = decodeRequest(bytes); request && !same(encodeRequest(*request))) std::abort();
    if (const auto reply = decodeReply(bytes); reply && !same(encodeReply(*reply))) std::abort();
    parsePageCallAnswer(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
