#include "tools/control_actions.h"

#include <cstdio>

#include "browser/app/status_icons.h"
#include "terminal/control_line.h"

namespace tessel::tools {
namespace {

ControlAction message(std::string name, std::uint32_t wParam = 0, std::int32_t lParam = 0,
                      std::chrono::milliseconds after = {}) {
    return {ControlAction::To::Browser, {platform::ChannelRequest::Kind::Post, std::move(name), wParam, lParam}, {},
            after};
}

// A request line for the terminal, checked by the terminal's own parser.
std::optional<ControlAction> request(std::string line, std::string& error) {
    if (!terminal::parseControlLine(line, error)) return std::nullopt;
    return ControlAction{ControlAction::To::Terminal, {}, std::move(line), {}};
}

// Bytes the request line cannot carry as they are ("%", line ends, other controls) as %HH.
std::string escaped(std::string_view data) {
    std::string out;
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (c != '%' && byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", byte);
        out += hex;
    }
    return out;
}

std::optional<ControlActions> one(std::optional<ControlAction> action) {
    if (!action) return std::nullopt;
    return ControlActions{std::move(*action)};
}

}  // namespace

ControlActions triggerActions(bool down) { return {message(down ? "WM_USER1DOWN" : "WM_USER1UP")}; }

std::optional<ControlActions> barcodeActions(std::string_view type, std::string_view data, std::string& error) {
    if (type.empty() || type.find(' ') != std::string_view::npos) {
        error = "code type must be a number 0-255 or one character";
        return std::nullopt;
    }
    return one(request("barcode " + std::string(type) + " " + escaped(data), error));
}

std::optional<ControlActions> tagActions(std::string_view uid, std::string& error) {
    if (uid == "none") {
        error = "tag UID must be 4 or 7 bytes in hexadecimal";
        return std::nullopt;
    }
    return one(request("tag " + std::string(uid), error));
}

ControlActions tagRemovedActions() { return {{ControlAction::To::Terminal, {}, "tag none", {}}}; }

std::optional<ControlActions> batteryActions(int charge, bool onMains, std::string& error) {
    if (charge < 0 || charge > 100) {
        error = "charge must be 0-100 percent";
        return std::nullopt;
    }
    auto power = request(onMains ? "power mains" : "power battery", error);
    if (!power) return std::nullopt;
    return ControlActions{*power, message("WM_BATTERYSTATE", 0, charge, kPowerSettleTime)};
}

std::optional<ControlActions> signalActions(std::int32_t dbm, std::string& error) {
    auto strength = request("signal " + std::to_string(dbm), error);
    if (!strength) return std::nullopt;
    return ControlActions{*strength, message("WM_WIFISTRENGTH", static_cast<std::uint32_t>(app::signalLevel(dbm)))};
}

ControlActions iconActions(bool wifi, bool battery) {
    return {message("WM_BROWSER_SHOWICON", wifi ? 1 : 0, battery ? 1 : 0)};
}

}  // namespace tessel::tools
