// Loads arbitrary bytes into an IniStore as 8-bit text and as UTF-16LE text, looks up every key,
// then writes the store to memory and parses that again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "browser/settings/ini_store.h"
#include "browser/settings/text8.h"

namespace {

using tessel::settings::CaseMode;
using tessel::settings::IniStore;

void exercise(std::span<const std::uint8_t> bytes, CaseMode mode) {
    IniStore store;
    if (!store.loadBytes(bytes, mode)) return;
    for (tessel::settings::IniSection* section : store.sections()) {
        for (const tessel::settings::IniEntry* entry : section->entries()) {
            int number = 0;
            store.getInt(section, tessel::settings::toEightBit(entry->key()), number);
        }
    }
    const std::string text = store.text();
    IniStore again;
    const bool reloaded = again.loadBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), mode);
    if (!reloaded) std::abort();  // written text always starts with a section header
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const CaseMode mode = (size % 2 == 0) ? CaseMode::Folded : CaseMode::Exact;
    exercise(bytes, mode);

    std::vector<std::uint8_t> wide{0xFF, 0xFE};
    wide.insert(wide.end(), bytes.begin(), bytes.end());
    exercise(wide, mode);
    return 0;
}
