#include "platform/power_status.h"

#include <fstream>
#include <string>

namespace tessel::platform {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    return text;
}

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::uint8_t foldSupply(std::uint8_t soFar, std::string_view type, std::string_view online) {
    type = trimmed(type);
    if (type != "Mains" && type != "USB") return soFar;
    if (trimmed(online) == "1") return kAcOnline;
    return soFar == kAcOnline ? kAcOnline : kAcOffline;
}

std::uint8_t SysfsPowerStatus::acLineStatus() {
    std::uint8_t status = kAcUnknown;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "class/power_supply", ec))
        status = foldSupply(status, firstLine(entry.path() / "type"), firstLine(entry.path() / "online"));
    return status;
}

}  // namespace tessel::platform
