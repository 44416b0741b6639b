#include "platform/registry_file.h"

#include <cstdio>

#include "platform/names.h"

namespace tessel::platform {

namespace {

constexpr char kHeader[] =
    "# Tessel device registry. Bytes outside printable ASCII, '%' and '\"' are written %XX.\n";

bool keptAsIs(unsigned char c) { return c >= 0x20 && c < 0x7F && c != '%' && c != '"'; }

std::string escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (keptAsIs(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = foldAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reverses escape(); a "%" not followed by two hex digits stands for itself.
std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string_view lastComponent(std::string_view path) {
    const std::size_t separator = path.rfind('\\');
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::optional<std::uint32_t> parseHex(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

// `"name"=sz:"text"` or `"name"=dword:0x1f`; nullopt for anything else.
std::optional<RegistryTree::Value> parseValueLine(std::string_view line) {
    const std::size_t nameEnd = line.find('"', 1);
    if (nameEnd == std::string_view::npos || line.substr(nameEnd + 1, 1) != "=")
        return std::nullopt;
    RegistryTree::Value value{unescape(line.substr(1, nameEnd - 1)), {}};
    const std::string_view data = line.substr(nameEnd + 2);
    if (data.starts_with("sz:\"") && data.size() >= 5 && data.ends_with('"')) {
        value.value = RegValue::sz(unescape(data.substr(4, data.size() - 5)));
        return value;
    }
    if (data.starts_with("dword:")) {
        const std::optional<std::uint32_t> number = parseHex(data.substr(6));
        if (!number) return std::nullopt;
        value.value = RegValue::dwordValue(*number);
        return value;
    }
    return std::nullopt;
}

// "[HKEY_LOCAL_MACHINE\Software\Tessel]" → the key, created in tree; null for an unknown hive.
RegistryTree::Key* parseKeyLine(std::string_view line, RegistryTree& tree) {
    const std::string_view inner = line.substr(1, line.size() - 2);
    const std::size_t separator = inner.find('\\');
    const std::optional<Hive> hive = hiveFromName(inner.substr(0, separator));
    if (!hive) return nullptr;
    const std::string_view path =
        separator == std::string_view::npos ? std::string_view() : inner.substr(separator + 1);
    return &tree.ensure(*hive, unescape(path));
}

std::string formatValue(const RegistryTree::Value& value) {
    std::string line = "\"" + escape(value.name) + "\"=";
    if (value.value.type == RegValue::Type::Sz)
        return line + "sz:\"" + escape(value.value.text) + "\"\n";
    char number[16];
    std::snprintf(number, sizeof number, "0x%08x", static_cast<unsigned>(value.value.dword));
    return line + "dword:" + number + "\n";
}

}  // namespace

std::string normalizeKeyPath(std::string_view path) {
    std::string normal;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) {
            if (!normal.empty()) normal += '\\';
            normal += path.substr(start, end - start);
        }
        start = end + 1;
    }
    return normal;
}

RegistryTree::Key* RegistryTree::find(Hive hive, std::string_view path) {
    const std::string normal = normalizeKeyPath(path);
    if (normal.empty()) return &keys[{hive, ""}];
    auto found = keys.find({hive, foldCase(normal)});
    return found == keys.end() ? nullptr : &found->second;
}

RegistryTree::Key& RegistryTree::ensure(Hive hive, std::string_view path) {
    const std::string normal = normalizeKeyPath(path);
    Key* key = &keys[{hive, ""}];
    for (std::size_t start = 0; start < normal.size();) {
        std::size_t end = normal.find('\\', start);
        if (end == std::string::npos) end = normal.size();
        // A new key takes the case of the parents that already exist.
        const std::string name = normal.substr(start, end - start);
        std::string written = key->path.empty() ? name : key->path + "\\" + name;
        key =
            &keys.try_emplace({hive, foldCase(normal.substr(0, end))}, Key{std::move(written), {}})
                 .first->second;
        start = end + 1;
    }
    return *key;
}

bool RegistryTree::erase(Hive hive, std::string_view path) {
    const std::string folded = foldCase(normalizeKeyPath(path));
    if (folded.empty() || keys.erase({hive, folded}) == 0) return false;
    const std::string prefix = folded + "\\";
    auto it = keys.lower_bound({hive, prefix});
    while (it != keys.end() && it->first.first == hive && it->first.second.starts_with(prefix)) {
        it = keys.erase(it);
    }
    return true;
}

std::vector<std::string> RegistryTree::children(Hive hive, std::string_view path) const {
    const std::string folded = foldCase(normalizeKeyPath(path));
    const std::string prefix = folded.empty() ? folded : folded + "\\";
    std::vector<std::string> names;
    for (auto it = keys.lower_bound({hive, prefix});
         it != keys.end() && it->first.first == hive && it->first.second.starts_with(prefix);
         ++it) {
        const std::string_view rest = std::string_view(it->first.second).substr(prefix.size());
        if (!rest.empty() && rest.find('\\') == std::string_view::npos) {
            names.emplace_back(lastComponent(it->second.path));
        }
    }
    return names;
}

RegistryTree::Value* RegistryTree::findValue(Key& key, std::string_view name) {
    for (Value& value : key.values) {
        if (equalsIgnoreCase(value.name, name)) return &value;
    }
    return nullptr;
}

RegistryTree parseRegistry(std::string_view text) {
    RegistryTree tree;
    RegistryTree::Key* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.starts_with('[')) {
            // Values after a broken key line belong to no key we know.
            current = line.size() >= 2 && line.back() == ']' ? parseKeyLine(line, tree) : nullptr;
        } else if (current && line.starts_with('"')) {
            std::optional<RegistryTree::Value> value = parseValueLine(line);
            if (!value) continue;
            if (RegistryTree::Value* existing = RegistryTree::findValue(*current, value->name)) {
                existing->value = value->value;
            } else {
                current->values.push_back(std::move(*value));
            }
        }
    }
    return tree;
}

std::string formatRegistry(const RegistryTree& tree) {
    std::string text = kHeader;
    for (const auto& [id, key] : tree.keys) {
        if (key.path.empty() && key.values.empty()) continue;
        text += "[" + std::string(hiveName(id.first));
        if (!key.path.empty()) text += "\\" + escape(key.path);
        text += "]\n";
        for (const RegistryTree::Value& value : key.values) text += formatValue(value);
    }
    return text;
}

}  // namespace tessel::platform
