#include "browser/settings/dialog_layout.h"

namespace tessel::settings {

namespace ui = platform::ui;

ui::Rect DialogBuilder::scaled(ui::Rect r) const {
    const int s = screen_.scale;
    return {r.x * s, r.y * s, r.width * s, r.height * s};
}

void DialogBuilder::add(ui::ControlSpec spec) {
    spec.rect = scaled(spec.rect);
    spec.style.largeFont = screen_.scale == 2;
    window_.addControl(spec);
    added_.emplace_back(spec.id, spec.kind);
}

void DialogBuilder::addTitleLine(std::u16string_view text, int offset) {
    if (!screen_.kp30) return;
    for (const auto& [id, kind] : added_) {
        ui::Rect r = window_.controlRect(id);
        r.y += offset;
        if (kind == ui::ControlKind::ComboBox) r.height += kTitleComboGrowth;
        window_.moveControl(id, r);
    }
    // The line paints "Title Static" when it has no text of its own.
    const std::u16string shown = text.empty() ? u"Title Static" : std::u16string(text);
    window_.addControl({ui::ControlKind::Static, kTitleLine, {0, 0, window_.rect().width, offset},
                        shown, {}, {}});
}

ui::Rect pageRect(const DialogScreen& screen) {
    if (screen.scale == 2) return {1, 26, 480, 616};
    return {1, 26, 240, screen.kp30 ? 400 : 320};
}

}  // namespace tessel::settings
