// tessel-reg: reads, writes and deletes values of a device registry, for administrators and
// scripts.
//
//   tessel-reg [--root DIR] query KEY [NAME]
//   tessel-reg [--root DIR] set KEY NAME VALUE [--dword]
//   tessel-reg [--root DIR] delete KEY [NAME]
//
// KEY is "HKEY_LOCAL_MACHINE\Software\Tessel\Ports" (or "HKLM\..."). The device root is DIR,
// else TESSEL_DEVICE_ROOT. Values print as "NAME REG_SZ text" or "NAME REG_DWORD 0x1f"; a query
// without NAME prints every value of the key and then the full name of each subkey. Any
// failure prints a message on stderr and exits with 1.

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_fs.h"
#include "platform/names.h"
#include "platform/registry.h"

namespace {

using namespace tessel::platform;

constexpr const char* kUsage =
    "usage: tessel-reg [--root DIR] query KEY [NAME]\n"
    "       tessel-reg [--root DIR] set KEY NAME VALUE [--dword]\n"
    "       tessel-reg [--root DIR] delete KEY [NAME]\n";

struct Command {
    std::string root;
    bool dword = false;
    std::vector<std::string> words;  // verb, KEY, then NAME and VALUE
};

struct KeyName {
    Hive hive;
    std::string subKey;
};

// A failure: the message goes to stderr and the tool exits with 1.
struct Failure {
    std::string message;
};

std::optional<Command> parseCommand(int argc, char** argv) {
    Command command;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (optionsEnded) {
            command.words.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (word == "--dword") {
            command.dword = true;
        } else if (word == "--root") {
            if (++i == argc) return std::nullopt;
            command.root = argv[i];
        } else {
            command.words.push_back(word);
        }
    }
    return command;
}

KeyName parseKey(const std::string& key) {
    const std::size_t separator = key.find('\\');
    const std::optional<Hive> hive = hiveFromName(key.substr(0, separator));
    if (!hive) throw Failure{"unknown root key in \"" + key + "\""};
    return {*hive, separator == std::string::npos ? std::string() : key.substr(separator + 1)};
}

std::uint32_t parseDword(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const std::string digits = hex ? text.substr(2) : text;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0])) || *end != '\0' ||
        errno == ERANGE || value > 0xFFFFFFFFull) {
        throw Failure{"not a DWORD: \"" + text + "\""};
    }
    return static_cast<std::uint32_t>(value);
}

std::string formatValue(const std::string& name, const RegValue& value) {
    if (value.type == RegValue::Type::Sz) return name + " REG_SZ " + value.text;
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", static_cast<unsigned>(value.dword));
    return name + " REG_DWORD " + number;
}

Registry::Key openKey(Registry& registry, const std::string& keyText) {
    const KeyName key = parseKey(keyText);
    std::optional<Registry::Key> opened = registry.open(key.hive, key.subKey);
    if (!opened) throw Failure{"cannot open \"" + keyText + "\": " + registry.lastError()};
    return *opened;
}

void query(Registry& registry, const std::vector<std::string>& words) {
    const Registry::Key key = openKey(registry, words[1]);
    bool found = false;
    for (const std::string& name : key.valueNames()) {
        if (words.size() == 3 && !equalsIgnoreCase(name, words[2])) continue;
        if (std::optional<RegValue> value = key.read(name)) {
            std::cout << formatValue(name, *value) << '\n';
            found = true;
        }
    }
    if (words.size() == 3) {
        if (!found) throw Failure{"no value \"" + words[2] + "\" in \"" + words[1] + "\""};
        return;
    }
    std::string prefix = hiveName(key.hive());
    if (!key.path().empty()) prefix += "\\" + key.path();
    for (const std::string& subKey : registry.subKeys(key.hive(), key.path())) {
        std::cout << prefix << '\\' << subKey << '\n';
    }
}

void set(Registry& registry, const std::vector<std::string>& words, bool dword) {
    const RegValue value =
        dword ? RegValue::dwordValue(parseDword(words[3])) : RegValue::sz(words[3]);
    const KeyName keyName = parseKey(words[1]);
    std::optional<Registry::Key> key = registry.create(keyName.hive, keyName.subKey);
    if (!key || !key->set(words[2], value)) {
        throw Failure{"cannot set \"" + words[2] + "\": " + registry.lastError()};
    }
}

void remove(Registry& registry, const std::vector<std::string>& words) {
    if (words.size() == 3) {
        Registry::Key key = openKey(registry, words[1]);
        if (!key.deleteValue(words[2])) {
            throw Failure{"cannot delete \"" + words[2] + "\": " + registry.lastError()};
        }
        return;
    }
    const KeyName key = parseKey(words[1]);
    if (key.subKey.empty()) throw Failure{"a root key cannot be deleted"};
    if (!registry.deleteKey(key.hive, key.subKey)) {
        throw Failure{"cannot delete \"" + words[1] + "\": " + registry.lastError()};
    }
}

// Runs the command; false when its words do not fit its verb.
bool run(const Command& command) {
    const std::vector<std::string>& words = command.words;
    if (words.empty()) return false;
    const std::string& verb = words[0];
    const bool fits = (verb == "query" || verb == "delete") ? words.size() == 2 || words.size() == 3
                      : verb == "set"                       ? words.size() == 4
                                                            : false;
    if (!fits || (command.dword && verb != "set")) return false;

    const std::optional<DeviceFs> fs = DeviceFs::fromEnvironment(command.root);
    if (!fs) throw Failure{"no device root: give --root DIR or set TESSEL_DEVICE_ROOT"};
    Registry registry(Registry::fileOf(*fs));
    if (verb == "query") query(registry, words);
    if (verb == "set") set(registry, words, command.dword);
    if (verb == "delete") remove(registry, words);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::optional<Command> command = parseCommand(argc, argv);
        if (!command || !run(*command)) {
            std::cerr << kUsage;
            return 1;
        }
        return 0;
    } catch (const Failure& failure) {
        std::cerr << "tessel-reg: " << failure.message << '\n';
        return 1;
    }
}
