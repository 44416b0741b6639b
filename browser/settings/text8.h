#pragma once
// Conversions between the browser's 16-bit text and 8-bit bytes of files and wires.
//
// Towards 8 bits each character keeps its low byte; each byte becomes the character U+0000–U+00FF
// of the same value. The round trip is exact for characters below U+0100.

#include <string>
#include <string_view>

namespace tessel::settings {

inline std::string toEightBit(std::u16string_view text) {
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[i] = static_cast<char>(text[i] & 0xFF);
    }
    return bytes;
}

inline std::u16string fromEightBit(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[i] = static_cast<unsigned char>(bytes[i]);
    }
    return text;
}

}  // namespace tessel::settings
