#pragma once
// The device root a tool works on: --root DIR, else TESSEL_DEVICE_ROOT. The chosen root is put
// into TESSEL_DEVICE_ROOT, so that libraries the tool loads and programs it starts see the same
// device.

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/device_fs.h"

namespace tessel::tools {

inline std::optional<platform::DeviceFs> openDeviceRoot(const std::string& overrideRoot) {
    auto fs = platform::DeviceFs::fromEnvironment(overrideRoot);
    if (!fs) return std::nullopt;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(fs->root(), ec);
    if (ec || !std::filesystem::is_directory(absolute, ec)) return std::nullopt;
    ::setenv(platform::kDeviceRootVariable, absolute.c_str(), 1);
    return platform::DeviceFs(absolute);
}

}  // namespace tessel::tools
