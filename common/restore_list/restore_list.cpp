#include "common/restore_list/restore_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/restore_list/files.h"
#include "platform/device_fs.h"

namespace tessel::restore_list {

namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::size_t skipBlanks(std::string_view s, std::size_t pos) {
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    return pos;
}

}  // namespace

const char* toString(ListError error) {
    switch (error) {
        case ListError::None:
            return "";
        case ListError::Empty:
            return "The INI file contains nothing.";
        case ListError::Unreadable:
            return "Unable to read the INI file.";
        case ListError::Unwritable:
            return "Unable to write the INI file. \r\nPlease make sure it is not opened by "
                   "WordPad.";
    }
    return "";
}

const std::string* Section::value(std::string_view entryName) const {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.name == entryName; });
    return it == entries.end() ? nullptr : &it->value;
}

void Section::set(std::string_view entryName, std::string_view newValue) {
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const Entry& e) { return e.name == entryName; });
    if (it == entries.end()) {
        entries.push_back({std::string(entryName), std::string(newValue)});
    } else {
        it->value = newValue;
    }
}

void Section::remove(std::string_view entryName) {
    std::erase_if(entries, [&](const Entry& e) { return e.name == entryName; });
}

bool RestoreList::parse(std::span<const std::uint8_t> bytes) {
    sections_.clear();
    lastError_ = ListError::None;
    const std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    constexpr auto npos = std::string_view::npos;

    std::size_t pos = s.find('[');
    while (pos != npos) {
        // pos is at the "[" of a header.
        const std::size_t close = s.find(']', pos + 1);
        if (close == npos) break;
        Section& section = findOrCreate(trim(s.substr(pos + 1, close - pos - 1)));
        pos = close + 1;
        bool afterHeader = true;
        for (;;) {
            pos = skipBlanks(s, pos);
            if (pos >= s.size()) {
                pos = npos;
                break;
            }
            if (s[pos] == '[' && !afterHeader) break;  // the next header
            afterHeader = false;
            const std::size_t equals = s.find('=', pos);
            if (equals == npos) {
                pos = npos;
                break;
            }
            const std::string_view name = trim(s.substr(pos, equals - pos));
            const std::size_t lineEnd = s.find('\n', equals + 1);
            if (lineEnd == npos) {
                section.set(name, s.substr(equals + 1));
                pos = npos;
                break;
            }
            section.set(name, trim(s.substr(equals + 1, lineEnd - equals - 1)));
            pos = lineEnd + 1;
        }
    }
    if (sections_.empty()) return fail(ListError::Empty);
    return true;
}

std::string RestoreList::text() const {
    std::string out;
    for (const Section& section : sections_) {
        // The reader would take the header after an empty one for part of an entry name.
        if (section.entries.empty()) continue;
        out += "\r\n[" + section.name + "]\r\n";
        for (const Entry& entry : section.entries) out += entry.name + "=" + entry.value + "\r\n";
    }
    return out;
}

bool RestoreList::read(const platform::DeviceFs& fs, std::string_view devicePath) {
    sections_.clear();
    lastError_ = ListError::None;
    path_ = devicePath;
    const auto host = fs.toHost(devicePath);
    std::error_code ec;
    if (!host || !std::filesystem::is_regular_file(*host, ec)) return fail(ListError::Unreadable);
    std::ifstream in(*host, std::ios::binary);
    if (!in) return fail(ListError::Unreadable);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    if (in.bad()) return fail(ListError::Unreadable);
    return parse(bytes);
}

bool RestoreList::write(const platform::DeviceFs& fs, std::string_view devicePath) {
    lastError_ = ListError::None;
    const std::string content = text();
    if (content.empty()) return true;
    return writeFile(fs, devicePath, content) || fail(ListError::Unwritable);
}

const Section* RestoreList::find(std::string_view sectionName) const {
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [&](const Section& s) { return s.name == sectionName; });
    return it == sections_.end() ? nullptr : &*it;
}

Section& RestoreList::findOrCreate(std::string_view sectionName) {
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [&](const Section& s) { return s.name == sectionName; });
    if (it != sections_.end()) return *it;
    sections_.push_back({std::string(sectionName), {}});
    return sections_.back();
}

std::optional<std::string> RestoreList::value(std::string_view sectionName,
                                              std::string_view entryName) const {
    const Section* section = find(sectionName);
    const std::string* v = section ? section->value(entryName) : nullptr;
    if (!v) return std::nullopt;
    return *v;
}

void RestoreList::set(std::string_view sectionName, std::string_view entryName,
                      std::string_view newValue) {
    findOrCreate(sectionName).set(entryName, newValue);
}

void RestoreList::remove(std::string_view sectionName, std::string_view entryName) {
    auto it = std::find_if(sections_.begin(), sections_.end(),
                           [&](const Section& s) { return s.name == sectionName; });
    if (it != sections_.end()) it->remove(entryName);
}

bool RestoreList::fail(ListError error) {
    lastError_ = error;
    return false;
}

}  // namespace tessel::restore_list
