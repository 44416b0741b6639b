// The restore-list parser on arbitrary bytes. Whatever it accepts must write out (without its
// empty sections) and parse back; a list the format can hold (no later entry name starting with
// "[", which would read as a header, and no value with outer blanks, which reading trims) must
// come back unchanged.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "common/restore_list/restore_list.h"

namespace {

using tessel::restore_list::RestoreList;

std::span<const std::uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void require(bool condition) {
    if (!condition) std::abort();
}

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool writable(const RestoreList& list) {
    for (const auto& section : list.sections()) {
        for (std::size_t i = 0; i < section.entries.size(); ++i) {
            const auto& entry = section.entries[i];
            if (i > 0 && entry.name.starts_with('[')) return false;
            if (!entry.value.empty() &&
                (isBlank(entry.value.front()) || isBlank(entry.value.back()))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RestoreList first;
    if (!first.parse({data, size})) {
        require(first.sections().empty());
        return 0;
    }
    const std::string text = first.text();
    RestoreList second;
    // Sections without entries are not written; a list of nothing else writes nothing.
    if (text.empty()) {
        for (const auto& section : first.sections()) require(section.entries.empty());
        return 0;
    }
    require(second.parse(bytes(text)));
    if (writable(first)) require(second.text() == text);
    return 0;
}
