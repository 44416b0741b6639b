#include "platform/gtk/gtk_text.h"

#include <algorithm>
#include <span>

#include "platform/code_page.h"

namespace tessel::platform::gtk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string toUtf8(std::u16string_view text, bool lineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (lineBreaks && c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
        if (c == 0 || isLowSurrogate(c)) {
            appendUtf8(out, kReplacement);
        } else if (isHighSurrogate(c)) {
            if (i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
                appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
                ++i;
            } else {
                appendUtf8(out, kReplacement);
            }
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    return decodeSystemCodePage(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::u16string filterTyped(std::u16string_view typed, const ui::ControlStyle& style,
                           std::size_t present) {
    std::u16string kept(typed);
    if (style.number) std::erase_if(kept, [](char16_t c) { return c < u'0' || c > u'9'; });
    if (style.limit > 0) {
        const auto limit = static_cast<std::size_t>(style.limit);
        kept.resize(std::min(kept.size(), present >= limit ? 0 : limit - present));
    }
    return kept;
}

std::u16string spinStepped(std::u16string_view text, int step, const ui::ControlStyle& style) {
    constexpr long long kLargest = 999'999'999;  // more digits than any box holds
    long long value = 0;
    for (std::size_t i = 0; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min(kLargest, value * 10 + (text[i] - u'0'));
    value = std::clamp(value + step, 0LL, kLargest);
    const std::string digits = std::to_string(value);
    if (style.limit > 0 && digits.size() > static_cast<std::size_t>(style.limit)) return std::u16string(text);
    return {digits.begin(), digits.end()};
}

}  // namespace tessel::platform::gtk
