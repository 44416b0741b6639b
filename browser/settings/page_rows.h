#pragma once
// The option pages' controls as data: one row per control with its identifier, design
// position, kind, label, the option it shows (a BrowserOptions field) and the terminals it is
// made on. buildRows() creates and fills the rows that apply; applyRows() reads them back.

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "browser/reader/reader_types.h"
#include "browser/settings/browser_options.h"
#include "browser/settings/dialog_layout.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/options_catalogue.h"
#include "platform/ui.h"

namespace tessel::settings::pages {

enum class Ctl { Label, Check, Choice, Edit, Password, Number, SpinNumber, MultiLine, Group };

// Where a row is made.
enum class Only {
    All,
    NotKp30,
    BuzzerModels,  // K220, K240 and K210: LED and buzzer
    NotK210,
    FrameReader,   // RFID reader kind 6
    Imager2D,      // engine kind 3
    LongRange1D,   // engine kind 4
    LongRange1D955,
};

using IntKey = int BrowserOptions::*;
using TextKey = std::u16string BrowserOptions::*;
using Choices = std::vector<std::u16string> (*)();

struct Row {
    int id;
    platform::ui::Rect at;
    Ctl kind;
    std::u16string_view label = {};
    std::variant<std::monostate, IntKey, TextKey> key = {};
    Choices choices = nullptr;
    Only only = Only::All;
    int base = 0;       // the value of a choice box's first entry
    int whenEmpty = 0;  // the value of an empty number box
    int limit = 0;      // most characters of an edit box
};

// The terminal a page is built on.
struct PageContext {
    DialogScreen screen;
    reader::ModelIndex model = reader::ModelIndex::Unknown;
    reader::ReaderType engine = reader::ReaderType::None;
    reader::ReaderType rfid = reader::ReaderType::None;
};

bool applies(Only only, const PageContext& context);
bool isRfidKind(reader::ReaderType kind);

// Creates the rows that apply on the terminal and fills those with a key from options: a check
// box checked for a non-zero value, a choice box at value - base (clamped to its entries), an
// edit box with the text or the number.
void buildRows(DialogBuilder& build, platform::ui::Window& dialog, std::span<const Row> rows,
               const PageContext& context, const BrowserOptions& options);
// Reads the rows with a key that apply back into options.
void applyRows(const platform::ui::Window& dialog, std::span<const Row> rows,
               const PageContext& context, BrowserOptions& options);

// Selects position in a choice box, clamped to its entries.
void selectClamped(platform::ui::Window& dialog, int id, int position);
// The selected position of a choice box; 0 when nothing is selected.
int selected(const platform::ui::Window& dialog, int id);

// ASCII text as 16-bit text.
std::u16string widen(std::string_view text);
// count entries printf-formatted from value first, value step apart; the entry at marked
// (if any) uses markedFormat.
std::vector<std::u16string> formatted(const char* format, int first, int step, int count,
                                      int marked = -1, const char* markedFormat = nullptr);

// Writes the named keys of a section into the store; the others stay as they are.
using StoreValue = std::variant<int, std::u16string>;
using StoreValues = std::vector<std::pair<std::string_view, StoreValue>>;
void writeKeys(IniStore& store, const SectionSpec& section,
               const StoreValues& values);

}  // namespace tessel::settings::pages
