// Parses arbitrary bytes as a message channel request line; what it accepts must encode back to
// a line that parses to the same request.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/message_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel::platform;
    const auto request = parseRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!request) return 0;
    const std::string line = encodeRequest(*request);
    if (line.size() > kMaxRequestLine || parseRequest(line) != request) std::abort();
    return 0;
}
