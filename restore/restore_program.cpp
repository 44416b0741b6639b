#include "restore/restore_program.h"

#include "common/restore_list/files.h"
#include "common/restore_list/restore_list.h"

namespace tessel::restore {

namespace rl = restore_list;

void restoreInstallation(const rl::Device& device, std::string_view ownFolder) {
    rl::RestoreList list;
    if (!list.read(device.fs, std::string(ownFolder) + "restoreINI.txt")) return;
    const auto install = list.value(rl::kInstallDirSection, rl::kInstallEntry);
    if (!install) return;
    // The folder test is exact: "\diskonchip\..." counts as outside persistent storage.
    if (!rl::onPersistentStorage(*install)) {
        const auto backup = list.value(rl::kInstallDirSection, rl::kBackupEntry);
        if (!backup) return;
        // An installation that is its own backup copy (names differing in case only) is
        // already there; copying it onto itself and deleting its restore folder would only
        // destroy the copy this program runs from.
        if (!rl::isWithin(device.fs, *install, *backup)) {
            rl::makePath(device.fs, *install);
            rl::copyTree(device.fs, *backup, *install);
            rl::deleteTree(device.fs, *install + "\\restore\\");
        }
    }
    rl::createShortcuts(list, device);
    rl::createRegistryEntries(list, device.registry);
}

}  // namespace tessel::restore
