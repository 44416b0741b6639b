#include "platform/device_fs.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <system_error>
#include <vector>

#include "platform/names.h"

namespace fs = std::filesystem;

namespace tessel::platform {

namespace {

// Symbolic links followed before a path counts as a loop, as the kernel's limit.
constexpr int kMaxLinkHops = 40;

std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

// "C:" or "C:\..." : a drive-letter path of the host.
bool hasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The components of a device path; "\" and "/" both separate, empty and "." components vanish.
std::vector<std::string> splitDevicePath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

// The entry of folder whose name matches name: the exact name first, then any that is equal
// ignoring ASCII case. Empty when there is none or the folder cannot be listed.
std::string findEntry(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder / name, ec))) return name;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (equalsIgnoreCase(entry, name)) return entry;
    }
    return {};
}

bool isWithin(const fs::path& path, const fs::path& folder) {
    const auto folderEnd =
        std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first;
    // A trailing separator on folder yields one empty last element.
    return folderEnd == folder.end() ||
           (std::next(folderEnd) == folder.end() && folderEnd->empty());
}

// Where path finally leads, following symbolic links even when their target does not exist
// (weakly_canonical alone would take a dangling link's name as a plain new file).
std::optional<fs::path> resolveLinks(fs::path path) {
    std::error_code ec;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        path = fs::weakly_canonical(path, ec);
        if (ec) return std::nullopt;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        fs::path target = fs::read_symlink(path, ec);
        if (ec) return std::nullopt;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

bool fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// Refuses what is not a device path at all: NUL bytes, "..", host-absolute paths.
bool checkSyntax(std::string_view devicePath, std::string* error) {
    if (devicePath.find('\0') != std::string_view::npos) {
        return fail(error, "device path contains a NUL byte");
    }
    if (devicePath.starts_with('/') || hasDriveLetter(devicePath)) {
        return fail(error, inQuotes(devicePath) + " is a host path, not a device path");
    }
    for (const std::string& part : splitDevicePath(devicePath)) {
        if (part == "..") return fail(error, inQuotes(devicePath) + ": \"..\" is not allowed");
    }
    return true;
}

}  // namespace

std::string normalDevicePath(std::string_view path) {
    std::string normal;
    for (const std::string& part : splitDevicePath(path)) normal += "\\" + part;
    return normal.empty() ? "\\" : normal;
}

DeviceFs::DeviceFs(fs::path root) : root_(std::move(root)) {}

std::optional<DeviceFs> DeviceFs::fromEnvironment(const std::string& overrideRoot) {
    if (!overrideRoot.empty()) return DeviceFs(overrideRoot);
    const char* variable = std::getenv(kDeviceRootVariable);
    if (variable == nullptr || *variable == '\0') return std::nullopt;
    return DeviceFs(variable);
}

std::optional<fs::path> DeviceFs::toHost(std::string_view devicePath, std::string* error) const {
    if (!checkSyntax(devicePath, error)) return std::nullopt;
    const std::optional<fs::path> canonicalRoot = resolveLinks(root_);
    if (!canonicalRoot) {
        fail(error, "device root " + inQuotes(root_.string()) + " cannot be resolved");
        return std::nullopt;
    }
    fs::path host = root_;
    bool existing = true;  // every component so far exists, so the next one may too
    for (const std::string& part : splitDevicePath(devicePath)) {
        std::string name = existing ? findEntry(host, part) : std::string();
        existing = !name.empty();
        host /= existing ? name : part;
        if (!existing) continue;
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(host, ec))) continue;
        const std::optional<fs::path> target = resolveLinks(host);
        if (!target || !isWithin(*target, *canonicalRoot)) {
            fail(error,
                 inQuotes(devicePath) + ": " + inQuotes(name) + " leads outside the device root");
            return std::nullopt;
        }
    }
    return host;
}

std::optional<std::string> DeviceFs::toDevice(const fs::path& hostPath) const {
    std::error_code ec;
    const fs::path root = fs::absolute(root_, ec).lexically_normal();
    const fs::path host = fs::absolute(hostPath, ec).lexically_normal();
    if (ec || !isWithin(host, root)) return std::nullopt;
    std::string device;
    for (const fs::path& part : host.lexically_relative(root)) {
        if (part.empty() || part == ".") continue;
        device += "\\" + part.string();
    }
    return device.empty() ? "\\" : device;
}

fs::path programFolder() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return program.parent_path() / "";
}

}  // namespace tessel::platform
