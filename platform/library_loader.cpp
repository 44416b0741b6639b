#include "platform/library_loader.h"

#include <dlfcn.h>

#include <optional>
#include <system_error>

#include "platform/names.h"

namespace fs = std::filesystem;

namespace tessel::platform {

namespace {

class DlLibrary final : public Library {
public:
    explicit DlLibrary(void* handle) : handle_(handle) {}
    DlLibrary(const DlLibrary&) = delete;
    DlLibrary& operator=(const DlLibrary&) = delete;
    ~DlLibrary() override { ::dlclose(handle_); }

    void* symbol(const char* name) const override { return ::dlsym(handle_, name); }

private:
    void* handle_;
};

class TableLibrary final : public Library {
public:
    explicit TableLibrary(TableLibraryLoader::Table entries) : entries_(std::move(entries)) {}

    void* symbol(const char* name) const override {
        auto found = entries_.find(name);
        return found == entries_.end() ? nullptr : found->second;
    }

private:
    TableLibraryLoader::Table entries_;
};

// The regular file in folder whose name equals fileName ignoring ASCII case, the exact name
// first.
std::optional<fs::path> findFile(const fs::path& folder, const std::string& fileName) {
    std::error_code ec;
    if (fs::is_regular_file(folder / fileName, ec)) return folder / fileName;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (equalsIgnoreCase(it->path().filename().string(), fileName) && it->is_regular_file(ec)) {
            return it->path();
        }
    }
    return std::nullopt;
}

bool isPlainFileName(const std::string& fileName) {
    return !fileName.empty() && fileName != "." && fileName != ".." &&
           fileName.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

}  // namespace

DlLibraryLoader::DlLibraryLoader(std::vector<fs::path> folders, std::optional<DeviceFs> device)
    : folders_(std::move(folders)), device_(std::move(device)) {}

std::unique_ptr<Library> DlLibraryLoader::load(const std::string& fileName) {
    if (fileName.starts_with('\\')) return loadDevicePath(fileName);
    if (!isPlainFileName(fileName)) {
        lastError_ = "\"" + fileName + "\" is not a file name";
        return nullptr;
    }
    for (const fs::path& folder : folders_) {
        const std::optional<fs::path> file = findFile(folder, fileName);
        if (file) return open(*file);
    }
    lastError_ = "\"" + fileName + "\" not found";
    return nullptr;
}

std::unique_ptr<Library> DlLibraryLoader::loadDevicePath(const std::string& devicePath) {
    if (!device_) {
        lastError_ = "no device root to find \"" + devicePath + "\" in";
        return nullptr;
    }
    std::string reason;
    const std::optional<fs::path> file = device_->toHost(devicePath, &reason);
    if (!file) {
        lastError_ = reason;
        return nullptr;
    }
    std::error_code ec;
    if (!fs::is_regular_file(*file, ec)) {
        lastError_ = "\"" + devicePath + "\" not found";
        return nullptr;
    }
    return open(*file);
}

std::unique_ptr<Library> DlLibraryLoader::open(const fs::path& file) {
    // A path with a "/" in it, so dlopen never searches the system's folders instead.
    std::error_code ec;
    const fs::path absolute = fs::absolute(file, ec);
    void* handle = ::dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        lastError_ = reason ? reason : "cannot load \"" + absolute.string() + "\"";
        return nullptr;
    }
    lastError_.clear();
    return std::make_unique<DlLibrary>(handle);
}

std::unique_ptr<Library> TableLibraryLoader::load(const std::string& fileName) {
    for (const auto& [name, entries] : tables_) {
        if (equalsIgnoreCase(name, fileName)) {
            lastError_.clear();
            return std::make_unique<TableLibrary>(entries);
        }
    }
    lastError_ = "\"" + fileName + "\" not found";
    return nullptr;
}

}  // namespace tessel::platform
