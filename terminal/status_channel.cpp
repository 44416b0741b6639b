#include "terminal/status_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace tessel::terminal {
namespace {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string toJsonLine(const StatusEvent& event) {
    std::string line = "{\"library\":" + jsonString(event.library) +
                       ",\"call\":" + jsonString(event.call) + ",\"args\":[";
    const char* separator = "";
    for (const auto arg : event.args) {
        line += separator + std::to_string(arg);
        separator = ",";
    }
    return line + "],\"device\":" + jsonString(event.device) + "}\n";
}

bool report(const std::filesystem::path& deviceRoot, const StatusEvent& event) {
    if (deviceRoot.empty()) {
        return true;
    }
    const std::string line = toJsonLine(event);
    const auto file = deviceRoot / kStatusFileName;
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    return written;
}

}  // namespace tessel::terminal
