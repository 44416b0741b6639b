#include "platform/webkit/page_call_script.h"

#include <charconv>

namespace tessel::platform::webkit {
namespace {

// Reads the answer's value part from a function's return.
constexpr std::string_view kAnswerFunction =
    "function(r){var t=typeof r;"
    "if(t==='boolean')return r?'Rb1':'Rb0';"
    "if(t==='number')return (Number.isInteger(r)&&r>=-2147483648&&r<=2147483647)?'Ri'+r:'Rd'+r;"
    "if(t==='string'){var s='Rs';for(var i=0;i<r.length;i++)"
    "s+=('000'+r.charCodeAt(i).toString(16)).slice(-4);return s;}"
    "return 'Ru';}";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::u16string> parseHexText(std::string_view hex) {
    if (hex.size() % 4 != 0) return std::nullopt;
    std::u16string text;
    text.reserve(hex.size() / 4);
    for (std::size_t i = 0; i < hex.size(); i += 4) {
        unsigned unit = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const int d = hexDigit(hex[i + k]);
            if (d < 0) return std::nullopt;
            unit = unit * 16 + static_cast<unsigned>(d);
        }
        text.push_back(static_cast<char16_t>(unit));
    }
    return text;
}

template <typename T>
std::optional<T> parseNumber(std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> parseJsNumber(std::string_view text) {
    // JavaScript spells the infinities in full; from_chars wants "inf".
    if (text == "Infinity") return parseNumber<double>("inf");
    if (text == "-Infinity") return parseNumber<double>("-inf");
    return parseNumber<double>(text);
}

std::optional<ScriptValue> parseValue(std::string_view answer) {
    if (answer == "u") return ScriptValue{};
    if (answer == "b0" || answer == "b1") return ScriptValue{answer == "b1"};
    const std::string_view body = answer.substr(answer.empty() ? 0 : 1);
    switch (answer.empty() ? '\0' : answer.front()) {
        case 'i':
            if (auto i = parseNumber<std::int32_t>(body)) return ScriptValue{*i};
            break;
        case 'd':
            if (auto d = parseJsNumber(body)) return ScriptValue{*d};
            break;
        case 's':
            if (auto s = parseHexText(body)) return ScriptValue{std::move(*s)};
            break;
    }
    return std::nullopt;
}

}  // namespace

std::string jsStringLiteral(std::u16string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (const char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\') {
            out.push_back(static_cast<char>(unit));
            continue;
        }
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 0xF]);
    }
    out.push_back('"');
    return out;
}

std::string pageCallScript(std::u16string_view name, std::span<const std::u16string> args) {
    std::string script = "(function(){var f=globalThis[" + jsStringLiteral(name) + "];";
    script += "if(typeof f!=='function')return 'M';var r;try{r=f(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i != 0) script.push_back(',');
        script += jsStringLiteral(args[i]);
    }
    script += ");}catch(e){return 'T';}return (";
    script += kAnswerFunction;
    script += ")(r);})()";
    return script;
}

std::optional<PageCall> parsePageCallAnswer(std::string_view answer) {
    if (answer == "M") return PageCall{PageCall::Outcome::Missing, {}, 0};
    if (answer == "T") return PageCall{PageCall::Outcome::Threw, {}, 0};
    if (answer.empty() || answer.front() != 'R') return std::nullopt;
    auto value = parseValue(answer.substr(1));
    if (!value) return std::nullopt;
    return PageCall{PageCall::Outcome::Returned, std::move(*value), 0};
}

}  // namespace tessel::platform::webkit
