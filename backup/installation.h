#pragma once
// What the setup library does at installation and removal, on one device.

#include <string>
#include <string_view>

#include "common/restore_list/operations.h"
#include "platform/names.h"

namespace tessel::backup {

inline constexpr const char* kAutorunList = "\\diskonchip\\autorun.ini";

// An installation folder taken apart: the folder without one trailing "\", the folder as the
// device file system resolves it, and the last component of that with the leading "\"
// ("\Program Files\App\" and "\Program Files\App\." both give "\Program Files\App" and "\App").
struct InstallFolder {
    std::string folder;
    std::string normal;
    std::string last;

    static InstallFolder of(std::string_view passed);
    // True when the installation is copied to "\DiskOnChip" + last: it lies outside persistent
    // storage and has a last component to name the copy (a copy named by no component would be
    // "\DiskOnChip" itself, which removal would then delete whole).
    bool needsBackup() const {
        return !restore_list::onPersistentStorage(normal) && last.size() > 1;
    }
    // Whether other names the same folder; folder names ignore case, as on the device.
    bool sameFolder(const InstallFolder& other) const {
        return platform::equalsIgnoreCase(normal, other.normal);
    }
    std::string listPath() const { return folder + "\\restore\\restoreINI.txt"; }
};

// Records the installation in its restore list, backs it up when needed, creates its shortcuts
// and registry values and registers the restore program in the cold-boot start list.
void installExit(const restore_list::Device& device, std::string_view installFolder);

// Deletes the shortcuts, registry values and backup copy the installation's list names. The
// cold-boot start list keeps its line.
void uninstallInit(const restore_list::Device& device, std::string_view installFolder);

// Adds program to the cold-boot start list unless some line already holds it, in any case.
void registerRestoreProgram(const platform::DeviceFs& fs, const std::string& program);

}  // namespace tessel::backup
