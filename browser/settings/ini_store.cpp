#include "browser/settings/ini_store.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <system_error>

#include "browser/settings/text8.h"

namespace tessel::settings {
namespace {

bool isBlank(char16_t c) { return c <= 32; }

template <typename Char>
Char foldLetter(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

std::u16string_view trimmed(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::u16string folded(std::u16string_view text, CaseMode mode) {
    std::u16string result(text);
    if (mode == CaseMode::Folded) {
        for (char16_t& c : result) c = foldLetter(c);
    }
    return result;
}

bool namesMatch(std::u16string_view stored, std::string_view wanted, CaseMode mode) {
    if (stored.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        char16_t a = stored[i];
        char16_t b = static_cast<unsigned char>(wanted[i]);
        if (mode == CaseMode::Folded) {
            a = foldLetter(a);
            b = foldLetter(b);
        }
        if (a != b) return false;
    }
    return true;
}

// UTF-16LE text after a byte-order mark, up to its first NUL character; a trailing odd byte is
// dropped.
std::u16string decodeUtf16le(std::span<const std::uint8_t> bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == 0) break;
        text.push_back(c);
    }
    return text;
}

std::u16string decodeEightBit(std::span<const std::uint8_t> bytes) {
    return std::u16string(bytes.begin(), bytes.end());
}

// The C library's atoi over 8-bit text, with out-of-range values held at the int limits.
int atoiSaturating(const std::string& text) {
    std::size_t i = 0;
    auto isCSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
    }
    const long long value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

std::filesystem::path temporaryPathFor(const std::filesystem::path& path) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    return temporary;
}

// Writes bytes to a temporary file beside path and renames it over path. On failure path is
// untouched and the temporary file is gone.
bool replaceFile(const std::filesystem::path& path, const std::string& bytes) {
    const std::filesystem::path temporary = temporaryPathFor(path);
    std::error_code ignored;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace

void IniSection::append(IniEntry* entry) {
    entries_.push_back(entry);
    index_.insert_or_assign(toEightBit(entry->key), entry);
}

IniEntry* IniSection::find(const std::string& key8) const {
    const auto it = index_.find(key8);
    return it == index_.end() ? nullptr : it->second;
}

bool IniStore::load(const std::filesystem::path& path, CaseMode mode) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string bytes(size, '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (!loadBytes(std::span(data, bytes.size()), mode)) return false;
    path_ = path;
    return true;
}

bool IniStore::loadBytes(std::span<const std::uint8_t> bytes, CaseMode mode) {
    if (bytes.empty()) return false;
    const bool wide = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const std::u16string text = wide ? decodeUtf16le(bytes.subspan(2)) : decodeEightBit(bytes);
    clear();
    caseMode_ = mode;
    parse(text);
    if (sections_.empty()) {
        lastError_ = kIniEmptyError;
        return false;
    }
    return true;
}

// One pass with four states. A name or value is the run of characters between the transitions
// that open and close it, so it is copied once, at its end.
void IniStore::parse(std::u16string_view text) {
    enum class State { LineStart, SectionName, KeyName, Value };
    State state = State::LineStart;
    IniSection* section = nullptr;  // the current section, listed when the next one opens
    IniEntry* entry = nullptr;      // the entry whose value is being read
    std::size_t start = 0;          // where the current name or value began

    auto openSection = [&](std::size_t at) {
        if (section) sections_.push_back(section);
        section = newSection({});
        start = at + 1;
        state = State::SectionName;
    };
    auto run = [&](std::size_t end) { return text.substr(start, end - start); };

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (state) {
            case State::LineStart:
                if (c == '[') {
                    openSection(i);
                } else if (!isBlank(c) && section) {
                    // Text before the first header is skipped character by character.
                    start = i;
                    state = State::KeyName;
                }
                break;
            case State::SectionName:
                if (c == ']') {
                    section->name_ = folded(trimmed(run(i)), caseMode_);
                    // The rest of the line starts the next key name.
                    start = i + 1;
                    state = State::KeyName;
                }
                break;
            case State::KeyName:
                if (c == '=') {
                    entry = newEntry(folded(trimmed(run(i)), caseMode_), {});
                    section->append(entry);
                    start = i + 1;
                    state = State::Value;
                } else if (c == '[') {
                    openSection(i);  // the key name read so far is dropped
                }
                break;
            case State::Value:
                if (c == '\n') {
                    entry->value = trimmed(run(i));
                    state = State::LineStart;
                }
                break;
        }
    }
    if (state == State::Value) entry->value = trimmed(run(text.size()));
    if (state == State::SectionName) section->name_ = folded(run(text.size()), caseMode_);
    if (section) sections_.push_back(section);
}

IniSection* IniStore::newSection(std::u16string name) {
    return &sectionPool_.emplace_back(std::move(name));
}

IniEntry* IniStore::newEntry(std::u16string key, std::u16string value) {
    return &entryPool_.emplace_back(IniEntry{std::move(key), std::move(value)});
}

std::string IniStore::foldedKey(std::string_view key) const {
    std::string result(key);
    if (caseMode_ == CaseMode::Folded) {
        for (char& c : result) c = foldLetter(c);
    }
    return result;
}

std::string IniStore::text() const {
    std::size_t size = 0;
    for (const IniSection* section : sections_) {
        size += section->name_.size() + 6;
        for (const IniEntry* entry : section->entries_) {
            size += entry->key.size() + entry->value.size() + 3;
        }
    }
    std::string bytes;
    bytes.reserve(size);
    auto put = [&bytes](std::u16string_view text) {
        for (char16_t c : text) bytes.push_back(static_cast<char>(c & 0xFF));
    };
    for (const IniSection* section : sections_) {
        bytes += "\r\n[";
        put(section->name_);
        bytes += "]\r\n";
        for (const IniEntry* entry : section->entries_) {
            put(entry->key);
            bytes += '=';
            put(entry->value);
            bytes += "\r\n";
        }
    }
    return bytes;
}

bool IniStore::save(const std::filesystem::path& path) {
    const std::string bytes = text();
    if (bytes.empty()) return true;
    if (!replaceFile(path, bytes)) {
        lastError_ = kIniWriteError;
        return false;
    }
    return true;
}

void IniStore::clear() {
    sections_.clear();
    sectionPool_.clear();
    entryPool_.clear();
    path_.clear();
    lastError_.clear();
}

IniSection* IniStore::findSection(std::string_view name) {
    for (IniSection* section : sections_) {
        if (namesMatch(section->name_, name, caseMode_)) return section;
    }
    return nullptr;
}

IniSection* IniStore::addSection(std::string_view name) {
    if (IniSection* found = findSection(name)) return found;
    IniSection* section = newSection(fromEightBit(name));
    sections_.push_back(section);
    return section;
}

bool IniStore::getString(const IniSection* section, std::string_view key,
                         std::u16string& value) const {
    if (!section) return false;
    const IniEntry* entry = section->find(foldedKey(key));
    if (!entry) return false;
    value = entry->value;
    return true;
}

bool IniStore::getInt(const IniSection* section, std::string_view key, int& value) const {
    std::u16string text;
    if (!getString(section, key, text)) return false;
    value = atoiSaturating(toEightBit(text));
    return true;
}

bool IniStore::setString(IniSection* section, std::string_view key, std::u16string_view value) {
    if (!section) return false;
    const std::string key8 = foldedKey(key);
    if (IniEntry* entry = section->find(key8)) {
        entry->value = value;
    } else {
        section->append(newEntry(fromEightBit(key8), std::u16string(value)));
    }
    return true;
}

bool IniStore::setInt(IniSection* section, std::string_view key, int value) {
    return setString(section, key, fromEightBit(std::to_string(value)));
}

}  // namespace tessel::settings
