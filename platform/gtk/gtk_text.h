#pragma once
// Text between the toolkit's UTF-16 and GTK's UTF-8, and the typing filters of edit boxes.
// Pure functions: no GTK here, so they are tested and fuzzed on their own.

#include <string>
#include <string_view>

#include "platform/ui.h"

namespace tessel::platform::gtk {

// UTF-16 to UTF-8 for a widget. GTK strings end at a NUL, and a lone surrogate is no character:
// each becomes U+FFFD, so nothing after it is cut off. "\r\n" (the line break of message texts)
// becomes "\n" when lineBreaks is set.
std::string toUtf8(std::u16string_view text, bool lineBreaks = false);

// UTF-8 from a widget back to UTF-16; malformed bytes become U+FFFD.
std::u16string fromUtf8(std::string_view text);

// What typing `typed` into an edit box keeps: digits only for a number box, and no more than the
// box's limit allows beside the `present` characters already in it (0: no limit).
std::u16string filterTyped(std::u16string_view typed, const ui::ControlStyle& style,
                           std::size_t present);

// A number box's text after one click of its spin arrows (step +1 up, -1 down): the number in
// it (its leading digits; none counts as 0) moved by step, never below 0. Text the box's limit
// could not hold leaves it as it was.
std::u16string spinStepped(std::u16string_view text, int step, const ui::ControlStyle& style);

}  // namespace tessel::platform::gtk
