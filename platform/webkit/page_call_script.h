#pragma once
// Calling a page's global function from the host, as pure text functions: the script that makes
// the call, and the reading of the answer it gives.
//
// The script runs in the page's main world and answers with one ASCII text:
//   "M"            no global function of that name
//   "T"            the function threw
//   "Ru"           it returned undefined, null or an object
//   "Rb0" / "Rb1"  it returned false / true
//   "Ri" decimal   it returned a whole number that fits 32 bits
//   "Rd" number    it returned any other number (JavaScript's own spelling, NaN and Infinity too)
//   "Rs" hex       it returned a text: four hexadecimal digits per UTF-16 unit
// Each script exception the engine reports is the same error, which is why the script catches
// the function's exception itself and says so.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/page_script.h"

namespace tessel::platform::webkit {

// A JavaScript string literal holding text exactly: printable ASCII other than the quote and the
// backslash as it is, every other UTF-16 unit as \uXXXX (surrogate pairs as two escapes), so
// NULs, line ends and any character survive and the literal is pure ASCII.
std::string jsStringLiteral(std::u16string_view text);

// The script that calls the page's global function name with args in order.
std::string pageCallScript(std::u16string_view name, std::span<const std::u16string> args);

// The call's outcome from the script's answer; nullopt for an answer the script cannot give.
std::optional<PageCall> parsePageCallAnswer(std::string_view answer);

}  // namespace tessel::platform::webkit
