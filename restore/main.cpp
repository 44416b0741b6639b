// restore: started after a cold boot from the backup copy on persistent storage. Takes no
// arguments, shows nothing and always exits with 0.

#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "restore/restore_program.h"

namespace {

void run() {
    namespace platform = tessel::platform;
    const auto fs = platform::DeviceFs::fromEnvironment();
    if (!fs) return;
    // The program folder as a device path; a program outside the device root restores nothing.
    auto folder = fs->toDevice(platform::programFolder().parent_path());
    if (!folder) return;
    if (folder->back() != '\\') *folder += '\\';
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
