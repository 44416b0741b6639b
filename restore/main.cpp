// restore: started after a cold boot from the backup copy on persistent storage. Takes no
// arguments, shows nothing and always exits with 0.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "restore/restore_program.h"

namespace {

namespace platform = tessel::platform;

// The program folder as a device path ending in "\"; nullopt for a program outside the device
// root. The program's host path has every symbolic link resolved, so the root is resolved too.
std::optional<std::string> ownFolder(const platform::DeviceFs& fs) {
    std::error_code ec;
    const auto root = std::filesystem::weakly_canonical(fs.root(), ec);
    auto folder =
        platform::DeviceFs(ec ? fs.root() : root).toDevice(platform::programFolder().parent_path());
    if (folder && folder->back() != '\\') *folder += '\\';
    return folder;
}

void run() {
    const auto fs = platform::DeviceFs::fromEnvironment();
    if (!fs) return;
    const auto folder = ownFolder(*fs);
    if (!folder) return;
    platform::Registry registry(platform::Registry::fileOf(*fs));
    const platform::Shell shell(*fs);
    tessel::restore::restoreInstallation({*fs, registry, shell}, *folder);
}

}  // namespace

int main() {
    try {
        run();
    } catch (...) {
    }
    return 0;
}
