#include "platform/headless/json_line.h"

#include <cstdio>

#include "platform/code_page.h"

namespace tessel::platform::headless {

namespace {

void appendEscape(std::string& out, char16_t c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
    out += buffer;
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string jsonString(std::u16string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            appendEscape(out, c);
        } else if (isHigh(c) && i + 1 < text.size() && isLow(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (isHigh(c) || isLow(c)) {
            appendEscape(out, c);
        } else {
            appendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string callLine(std::u16string_view name, std::span<const std::u16string> args) {
    std::string line = "{\"call\":" + jsonString(name) + ",\"args\":[";
    for (std::size_t i = 0; i < args.size(); ++i) line += (i ? "," : "") + jsonString(args[i]);
    return line + "]}";
}

std::string callLine(std::u16string_view name, std::span<const std::u16string> args,
                     const PageCall& outcome) {
    std::string line = callLine(name, args);
    line.pop_back();  // the closing brace
    switch (outcome.outcome) {
        case PageCall::Outcome::Returned: break;
        case PageCall::Outcome::Threw: line += ",\"outcome\":\"threw\""; break;
        case PageCall::Outcome::Missing: line += ",\"outcome\":\"missing\""; break;
        case PageCall::Outcome::Failed: {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(outcome.failure));
            line += ",\"outcome\":\"failed\",\"failure\":\"" + std::string(code) + "\"";
            break;
        }
    }
    return line + "}";
}

std::string documentLine(std::u16string_view url) {
    return "{\"document\":" + jsonString(url) + "}";
}

std::string invokeFailureLine(std::u16string_view function, std::u16string_view text) {
    return "{\"invokeFailure\":" + jsonString(function) + ",\"text\":" + jsonString(text) +
           "}";
}

std::string typedLine(std::u16string_view text) { return "{\"typed\":" + jsonString(text) + "}"; }

PageCall JsonLineDocument::call(std::u16string_view name, std::span<const std::u16string> args) {
    PageCall result{PageCall::Outcome::Returned, {}, 0};
    if (page_) {
        const auto function = page_->find(name);
        if (function == page_->end()) {
            result.outcome = PageCall::Outcome::Missing;
        } else {
            result.outcome = function->second.outcome;
            result.failure = function->second.failure;
        }
    }
    out_(callLine(name, args, result));
    return result;
}

std::string messageBoxLine(const ui::MessageBoxSpec& box) {
    return "{\"messageBox\":" + jsonString(box.text) + ",\"caption\":" + jsonString(box.caption) + "}";
}

}  // namespace tessel::platform::headless
