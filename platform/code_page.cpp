#include "platform/code_page.h"

namespace tessel::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::uint32_t kMalformed = 0xFFFFFFFF;

struct Lead {
    std::size_t length;    // bytes in the sequence, 0 when b cannot start one
    std::uint32_t bits;    // value bits of the lead byte
    std::uint32_t minimum; // smallest value the length may encode
};

Lead leadOf(std::uint8_t b) {
    if (b < 0x80) return {1, b, 0};
    if ((b & 0xE0) == 0xC0) return {2, b & 0x1Fu, 0x80};
    if ((b & 0xF0) == 0xE0) return {3, b & 0x0Fu, 0x800};
    if ((b & 0xF8) == 0xF0) return {4, b & 0x07u, 0x10000};
    return {0, 0, 0};
}

// The code point of the sequence at bytes[at] and its length in bytes; kMalformed (length 1)
// when no well-formed sequence starts there.
std::uint32_t decodeAt(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t& length) {
    const Lead lead = leadOf(bytes[at]);
    length = 1;
    if (lead.length == 0 || bytes.size() - at < lead.length) return kMalformed;
    std::uint32_t value = lead.bits;
    for (std::size_t i = 1; i < lead.length; ++i) {
        const std::uint8_t b = bytes[at + i];
        if ((b & 0xC0) != 0x80) return kMalformed;
        value = value << 6 | (b & 0x3Fu);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < lead.minimum || value > 0x10FFFF || surrogate) return kMalformed;
    length = lead.length;
    return value;
}

void append(std::u16string& out, std::uint32_t value) {
    if (value == kMalformed) {
        out.push_back(kReplacement);
    } else if (value < 0x10000) {
        out.push_back(static_cast<char16_t>(value));
    } else {
        value -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    }
}

}  // namespace

std::u16string decodeSystemCodePage(std::span<const std::uint8_t> bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t length = 1;
        append(out, decodeAt(bytes, at, length));
        at += length;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace tessel::platform
