#include "terminal/simulated_host.h"

#include <cstring>

#include "platform/durable_file.h"

namespace tessel::terminal {
namespace {

namespace fs = std::filesystem;

bool replaceFile(const fs::path& path, std::string_view text, std::string& error) {
    platform::DurableFile file(path);
    if (file.write(text) && file.commit()) return true;
    error = "cannot write " + path.string() + ": " + std::strerror(file.error());
    return false;
}

fs::path supplyFolder(const SimulatedHost& host) { return host.sys / "class/power_supply/AC"; }

// Links inside the simulated folders to the host's own, where the host has them.
constexpr std::pair<const char*, const char*> kHostLinks[] = {
    {"proc/sys", "/proc/sys"},
    {"sys/class/dmi", "/sys/class/dmi"},
    {"sys/class/leds", "/sys/class/leds"},
    {"sys/class/input", "/sys/class/input"},
};

}  // namespace

SimulatedHost SimulatedHost::of(const fs::path& root) { return {root / "simhost/proc", root / "simhost/sys"}; }

std::vector<std::pair<std::string, std::string>> SimulatedHost::environment() const {
    return {{"TESSEL_PROC_ROOT", proc.string()}, {"TESSEL_SYS_ROOT", sys.string()}};
}

std::string wirelessText(std::int32_t dbm) {
    return "Inter-| sta-|   Quality        |   Discarded packets               | Missed | WE\n"
           " face | tus | link level noise |  nwid  crypt   frag  retry   misc | beacon | 22\n"
           " wlan0: 0000   50.  " + std::to_string(dbm) + ".  -256        0      0      0      0      0        0\n";
}

bool createSimulatedHost(const SimulatedHost& host, std::string& error) {
    std::error_code ec;
    for (const fs::path& folder : {host.proc / "net", supplyFolder(host)}) {
        fs::create_directories(folder, ec);
        if (ec) {
            error = "cannot create " + folder.string() + ": " + ec.message();
            return false;
        }
    }
    const fs::path top = host.proc.parent_path();
    for (const auto& [link, target] : kHostLinks) {
        fs::remove(top / link, ec);
        if (fs::exists(target, ec)) fs::create_directory_symlink(target, top / link, ec);
    }
    return replaceFile(supplyFolder(host) / "type", "Mains\n", error) && setMains(host, false, error) &&
           setSignal(host, kStartSignalDbm, error);
}

bool setMains(const SimulatedHost& host, bool onMains, std::string& error) {
    return replaceFile(supplyFolder(host) / "online", onMains ? "1\n" : "0\n", error);
}

bool setSignal(const SimulatedHost& host, std::int32_t dbm, std::string& error) {
    return replaceFile(host.proc / "net/wireless", wirelessText(dbm), error);
}

}  // namespace tessel::terminal
