#include "platform/headless/page_file.h"

#include <charconv>

namespace tessel::platform::headless {

namespace {

using Outcome = PageCall::Outcome;

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A failure code in hexadecimal, with or without "0x".
std::optional<std::uint32_t> parseCode(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    std::uint32_t code = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code, 16);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return code;
}

std::optional<PageFunction> parseAction(std::string_view action) {
    if (action == "return") return PageFunction{Outcome::Returned, 0};
    if (action == "throw") return PageFunction{Outcome::Threw, 0};
    if (!action.starts_with("fail ")) return std::nullopt;
    const auto code = parseCode(trim(action.substr(5)));
    if (!code) return std::nullopt;
    return PageFunction{Outcome::Failed, *code};
}

}  // namespace

std::optional<PageFunctions> parsePageFile(std::string_view text, std::string& error) {
    PageFunctions functions;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const auto eq = line.find('=');
        const std::string_view name = trim(line.substr(0, eq));
        if (eq == std::string_view::npos || name.empty()) {
            error = "line " + std::to_string(number) + ": expected NAME=ACTION";
            return std::nullopt;
        }
        const std::string_view action = trim(line.substr(eq + 1));
        const auto function = parseAction(action);
        if (!function) {
            error = "line " + std::to_string(number) + ": unknown action \"" + std::string(action) +
                    "\"";
            return std::nullopt;
        }
        std::u16string key;
        for (const char c : name) key += static_cast<char16_t>(static_cast<unsigned char>(c));
        functions[key] = *function;
    }
    return functions;
}

}  // namespace tessel::platform::headless
