#include "browser/settings/symbology_option_pages.h"

#include <algorithm>
#include <utility>

#include "browser/settings/dialog_layout.h"
#include "browser/settings/section_access.h"

namespace tessel::settings {

namespace ui = platform::ui;
using reader::KeyValues;

namespace {

// Field i of a page is control kControlBase + i, its label kLabelBase + i.
constexpr int kControlBase = 1000;
constexpr int kLabelBase = 1500;

// Layout in the 240-pixel design, multiplied by the screen scale.
constexpr int kLeft = 5;
constexpr int kWidth = 225;
constexpr int kRowHeight = 18;
constexpr int kRowPitch = 20;
constexpr int kLabelWidth = 150;
constexpr int kBoxWidth = 70;

// The shared settings of the UPC and EAN/JAN sections: one engine setting behind each shared
// key, so a page writes it into both sections.
constexpr std::pair<std::string_view, std::string_view> kTwinSections[] = {
    {"EAN,JAN 2D/1D_LR", "UPC 2D/1D_LR"},
    {"UPC 2D/1D_LR", "EAN,JAN 2D/1D_LR"},
};

std::u16string toText(int value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

// The leading digits of text, saturated far above any bound; nullopt without a digit.
std::optional<int> parseNumber(std::u16string_view text) {
    constexpr int kSaturation = 1000000;
    std::optional<int> value;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        value = std::min(value.value_or(0) * 10 + (c - u'0'), kSaturation);
    }
    return value;
}

bool fixedNumber(const Field& field) { return field.low == field.high; }

std::size_t entryOffset(const Field& field) { return field.heading.empty() ? 0 : 1; }

// The list entry that shows value: its choice, or the first entry when the value is unknown or
// the engine gave none.
std::size_t entryFor(const Field& field, std::optional<int> value) {
    if (!value) return 0;
    std::optional<std::size_t> position;
    if (field.values.empty()) {
        if (*value >= 0 && static_cast<std::size_t>(*value) < field.choices.size()) {
            position = static_cast<std::size_t>(*value);
        }
    } else if (auto it = std::find(field.values.begin(), field.values.end(), *value);
               it != field.values.end()) {
        position = static_cast<std::size_t>(it - field.values.begin());
    }
    return position ? *position + entryOffset(field) : 0;
}

// The value of the selected entry; nullopt when none is selected.
std::optional<int> valueOfEntry(const Field& field, std::optional<std::size_t> entry) {
    if (!entry) return std::nullopt;
    if (!field.heading.empty() && *entry == 0) return 0;
    const std::size_t position = *entry - entryOffset(field);
    if (position >= field.choices.size()) return std::nullopt;
    return field.values.empty() ? static_cast<int>(position) : field.values[position];
}

// A note takes a row per this many characters.
constexpr std::size_t kNoteLineChars = 40;

int rowsOf(const Field& field) {
    switch (field.type) {
        case FieldType::Choice:
        case FieldType::LengthMode: return field.label.empty() ? 1 : 2;
        case FieldType::Note:
            return static_cast<int>((field.label.size() + kNoteLineChars - 1) / kNoteLineChars);
        default: return 1;
    }
}

// The rows of a page: the usual pitch, or a closer one that keeps a long page above the
// dialog's buttons.
struct RowLayout {
    int pitch = kRowPitch;
    int height = kRowHeight;
};

RowLayout rowLayout(const std::vector<Field>& fields) {
    int rows = 0;
    for (const Field& field : fields) rows += rowsOf(field);
    const int space = kDialogButtonsTop - 2 * kLeft;
    RowLayout layout;
    if (rows * kRowPitch > space) {
        layout.pitch = space / rows;
        layout.height = std::min(kRowHeight, layout.pitch);
    }
    return layout;
}

// Creates field i's controls at design row y; returns the next row.
int placeField(ui::Window& dialog, const Field& field, int i, int y, RowLayout rows, int scale) {
    const int id = kControlBase + i;
    const int label = kLabelBase + i;
    const int height = rows.height;
    using K = ui::ControlKind;
    switch (field.type) {
        case FieldType::Check:
            dialog.addControl(
                designControl(K::CheckBox, id, {kLeft, y, kWidth, height}, field.label, scale));
            break;
        case FieldType::Choice:
        case FieldType::LengthMode:
            if (!field.label.empty()) {
                dialog.addControl(designControl(K::Static, label, {kLeft, y, kWidth, height},
                                                field.label, scale));
                y += rows.pitch;
            }
            dialog.addControl(
                designControl(K::ComboBox, id, {kLeft, y, kWidth, height}, u"", scale));
            break;
        case FieldType::Number:
        case FieldType::Character: {
            dialog.addControl(designControl(K::Static, label, {kLeft, y, kLabelWidth, height},
                                            field.label, scale));
            ui::ControlSpec box = designControl(
                K::Edit, id, {kLeft + kLabelWidth, y, kBoxWidth, height}, u"", scale);
            box.style.border = true;
            box.style.number = field.type == FieldType::Number;
            box.style.limit = field.type == FieldType::Character ? 1 : 0;
            dialog.addControl(box);
            break;
        }
        case FieldType::Note:
            dialog.addControl(designControl(
                K::Static, label, {kLeft, y, kWidth, rows.pitch * rowsOf(field)}, field.label, scale));
            return y + rows.pitch * rowsOf(field);
    }
    return y + rows.pitch;
}

void fillField(ui::Window& dialog, const Field& field, int id, std::optional<int> value) {
    switch (field.type) {
        case FieldType::Check:
            dialog.setChecked(id, value.value_or(0) != 0);
            return;
        case FieldType::Choice:
        case FieldType::LengthMode:
            if (!field.heading.empty()) dialog.comboAdd(id, field.heading);
            for (const auto& entry : field.choices) dialog.comboAdd(id, entry);
            dialog.comboSelect(id, entryFor(field, value));
            return;
        case FieldType::Number:
            if (fixedNumber(field)) value = field.low;
            if (value) dialog.setText(id, toText(*value));
            dialog.enable(id, !fixedNumber(field));
            return;
        case FieldType::Character:
            if (value.value_or(0) != 0) {
                dialog.setText(id, std::u16string(1, static_cast<char16_t>(*value & 0xFF)));
            }
            return;
        case FieldType::Note:
            return;
    }
}

// The value a field's control holds; nullopt when it holds none (an empty number box).
std::optional<int> readField(const ui::Window& dialog, const Field& field, int id) {
    switch (field.type) {
        case FieldType::Check:
            return dialog.isChecked(id) ? 1 : 0;
        case FieldType::Choice:
        case FieldType::LengthMode:
            return valueOfEntry(field, dialog.comboSelection(id));
        case FieldType::Number: {
            if (fixedNumber(field)) return field.low;
            const auto typed = parseNumber(dialog.text(id));
            if (!typed) return std::nullopt;
            return std::clamp(*typed, field.low, field.high);
        }
        case FieldType::Character: {
            const std::u16string text = dialog.text(id);
            return text.empty() ? 0 : (text[0] & 0xFF);
        }
        case FieldType::Note:
            break;
    }
    return std::nullopt;
}

// The packet engines keep no length mode of their own: two lengths in falling order are the
// two lengths allowed, in rising order (or equal) the shortest and the longest.
constexpr int kDiscrete = 0;
constexpr int kMinMax = 1;

std::optional<int> lengthModeOf(const KeyValues& values) {
    const auto first = values.find("length1");
    const auto second = values.find("length2");
    if (first == values.end() || second == values.end()) return std::nullopt;
    return first->second > second->second ? kDiscrete : kMinMax;
}

void orderLengths(KeyValues& values, int mode) {
    const auto first = values.find("length1");
    const auto second = values.find("length2");
    if (first == values.end() || second == values.end()) return;
    if ((first->second > second->second) != (mode == kDiscrete)) std::swap(first->second, second->second);
}

// Values grouped by section, in the order the sections first appear.
using SectionValues = std::vector<std::pair<std::string, KeyValues>>;

KeyValues& valuesOf(SectionValues& all, std::string_view section) {
    auto it =
        std::find_if(all.begin(), all.end(), [&](const auto& s) { return s.first == section; });
    if (it != all.end()) return it->second;
    return all.emplace_back(std::string(section), KeyValues{}).second;
}

}  // namespace

ui::ControlSpec designControl(ui::ControlKind kind, int id, ui::Rect design, std::u16string text,
                              int scale) {
    ui::ControlSpec spec{kind, id, {}, std::move(text), {}, {}};
    spec.rect = {design.x * scale, design.y * scale, design.width * scale, design.height * scale};
    spec.style.largeFont = scale == 2;
    return spec;
}

bool readEngineKeys(reader::SymbologyConfig& config, std::string_view section,
                    std::span<const std::string_view> keys, KeyValues& out) {
    const std::vector<std::string_view> slotKeys = config.keys(section);
    if (slotKeys.empty()) return false;
    std::vector<int> working(slotKeys.size(), 0);
    std::vector<int*> refs(slotKeys.size(), nullptr);
    for (std::size_t i = 0; i < slotKeys.size(); ++i) {
        if (!slotKeys[i].empty() &&
            std::find(keys.begin(), keys.end(), slotKeys[i]) != keys.end()) {
            refs[i] = &working[i];
        }
    }
    if (!config.configure(section, 'r', refs)) return false;
    for (std::size_t i = 0; i < slotKeys.size(); ++i) {
        if (refs[i]) out[std::string(slotKeys[i])] = working[i];
    }
    return true;
}

void writeSectionKeys(IniStore& store, std::string_view section, int engineKind,
                      const KeyValues& values) {
    const SectionSpec* spec = findSectionSpec(section, engineKind);
    if (!spec) return;
    std::vector<int> working(spec->keys.size(), 0);
    std::vector<KeyRef> refs(spec->keys.size(), nullptr);
    bool any = false;
    for (std::size_t i = 0; i < spec->keys.size(); ++i) {
        const auto found = values.find(spec->keys[i].name);
        if (found == values.end() || spec->keys[i].kind == KeyKind::Text) continue;
        working[i] = found->second;
        refs[i] = &working[i];
        any = true;
    }
    if (any) accessSection(store, 'w', *spec, refs);
}

SymbologyOptionPages::SymbologyOptionPages(SymbologyContext& context)
    : context_(context), pages_(symbologyPages(context.engineKind)) {}

const PageSpec* SymbologyOptionPages::find(int page) const {
    auto it = std::find_if(pages_.begin(), pages_.end(),
                           [&](const PageSpec& p) { return p.page == page; });
    return it == pages_.end() ? nullptr : &*it;
}

std::string_view SymbologyOptionPages::sectionOf(const PageSpec& spec, const Field& field) const {
    return field.section.empty() ? spec.section : field.section;
}

std::u16string SymbologyOptionPages::caption(int page) const {
    const PageSpec* spec = find(page);
    return spec ? spec->caption : std::u16string();
}

std::optional<int> SymbologyOptionPages::controlFor(int page, std::string_view key) const {
    const PageSpec* spec = find(page);
    if (!spec) return std::nullopt;
    for (std::size_t i = 0; i < spec->fields.size(); ++i) {
        if (spec->fields[i].key == key) return kControlBase + static_cast<int>(i);
    }
    return std::nullopt;
}

void SymbologyOptionPages::build(ui::Window& dialog, int page) {
    const PageSpec* spec = find(page);
    if (!spec) return;
    // Read what the page shows, section by section; a failed read leaves its controls at their
    // first choice.
    SectionValues wanted;
    for (const Field& field : spec->fields) {
        if (field.key.empty()) continue;
        valuesOf(wanted, sectionOf(*spec, field));
    }
    for (auto& [section, values] : wanted) {
        std::vector<std::string_view> sectionKeys;
        for (const Field& field : spec->fields) {
            if (!field.key.empty() && sectionOf(*spec, field) == section)
                sectionKeys.push_back(field.key);
        }
        readEngineKeys(context_.config, section, sectionKeys, values);
    }
    const RowLayout rows = rowLayout(spec->fields);
    int y = kLeft;
    for (std::size_t i = 0; i < spec->fields.size(); ++i) {
        const Field& field = spec->fields[i];
        const int id = kControlBase + static_cast<int>(i);
        y = placeField(dialog, field, static_cast<int>(i), y, rows, context_.scale);
        std::optional<int> value;
        const KeyValues& values = valuesOf(wanted, sectionOf(*spec, field));
        if (field.type == FieldType::LengthMode) {
            value = lengthModeOf(values);
        } else if (auto found = values.find(field.key); found != values.end()) {
            value = found->second;
        }
        fillField(dialog, field, id, value);
    }
}

void SymbologyOptionPages::onCommand(ui::Window& dialog, int page, int id, ui::Notify notify) {
    const PageSpec* spec = find(page);
    const int index = id - kControlBase;
    if (!spec || notify != ui::Notify::Changed || index < 0 ||
        static_cast<std::size_t>(index) >= spec->fields.size()) {
        return;
    }
    const Field& field = spec->fields[static_cast<std::size_t>(index)];
    if (field.type != FieldType::Number || fixedNumber(field)) return;
    // An entry beyond a bound is replaced with the bound while the user types.
    const auto typed = parseNumber(dialog.text(id));
    if (typed && (*typed < field.low || *typed > field.high)) {
        dialog.setText(id, toText(std::clamp(*typed, field.low, field.high)));
    }
}

void SymbologyOptionPages::apply(ui::Window& dialog, int page) {
    const PageSpec* spec = find(page);
    if (!spec) return;
    SectionValues changes;
    std::optional<int> lengthMode;
    for (std::size_t i = 0; i < spec->fields.size(); ++i) {
        const Field& field = spec->fields[i];
        const auto value = readField(dialog, field, kControlBase + static_cast<int>(i));
        if (field.type == FieldType::LengthMode)
            lengthMode = value;
        else if (!field.key.empty() && value)
            valuesOf(changes, sectionOf(*spec, field))[field.key] = *value;
    }
    if (lengthMode) orderLengths(valuesOf(changes, spec->section), *lengthMode);
    for (auto& [section, values] : changes) {
        context_.config.configure(section, 'w', values);
        if (section == "Image 2D") {
            if (auto format = values.find("imageFileFormat"); format != values.end()) {
                context_.options.imageFileFormat = format->second;
            }
        }
        if (context_.options.updateIniWhenExit != 1) continue;
        writeSectionKeys(context_.store, section, context_.engineKind, values);
        for (const auto& [from, twin] : kTwinSections) {
            if (from == section)
                writeSectionKeys(context_.store, twin, context_.engineKind, values);
        }
    }
}

}  // namespace tessel::settings
