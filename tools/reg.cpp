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

// What a command says when it fails; nothing when it succeeded.
using Failure = std::optional<std::string>;

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

std::optional<KeyName> parseKey(const std::string& key, std::string& error) {
    const std::size_t separator = key.find('\\');
    const std::optional<Hive> hive = hiveFromName(key.substr(0, separator));
    if (!hive) {
        error = "unknown root key in \"" + key + "\"";
        return std::nullopt;
    }
    return KeyName{*hive,
                   separator == std::string::npos ? std::string() : key.substr(separator + 1)};
}

// Decimal, or hexadecimal after "0x".
std::optional<std::uint32_t> parseDword(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const std::string digits = hex ? text.substr(2) : text;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0])) || *end != '\0' ||
        errno == ERANGE || value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string formatValue(const std::string& name, const RegValue& value) {
    if (value.type == RegValue::Type::Sz) return name + " REG_SZ " + value.text;
    char number[16];
    std::snprintf(number, sizeof number, "0x%x", static_cast<unsigned>(value.dword));
    return name + " REG_DWORD " + number;
}

std::optional<Registry::Key> openKey(Registry& registry, const std::string& keyText,
                                     std::string& error) {
    const std::optional<KeyName> name = parseKey(keyText, error);
    if (!name) return std::nullopt;
    std::optional<Registry::Key> key = registry.open(name->hive, name->subKey);
    if (!key) error = "cannot open \"" + keyText + "\": " + registry.lastError();
    return key;
}

Failure query(Registry& registry, const std::vector<std::string>& words) {
    std::string error;
    const std::optional<Registry::Key> key = openKey(registry, words[1], error);
    if (!key) return error;
    bool found = false;
    for (const std::string& name : key->valueNames()) {
        if (words.size() == 3 && !equalsIgnoreCase(name, words[2])) continue;
        if (std::optional<RegValue> value = key->read(name)) {
            std::cout << formatValue(name, *value) << '\n';
            found = true;
        }
    }
    if (words.size() == 3) {
        if (!found) return "no value \"" + words[2] + "\" in \"" + words[1] + "\"";
        return std::nullopt;
    }
    std::string prefix = hiveName(key->hive());
    if (!key->path().empty()) prefix += "\\" + key->path();
    for (const std::string& subKey : registry.subKeys(key->hive(), key->path())) {
        std::cout << prefix << '\\' << subKey << '\n';
    }
    return std::nullopt;
}

Failure set(Registry& registry, const std::vector<std::string>& words, bool dword) {
    const std::string& text = words[3];
    const std::optional<std::uint32_t> number = dword ? parseDword(text) : std::nullopt;
    if (dword && !number) return "not a DWORD: \"" + text + "\"";
    std::string error;
    const std::optional<KeyName> name = parseKey(words[1], error);
    if (!name) return error;
    std::optional<Registry::Key> key = registry.create(name->hive, name->subKey);
    if (!key || !key->set(words[2], dword ? RegValue::dwordValue(*number) : RegValue::sz(text))) {
        return "cannot set \"" + words[2] + "\": " + registry.lastError();
    }
    return std::nullopt;
}

Failure remove(Registry& registry, const std::vector<std::string>& words) {
    std::string error;
    if (words.size() == 3) {
        std::optional<Registry::Key> key = openKey(registry, words[1], error);
        if (!key) return error;
        if (!key->deleteValue(words[2])) {
            return "cannot delete \"" + words[2] + "\": " + registry.lastError();
        }
        return std::nullopt;
    }
    const std::optional<KeyName> name = parseKey(words[1], error);
    if (!name) return error;
    if (name->subKey.empty()) return "a root key cannot be deleted";
    if (!registry.deleteKey(name->hive, name->subKey)) {
        return "cannot delete \"" + words[1] + "\": " + registry.lastError();
    }
    return std::nullopt;
}

bool fitsItsVerb(const Command& command) {
    const std::vector<std::string>& words = command.words;
    if (words.empty()) return false;
    const std::string& verb = words[0];
    if (verb == "set") return words.size() == 4;
    return (verb == "query" || verb == "delete") && !command.dword &&
           (words.size() == 2 || words.size() == 3);
}

Failure run(const Command& command) {
    const std::optional<DeviceFs> fs = DeviceFs::fromEnvironment(command.root);
    if (!fs) return "no device root: give --root DIR or set TESSEL_DEVICE_ROOT";
    Registry registry(Registry::fileOf(*fs));
    const std::string& verb = command.words[0];
    if (verb == "query") return query(registry, command.words);
    if (verb == "set") return set(registry, command.words, command.dword);
    return remove(registry, command.words);
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Command> command = parseCommand(argc, argv);
    if (!command || !fitsItsVerb(*command)) {
        std::cerr << kUsage;
        return 1;
    }
    if (const Failure failure = run(*command)) {
        std::cerr << "tessel-reg: " << *failure << '\n';
        return 1;
    }
    return 0;
}
