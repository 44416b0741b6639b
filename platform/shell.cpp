#include "platform/shell.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/device_fs.h"

namespace tessel::platform {

std::string shortcutFileText(std::string_view target) {
    return std::to_string(target.size()) + "#" + std::string(target);
}

std::optional<std::string> shortcutTarget(std::string_view fileText) {
    const std::size_t hash = fileText.find('#');
    if (hash == std::string_view::npos || hash == 0) return std::nullopt;
    std::size_t length = 0;
    const auto [end, ec] = std::from_chars(fileText.data(), fileText.data() + hash, length);
    if (ec != std::errc() || end != fileText.data() + hash) return std::nullopt;
    const std::string_view target = fileText.substr(hash + 1);
    if (target.size() < length) return std::nullopt;
    return std::string(target.substr(0, length));
}

std::optional<std::string> Shell::specialFolderPath(int id) const {
    switch (static_cast<SpecialFolder>(id)) {
        case SpecialFolder::Programs:
            return "\\Windows\\Start Menu\\Programs";
        case SpecialFolder::Favorites:
            return "\\Windows\\Favorites";
        case SpecialFolder::Startup:
            return "\\Windows\\StartUp";
        case SpecialFolder::Desktop:
            return "\\Windows\\Desktop";
        case SpecialFolder::Fonts:
            return "\\Windows\\Fonts";
        case SpecialFolder::Windows:
            return "\\Windows";
        case SpecialFolder::ProgramFiles:
            return "\\Program Files";
    }
    return std::nullopt;
}

bool Shell::createSpecialFolders() const {
    bool ok = true;
    for (SpecialFolder folder : kSpecialFolders) {
        const auto host = fs_.toHost(*specialFolderPath(static_cast<int>(folder)));
        if (!host) {
            ok = false;
            continue;
        }
        std::error_code ec;
        std::filesystem::create_directories(*host, ec);
        if (ec) ok = false;
    }
    return ok;
}

bool Shell::createShortcut(std::string_view shortcutPath, std::string_view target) const {
    const auto host = fs_.toHost(shortcutPath);
    if (!host) return false;
    std::ofstream out(*host, std::ios::binary | std::ios::trunc);
    const std::string content = shortcutFileText(target);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    return static_cast<bool>(out);
}

std::optional<std::string> Shell::readShortcut(std::string_view shortcutPath) const {
    const auto host = fs_.toHost(shortcutPath);
    std::error_code ec;
    if (!host || !std::filesystem::is_regular_file(*host, ec)) return std::nullopt;
    std::ifstream in(*host, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) return std::nullopt;
    return shortcutTarget(content);
}

}  // namespace tessel::platform
