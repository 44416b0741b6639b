#pragma once
// The page of `browser --headless --page FILE`: which page functions exist and how each ends, so
// that scripts can exercise a page that throws or refuses a call. One function a line:
//
//   # the page of the failure test
//   onScanBarcode=return
//   onScanRFID=throw
//   onScanImage=fail 0x8002000E      the script engine refuses the call with that code
//
// A function the file does not name is missing from the page. Blank lines and lines starting
// with "#" are skipped; spaces around the name and the action are allowed.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/page_script.h"

namespace tessel::platform::headless {

struct PageFunction {
    PageCall::Outcome outcome = PageCall::Outcome::Returned;
    std::uint32_t failure = 0;  // with Failed
    bool operator==(const PageFunction&) const = default;
};

using PageFunctions = std::map<std::u16string, PageFunction, std::less<>>;

// The functions of a page file; nullopt with error ("line 3: unknown action \"skip\"") when a
// line is not understood.
std::optional<PageFunctions> parsePageFile(std::string_view text, std::string& error);

}  // namespace tessel::platform::headless
