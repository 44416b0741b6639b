// The GTK toolkit's text conversions: any UTF-16 becomes NUL-free, valid UTF-8 that decodes
// back to the same text (replacements aside); any bytes typed into a widget decode, the
// typing filters keep to the digits and the limit, and spin steps give a number the limit holds
// or leave the text alone.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/gtk/gtk_text.h"

using namespace tessel::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < size; i += 2) wide += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const std::string narrow = gtk::toUtf8(wide, size % 2 == 1);
    if (narrow.find('\0') != std::string::npos) std::abort();
    const std::u16string back = gtk::fromUtf8(narrow);
    if (back.size() > wide.size()) std::abort();  // each unit or pair gives at most one unit or pair
    if (back.find(u'\uFFFD') == std::u16string::npos && back.find(u'\n') == std::u16string::npos && back != wide)
        std::abort();

    const std::u16string typed = gtk::fromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    ui::ControlStyle style;
    style.number = size > 0 && (data[0] & 1);
    style.limit = size > 1 ? data[1] % 16 : 0;
    const std::u16string kept = gtk::filterTyped(typed, style, size > 2 ? data[2] % 20 : 0);
    if (style.limit > 0 && kept.size() > static_cast<std::size_t>(style.limit)) std::abort();
    for (char16_t c : kept)
        if (style.number && (c < u'0' || c > u'9')) std::abort();

    const std::u16string stepped = gtk::spinStepped(typed, size > 3 && (data[3] & 1) ? 1 : -1, style);
    if (stepped != typed) {
        if (stepped.empty() || (style.limit > 0 && stepped.size() > static_cast<std::size_t>(style.limit))) std::abort();
        for (char16_t c : stepped)
            if (c < u'0' || c > u'9') std::abort();
    }
    return 0;
}
