#include "common/restore_list/operations.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/restore_list/files.h"
#include "common/restore_list/restore_list.h"
#include "platform/names.h"
#include "platform/shell.h"

namespace tessel::restore_list {

namespace {

using platform::SpecialFolder;

constexpr std::array<std::pair<std::string_view, SpecialFolder>, 7> kFolderNames{{
    {"CSIDL_PROGRAM_FILES", SpecialFolder::ProgramFiles},
    {"CSIDL_DESKTOP", SpecialFolder::Desktop},
    {"CSIDL_PROGRAMS", SpecialFolder::Programs},
    {"CSIDL_STARTUP", SpecialFolder::Startup},
    {"CSIDL_WINDOWS", SpecialFolder::Windows},
    {"CSIDL_FAVORITES", SpecialFolder::Favorites},
    {"CSIDL_FONTS", SpecialFolder::Fonts},
}};

constexpr std::array<std::pair<std::string_view, platform::Hive>, 4> kRootNames{{
    {"hkey_local_machine", platform::Hive::LocalMachine},
    {"hkey_classes_root", platform::Hive::ClassesRoot},
    {"hkey_current_user", platform::Hive::CurrentUser},
    {"hkey_users", platform::Hive::Users},
}};

// The folder a placeholder name stands for, its letters in any case.
std::optional<std::string> placeholderFolder(const RestoreList& list, const platform::Shell& shell,
                                             std::string_view name) {
    if (platform::equalsIgnoreCase(name, "INSTALL")) {
        return list.value(kInstallDirSection, kInstallEntry);
    }
    const auto known = std::find_if(
        kFolderNames.begin(), kFolderNames.end(),
        [&](const auto& entry) { return platform::equalsIgnoreCase(entry.first, name); });
    if (known == kFolderNames.end()) return std::nullopt;
    return shell.specialFolderPath(static_cast<int>(known->second));
}

// Calls action with the opened (or created) key and each entry of every section naming a
// registry key; sections with an unknown root or a key that cannot be opened are passed over.
template <typename Action>
void forEachKeyEntry(const RestoreList& list, platform::Registry& registry, Action action) {
    for (const Section& section : list.sections()) {
        const auto name = registryKeyOf(section.name);
        if (!name) continue;
        auto key = registry.create(name->hive, name->subKey);
        if (!key) continue;
        for (const Entry& entry : section.entries) action(*key, entry);
    }
}

}  // namespace

std::string expandPlaceholders(const RestoreList& list, const platform::Shell& shell,
                               std::string_view text) {
    const std::size_t open = text.find('{');
    if (open == std::string_view::npos) return std::string(text);
    const std::size_t close = text.find('}', open + 1);
    if (close == std::string_view::npos) return std::string(text);
    const auto folder = placeholderFolder(list, shell, text.substr(open + 1, close - open - 1));
    if (!folder) return std::string(text);
    return *folder + std::string(text.substr(close + 1));
}

void createShortcuts(const RestoreList& list, const Device& device) {
    const Section* shortcuts = list.find(kShortcutSection);
    if (!shortcuts) return;
    for (const Entry& entry : shortcuts->entries) {
        const std::string file = expandPlaceholders(list, device.shell, entry.name);
        const std::string target = expandPlaceholders(list, device.shell, entry.value);
        device.shell.createShortcut(file, "\"" + target + "\"");
    }
}

void deleteShortcuts(const RestoreList& list, const Device& device) {
    const Section* shortcuts = list.find(kShortcutSection);
    if (!shortcuts) return;
    for (const Entry& entry : shortcuts->entries) {
        deleteFile(device.fs, expandPlaceholders(list, device.shell, entry.name));
    }
}

bool onPersistentStorage(std::string_view folder) {
    return folder.starts_with(kPersistentFolder) &&
           (folder.size() == kPersistentFolder.size() || folder[kPersistentFolder.size()] == '\\');
}

std::optional<RegistryKeyName> registryKeyOf(std::string_view sectionName) {
    if (sectionName.starts_with('\\')) sectionName.remove_prefix(1);
    const std::size_t split = sectionName.find('\\');
    if (split == std::string_view::npos) return std::nullopt;
    const std::string_view root = sectionName.substr(0, split);
    const auto known = std::find_if(kRootNames.begin(), kRootNames.end(), [&](const auto& entry) {
        return platform::equalsIgnoreCase(entry.first, root);
    });
    if (known == kRootNames.end()) return std::nullopt;
    return RegistryKeyName{known->second, std::string(sectionName.substr(split))};
}

void createRegistryEntries(const RestoreList& list, platform::Registry& registry) {
    forEachKeyEntry(list, registry, [](platform::Registry::Key& key, const Entry& entry) {
        key.set(entry.name, platform::RegValue::sz(entry.value));
    });
}

void deleteRegistryValues(const RestoreList& list, platform::Registry& registry) {
    forEachKeyEntry(list, registry, [](platform::Registry::Key& key, const Entry& entry) {
        key.deleteValue(entry.name);
    });
}

}  // namespace tessel::restore_list
