#pragma once
// The registry's text file, apart from any I/O.
//
//   [HKEY_LOCAL_MACHINE\Software\Tessel\Ports]
//   "COM1"=sz:"/dev/ttyS0"
//   "Retries"=dword:0x00000003
//
// One "[hive\key]" line per key, then its values. In key names, value names and texts every
// byte outside printable ASCII, and "%" and '"', is written as %XX (two hex digits), so any
// bytes survive the round trip. Lines starting with "#" are comments. Parsing never fails: a
// line that makes no sense is skipped, and a value before any valid key line is dropped.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace tessel::platform {

struct RegistryTree {
    struct Value {
        std::string name;  // as first written
        RegValue value;
    };
    struct Key {
        std::string path;  // "Software\Tessel", as first written; empty for the hive itself
        std::vector<Value> values;
    };
    // Keyed by hive and case-folded path, so a key's parents come before it.
    using KeyId = std::pair<Hive, std::string>;
    std::map<KeyId, Key> keys;

    // The key at path ("Software\Tessel"; empty components are ignored), or null. The hive
    // itself always exists.
    Key* find(Hive hive, std::string_view path);
    // The key at path, created with its missing parents.
    Key& ensure(Hive hive, std::string_view path);
    // Removes the key and its subkeys; false when it does not exist or is a hive.
    bool erase(Hive hive, std::string_view path);
    // Names of the direct subkeys of the key at path, in order.
    std::vector<std::string> children(Hive hive, std::string_view path) const;

    static Value* findValue(Key& key, std::string_view name);
};

// The key path with empty components removed: "\Software\\Tessel\" → "Software\Tessel".
std::string normalizeKeyPath(std::string_view path);

RegistryTree parseRegistry(std::string_view text);
std::string formatRegistry(const RegistryTree& tree);

}  // namespace tessel::platform
