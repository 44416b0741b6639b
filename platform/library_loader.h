#pragma once
// Loading libraries by file name and resolving their entry points by name.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_fs.h"

namespace tessel::platform {

class Library {
public:
    virtual ~Library() = default;
    // The entry point of that name, or null when the library has none.
    virtual void* symbol(const char* name) const = 0;
};

class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // Loads fileName ("Sys.dll"); null when it is not found or cannot be loaded, with the reason
    // in lastError().
    virtual std::unique_ptr<Library> load(const std::string& fileName) = 0;
    const std::string& lastError() const { return lastError_; }

protected:
    std::string lastError_;
};

// Loads shared objects with dlopen. A bare file name is looked for (case-insensitively) in each
// folder in turn: the program folder, then device folders. A device path ("\Windows\Sys.dll")
// is resolved through the device file system, when one is given, and never leaves its root.
class DlLibraryLoader final : public LibraryLoader {
public:
    explicit DlLibraryLoader(std::vector<std::filesystem::path> folders,
                             std::optional<DeviceFs> device = std::nullopt);
    std::unique_ptr<Library> load(const std::string& fileName) override;

private:
    std::unique_ptr<Library> loadDevicePath(const std::string& devicePath);
    std::unique_ptr<Library> open(const std::filesystem::path& file);

    std::vector<std::filesystem::path> folders_;
    std::optional<DeviceFs> device_;
};

// A loader for tests: libraries are tables of named functions.
class TableLibraryLoader final : public LibraryLoader {
public:
    using Table = std::map<std::string, void*>;
    void add(const std::string& fileName, Table entries) { tables_[fileName] = std::move(entries); }
    std::unique_ptr<Library> load(const std::string& fileName) override;

private:
    std::map<std::string, Table> tables_;
};

}  // namespace tessel::platform
