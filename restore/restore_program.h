#pragma once
// The restore program: re-creates an installation after a cold boot from the restore list that
// lies beside the program on persistent storage.

#include <string>
#include <string_view>

#include "common/restore_list/operations.h"

namespace tessel::restore {

// Reads ownFolder (the program's device folder, ending in "\") + "restoreINI.txt" and restores
// what it describes. Every failure is silent.
void restoreInstallation(const restore_list::Device& device, std::string_view ownFolder);

}  // namespace tessel::restore
