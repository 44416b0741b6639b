#pragma once
// Files and folder trees on the device, by device path. Every path is resolved through the
// device file system, so nothing outside the device root is read, written or removed, and
// symbolic links met while walking a tree are never followed.

#include <optional>
#include <string>
#include <string_view>

namespace tessel::platform {
class DeviceFs;
}

namespace tessel::restore_list {

// The whole content of a file as 8-bit text; nullopt when it cannot be opened.
std::optional<std::string> readFile(const platform::DeviceFs& fs, std::string_view path);
// Replaces the file with content, durably (platform::DurableFile); false when it cannot be
// created or written.
bool writeFile(const platform::DeviceFs& fs, std::string_view path, std::string_view content);
bool deleteFile(const platform::DeviceFs& fs, std::string_view path);

// Creates every level of folder; levels that exist or cannot be created are passed over.
void makePath(const platform::DeviceFs& fs, std::string_view folder);

// True when inner names the folder outer or a folder below it (symbolic links resolved).
bool isWithin(const platform::DeviceFs& fs, std::string_view inner, std::string_view outer);

// Copies every file and subfolder of from into to (which must exist), overwriting files. False
// when from is missing or empty, or when to lies inside from; a file or folder that cannot be
// copied is passed over.
bool copyTree(const platform::DeviceFs& fs, std::string_view from, std::string_view to);

// Deletes every file of the tree, then each folder that became empty. A folder that holds no
// entry at all is left in place, so empty subfolders (and the folders above them) remain. The
// device root is emptied but never removed.
void deleteTree(const platform::DeviceFs& fs, std::string_view folder);

}  // namespace tessel::restore_list
