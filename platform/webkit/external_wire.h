#pragma once
// The wire between the web-process extension (window.external in the page) and the host, as
// pure functions over bytes.
//
// Every message is a frame: a 4-byte little-endian payload length, then the payload. A request
// payload is a kind byte ('H' hello, 'C' call), the method name as text, a 4-byte argument
// count and the arguments as values. A reply payload is a status byte (ExternalReply::Status)
// and one value. A value is a tag byte and its body:
//   0 none; 1 boolean (one byte 0 or 1); 2 32-bit integer (4 bytes LE); 3 double (8 bytes, the
//   IEEE bits LE); 4 text (4-byte LE count of UTF-16 units, then each unit as 2 bytes LE).
// Texts are UTF-16 units, so embedded NULs and lone surrogates cross unchanged.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/page_script.h"

namespace tessel::platform::webkit {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// The largest payload either side accepts; a longer frame is a broken peer.
inline constexpr std::size_t kMaxPayload = 16u << 20;
inline constexpr std::size_t kFrameHeader = 4;

struct ExternalRequest {
    enum class Kind : std::uint8_t { Hello = 'H', Call = 'C' };
    Kind kind = Kind::Call;
    std::u16string method;
    std::vector<ScriptValue> args;
    bool operator==(const ExternalRequest&) const = default;
};

// The length header followed by payload.
Bytes frame(ByteSpan payload);

// The first frame at the start of bytes: Complete with its payload and the bytes it used,
// Incomplete while more bytes are needed, Invalid when the header announces more than
// kMaxPayload.
struct FrameSplit {
    enum class Status { Complete, Incomplete, Invalid };
    Status status = Status::Incomplete;
    ByteSpan payload;
    std::size_t consumed = 0;
};
FrameSplit splitFrame(ByteSpan bytes);

Bytes encodeRequest(const ExternalRequest& request);
// Nullopt for a payload that is not exactly one well-formed request.
std::optional<ExternalRequest> decodeRequest(ByteSpan payload);

Bytes encodeReply(const ExternalReply& reply);
// Nullopt for a payload that is not exactly one well-formed reply.
std::optional<ExternalReply> decodeReply(ByteSpan payload);

}  // namespace tessel::platform::webkit
