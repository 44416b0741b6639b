#include "browser/rfid/rfid_codec.h"

#include <algorithm>
#include <array>

namespace tessel::rfid {

namespace {

struct ProtocolFrames {
    int protocol;
    std::string_view select;
    std::string_view inventory;
};

constexpr std::array<ProtocolFrames, 4> kProtocolFrames{{
    {kProtocol14443A, "010C00030410002101090000", "0109000304A0010000"},
    {kProtocol14443B, "010C000304100021010C0000", "0109000304B0040000"},
    {kProtocolTagit, "010C00030410002101130000", "010B000304340050000000"},
    {kProtocol15693, "010C00030410002101000000", "010B000304140401000000"},
}};

const ProtocolFrames* framesOf(int protocol) {
    for (const auto& frames : kProtocolFrames) {
        if (frames.protocol == protocol) return &frames;
    }
    return nullptr;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The text of each "[...]" group in turn, from position `from`; nullopt when no complete group
// is left. `next` is set past the group's "[".
std::optional<std::string_view> groupAt(std::string_view reply, std::size_t& next) {
    const std::size_t open = reply.find('[', next);
    if (open == std::string_view::npos) return std::nullopt;
    next = open + 1;
    const std::size_t close = reply.find(']', next);
    if (close == std::string_view::npos) return std::nullopt;
    return reply.substr(next, close - next);
}

std::optional<std::string> firstGroupLessTwo(std::string_view reply) {
    std::size_t next = 0;
    const auto group = groupAt(reply, next);
    if (!group || group->size() <= 2) return std::nullopt;
    return std::string(group->substr(0, group->size() - 2));
}

std::optional<std::string> firstNonEmptyGroup(std::string_view reply) {
    std::size_t next = 0;
    while (const auto group = groupAt(reply, next)) {
        if (!group->empty()) return std::string(*group);
    }
    return std::nullopt;
}

// The field ends at the nearer of the next "," and "]": it never runs into the next group.
std::optional<std::string> firstSlotField(std::string_view reply) {
    std::size_t open = reply.find('[');
    while (open != std::string_view::npos && open + 1 < reply.size() && reply[open + 1] == ',') {
        open = reply.find('[', open + 1);
    }
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t begin = open + 1;
    const std::size_t end = std::min(reply.find(',', begin), reply.find(']', begin));
    const std::string_view field = reply.substr(begin, end == std::string_view::npos
                                                           ? std::string_view::npos
                                                           : end - begin);
    if (field.empty()) return std::nullopt;
    return std::string(field);
}

}  // namespace

int blockReplyError(char c) {
    switch (c) {
        case '?': return kRfidUnknownReply;
        case 'F': return kRfidFailed;
        case 'N': return kRfidNoTag;
        case 'O': return kRfidOperation;
        case 'R': return kRfidRejected;
        default: return 0;
    }
}

int selectReplyError(char c) {
    const int code = blockReplyError(c);
    return code != 0 ? code : kRfidUnknownReply;
}

std::string_view selectFrame(int protocol) {
    const auto* frames = framesOf(protocol);
    return frames ? frames->select : std::string_view();
}

std::string_view inventoryFrame(int protocol) {
    const auto* frames = framesOf(protocol);
    return frames ? frames->inventory : std::string_view();
}

std::string blockFrame(std::uint8_t flags, std::uint8_t opcode, std::uint8_t block,
                       std::span<const std::uint8_t> data) {
    Bytes frame{0x01, 0x00, 0x00, 0x03, 0x04, 0x18, flags, opcode, block};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0x00);
    frame.push_back(0x00);
    frame[1] = static_cast<std::uint8_t>(frame.size());
    return encodeHex(frame);
}

std::optional<std::string> frameResult(int protocol, std::string_view reply) {
    switch (protocol) {
        case kProtocol14443A: return firstGroupLessTwo(reply);
        case kProtocol14443B:
        case kProtocolTagit: return firstNonEmptyGroup(reply);
        case kProtocol15693: return firstSlotField(reply);
        default: return std::nullopt;
    }
}

std::optional<std::string> frameUid(int protocol, std::string_view reply) {
    auto result = frameResult(protocol, reply);
    if (!result || protocol != kProtocol15693) return result;
    Bytes bytes = decodeHex(*result);
    if (bytes.empty()) return std::nullopt;
    std::reverse(bytes.begin(), bytes.end());
    return encodeHex(bytes);
}

std::optional<Bytes> frame15693Data(std::string_view reply) {
    const auto field = frameResult(kProtocol15693, reply);
    if (!field) return std::nullopt;
    Bytes bytes = decodeHex(*field);
    if (bytes.size() < 2) return std::nullopt;
    bytes.erase(bytes.begin());
    return bytes;
}

bool frameWriteAccepted(std::string_view reply) {
    // A line end after the result does not change it.
    while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n')) reply.remove_suffix(1);
    return reply.ends_with("[00]");
}

std::optional<Bytes> decodeTagitGroup(std::string_view group) {
    if (group.size() < 16) return std::nullopt;
    const Bytes b = decodeHex(group.substr(6, 10));
    if (b.size() != 5) return std::nullopt;
    Bytes data(4);
    for (std::size_t i = 0; i < 4; ++i) {
        data[i] = static_cast<std::uint8_t>(b[i] * 4 + b[i + 1] / 64);
    }
    return data;
}

Bytes decodeHex(std::string_view text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) break;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::string encodeHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::string hex2(unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[(value >> 4) & 0x0F], kDigits[value & 0x0F]};
}

std::string_view asText(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string textReaderVersion(std::string_view reply) {
    const std::size_t space = reply.find(' ');
    if (space == std::string_view::npos) return {};
    return std::string(reply.substr(space + 1));
}

std::string frameReaderVersion(std::string_view reply) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!reply.empty() && blank(reply.front())) reply.remove_prefix(1);
    while (!reply.empty() && blank(reply.back())) reply.remove_suffix(1);
    const std::size_t space = reply.rfind(' ');
    return std::string(space == std::string_view::npos ? reply : reply.substr(space + 1));
}

}  // namespace tessel::rfid
