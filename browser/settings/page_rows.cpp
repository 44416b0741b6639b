#include "browser/settings/page_rows.h"

#include <algorithm>
#include <cstdio>

#include "browser/settings/caller_check.h"
#include "browser/settings/reader_option_pages.h"
#include "browser/settings/section_access.h"

namespace tessel::settings::pages {

namespace ui = platform::ui;
using reader::ModelIndex;
using reader::ReaderType;

bool isRfidKind(ReaderType kind) {
    return kind == ReaderType::RfidText || kind == ReaderType::RfidFrame ||
           kind == ReaderType::RfidModule;
}

bool applies(Only only, const PageContext& c) {
    switch (only) {
        case Only::All: return true;
        case Only::NotKp30: return !c.screen.kp30;
        case Only::BuzzerModels:
            return c.model == ModelIndex::K220 || c.model == ModelIndex::K240 ||
                   c.model == ModelIndex::K210;
        case Only::NotK210: return c.model != ModelIndex::K210;
        case Only::FrameReader: return c.rfid == ReaderType::RfidFrame;
        case Only::Imager2D: return c.engine == ReaderType::Imager2D;
        case Only::LongRange1D: return c.engine == ReaderType::LongRange1D;
        case Only::LongRange1D955: return c.engine == ReaderType::LongRange1D955;
    }
    return false;
}

namespace {

ui::ControlSpec specOf(const Row& row) {
    ui::ControlSpec spec{ui::ControlKind::Static, row.id, row.at, std::u16string(row.label), {}, {}};
    switch (row.kind) {
        case Ctl::Label: break;
        case Ctl::Check: spec.kind = ui::ControlKind::CheckBox; break;
        case Ctl::Choice: spec.kind = ui::ControlKind::ComboBox; break;
        case Ctl::Group: spec.kind = ui::ControlKind::GroupBox; break;
        case Ctl::Edit:
        case Ctl::Password:
        case Ctl::Number:
        case Ctl::SpinNumber:
        case Ctl::MultiLine:
            spec.kind = ui::ControlKind::Edit;
            spec.text.clear();
            spec.style.border = true;
            spec.style.password = row.kind == Ctl::Password;
            spec.style.number = row.kind == Ctl::Number || row.kind == Ctl::SpinNumber;
            spec.style.spin = row.kind == Ctl::SpinNumber;
            spec.style.multiLine = row.kind == Ctl::MultiLine;
            spec.style.limit = row.limit;
            break;
    }
    return spec;
}

bool isTextBox(Ctl kind) {
    return kind == Ctl::Edit || kind == Ctl::Password || kind == Ctl::Number ||
           kind == Ctl::SpinNumber || kind == Ctl::MultiLine;
}

void load(ui::Window& dialog, const Row& row, const BrowserOptions& options) {
    if (const auto* text = std::get_if<TextKey>(&row.key)) {
        dialog.setText(row.id, options.*(*text));
        return;
    }
    const auto* number = std::get_if<IntKey>(&row.key);
    if (!number) return;
    const int value = options.*(*number);
    if (row.kind == Ctl::Check) dialog.setChecked(row.id, value != 0);
    if (row.kind == Ctl::Choice) selectClamped(dialog, row.id, value - row.base);
    if (isTextBox(row.kind)) dialog.setText(row.id, widen(std::to_string(value)));
}

void store(const ui::Window& dialog, const Row& row, BrowserOptions& options) {
    if (const auto* text = std::get_if<TextKey>(&row.key)) {
        options.*(*text) = dialog.text(row.id);
        return;
    }
    const auto* number = std::get_if<IntKey>(&row.key);
    if (!number) return;
    int& value = options.*(*number);
    if (row.kind == Ctl::Check) value = dialog.isChecked(row.id) ? 1 : 0;
    if (row.kind == Ctl::Choice) value = selected(dialog, row.id) + row.base;
    if (isTextBox(row.kind)) value = typedNumber(dialog.text(row.id), row.whenEmpty);
}

}  // namespace

void buildRows(DialogBuilder& build, ui::Window& dialog, std::span<const Row> rows,
               const PageContext& context, const BrowserOptions& options) {
    for (const Row& row : rows) {
        if (!applies(row.only, context)) continue;
        build.add(specOf(row));
        if (row.choices)
            for (const auto& entry : row.choices()) dialog.comboAdd(row.id, entry);
        load(dialog, row, options);
    }
}

void applyRows(const ui::Window& dialog, std::span<const Row> rows, const PageContext& context,
               BrowserOptions& options) {
    for (const Row& row : rows)
        if (applies(row.only, context)) store(dialog, row, options);
}

void selectClamped(ui::Window& dialog, int id, int position) {
    const int count = static_cast<int>(dialog.comboEntries(id).size());
    if (count == 0) return;
    dialog.comboSelect(id, static_cast<std::size_t>(std::clamp(position, 0, count - 1)));
}

int selected(const ui::Window& dialog, int id) {
    return static_cast<int>(dialog.comboSelection(id).value_or(0));
}

std::u16string widen(std::string_view text) { return {text.begin(), text.end()}; }

std::vector<std::u16string> formatted(const char* format, int first, int step, int count,
                                      int marked, const char* markedFormat) {
    std::vector<std::u16string> entries;
    for (int i = 0; i < count; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, i == marked ? markedFormat : format, first + i * step);
        entries.push_back(widen(text));
    }
    return entries;
}

void writeKeys(IniStore& store, const SectionSpec& section,
               const StoreValues& values) {
    const std::size_t n = section.keys.size();
    std::vector<int> numbers(n, 0);
    std::vector<std::u16string> texts(n);
    std::vector<KeyRef> refs(n, nullptr);
    for (const auto& [key, value] : values) {
        const auto index = section.indexOf(key);
        expectCaller(index.has_value(), "a key of the section");
        if (const int* number = std::get_if<int>(&value)) {
            numbers[*index] = *number;
            refs[*index] = &numbers[*index];
        } else {
            texts[*index] = std::get<std::u16string>(value);
            refs[*index] = &texts[*index];
        }
    }
    accessSection(store, 'w', section, std::span<const KeyRef>(refs));
}

}  // namespace tessel::settings::pages
