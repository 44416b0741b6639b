#include "browser/rfid/tag_types.h"

#include <array>

#include "browser/rfid/rfid_codec.h"

namespace tessel::rfid {

namespace {

constexpr std::array<TagType, 17> kTagTypes{{
    {0, kUnknownName, 0, 0, 255},
    {1, "Icode", 'I', 5, 15},
    {2, "ISO14443 Type A, Mifare Ultralight", 'M', 4, 15},
    {3, "ISO14443 Type A, Mifare family", 'M', 4, 255},
    {4, "ISO 14443 Type A, Infineon SLE55Rxx, my-d IC", 'M', 4, 255},
    {5, "ISO14443, Type B", 'Z', 0, 255},
    {6, "ISO14443 Type B, SR176", 'S', 4, 14},
    {7, "ISO14443 Type B, SRIX4K", 'Z', 7, 127},
    {8, "Tagit", 'T', 0, 255},
    {9, "ISO15693, ST Microelectronics", 'V', 0, 63},
    {10, "ISO15693, Philips Semiconductors", 'V', 0, 63},
    {11, "ISO15693, Infineon Technologies AG, my-d_IC(SRF55VxxP)", 'V', 0, 63},
    {12, "ISO15693 Infineon SRF55VxxP, my-d IC", 'V', 3, 127},
    {13, "ISO15693, Texas Instrument", 'V', 0, 63},
    {14, "ISO15693, EM Microelectronic-Marin SA, EM_4135", 'V', 0, 63},
    {15, "ISO15693 Infineon EM4135", 'V', 0, 35},
    {16, "ISO15693", 'V', 0, 63},
}};

// Manufacturer bytes of ISO 15693 UIDs ("E0" then the maker) and the codes they give.
struct Maker {
    std::string_view digits;
    TagCode code;
};
constexpr std::array<Maker, 5> kMakers{{
    {"02", 9}, {"04", 10}, {"05", 11}, {"07", 13}, {"16", 14}}};

Classification named(TagCode code, std::string uid) {
    return {code, std::string(tagType(code).name), std::move(uid)};
}

// The ISO 15693 rule on characters 3 and 4 of a text whose first character is a prefix
// (family letter or code byte); nullopt for a text shorter than 5 characters.
std::optional<TagCode> makerCode(std::string_view text) {
    if (text.size() < 5) return std::nullopt;
    const std::string_view maker = text.substr(3, 2);
    for (const auto& m : kMakers) {
        if (m.digits == maker) return m.code;
    }
    return kTag15693;
}

TagCode mifareCodeByUidLength(std::size_t digits) {
    if (digits == 14) return kTagUltralight;
    if (digits == 16) return 4;
    return kTagMifare;
}

}  // namespace

const TagType& tagType(TagCode code) {
    if (code < 0 || code >= static_cast<TagCode>(kTagTypes.size())) return kTagTypes[0];
    return kTagTypes[static_cast<std::size_t>(code)];
}

std::optional<BlockRange> blockRange(TagCode code, int blockSize, int start, int length) {
    if (blockSize < 1 || length < 1) return std::nullopt;
    const TagType& type = tagType(code);
    // 64-bit arithmetic: start and length come from settings and may be near the int limits.
    const std::int64_t b = blockSize;
    std::int64_t first = 0, last = 0, firstOffset = 0, lastOffset = 0;
    if (start >= 0) {
        const std::int64_t end = std::int64_t(start) + length - 1;
        first = start / b;
        firstOffset = start % b;
        last = end / b;
        lastOffset = end % b;
    } else {
        first = type.defaultFirstBlock;
        std::int64_t span = (std::int64_t(length) + b - 1) / b;
        if (code == kTagMifare) span = span % 3 == 0 ? span + (span - 1) / 3 : span + span / 3;
        last = first + span - 1;
        lastOffset = (length - 1) % b;
    }
    if (last > type.highestBlock) {
        last = type.highestBlock;
        lastOffset = b - 1;
    }
    return BlockRange{static_cast<int>(first),
                      static_cast<int>(last), static_cast<int>(firstOffset),
                      static_cast<int>(lastOffset)};
}

Classification classifyTextLine(std::string_view line) {
    if (line.empty()) return {};
    const std::string uid(line.substr(1));
    switch (line[0]) {
        case 'I': return named(1, uid);
        case 'M': return named(mifareCodeByUidLength(uid.size()), uid);
        case 'S': return named(kTagSr176, uid);
        case 'T': return named(kTagTagit, uid);
        case 'Z': return named(5, uid);
        case 'V': {
            const auto code = makerCode(line);
            if (!code) return {kTagUnknown, "", std::string(line)};
            return named(*code, uid);
        }
        default: return {kTagUnknown, std::string(kUnknownName), uid};
    }
}

Classification classifyFrameTag(int protocol, std::string_view uid) {
    switch (protocol) {
        case kProtocol14443A: return named(kTagMifare, std::string(uid));
        case kProtocol14443B: return named(5, std::string(uid));
        case kProtocolTagit: return named(kTagTagit, std::string(uid));
        case kProtocol15693: return named(kTag15693, std::string(uid));
        default: return {kTagUnknown, std::string(kUnknownName), std::string(uid)};
    }
}

Classification classifyModuleTag(int protocol, std::string_view uidText) {
    if (uidText.empty()) return {};
    const auto codeByte = static_cast<std::uint8_t>(uidText[0]);
    const std::string uid(uidText.substr(1));
    switch (protocol) {
        case kProtocol14443A:
            if (codeByte == 0x02) return {kTagMifare, "ISO14443 Type A, Mifare S70", uid};
            if (codeByte == 0x04) return {kTagMifare, "ISO14443 Type A, Mifare S50", uid};
            if (codeByte == 0x44) return named(kTagUltralight, uid);
            return named(kTagMifare, uid);
        case kProtocol14443B:
            return named(codeByte == 7 ? kTagSrix4k : kTagSr176, uid);
        case kProtocolTagit:
            return named(kTagTagit, std::string(uidText));
        case kProtocol15693: {
            const auto code = makerCode(uidText);
            if (!code) return {kTagUnknown, "", std::string(uidText)};
            return named(*code, uid);
        }
        default: return {kTagUnknown, std::string(kUnknownName), std::string(uidText)};
    }
}

}  // namespace tessel::rfid
