#pragma once
// Name comparison as the terminal does it: ASCII letters ignore case, other bytes compare as
// they are.

#include <string>
#include <string_view>

namespace tessel::platform {

inline char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string foldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = foldAscii(c);
    return folded;
}

inline bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

}  // namespace tessel::platform
