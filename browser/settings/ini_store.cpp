#include "browser/settings/ini_store.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <system_error>

#include "browser/settings/text8.h"
#include "platform/durable_file.h"

namespace tessel::settings {
namespace {

bool isBlank(char16_t c) { return c <= 32; }

template <typename Char>
Char foldLetter(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
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

// The range [begin, end) of text without its blanks at both ends.
template <typename Text>
std::pair<std::size_t, std::size_t> trimmedRange(const Text& text, std::size_t begin,
                                                 std::size_t end) {
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return {begin, end};
}

std::size_t eightBitHash(std::u16string_view key) {
    std::size_t hash = 14695981039346656037ull;  // FNV-1a
    for (char16_t c : key) hash = (hash ^ (c & 0xFF)) * 1099511628211ull;
    return hash;
}

bool eightBitEqual(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if ((a[i] & 0xFF) != (b[i] & 0xFF)) return false;
    }
    return true;
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

}  // namespace

std::size_t IniSection::KeyIndex::slotOf(std::u16string_view key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = eightBitHash(key) & mask;
    while (slots_[slot] && !eightBitEqual(slots_[slot]->key(), key)) slot = (slot + 1) & mask;
    return slot;
}

IniEntry* IniSection::KeyIndex::find(std::u16string_view key) const {
    return slots_.empty() ? nullptr : slots_[slotOf(key)];
}

void IniSection::KeyIndex::insert(IniEntry* entry) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    IniEntry*& slot = slots_[slotOf(entry->key())];
    if (!slot) ++count_;
    slot = entry;
}

void IniSection::KeyIndex::grow() {
    std::pmr::vector<IniEntry*> old(std::max<std::size_t>(16, slots_.size() * 2), nullptr,
                                    slots_.get_allocator());
    old.swap(slots_);
    for (IniEntry* entry : old) {
        if (entry) slots_[slotOf(entry->key())] = entry;
    }
}

void IniSection::append(IniEntry* entry) {
    entries_.push_back(entry);
    index_.insert(entry);
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
    // One block for the whole content: characters take two bytes each, plus entries and index.
    reset(bytes.size() * 4);
    caseMode_ = mode;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        parse(std::u16string_view(decodeUtf16le(bytes.subspan(2))));
    } else {
        parse(bytes);  // one byte per character
    }
    if (isEmpty()) {
        lastError_ = kIniEmptyError;
        return false;
    }
    return true;
}

// One pass over the characters with four states. A name or value is the run of characters
// between the transitions that open and close it, so it is copied once, at its end. An entry is
// made when its value ends; a key that never meets "=" is dropped.
template <typename Text>
void IniStore::parse(const Text& text) {
    enum class State { LineStart, SectionName, KeyName, Value };
    const bool fold = caseMode_ == CaseMode::Folded;
    State state = State::LineStart;
    IniSection* section = nullptr;  // the current section, listed when the next one opens
    std::size_t start = 0;          // where the current name or value began
    std::size_t keyStart = 0;       // the key of the value being read
    std::size_t keyEnd = 0;

    auto openSection = [&](std::size_t at) {
        if (section) content_->sections.push_back(section);
        section = newSection(u"");
        start = at + 1;
        state = State::SectionName;
    };
    auto trimmedName = [&](std::size_t end) {
        const auto [first, last] = trimmedRange(text, start, end);
        return keep(text, first, last, fold);
    };
    auto addEntry = [&](std::size_t valueEnd) {
        const auto [keyFirst, keyLast] = trimmedRange(text, keyStart, keyEnd);
        const auto [valueFirst, valueLast] = trimmedRange(text, start, valueEnd);
        section->append(newEntry(keep(text, keyFirst, keyLast, fold),
                                 keep(text, valueFirst, valueLast, false)));
    };

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
                    section->name_ = trimmedName(i);
                    // The rest of the line starts the next key name.
                    start = i + 1;
                    state = State::KeyName;
                }
                break;
            case State::KeyName:
                if (c == '=') {
                    keyStart = start;
                    keyEnd = i;
                    start = i + 1;
                    state = State::Value;
                } else if (c == '[') {
                    openSection(i);  // the key name read so far is dropped
                }
                break;
            case State::Value:
                if (c == '\n') {
                    addEntry(i);
                    state = State::LineStart;
                }
                break;
        }
    }
    if (state == State::Value) addEntry(text.size());
    if (state == State::SectionName) {
        section->name_ = keep(text, start, text.size(), fold);
    }
    if (section) content_->sections.push_back(section);
}

template <typename Text>
std::u16string_view IniStore::keep(const Text& text, std::size_t begin, std::size_t end,
                                   bool fold) {
    if (begin == end) return {};
    auto* chars = static_cast<char16_t*>(
        content_->pool.allocate((end - begin) * sizeof(char16_t), alignof(char16_t)));
    for (std::size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        chars[i - begin] = fold ? foldLetter(c) : c;
    }
    return {chars, end - begin};
}

std::u16string_view IniStore::keep(std::u16string_view text) {
    return keep(text, 0, text.size(), false);
}

IniSection* IniStore::newSection(std::u16string_view name) {
    return &content_->sectionPool.emplace_back(name, &content_->pool);
}

IniEntry* IniStore::newEntry(std::u16string_view key, std::u16string_view value) {
    return &content_->entryPool.emplace_back(key, value);
}

std::u16string IniStore::foldedKey(std::string_view key) const {
    std::u16string result = fromEightBit(key);
    if (caseMode_ == CaseMode::Folded) {
        for (char16_t& c : result) c = foldLetter(c);
    }
    return result;
}

template <typename Sink>
void IniStore::writeText(Sink&& sink) const {
    // The bytes go out through a small buffer, so that a large store is never copied whole.
    constexpr std::size_t kChunk = 32 * 1024;
    char buffer[kChunk];
    std::size_t used = 0;
    auto put = [&](std::u16string_view text) {
        while (!text.empty()) {
            if (used == kChunk) {
                sink(std::string_view(buffer, used));
                used = 0;
            }
            const std::size_t n = std::min(text.size(), kChunk - used);
            for (std::size_t i = 0; i < n; ++i) {
                buffer[used + i] = static_cast<char>(text[i] & 0xFF);
            }
            used += n;
            text.remove_prefix(n);
        }
    };
    for (const IniSection* section : sections()) {
        put(u"\r\n[");
        put(section->name_);
        put(u"]\r\n");
        for (const IniEntry* entry : section->entries_) {
            put(entry->key_);
            put(u"=");
            put(entry->value_);
            put(u"\r\n");
        }
    }
    if (used > 0) sink(std::string_view(buffer, used));
}

std::string IniStore::text() const {
    std::string bytes;
    writeText([&bytes](std::string_view chunk) { bytes += chunk; });
    return bytes;
}

bool IniStore::save(const std::filesystem::path& path) {
    if (isEmpty()) return true;
    if (!replaceFile(path)) {
        lastError_ = kIniWriteError;
        return false;
    }
    return true;
}

// Writes the text through a durable replacement, so a failed or interrupted save leaves the old
// file whole.
bool IniStore::replaceFile(const std::filesystem::path& path) const {
    platform::DurableFile file(path);
    writeText([&file](std::string_view chunk) { file.write(chunk); });
    return file.commit();
}

void IniStore::clear() { reset(0); }

void IniStore::reset(std::size_t expectedBytes) {
    content_ = std::make_unique<Content>(expectedBytes);
    path_.clear();
    lastError_.clear();
}

IniSection* IniStore::findSection(std::string_view name) {
    for (IniSection* section : sections()) {
        if (namesMatch(section->name_, name, caseMode_)) return section;
    }
    return nullptr;
}

IniSection* IniStore::addSection(std::string_view name) {
    if (IniSection* found = findSection(name)) return found;
    IniSection* section = newSection(keep(fromEightBit(name)));
    content_->sections.push_back(section);
    return section;
}

bool IniStore::getString(const IniSection* section, std::string_view key,
                         std::u16string& value) const {
    if (!section) return false;
    const IniEntry* entry = section->index_.find(foldedKey(key));
    if (!entry) return false;
    value = entry->value_;
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
    const std::u16string folded = foldedKey(key);
    if (IniEntry* entry = section->index_.find(folded)) {
        entry->value_ = keep(value);
    } else {
        section->append(newEntry(keep(folded), keep(value)));
    }
    return true;
}

bool IniStore::setInt(IniSection* section, std::string_view key, int value) {
    return setString(section, key, fromEightBit(std::to_string(value)));
}

}  // namespace tessel::settings
