#pragma once
// The catalogue of every section and key of browserINI.txt.
//
// Each section lists its keys in the order in which the program writes them, with each key's
// kind and, where the program has one, its default as written in the file. Keys without a
// default are held by the scan engine or set by reader detection. A section belongs to the
// engine kinds listed for it (the number the reader manager reports: 2 CCD/laser, 3 and 8 2D
// imagers, 4 and 9 long-range lasers); "General" and "RFID" belong to every kind. "2D Symbologies"
// has two forms: six keys for kind 3, twelve for kind 8.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

namespace tessel::settings {

// flag: 0 or 1; number: signed 32-bit decimal; text: written verbatim.
enum class KeyKind { Flag, Number, Text };

struct KeySpec {
    std::string_view name;
    KeyKind kind;
    std::optional<std::string_view> defaultValue;  // as written in the file
};

// A set of engine kinds, one bit per kind number.
class EngineKinds {
  public:
    static EngineKinds all() { return EngineKinds(~0u); }
    EngineKinds(std::initializer_list<int> kinds);

    bool contains(int kind) const { return kind >= 0 && kind < 32 && (bits_ >> kind) & 1u; }

  private:
    explicit EngineKinds(std::uint32_t bits) : bits_(bits) {}
    std::uint32_t bits_ = 0;
};

struct SectionSpec {
    std::string_view name;
    EngineKinds kinds;
    std::vector<KeySpec> keys;

    // The position of key in keys, or nullopt.
    std::optional<std::size_t> indexOf(std::string_view key) const;
};

// Every section, "General" and "RFID" first.
const std::vector<SectionSpec>& optionsCatalogue();

// The section of that name, or null. With an engine kind, only a section belonging to that kind
// is found (this picks the form of "2D Symbologies"); without one, the first of that name.
const SectionSpec* findSectionSpec(std::string_view name, std::optional<int> engineKind = {});

// As findSectionSpec, for a name the caller knows to be in the catalogue; an unknown name is a
// bug in the caller and stops the program.
const SectionSpec& catalogueSection(std::string_view name, std::optional<int> engineKind = {});

}  // namespace tessel::settings
