#pragma once
// The terminal's file system, laid out under one host folder: the device root.
//
// Device paths use "\" separators ("\Windows\Default", "\DiskOnChip\App\browserINI.txt").
// Each component that already exists is matched case-insensitively, as the terminal does, so
// "\diskonchip\autorun.ini" and "\DiskOnChip\autorun.ini" are one file; components that do not
// exist yet are taken as written. No device path can leave the root: "..", host-absolute paths
// and symbolic links that lead outside are refused.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::platform {

// Name of the environment variable that names the device root.
inline constexpr const char* kDeviceRootVariable = "TESSEL_DEVICE_ROOT";

class DeviceFs {
public:
    explicit DeviceFs(std::filesystem::path root);

    // The root given by overrideRoot when not empty, else by TESSEL_DEVICE_ROOT; nullopt when
    // neither names one.
    static std::optional<DeviceFs> fromEnvironment(const std::string& overrideRoot = {});

    const std::filesystem::path& root() const { return root_; }

    // The host path of a device path. Nullopt, with a reason in error when given, for a path
    // that would leave the root. A path without a leading "\" is taken from the root as well.
    std::optional<std::filesystem::path> toHost(std::string_view devicePath,
                                                std::string* error = nullptr) const;

    // The device path ("\DiskOnChip\App") of a host path inside the root; nullopt outside.
    std::optional<std::string> toDevice(const std::filesystem::path& hostPath) const;

private:
    std::filesystem::path root_;
};

// A device path as the file system resolves it: "\" and "/" both separate, empty and "."
// components vanish, and the result is "\" followed by the components joined by "\"
// ("\Program Files\App\." and "Program Files/App/" give "\Program Files\App"; "\." gives
// "\"). Letter case stays as written.
std::string normalDevicePath(std::string_view path);

// The host folder that holds the running program, ending in a separator.
std::filesystem::path programFolder();

}  // namespace tessel::platform
