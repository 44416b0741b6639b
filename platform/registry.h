#pragma once
// The terminal's registry: keys holding REG_SZ and REG_DWORD values, in four hives.
//
// Key and value names compare case-insensitively and keep the case they were created with.
// The whole registry lives in one text file under the device root. Every change is written at
// once (temporary file, then rename), under a lock shared by all processes of the device, and
// every access first reloads the file when another process has changed it. A change waits at
// most kRegistryLockWait for another process to finish its own, then fails.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace tessel::platform {

class DeviceFs;

inline constexpr Millis kRegistryLockWait{5000};

enum class Hive { LocalMachine, ClassesRoot, CurrentUser, Users };

// "HKEY_LOCAL_MACHINE" (or "HKLM") and the like; nullopt for an unknown name.
std::optional<Hive> hiveFromName(std::string_view name);
const char* hiveName(Hive hive);

struct RegValue {
    enum class Type { Sz, Dword };
    Type type = Type::Sz;
    std::string text;         // REG_SZ: 8-bit text
    std::uint32_t dword = 0;  // REG_DWORD

    static RegValue sz(std::string text) { return {Type::Sz, std::move(text), 0}; }
    static RegValue dwordValue(std::uint32_t v) { return {Type::Dword, {}, v}; }
    bool operator==(const RegValue&) const = default;
};

class Registry {
public:
    // The registry stored in file (which need not exist yet). Waits for the lock run on clock.
    explicit Registry(std::filesystem::path file, Clock& clock = realClock());
    // The registry file of a device root.
    static std::filesystem::path fileOf(const DeviceFs& fs);

    // An open key. Closing is destruction.
    class Key {
    public:
        std::optional<RegValue> read(std::string_view name) const;
        bool set(std::string_view name, const RegValue& value);
        bool deleteValue(std::string_view name);
        std::vector<std::string> valueNames() const;
        Hive hive() const { return hive_; }
        const std::string& path() const { return path_; }

    private:
        friend class Registry;
        Key(Registry& registry, Hive hive, std::string path)
            : registry_(&registry), hive_(hive), path_(std::move(path)) {}
        Registry* registry_;
        Hive hive_;
        std::string path_;
    };

    // Opens an existing key ("Software\Tessel\Ports"); nullopt when it does not exist.
    std::optional<Key> open(Hive hive, std::string_view subKey);
    // Opens a key, creating it and any missing parents; nullopt only when the file cannot be
    // written.
    std::optional<Key> create(Hive hive, std::string_view subKey);
    // Removes a key with its values and subkeys; false when it does not exist.
    bool deleteKey(Hive hive, std::string_view subKey);
    std::vector<std::string> subKeys(Hive hive, std::string_view subKey);

    // Removes every key of every hive (a cold boot).
    bool clear();

    // Text of the last failure.
    const std::string& lastError() const { return lastError_; }

private:
    struct Data;
    // The registry as the file holds it now; nullopt when the file cannot be read.
    std::optional<Data> snapshot();
    // Under the lock shared by every process of the device: reads the file, applies change and
    // saves the result atomically. False when change returns false (nothing is written) or the
    // file cannot be read or written.
    bool update(const std::function<bool(Data&)>& change);
    // Takes the exclusive lock on fd, waiting at most kRegistryLockWait.
    bool lock(int fd, const std::filesystem::path& lockPath);

    std::filesystem::path file_;
    Clock& clock_;
    std::string lastError_;
};

}  // namespace tessel::platform
