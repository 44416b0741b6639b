#include "terminal/profiles.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tessel::terminal {
namespace {

using reader::ReaderType;

// The generic handheld has no library of its own; it carries the K220's, whose status binding
// resolves no status entry points, and is recognised as a generic handheld by its Ident "Name"
// (its "DeviceModel" is empty). The KP30 is recognised by its library alone.
constexpr std::array kProfiles{
    Profile{"K210", "DEVK210CE", "K210", "K210CE_SYS.dll", {240, 320}, ReaderType::Imager2D4507,
            ReaderType::RfidText},
    Profile{"K220", "DEVK220CE", "K220", "K220CE_SYS.dll", {240, 320}, ReaderType::CcdLaser,
            ReaderType::RfidFrame},
    Profile{"K230", "DEVK230CE", "K230", "K230CE_SYS.dll", {240, 320}, ReaderType::Imager2D,
            ReaderType::RfidText},
    Profile{"K240", "DEVK240CE", "K240", "K240CE_SYS.DLL", {480, 640}, ReaderType::Imager2D,
            ReaderType::RfidModule},
    Profile{"KP30", "KP30", "KP30", "KP30SystemAPI.dll", {240, 384}, ReaderType::LongRange1D955,
            ReaderType::None},
    Profile{"generic", "", "Pocket_PC", "K220CE_SYS.dll", {480, 640}, ReaderType::CcdLaser,
            ReaderType::None},
};

constexpr std::array<std::string_view, 10> kKindNames{
    "none", "auto", "CcdLaser", "Imager2D", "LongRange1D", "RfidText",
    "RfidFrame", "RfidModule", "Imager2D4507", "LongRange1D955",
};

bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

}  // namespace

std::span<const Profile> profiles() { return kProfiles; }

std::optional<Profile> findProfile(std::string_view name) {
    const auto it = std::ranges::find_if(kProfiles, [&](const Profile& p) { return sameName(p.name, name); });
    if (it == kProfiles.end()) return std::nullopt;
    return *it;
}

std::string_view readerKindName(ReaderType kind) {
    const auto index = static_cast<std::size_t>(kind);
    return index < kKindNames.size() ? kKindNames[index] : "unknown";
}

std::string profileNames() {
    std::string names;
    for (const Profile& p : kProfiles) names += (names.empty() ? "" : ", ") + std::string(p.name);
    return names;
}

}  // namespace tessel::terminal
