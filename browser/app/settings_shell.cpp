#include "browser/app/settings_shell.h"

#include <utility>

namespace tessel::app {

SettingsShell::SettingsShell(Parts parts) : parts_(std::move(parts)) {
    if (parts_.rfid) idle_.emplace(*parts_.rfid);
}

std::function<void()> SettingsShell::startUpProcedure() {
    return [this] { persistence().loadSettingsAtStart(parts_.startReaderThreads); };
}

std::optional<std::u16string> SettingsShell::exportSettings() {
    return persistence().saveSettingsAtExit();
}

settings::SettingsPersistence& SettingsShell::persistence() {
    if (!persistence_) {
        persistence_ = std::make_unique<settings::SettingsPersistence>(settings::PersistenceParts{
            store_, parts_.options(), parts_.readers, parts_.fs, parts_.modulePath,
            idle_ ? &*idle_ : nullptr});
    }
    return *persistence_;
}

}  // namespace tessel::app
