#pragma once
// Fills a device root so that the browser finds a terminal of one profile there:
//   - the registry: HKEY_LOCAL_MACHINE\Ident ("DeviceModel", "Name") and the port map
//     (REG_SZ "COM1", "COM2" under HKEY_LOCAL_MACHINE\Software\Tessel\Ports);
//   - \Windows: the substitute system-services library under the model's file name (the other
//     models' files are removed, since the browser takes the first library that loads), and the
//     nine built-in sounds as WAV files;
//   - the program folder (kProgramFolder) with the demo web application.
// browserINI.txt is left to the browser. Filling again (another profile, new pty paths) brings the
// root up to date and keeps everything else in it.

#include <filesystem>
#include <string>

#include "terminal/profiles.h"

namespace tessel::terminal {

// Where the browser is taken to be installed when it does not lie inside the device root.
inline constexpr const char* kProgramFolder = "\\Program Files\\Tessel";

struct FillSources {
    std::filesystem::path libraryDir;  // the built system-services libraries, one per file name
    std::filesystem::path demoDir;     // the demo web application's files
};

// Host devices of the two ports; an empty path leaves the port out of the map.
struct PortMap {
    std::string com1;
    std::string com2;
};

// False with a reason in error when a file or the registry could not be written; what was done
// before the failure stays.
bool fillDeviceRoot(const Profile& profile, const std::filesystem::path& root,
                    const FillSources& sources, const PortMap& ports, std::string& error);

// Takes both ports out of the root's port map, as when the simulators behind them stop.
void clearPortMap(const std::filesystem::path& root);

}  // namespace tessel::terminal
