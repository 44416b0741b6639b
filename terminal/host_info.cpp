#include "terminal/host_info.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

namespace tessel::terminal {
namespace {

std::string_view trim(std::string_view s) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!s.empty() && space(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && space(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::vector<std::string_view> split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        s.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    for (auto part : split(s, ' ')) {
        part = trim(part);
        if (!part.empty()) {
            out.push_back(part);
        }
    }
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A shell-style value of os-release: quotes removed, backslash escapes resolved.
std::string unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
        }
        out += value[i];
    }
    return out;
}

}  // namespace

std::optional<std::int32_t> wirelessSignalDbm(std::string_view procNetWireless) {
    for (const auto line : split(procNetWireless, '\n')) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || line.find('|') != std::string_view::npos) {
            continue;
        }
        // Fields after "iface:" are status, link quality, level, noise...
        const auto fields = words(line.substr(colon + 1));
        if (fields.size() < 3) {
            return std::nullopt;
        }
        std::int32_t level = 0;
        const auto text = fields[2];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), level);
        if (error != std::errc{} || end == text.data()) {
            return std::nullopt;
        }
        return level;
    }
    return std::nullopt;
}

std::optional<std::string> osReleaseName(std::string_view osRelease) {
    std::string pretty, name, version;
    for (const auto line : split(osRelease, '\n')) {
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const auto key = trim(line.substr(0, eq));
        const auto value = unquote(trim(line.substr(eq + 1)));
        if (key == "PRETTY_NAME") {
            pretty = value;
        } else if (key == "NAME") {
            name = value;
        } else if (key == "VERSION_ID") {
            version = value;
        }
    }
    if (!pretty.empty()) {
        return pretty;
    }
    if (name.empty()) {
        return std::nullopt;
    }
    return version.empty() ? name : name + " " + version;
}

std::optional<std::string> dmiValue(std::string_view raw) {
    static constexpr std::array<std::string_view, 8> kPlaceholders = {"To Be Filled By O.E.M.",
                                                                      "Not Specified",
                                                                      "Default string",
                                                                      "System Serial Number",
                                                                      "None",
                                                                      "Not Applicable",
                                                                      "0123456789",
                                                                      "0"};
    const auto value = trim(raw);
    if (value.empty() ||
        std::any_of(kPlaceholders.begin(), kPlaceholders.end(),
                    [&](std::string_view p) { return equalsIgnoringCase(value, p); })) {
        return std::nullopt;
    }
    return std::string(value);
}

bool capabilityBit(std::string_view mask, unsigned bit) {
    constexpr unsigned kWordBits = sizeof(unsigned long) * 8;
    const auto list = words(trim(mask));
    const std::size_t index = bit / kWordBits;
    if (index >= list.size()) {
        return false;
    }
    const auto word = list[list.size() - 1 - index];
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
    if (error != std::errc{} || end != word.data() + word.size()) {
        return false;
    }
    return ((value >> (bit % kWordBits)) & 1UL) != 0;
}

}  // namespace tessel::terminal
