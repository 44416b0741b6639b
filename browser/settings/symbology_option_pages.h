#pragma once
// The symbology option pages of one engine kind, shown by the option dialog in symbology mode.
//
// Every page is a table: the page's section and its controls in order (a check box for a flag
// key, a choice list for a number key, a number box, a one-character box, a note). Opening a
// page reads the keys it shows from the engine ('r'); OK sends them back ('w') and, when
// `updateIniWhenExit` is 1, writes the same keys into the store. A page never shows the
// `enable` key the symbology list owns, so OK leaves it alone; the pages of symbologies
// without a list check box show (and so send) their switches.
//
//   SymbologyContext context{config, store, options, 3};
//   SymbologyOptionPages pages(context);
//   pages.build(dialog, 16);   // "Image Capture"
//   pages.apply(dialog, 16);

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser/reader/symbology_config.h"
#include "browser/settings/browser_options.h"
#include "browser/settings/ini_store.h"
#include "browser/settings/option_pages.h"
#include "browser/settings/options_catalogue.h"

namespace tessel::settings {

// What the symbology list and its pages work on; everything outlives them.
struct SymbologyContext {
    reader::SymbologyConfig& config;
    IniStore& store;
    BrowserOptions& options;
    int engineKind = 0;  // 2 CCD/laser, 3 and 8 2D imagers, 4 and 9 long-range lasers
    int scale = 1;       // 1 on 240-pixel-wide screens, 2 on 480
};

// Reads only the named keys of section from the engine into out; false when the engine has no
// such section or the read failed (out is then left alone).
bool readEngineKeys(reader::SymbologyConfig& config, std::string_view section,
                    std::span<const std::string_view> keys, reader::KeyValues& out);

// Writes values into section of the store; keys that the catalogue's section (of that engine
// kind) does not hold are left out.
void writeSectionKeys(IniStore& store, std::string_view section, int engineKind,
                      const reader::KeyValues& values);

// A control placed at a position of the 240-pixel design, multiplied by the screen scale; on
// scale-2 screens in the large font.
platform::ui::ControlSpec designControl(platform::ui::ControlKind kind, int id,
                                        platform::ui::Rect design, std::u16string text, int scale);

// The kinds of control a page is made of.
enum class FieldType {
    Check,      // check box: a flag key
    Choice,     // choice list: a number key
    LengthMode, // choice list "discrete" / "min/max": the order of the page's two lengths
    Number,     // number box, kept within its bounds while typing
    Character,  // one character: its code
    Note,       // text only
};

struct Field {
    FieldType type = FieldType::Note;
    std::u16string label;
    std::string key;  // empty for a note
    std::vector<std::u16string> choices = {};
    std::vector<int> values = {};  // the value of each choice; empty: the choice's position
    std::u16string heading = {};   // a first entry that is no choice and stands for 0
    int low = 0;                   // number bounds; low == high: fixed, the box is disabled
    int high = 255;
    std::string section = {};  // another section than the page's, or empty
    EngineKinds kinds = EngineKinds::all();
};

struct PageSpec {
    int page = 0;
    EngineKinds kinds = EngineKinds::all();
    std::u16string caption;
    std::string section;
    std::vector<Field> fields = {};
};

// The pages of an engine kind, with only the fields that kind shows.
std::vector<PageSpec> symbologyPages(int engineKind);

class SymbologyOptionPages final : public OptionPages {
  public:
    explicit SymbologyOptionPages(SymbologyContext& context);

    std::u16string caption(int page) const override;
    void build(platform::ui::Window& dialog, int page) override;
    void onCommand(platform::ui::Window& dialog, int page, int id,
                   platform::ui::Notify notify) override;
    void apply(platform::ui::Window& dialog, int page) override;

    // The control that edits key on a page (the key of the field's own section), or nullopt.
    std::optional<int> controlFor(int page, std::string_view key) const;

  private:
    const PageSpec* find(int page) const;
    std::string_view sectionOf(const PageSpec& spec, const Field& field) const;

    SymbologyContext& context_;
    std::vector<PageSpec> pages_;
};

}  // namespace tessel::settings
