#pragma once
// IniStore: the in-memory copy of browserINI.txt.
//
// The store holds sections and their entries in file order, then in the order in which they were
// added; it knows nothing of what the keys mean. Every value is text; integers are converted at
// the edges (getInt, setInt). Names of sections and keys are passed as 8-bit text, values as
// 16-bit text. The file syntax is small: "[name]" headers and "key=value" lines, no comments,
// blanks (codes 0-32) trimmed around names and values. Parsing works on bytes (loadBytes); load()
// only reads the file and hands its bytes over.
//
// The store has no locks: it is used by one thread.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::settings {

// How names are compared. Folded (the mode the program uses): letters A-Z of section and key
// names are folded to lower case when read or set. Exact: names are kept and compared as passed.
enum class CaseMode { Folded = 0, Exact = 1 };

// One "key=value" line. The characters live in the store's pool.
class IniEntry {
  public:
    IniEntry(std::u16string_view key, std::u16string_view value) : key_(key), value_(value) {}

    std::u16string_view key() const { return key_; }
    std::u16string_view value() const { return value_; }

  private:
    friend class IniStore;
    std::u16string_view key_;  // never changes
    std::u16string_view value_;
};

class IniSection {
  public:
    IniSection(std::u16string_view name, std::pmr::memory_resource* pool)
        : name_(name), entries_(pool), index_(pool) {}
    IniSection(const IniSection&) = delete;
    IniSection& operator=(const IniSection&) = delete;

    std::u16string_view name() const { return name_; }
    // Entries in file order, then in order of addition. A duplicate key has an entry per line.
    std::span<const IniEntry* const> entries() const { return entries_; }

  private:
    friend class IniStore;

    // The key index: an open-addressing table from key name to the entry that look-ups find.
    // Names are compared by their 8-bit form, byte for byte.
    class KeyIndex {
      public:
        explicit KeyIndex(std::pmr::memory_resource* pool) : slots_(pool) {}
        IniEntry* find(std::u16string_view key) const;
        // Indexes the entry; an already indexed key is re-pointed to it.
        void insert(IniEntry* entry);

      private:
        std::size_t slotOf(std::u16string_view key) const;  // its slot, or the empty one to use
        void grow();
        std::pmr::vector<IniEntry*> slots_;  // a power of two in size, at most half full
        std::size_t count_ = 0;
    };

    void append(IniEntry* entry);

    std::u16string_view name_;
    std::pmr::vector<const IniEntry*> entries_;
    KeyIndex index_;
};

class IniStore {
  public:
    IniStore() = default;
    IniStore(const IniStore&) = delete;
    IniStore& operator=(const IniStore&) = delete;

    // Reads the file at path and parses it as loadBytes does. A missing, unreadable or empty file
    // fails and leaves the store unchanged, with no error text. On success the path is kept.
    bool load(const std::filesystem::path& path, CaseMode mode = CaseMode::Folded);

    // Parses the bytes of a file. Bytes that start with FF FE are UTF-16LE text up to the first
    // NUL character; any other bytes are 8-bit text. Empty bytes fail and change nothing.
    // Otherwise the store is cleared and filled; when no section results, the call fails with
    // lastError() "The INI file contains nothing.".
    bool loadBytes(std::span<const std::uint8_t> bytes, CaseMode mode = CaseMode::Folded);

    // Writes every section and entry to path. A store without sections succeeds and leaves an
    // existing file alone. The text replaces the file durably (platform::DurableFile), so a
    // failed or interrupted save, even a power cut, leaves the old file whole; on failure
    // lastError() tells the user and the store is unchanged.
    bool save(const std::filesystem::path& path);

    // The bytes that save() writes: for each section CR LF "[name]" CR LF, then one
    // "key=value" CR LF line per entry; each character as its low byte.
    std::string text() const;

    bool isEmpty() const { return content_->sections.empty(); }
    // Frees every section and entry and empties the path and the last error.
    void clear();

    // The first section whose name matches (A-Z folded on both sides in Folded mode), or null.
    IniSection* findSection(std::string_view name);
    // findSection, or a new section with the name exactly as passed, appended at the end.
    IniSection* addSection(std::string_view name);

    // The value of key in section; false when section is null or holds no such key, leaving
    // value untouched.
    bool getString(const IniSection* section, std::string_view key, std::u16string& value) const;
    // getString, then the value's 8-bit form read as the C library's atoi does (leading blanks
    // and a sign accepted, stops at the first non-digit, no digits gives 0); out-of-range values
    // saturate. On a miss value is untouched.
    bool getInt(const IniSection* section, std::string_view key, int& value) const;

    // Replaces the value of the indexed key in place, or appends a new entry at the end of the
    // section. False only when section is null.
    bool setString(IniSection* section, std::string_view key, std::u16string_view value);
    // setString with the value in signed decimal.
    bool setInt(IniSection* section, std::string_view key, int value);

    std::span<IniSection* const> sections() const { return content_->sections; }
    CaseMode caseMode() const { return caseMode_; }
    // The path of the last successful load; empty until then.
    const std::filesystem::path& path() const { return path_; }
    // The text of the last load or save failure.
    const std::u16string& lastError() const { return lastError_; }

  private:
    // Everything loaded or added since the last clear, with the pool that holds it. The pool
    // only grows (a replaced value stays in it until the next clear); clear() drops it whole.
    struct Content {
        explicit Content(std::size_t expectedBytes = 0)
            : pool(std::max<std::size_t>(expectedBytes, 1024)) {}
        std::pmr::monotonic_buffer_resource pool;
        std::pmr::vector<IniSection*> sections{&pool};
        std::pmr::deque<IniSection> sectionPool{&pool};
        std::pmr::deque<IniEntry> entryPool{&pool};
    };

    template <typename Text>
    void parse(const Text& text);
    // Hands the bytes of text() to sink as std::string_view pieces, in order.
    template <typename Sink>
    void writeText(Sink&& sink) const;
    bool replaceFile(const std::filesystem::path& path) const;
    // A copy in the pool of text[begin, end) as 16-bit characters, letters A-Z folded when fold.
    template <typename Text>
    std::u16string_view keep(const Text& text, std::size_t begin, std::size_t end, bool fold);
    std::u16string_view keep(std::u16string_view text);
    // Drops all content, the path and the last error; the new pool starts with room for about
    // expectedBytes.
    void reset(std::size_t expectedBytes);
    IniSection* newSection(std::u16string_view name);
    IniEntry* newEntry(std::u16string_view key, std::u16string_view value);
    std::u16string foldedKey(std::string_view key) const;

    CaseMode caseMode_ = CaseMode::Folded;
    std::unique_ptr<Content> content_ = std::make_unique<Content>();
    std::filesystem::path path_;
    std::u16string lastError_;
};

// The failure texts that lastError() holds.
inline constexpr std::u16string_view kIniEmptyError = u"The INI file contains nothing.";
inline constexpr std::u16string_view kIniWriteError =
    u"Unable to write the INI file.\r\nPlease make sure it is not opened by WordPad.";

}  // namespace tessel::settings
