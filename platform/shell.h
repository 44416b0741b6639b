#pragma once
// The terminal's shell services: special-folder paths and shortcut files.
//
// Special folders are device folders under the device root, named by the terminal's folder
// identifiers. A shortcut is a small text file holding the length of its target text, "#" and the
// target text, e.g. 22#"\Program Files\a.exe".

#include <optional>
#include <string>
#include <string_view>

namespace tessel::platform {

class DeviceFs;

// The folder identifiers the shell knows.
enum class SpecialFolder : int {
    Programs = 2,
    Favorites = 6,
    Startup = 7,
    Desktop = 16,
    Fonts = 20,
    Windows = 36,
    ProgramFiles = 38,
};

inline constexpr SpecialFolder kSpecialFolders[] = {
    SpecialFolder::Programs,     SpecialFolder::Favorites, SpecialFolder::Startup,
    SpecialFolder::Desktop,      SpecialFolder::Fonts,     SpecialFolder::Windows,
    SpecialFolder::ProgramFiles,
};

// The content of a shortcut file whose target text is target.
std::string shortcutFileText(std::string_view target);
// The target text of a shortcut file's content; nullopt when it is not one.
std::optional<std::string> shortcutTarget(std::string_view fileText);

class Shell {
  public:
    explicit Shell(const DeviceFs& fs) : fs_(fs) {}

    // The device path of a special folder ("\Windows\Start Menu\Programs"), without a trailing
    // "\"; nullopt for an unknown identifier. The folder is not created.
    std::optional<std::string> specialFolderPath(int id) const;

    // Creates every special folder that does not exist yet, as the terminal's system image does.
    bool createSpecialFolders() const;

    // Writes the shortcut file at a device path (its folder must exist); false on failure.
    bool createShortcut(std::string_view shortcutPath, std::string_view target) const;
    // The target text of the shortcut at a device path; nullopt when there is none.
    std::optional<std::string> readShortcut(std::string_view shortcutPath) const;

  private:
    const DeviceFs& fs_;
};

}  // namespace tessel::platform
