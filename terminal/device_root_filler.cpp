#include "terminal/device_root_filler.h"

#include <fstream>

#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/serial_posix.h"
#include "terminal/wav.h"

namespace tessel::terminal {
namespace {

namespace fs = std::filesystem;
using platform::Hive;
using platform::RegValue;

// The host folder of a device folder, created when missing.
bool hostFolder(const platform::DeviceFs& device, const std::string& devicePath, fs::path& out,
                std::string& error) {
    auto host = device.toHost(devicePath, &error);
    if (!host) return false;
    std::error_code ec;
    fs::create_directories(*host, ec);
    if (ec) {
        error = "cannot create " + host->string() + ": " + ec.message();
        return false;
    }
    out = *host;
    return true;
}

bool writeFile(const fs::path& file, const std::vector<std::uint8_t>& bytes, std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

bool copyInto(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) error = "cannot copy " + from.string() + " to " + to.string() + ": " + ec.message();
    return !ec;
}

bool fillRegistry(const Profile& profile, const platform::DeviceFs& device, const PortMap& ports,
                  std::string& error) {
    platform::Registry registry(platform::Registry::fileOf(device));
    auto ident = registry.create(Hive::LocalMachine, "Ident");
    auto portMap = registry.create(Hive::LocalMachine, platform::kPortMapKey);
    bool ok = ident && portMap && ident->set("DeviceModel", RegValue::sz(std::string(profile.deviceModel))) &&
              ident->set("Name", RegValue::sz(std::string(profile.identName)));
    for (const auto& [name, path] : {std::pair{"COM1", &ports.com1}, std::pair{"COM2", &ports.com2}}) {
        if (!ok) break;
        // A port without a device is left out, so that no stale pty path from an earlier run
        // stands in the map.
        ok = path->empty() ? (portMap->deleteValue(name), true) : portMap->set(name, RegValue::sz(*path));
    }
    if (!ok) error = "cannot write the device registry: " + registry.lastError();
    return ok;
}

bool fillWindows(const Profile& profile, const fs::path& windows, const FillSources& sources,
                 std::string& error) {
    for (const Profile& other : profiles()) {
        if (other.libraryFile == profile.libraryFile) continue;
        std::error_code ec;
        fs::remove(windows / other.libraryFile, ec);
    }
    const std::string library(profile.libraryFile);
    if (!copyInto(sources.libraryDir / library, windows / library, error)) return false;
    for (const BuiltInSound& sound : builtInSounds()) {
        if (!writeFile(windows / (std::string(sound.name) + ".wav"), toneWav(sound.tones), error))
            return false;
    }
    return true;
}

bool fillProgramFolder(const fs::path& folder, const FillSources& sources, std::string& error) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sources.demoDir, ec)) {
        if (entry.is_regular_file() && !copyInto(entry.path(), folder / entry.path().filename(), error))
            return false;
    }
    if (ec) {
        error = "cannot read the demo folder " + sources.demoDir.string() + ": " + ec.message();
        return false;
    }
    // With no home page set the browser opens "test.htm" of its folder: the demo's start page.
    const fs::path start = sources.demoDir / "index.htm";
    return !fs::is_regular_file(start, ec) || copyInto(start, folder / "test.htm", error);
}

}  // namespace

void clearPortMap(const fs::path& root) {
    platform::Registry registry(platform::Registry::fileOf(platform::DeviceFs(root)));
    if (auto portMap = registry.open(Hive::LocalMachine, platform::kPortMapKey)) {
        portMap->deleteValue("COM1");
        portMap->deleteValue("COM2");
    }
}

bool fillDeviceRoot(const Profile& profile, const fs::path& root, const FillSources& sources,
                    const PortMap& ports, std::string& error) {
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec) {
        error = "cannot create the device root " + root.string() + ": " + ec.message();
        return false;
    }
    const platform::DeviceFs device(root);
    fs::path windows, program;
    return hostFolder(device, "\\Windows", windows, error) &&
           hostFolder(device, kProgramFolder, program, error) &&
           fillRegistry(profile, device, ports, error) &&
           fillWindows(profile, windows, sources, error) &&
           fillProgramFolder(program, sources, error);
}

}  // namespace tessel::terminal
