#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/device_fs.h"
#include "platform/durable_file.h"
#include "platform/names.h"
#include "platform/registry_file.h"

namespace fs = std::filesystem;

namespace tessel::platform {

namespace {

struct HiveNames {
    Hive hive;
    const char* name;
    const char* shortName;
};

constexpr HiveNames kHives[] = {
    {Hive::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {Hive::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {Hive::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Hive::Users, "HKEY_USERS", "HKU"},
};

std::string systemError(const std::string& what, const fs::path& path, int error) {
    return what + " \"" + path.string() + "\": " + std::strerror(error);
}

// A file descriptor closed on destruction.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// The whole file; an empty text when it does not exist. Nullopt, with the reason, on failure.
std::optional<std::string> readFile(const fs::path& path, std::string& error) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return std::string();
        error = systemError("cannot open", path, errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) return text;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = systemError("cannot read", path, errno);
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// Replaces the file durably, so readers and a power cut see either the old file or the new one,
// never a part.
bool replaceFile(const fs::path& path, std::string_view text, std::string& error) {
    const int failure = replaceFileDurably(path, text);
    if (failure != 0) error = systemError("cannot replace", path, failure);
    return failure == 0;
}

// The key an open Key names, or null with the reason when another process deleted it.
RegistryTree::Key* openedKey(RegistryTree& tree, Hive hive, const std::string& path,
                             std::string& error) {
    RegistryTree::Key* key = tree.find(hive, path);
    if (!key) error = "key \"" + path + "\" was deleted";
    return key;
}

}  // namespace

std::optional<Hive> hiveFromName(std::string_view name) {
    for (const HiveNames& hive : kHives) {
        if (equalsIgnoreCase(name, hive.name) || equalsIgnoreCase(name, hive.shortName)) {
            return hive.hive;
        }
    }
    return std::nullopt;
}

const char* hiveName(Hive hive) {
    for (const HiveNames& names : kHives) {
        if (names.hive == hive) return names.name;
    }
    return "";
}

struct Registry::Data : RegistryTree {};

Registry::Registry(fs::path file, Clock& clock) : file_(std::move(file)), clock_(clock) {}

fs::path Registry::fileOf(const DeviceFs& fs) { return fs.root() / ".registry"; }

std::optional<Registry::Data> Registry::snapshot() {
    std::optional<std::string> text = readFile(file_, lastError_);
    if (!text) return std::nullopt;
    return Data{parseRegistry(*text)};
}

bool Registry::update(const std::function<bool(Data&)>& change) {
    const fs::path lockPath = file_.string() + ".lock";
    Fd lockFile(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (lockFile.get() < 0) {
        lastError_ = systemError("cannot open", lockPath, errno);
        return false;
    }
    if (!lock(lockFile.get(), lockPath)) return false;
    std::optional<Data> data = snapshot();
    if (!data || !change(*data)) return false;
    return replaceFile(file_, formatRegistry(*data), lastError_);
}

bool Registry::lock(int fd, const fs::path& lockPath) {
    // A process that holds the lock for good (stopped, hung) must not hang this one too.
    constexpr Millis kRetry{2};
    const Micros deadline = clock_.now() + kRegistryLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EWOULDBLOCK || clock_.now() >= deadline) {
            lastError_ = systemError("cannot lock", lockPath, error);
            return false;
        }
        clock_.sleep(kRetry);
    }
    return true;
}

std::optional<Registry::Key> Registry::open(Hive hive, std::string_view subKey) {
    std::optional<Data> data = snapshot();
    if (!data) return std::nullopt;
    const RegistryTree::Key* key = data->find(hive, subKey);
    if (!key) {
        lastError_ = "key \"" + std::string(subKey) + "\" does not exist";
        return std::nullopt;
    }
    return Key(*this, hive, key->path);
}

std::optional<Registry::Key> Registry::create(Hive hive, std::string_view subKey) {
    if (std::optional<Key> existing = open(hive, subKey)) return existing;
    std::string path;
    const bool created = update([&](Data& data) {
        path = data.ensure(hive, subKey).path;
        return true;
    });
    if (!created) return std::nullopt;
    return Key(*this, hive, path);
}

bool Registry::deleteKey(Hive hive, std::string_view subKey) {
    return update([&](Data& data) {
        if (data.erase(hive, subKey)) return true;
        lastError_ = "key \"" + std::string(subKey) + "\" does not exist";
        return false;
    });
}

std::vector<std::string> Registry::subKeys(Hive hive, std::string_view subKey) {
    std::optional<Data> data = snapshot();
    if (!data) return {};
    return data->children(hive, subKey);
}

bool Registry::clear() {
    return update([](Data& data) {
        data.keys.clear();
        return true;
    });
}

std::optional<RegValue> Registry::Key::read(std::string_view name) const {
    std::optional<Data> data = registry_->snapshot();
    RegistryTree::Key* key = data ? data->find(hive_, path_) : nullptr;
    RegistryTree::Value* value = key ? RegistryTree::findValue(*key, name) : nullptr;
    if (!value) return std::nullopt;
    return value->value;
}

bool Registry::Key::set(std::string_view name, const RegValue& value) {
    return registry_->update([&](Data& data) {
        RegistryTree::Key* key = openedKey(data, hive_, path_, registry_->lastError_);
        if (!key) return false;
        if (RegistryTree::Value* existing = RegistryTree::findValue(*key, name)) {
            existing->value = value;
        } else {
            key->values.push_back({std::string(name), value});
        }
        return true;
    });
}

bool Registry::Key::deleteValue(std::string_view name) {
    return registry_->update([&](Data& data) {
        RegistryTree::Key* key = openedKey(data, hive_, path_, registry_->lastError_);
        if (!key) return false;
        auto& values = key->values;
        const auto before = values.size();
        std::erase_if(values, [&](const auto& v) { return equalsIgnoreCase(v.name, name); });
        if (values.size() != before) return true;
        registry_->lastError_ = "value \"" + std::string(name) + "\" does not exist";
        return false;
    });
}

std::vector<std::string> Registry::Key::valueNames() const {
    std::optional<Data> data = registry_->snapshot();
    RegistryTree::Key* key = data ? data->find(hive_, path_) : nullptr;
    std::vector<std::string> names;
    if (key) {
        for (const RegistryTree::Value& value : key->values) names.push_back(value.name);
    }
    return names;
}

}  // namespace tessel::platform
