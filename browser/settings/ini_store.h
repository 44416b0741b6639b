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

#include <cstdint>
#include <deque>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessel::settings {

// How names are compared. Folded (the mode the program uses): letters A-Z of section and key
// names are folded to lower case when read or set. Exact: names are kept and compared as passed.
enum class CaseMode { Folded = 0, Exact = 1 };

struct IniEntry {
    std::u16string key;
    std::u16string value;
};

class IniSection {
  public:
    explicit IniSection(std::u16string name) : name_(std::move(name)) {}
    IniSection(const IniSection&) = delete;
    IniSection& operator=(const IniSection&) = delete;

    const std::u16string& name() const { return name_; }
    // Entries in file order, then in order of addition. A duplicate key has an entry per line.
    const std::vector<const IniEntry*>& entries() const { return entries_; }

  private:
    friend class IniStore;

    // Appends the entry and indexes its key; an already indexed key is re-pointed to it.
    void append(IniEntry* entry);
    IniEntry* find(const std::string& key8) const;

    std::u16string name_;
    std::vector<const IniEntry*> entries_;
    // The key index: 8-bit key name to the entry that look-ups find.
    std::unordered_map<std::string, IniEntry*> index_;
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
    // existing file alone. The text goes to a temporary file beside path that then replaces it,
    // so a failed or interrupted save leaves the old file whole; on failure lastError() tells
    // the user and the store is unchanged.
    bool save(const std::filesystem::path& path);

    // The bytes that save() writes: for each section CR LF "[name]" CR LF, then one
    // "key=value" CR LF line per entry; each character as its low byte.
    std::string text() const;

    bool isEmpty() const { return sections_.empty(); }
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

    const std::vector<IniSection*>& sections() const { return sections_; }
    CaseMode caseMode() const { return caseMode_; }
    // The path of the last successful load; empty until then.
    const std::filesystem::path& path() const { return path_; }
    // The text of the last load or save failure.
    const std::u16string& lastError() const { return lastError_; }

  private:
    void parse(std::u16string_view text);
    IniSection* newSection(std::u16string name);
    IniEntry* newEntry(std::u16string key, std::u16string value);
    std::string foldedKey(std::string_view key) const;

    CaseMode caseMode_ = CaseMode::Folded;
    std::vector<IniSection*> sections_;
    // Owners of every section and entry created since the last clear; deques keep them in place.
    std::deque<IniSection> sectionPool_;
    std::deque<IniEntry> entryPool_;
    std::filesystem::path path_;
    std::u16string lastError_;
};

// The failure texts that lastError() holds.
inline constexpr std::u16string_view kIniEmptyError = u"The INI file contains nothing.";
inline constexpr std::u16string_view kIniWriteError =
    u"Unable to write the INI file.\r\nPlease make sure it is not opened by WordPad.";

}  // namespace tessel::settings
