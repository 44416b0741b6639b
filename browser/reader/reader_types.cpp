#include "browser/reader/reader_types.h"

#include <cstring>

namespace tessel::reader {

std::string errorToString(int code) {
    if (code == 0) return "no error";
    if (code == kNoDecode) return "no decode";
    return std::strerror(code);
}

}  // namespace tessel::reader
