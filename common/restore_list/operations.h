#pragma once
// What backup and restore do with a restore list: placeholder expansion, shortcuts and registry
// entries. Failures are passed over silently; neither program reports anything.

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace tessel::platform {
class DeviceFs;
class Shell;
}  // namespace tessel::platform

namespace tessel::restore_list {

class RestoreList;

inline constexpr const char* kInstallDirSection = "InstallDir";
inline constexpr const char* kInstallEntry = "install";
inline constexpr const char* kBackupEntry = "backup";
inline constexpr const char* kShortcutSection = "ShortCut";

// The folder on persistent storage, the one folder a cold boot leaves in place.
inline constexpr std::string_view kPersistentFolder = "\\DiskOnChip";

// True for "\DiskOnChip" itself and every folder below it, in exact case: "\diskonchip\App" and
// "\DiskOnChipData" do not count.
bool onPersistentStorage(std::string_view folder);

// The device services a list acts on.
struct Device {
    const platform::DeviceFs& fs;
    platform::Registry& registry;
    const platform::Shell& shell;
};

// Replaces a placeholder: the text between the first "{" and the next "}" is upper-cased and
// looked up among the special-folder names and "INSTALL"; the result is that folder followed by
// the text after the "}" (text before the "{" is dropped). Without both braces, with an unknown
// name or a failed look-up the text comes back unchanged.
std::string expandPlaceholders(const RestoreList& list, const platform::Shell& shell,
                               std::string_view text);

// Every entry of "ShortCut" becomes a shortcut file at its expanded name whose target text is
// the expanded value in double quotes.
void createShortcuts(const RestoreList& list, const Device& device);
// Deletes the shortcut file of every entry of "ShortCut".
void deleteShortcuts(const RestoreList& list, const Device& device);

// A registry key named by a section: "HKEY_LOCAL_MACHINE\Software\App" (one leading "\"
// allowed) gives the hive and "\Software\App". Nullopt for a name without a further "\" or with
// an unknown root.
struct RegistryKeyName {
    platform::Hive hive;
    std::string subKey;
};
std::optional<RegistryKeyName> registryKeyOf(std::string_view sectionName);

// Every section naming a registry key: the key is created and every entry set as a REG_SZ value.
void createRegistryEntries(const RestoreList& list, platform::Registry& registry);
// Every section naming a registry key: the values its entries name are deleted; keys stay.
void deleteRegistryValues(const RestoreList& list, platform::Registry& registry);

}  // namespace tessel::restore_list
