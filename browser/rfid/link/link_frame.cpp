#include "browser/rfid/link/link_frame.h"

#include <algorithm>
#include <cassert>

namespace tessel::rfid {
namespace {

bool isSpecial(std::uint8_t byte, Format format) {
    return byte == kStartA || byte == kEnd || byte == kEscape ||
           (format == Format::B && byte == kStartB);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint32_t toWord(const std::array<std::uint8_t, 4>& b) {
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
}

LinkBytes linkBytesFrom(const std::array<std::uint8_t, 4>& b) {
    if (b[0] & 1) return {std::uint8_t(b[2] ^ b[0]), std::uint8_t(b[3] ^ b[1])};
    return {std::uint8_t(b[2] ^ b[1]), std::uint8_t(b[3] ^ b[0])};
}

Bytes wrap(std::uint8_t start, ByteSpan content, Format format) {
    Bytes withSum(content.begin(), content.end());
    withSum.push_back(checksum(content));
    Bytes frame{start};
    const Bytes stuffed = stuff(withSum, format);
    frame.insert(frame.end(), stuffed.begin(), stuffed.end());
    frame.push_back(kEnd);
    return frame;
}

}  // namespace

std::uint8_t checksum(ByteSpan bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = std::uint8_t(sum + b);
    return sum;
}

Bytes stuff(ByteSpan bytes, Format format) {
    Bytes out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        if (isSpecial(b, format)) out.push_back(kEscape);
        out.push_back(b);
    }
    return out;
}

Bytes rotateLeft(ByteSpan bytes, std::size_t k) {
    Bytes out(bytes.begin(), bytes.end());
    if (!out.empty()) std::rotate(out.begin(), out.begin() + long(k % out.size()), out.end());
    return out;
}

Bytes rotateRight(ByteSpan bytes, std::size_t k) {
    if (bytes.empty()) return {};
    return rotateLeft(bytes, bytes.size() - k % bytes.size());
}

LinkKey parseKeyText(std::string_view text) {
    if (text.size() < 8) return kDefaultKey;
    LinkKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        const int hi = hexValue(text[2 * i]);
        const int lo = hexValue(text[2 * i + 1]);
        key[i] = (hi < 0 || lo < 0) ? 0 : std::uint8_t(hi << 4 | lo);
    }
    return key;
}

LinkState deriveLink(std::span<const std::uint8_t, 8> r, const LinkKey& k) {
    // r is 1-based in the module's description: r1 is r[0].
    LinkState link;
    link.a = {std::uint8_t(r[2] ^ k[2]), std::uint8_t(r[1] ^ k[1]), std::uint8_t(r[7] ^ k[3]),
              std::uint8_t(r[5] ^ k[1])};
    link.b = {std::uint8_t(r[0] ^ k[0]), std::uint8_t(r[4] ^ k[0]), std::uint8_t(r[6] ^ k[2]),
              std::uint8_t(r[3] ^ k[3])};
    link.bytes = linkBytesFrom(link.b);
    return link;
}

void advanceLink(LinkState& link) {
    const std::uint32_t sum = toWord(link.b) + toWord(link.a);
    for (std::size_t i = 0; i < 4; ++i) link.b[i] = std::uint8_t(sum >> (8 * i));
    link.bytes = linkBytesFrom(link.b);
}

Bytes encodeFrameA(ByteSpan payload, std::optional<LinkBytes> link) {
    assert(!payload.empty() && payload.size() + 1 <= 0xFF);
    Bytes body{std::uint8_t(payload.size() + 1)};
    body.insert(body.end(), payload.begin(), payload.end());
    if (link && carriesLinkBytes(payload[0])) {
        body = rotateLeft(body, link->s1 % body.size());
        body.push_back(link->s1);
        body.push_back(link->s2);
    }
    return wrap(kStartA, body, Format::A);
}

Bytes encodeFrameB(ByteSpan payload, std::uint8_t address, std::uint8_t modeByte,
                   std::optional<LinkBytes> link) {
    assert(!payload.empty());
    const std::uint8_t command = payload[0];
    const bool trailer = command != kCmdUnlinked;
    const std::size_t length = payload.size() + (trailer ? 6 : 4);
    assert(length <= 0xFFFF);
    Bytes content{std::uint8_t(length >> 8), std::uint8_t(length), address,
                  carriesLinkBytes(command) ? modeByte : std::uint8_t(0)};
    content.insert(content.end(), payload.begin(), payload.end());
    if (trailer) {
        const LinkBytes bytes = (link && carriesLinkBytes(command)) ? *link : LinkBytes{};
        content.push_back(bytes.s1);
        content.push_back(bytes.s2);
    }
    return wrap(kStartB, content, Format::B);
}

namespace {

// The first start byte that no 0x10 escapes: bytes before a frame may hold escaped specials,
// such as the tail of an earlier reply.
ByteSpan::iterator findUnescaped(ByteSpan raw, std::uint8_t start) {
    bool escaped = false;
    for (auto it = raw.begin(); it != raw.end(); ++it) {
        if (escaped) {
            escaped = false;
        } else if (*it == kEscape) {
            escaped = true;
        } else if (*it == start) {
            return it;
        }
    }
    return raw.end();
}

}  // namespace

std::optional<Bytes> unframe(ByteSpan raw, std::uint8_t start) {
    auto it = findUnescaped(raw, start);
    if (it == raw.end()) return std::nullopt;
    Bytes content;
    bool escaped = false;
    for (++it; it != raw.end(); ++it) {
        if (escaped) {
            content.push_back(*it);
            escaped = false;
        } else if (*it == kEscape) {
            escaped = true;
        } else if (*it == kEnd) {
            if (content.empty()) return std::nullopt;
            const std::uint8_t sum = content.back();
            content.pop_back();
            if (checksum(content) != sum) return std::nullopt;
            return content;
        } else {
            content.push_back(*it);
        }
    }
    return std::nullopt;
}

std::optional<Reply> decodeReplyA(ByteSpan raw, const ReplyCheckA& check) {
    std::optional<Bytes> content = unframe(raw, kStartA);
    if (!content) return std::nullopt;
    Bytes body = std::move(*content);
    if (check.linked) {
        if (body.size() < 3) return std::nullopt;
        const LinkBytes got{body[body.size() - 2], body.back()};
        if (check.expected && got != *check.expected) return std::nullopt;
        body.resize(body.size() - 2);
        body = rotateRight(body, got.s1 % body.size());
    }
    // LEN counts itself and the command byte at least, and never more than arrived.
    if (body.size() < 2 || body[0] < 2 || body[0] > body.size()) return std::nullopt;
    Reply reply;
    reply.command = body[1];
    reply.data.assign(body.begin() + 2, body.begin() + body[0]);
    return reply;
}

std::optional<Reply> decodeReplyB(ByteSpan raw, std::uint8_t address, bool unlinkedCommand) {
    std::optional<Bytes> content = unframe(raw, kStartB);
    if (!content) return std::nullopt;
    const Bytes& c = *content;
    const std::size_t overhead = unlinkedCommand ? 6 : 8;
    if (c.size() < overhead) return std::nullopt;
    const std::size_t length = std::size_t(c[0]) << 8 | c[1];
    if (length != c.size() || c[2] != address) return std::nullopt;
    Reply reply;
    reply.command = c[4];
    reply.status = c[5];
    reply.data.assign(c.begin() + 6, c.begin() + long(6 + length - overhead));
    return reply;
}

FrameCollector::State FrameCollector::push(std::uint8_t byte) {
    if (state_ != State::Collecting) return state_;
    bytes_.push_back(byte);
    if (bytes_.size() > kMaxFrame) return state_ = State::Overflow;
    // A 0x10 escapes the next byte before the start byte too: an escaped start byte begins no
    // frame.
    if (escaped_) {
        escaped_ = false;
    } else if (byte == kEscape) {
        escaped_ = true;
    } else if (!started_) {
        started_ = byte == start_;
    } else if (byte == kEnd) {
        state_ = State::Complete;
    }
    return state_;
}

std::optional<TypeAAnswer> parseTypeA(ByteSpan data) {
    TypeAAnswer answer;
    if (data.size() == 6) {
        // A 6-byte answer holds a 4-byte UID; its last two bytes are not used.
        answer.uid.assign(data.begin(), data.begin() + 4);
        answer.answerToRequest = 0x0004;
    } else {
        if (data.size() < 3) return std::nullopt;
        const std::size_t n = data.size() - 3;
        answer.uid.assign(data.begin(), data.begin() + long(n));
        answer.answerToRequest = std::uint16_t(data[n] | data[n + 1] << 8);
        answer.selectAcknowledge = data[n + 2];
    }
    // The marker needs the last place when the UID is too long for the buffer.
    const std::size_t kept = std::min(answer.uid.size(), kHandOverSize - 1);
    std::copy_n(answer.uid.begin(), kept, answer.handOver.begin());
    answer.handOver[kept] = kUidMarker;
    return answer;
}

}  // namespace tessel::rfid
