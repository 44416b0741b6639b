#pragma once
// The restore list (restoreINI.txt): sections of name=value entries in 8-bit text.
//
// Every byte is one character. A section starts with "[" and ends with "]". After a header each
// entry's name runs to the next "=" and its value to the next LF, both trimmed of characters 0 to
// 32. There are no comments: text without "=" becomes part of the next name, and so does a "["
// that directly follows a header. A "[" after a value starts the next section. A last value that
// no LF ends is kept untrimmed. Look-ups are exact and case-sensitive; a repeated name replaces
// the earlier value, and a repeated header continues the earlier section.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::platform {
class DeviceFs;
}

namespace tessel::restore_list {

enum class ListError { None, Empty, Unreadable, Unwritable };

// The list's error text: "The INI file contains nothing." and the like; empty for None.
const char* toString(ListError error);

struct Entry {
    std::string name;
    std::string value;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;  // in the order they were first read or set

    const std::string* value(std::string_view entryName) const;
    // Inserts the entry, or replaces the value of the entry of that name.
    void set(std::string_view entryName, std::string_view value);
    void remove(std::string_view entryName);
};

class RestoreList {
  public:
    // Replaces the content with the list held in text. False, with ListError::Empty, when the
    // text holds no section.
    bool parse(std::span<const std::uint8_t> text);
    // The list as written to its file; empty for a list without entries. A section without
    // entries is left out: no reader could see it again, as the header after it would become
    // part of an entry name.
    std::string text() const;

    // Reads the file at a device path; false with Unreadable or Empty, leaving an empty list.
    bool read(const platform::DeviceFs& fs, std::string_view devicePath);
    // Writes the file at a device path anew; false with Unwritable. A list without entries
    // writes nothing and succeeds.
    bool write(const platform::DeviceFs& fs, std::string_view devicePath);

    const std::vector<Section>& sections() const { return sections_; }
    const Section* find(std::string_view sectionName) const;
    Section& findOrCreate(std::string_view sectionName);
    // The value of an entry; nullopt when the section or the entry is missing.
    std::optional<std::string> value(std::string_view sectionName,
                                     std::string_view entryName) const;
    void set(std::string_view sectionName, std::string_view entryName, std::string_view value);
    void remove(std::string_view sectionName, std::string_view entryName);

    const std::string& path() const { return path_; }
    ListError lastError() const { return lastError_; }
    std::string lastErrorText() const { return toString(lastError_); }

  private:
    bool fail(ListError error);

    std::vector<Section> sections_;
    std::string path_;
    ListError lastError_ = ListError::None;
};

}  // namespace tessel::restore_list
