#include "terminal/host.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "terminal/host_info.h"

namespace tessel::terminal {
namespace {

std::filesystem::path fromVariable(const char* name, const std::filesystem::path& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::filesystem::path(value) : fallback;
}

std::optional<std::string> firstDmiValue(const Host& host,
                                         std::initializer_list<const char*> fields) {
    for (const char* field : fields) {
        if (const auto raw = readHostFile(host.sys / "class/dmi/id" / field)) {
            if (auto value = dmiValue(*raw)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

std::string osVersion(const Host& host) {
    if (const auto text = readHostFile(host.etc / "os-release")) {
        if (auto name = osReleaseName(*text)) {
            return *name;
        }
    }
    if (const auto release = readHostFile(host.proc / "sys/kernel/osrelease")) {
        const auto line = release->substr(0, release->find('\n'));
        if (!line.empty()) {
            return "Linux " + line;
        }
    }
    return "Linux";
}

}  // namespace

Host Host::fromEnvironment() {
    Host host;
    host.proc = fromVariable("TESSEL_PROC_ROOT", host.proc);
    host.sys = fromVariable("TESSEL_SYS_ROOT", host.sys);
    host.etc = fromVariable("TESSEL_ETC_ROOT", host.etc);
    host.dev = fromVariable("TESSEL_DEV_ROOT", host.dev);
    host.deviceRoot = fromVariable("TESSEL_DEVICE_ROOT", {});
    host.ledName = fromVariable("TESSEL_LED", {}).string();
    host.soundDevice = fromVariable("TESSEL_SOUND_DEVICE", "default").string();
    return host;
}

std::optional<std::string> readHostFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    constexpr std::size_t kMaxBytes = 64 * 1024;
    std::string text;
    std::array<char, 4096> chunk{};
    while (text.size() < kMaxBytes && in.read(chunk.data(), chunk.size()).gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    text.resize(std::min(text.size(), kMaxBytes));
    return text;
}

HostIdentity readIdentity(const Host& host) {
    HostIdentity identity;
    identity.serialNumber =
        firstDmiValue(host, {"product_serial", "board_serial", "chassis_serial"})
            .value_or("Unknown");
    identity.manufactureDate = firstDmiValue(host, {"bios_date"}).value_or("Unknown");
    identity.osVersion = osVersion(host);
    return identity;
}

std::int32_t readSignalDbm(const Host& host) {
    const auto text = readHostFile(host.proc / "net/wireless");
    return text ? wirelessSignalDbm(*text).value_or(0) : 0;
}

}  // namespace tessel::terminal
