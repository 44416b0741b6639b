#pragma once
// Terminal profiles: what a simulated terminal of each model looks like to the browser. Each
// profile names the identity the device registry carries, the system-services library file the
// model ships, its screen, and the readers fitted on port 1 (scan engine) and port 2 (RFID).

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "browser/reader/reader_types.h"

namespace tessel::terminal {

struct ScreenSize {
    int width;
    int height;
};

struct Profile {
    std::string_view name;         // "K220"; matched case-insensitively on the command line
    std::string_view deviceModel;  // "DeviceModel" under HKEY_LOCAL_MACHINE\Ident
    std::string_view identName;    // "Name" under HKEY_LOCAL_MACHINE\Ident
    std::string_view libraryFile;  // system-services library, placed in \Windows
    ScreenSize screen;
    reader::ReaderType port1;  // None when no scan engine is fitted
    reader::ReaderType port2;  // None when no RFID reader is fitted
};

// Every profile, in the order the launcher lists them.
std::span<const Profile> profiles();

// The profile of that name (case-insensitive); nullopt when there is none.
std::optional<Profile> findProfile(std::string_view name);

// The name of a reader kind as the profiles use it ("CcdLaser", "RfidModule"); "none" for None.
std::string_view readerKindName(reader::ReaderType kind);

// "K210, K220, ..." for usage texts.
std::string profileNames();

}  // namespace tessel::terminal
