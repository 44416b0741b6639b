#pragma once
// The system's multibyte code page, for text that a reader delivers as bytes.
//
// On the Linux terminal the system code page is UTF-8. Decoding never fails: every byte that does
// not start a well-formed sequence (stray continuation bytes, overlong forms, surrogates, values
// above U+10FFFF, a sequence cut short) becomes one U+FFFD, and decoding goes on with the next
// byte. Characters above U+FFFF become surrogate pairs.

#include <cstdint>
#include <span>
#include <string>

namespace tessel::platform {

std::u16string decodeSystemCodePage(std::span<const std::uint8_t> bytes);

// Appends one character (at most U+10FFFF, not a surrogate) to out as UTF-8.
void appendUtf8(std::string& out, char32_t c);

}  // namespace tessel::platform
