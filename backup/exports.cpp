// The setup library's C entry points: argument conversion and the device of TESSEL_DEVICE_ROOT.

#include <exception>
#include <string>

#include "backup/backup.h"
#include "backup/installation.h"
#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {

using tessel::restore_list::Device;

// Each UTF-16 character's low byte.
std::string narrow(const uint16_t* text) {
    std::string out;
    for (; text && *text; ++text) out += static_cast<char>(*text & 0xFF);
    return out;
}

// Runs action on the device named by TESSEL_DEVICE_ROOT; without one, or on any failure,
// nothing more happens.
template <typename Action>
void onDevice(Action action) noexcept {
    try {
        const auto fs = tessel::platform::DeviceFs::fromEnvironment();
        if (!fs) return;
        tessel::platform::Registry registry(tessel::platform::Registry::fileOf(*fs));
        const tessel::platform::Shell shell(*fs);
        action(Device{*fs, registry, shell});
    } catch (...) {
    }
}

}  // namespace

extern "C" {

int32_t Install_Init(void*, uint32_t, uint32_t, const uint16_t*) { return 0; }

int32_t Install_Exit(void*, const uint16_t* installFolder, uint16_t, uint16_t, uint16_t, uint16_t,
                     uint16_t) {
    onDevice(
        [&](const Device& device) { tessel::backup::installExit(device, narrow(installFolder)); });
    return 0;
}

int32_t Uninstall_Init(void*, const uint16_t* installFolder) {
    onDevice([&](const Device& device) {
        tessel::backup::uninstallInit(device, narrow(installFolder));
    });
    return 0;
}

int32_t Uninstall_Exit(void*) { return 0; }

}  // extern "C"
