#pragma once
// The section accessors: move the keys of one catalogue section between the store and the
// caller's variables.
//
// The caller passes one reference per key of the section, in the section's key order (see the
// catalogue); nullptr leaves that key alone. Flags and numbers take an int, text keys a
// std::u16string. Direction 'r' reads from the store: a missing section returns false and
// touches nothing, a missing key leaves its variable as it was. Direction 'w' writes to the
// store: the section is added when missing and the keys are set in key order, text in its 8-bit
// form. For example:
//
//   accessSection(store, 'r', catalogueSection("Code93 2D/1D_LR"), {&enable, nullptr, nullptr});
//   accessSection(store, 'w', catalogueSection("2D Symbologies", 8), refs);

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "browser/settings/browser_options.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/options_catalogue.h"

namespace tessel::settings {

using KeyRef = std::variant<std::nullptr_t, int*, std::u16string*>;

// A reference count other than the section's key count, a text reference for a flag or number,
// or an int for a text key, is a bug in the caller and stops the program.
bool accessSection(IniStore& store, char direction, const SectionSpec& section,
                   std::span<const KeyRef> refs);
bool accessSection(IniStore& store, char direction, const SectionSpec& section,
                   std::initializer_list<KeyRef> refs);

// References to every "General" field of options, in key order.
std::vector<KeyRef> generalRefs(BrowserOptions& options);

}  // namespace tessel::settings
