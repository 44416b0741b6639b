#include "backup/installation.h"

#include <algorithm>

#include "common/restore_list/files.h"
#include "common/restore_list/restore_list.h"
#include "platform/device_fs.h"
#include "platform/names.h"

namespace tessel::backup {

namespace rl = restore_list;

namespace {

bool containsIgnoreCase(std::string_view text, std::string_view part) {
    const auto found = std::search(
        text.begin(), text.end(), part.begin(), part.end(),
        [](char a, char b) { return platform::foldAscii(a) == platform::foldAscii(b); });
    return found != text.end() || part.empty();
}

}  // namespace

InstallFolder InstallFolder::of(std::string_view passed) {
    InstallFolder result;
    result.folder = passed;
    if (result.folder.size() > 1 && result.folder.back() == '\\') result.folder.pop_back();
    // The last component is taken after normalising, so that "\App\." or "\App\/" still names
    // "\App" and never an empty component. A folder written without "\" has no last component.
    result.normal = platform::normalDevicePath(result.folder);
    const bool named = result.folder.find('\\') != std::string::npos && result.normal.size() > 1;
    if (named) result.last = result.normal.substr(result.normal.rfind('\\'));
    return result;
}

void registerRestoreProgram(const platform::DeviceFs& fs, const std::string& program) {
    if (const auto content = rl::readFile(fs, kAutorunList)) {
        if (!containsIgnoreCase(*content, program)) {
            rl::writeFile(fs, kAutorunList, *content + "\r\n" + program + "\r\n");
        }
    } else {
        rl::writeFile(fs, kAutorunList, program + "\r\n");
    }
}

void installExit(const rl::Device& device, std::string_view installFolder) {
    const InstallFolder f = InstallFolder::of(installFolder);
    rl::RestoreList list;
    list.read(device.fs, f.listPath());
    rl::Section& dir = list.findOrCreate(rl::kInstallDirSection);
    dir.set(rl::kInstallEntry, installFolder);
    dir.remove(rl::kBackupEntry);

    // The restore program is registered where it will be after a cold boot: in the installation
    // itself on persistent storage, else in its backup copy.
    std::string restoreFolder = f.folder;
    if (!f.needsBackup()) {
        list.write(device.fs, f.listPath());
    } else {
        const std::string backupFolder = std::string(rl::kPersistentFolder) + f.last;
        dir.set(rl::kBackupEntry, backupFolder);
        list.write(device.fs, f.listPath());
        rl::makePath(device.fs, backupFolder);
        rl::copyTree(device.fs, f.folder, backupFolder);
        restoreFolder = backupFolder;
    }
    rl::createShortcuts(list, device);
    rl::createRegistryEntries(list, device.registry);
    registerRestoreProgram(device.fs, restoreFolder + "\\restore\\restore.exe");
}

namespace {

// The installation's list. After a cold boot the restore program has removed the restore folder
// from the restored installation; the list is then taken from the backup copy, provided that it
// records this installation.
rl::RestoreList installedList(const platform::DeviceFs& fs, const InstallFolder& f) {
    rl::RestoreList list;
    if (list.read(fs, f.listPath()) || !f.needsBackup()) return list;
    const InstallFolder backup = InstallFolder::of(std::string(rl::kPersistentFolder) + f.last);
    rl::RestoreList copy;
    const auto install = copy.read(fs, backup.listPath())
                             ? copy.value(rl::kInstallDirSection, rl::kInstallEntry)
                             : std::nullopt;
    return install && InstallFolder::of(*install).sameFolder(f) ? copy : list;
}

}  // namespace

void uninstallInit(const rl::Device& device, std::string_view installFolder) {
    const rl::RestoreList list = installedList(device.fs, InstallFolder::of(installFolder));
    rl::deleteShortcuts(list, device);
    rl::deleteRegistryValues(list, device.registry);
    if (const auto backupFolder = list.value(rl::kInstallDirSection, rl::kBackupEntry)) {
        rl::deleteTree(device.fs, *backupFolder);
    }
}

}  // namespace tessel::backup
