#include "terminal/control_line.h"

#include <charconv>

namespace tessel::terminal {
namespace {

std::optional<std::uint8_t> hexByte(std::string_view two) {
    std::uint8_t value = 0;
    const auto [end, ec] = std::from_chars(two.data(), two.data() + two.size(), value, 16);
    if (two.size() != 2 || ec != std::errc() || end != two.data() + 2) return std::nullopt;
    return value;
}

std::optional<std::uint8_t> codeType(std::string_view word) {
    if (word.size() == 1 && (word[0] < '0' || word[0] > '9')) return static_cast<std::uint8_t>(word[0]);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size() || value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::optional<std::vector<std::uint8_t>> percentDecoded(std::string_view text) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(static_cast<std::uint8_t>(text[i]));
            continue;
        }
        const auto byte = hexByte(text.substr(i + 1, 2));
        if (!byte) return std::nullopt;
        out.push_back(*byte);
        i += 2;
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> hexBytes(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto byte = hexByte(text.substr(i, 2));
        if (!byte) return std::nullopt;
        out.push_back(*byte);
    }
    return out;
}

// Splits off the first word (up to one space); the rest follows that space.
std::string_view firstWord(std::string_view& rest) {
    const auto space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    return word;
}

std::optional<ControlCommand> barcode(std::string_view rest, std::string& error) {
    const auto type = codeType(firstWord(rest));
    if (!type) {
        error = "code type must be a number 0-255 or one character";
        return std::nullopt;
    }
    auto data = percentDecoded(rest);
    if (!data || data->empty()) {
        error = data ? "no barcode data" : "bad %HH escape in the barcode data";
        return std::nullopt;
    }
    return ControlCommand{ControlCommand::Kind::Barcode, *type, std::move(*data)};
}

std::optional<ControlCommand> tag(std::string_view rest, std::string& error) {
    if (rest == "none") return ControlCommand{ControlCommand::Kind::Tag, 0, {}};
    auto uid = hexBytes(rest);
    if (!uid || (uid->size() != 4 && uid->size() != 7)) {
        error = "tag UID must be 4 or 7 bytes in hexadecimal, or none";
        return std::nullopt;
    }
    return ControlCommand{ControlCommand::Kind::Tag, 0, std::move(*uid)};
}

std::optional<ControlCommand> power(std::string_view rest, std::string& error) {
    if (rest != "mains" && rest != "battery") {
        error = "power must be mains or battery";
        return std::nullopt;
    }
    ControlCommand command{ControlCommand::Kind::Power, 0, {}};
    command.onMains = rest == "mains";
    return command;
}

std::optional<ControlCommand> signalStrength(std::string_view rest, std::string& error) {
    std::int32_t dbm = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), dbm);
    if (rest.empty() || ec != std::errc() || end != rest.data() + rest.size() || dbm < kMinSignalDbm || dbm > 0) {
        error = "signal must be a whole number of dBm from -128 to 0";
        return std::nullopt;
    }
    ControlCommand command{ControlCommand::Kind::Signal, 0, {}};
    command.signalDbm = dbm;
    return command;
}

}  // namespace

std::optional<ControlCommand> parseControlLine(std::string_view line, std::string& error) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    const std::string_view verb = firstWord(line);
    if (verb == "barcode") return barcode(line, error);
    if (verb == "tag") return tag(line, error);
    if (verb == "power") return power(line, error);
    if (verb == "signal") return signalStrength(line, error);
    error = "unknown request (barcode TYPE DATA, tag UID, tag none, power mains|battery or signal DBM)";
    return std::nullopt;
}

}  // namespace tessel::terminal
