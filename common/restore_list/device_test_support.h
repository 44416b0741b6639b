#pragma once
// A device for tests: a temporary device root with its file system, registry and shell, and the
// special folders already made.

#include <filesystem>

#include "common/restore_list/operations.h"
#include "platform/device_fs.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/temp_dir.h"

namespace tessel::restore_list {

class DeviceTestSupport {
  protected:
    DeviceTestSupport()
        : fs_(root_.path()), registry_(platform::Registry::fileOf(fs_)), shell_(fs_) {
        shell_.createSpecialFolders();
    }

    Device device() { return {fs_, registry_, shell_}; }
    // Whether a host path relative to the root exists.
    bool exists(const std::filesystem::path& relative) const {
        return std::filesystem::exists(root_.path() / relative);
    }

    platform::TempDir root_;
    platform::DeviceFs fs_;
    platform::Registry registry_;
    platform::Shell shell_;
};

}  // namespace tessel::restore_list
