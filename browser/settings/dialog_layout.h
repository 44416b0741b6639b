#pragma once
// Building a dialog's controls in code: positions and sizes come in the 240-pixel-wide design
// and are multiplied by the screen scale; on scale-2 screens every control gets the 18-point
// font. On the KP30, whose dialogs have no caption bar, the controls move down and a title
// line takes the top.
//
//   DialogBuilder build(window, {scale, kp30});
//   build.add({ui::ControlKind::CheckBox, 15, {5, 5, 20, 18}, u"", {}, {}});
//   build.addTitleLine(u"Options", 20);

#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace tessel::settings {

struct DialogScreen {
    int scale = 1;  // 1 on 240-pixel-wide screens, 2 on 480-pixel-wide ones
    bool kp30 = false;
};

// Where the reader and symbology pages lie in the main window.
platform::ui::Rect pageRect(const DialogScreen& screen);

// The top of the option dialog's OK and Cancel buttons in the design; pages stay above it.
inline constexpr int kDialogButtonsTop = 272;

// The identifier of the KP30 title line.
inline constexpr int kTitleLine = 0x7F00;
// Combo boxes grow this much when the title line moves them, so their lists stay open.
inline constexpr int kTitleComboGrowth = 200;

class DialogBuilder {
public:
    DialogBuilder(platform::ui::Window& window, DialogScreen screen) : window_(window), screen_(screen) {}

    // Adds a control placed in design coordinates.
    void add(platform::ui::ControlSpec spec);
    // A design rectangle on this screen.
    platform::ui::Rect scaled(platform::ui::Rect design) const;
    // KP30 only: moves every control added so far down by offset pixels (combo boxes also grow)
    // and adds the title line with the text across the top. Nothing on other models.
    void addTitleLine(std::u16string_view text, int offset);

private:
    platform::ui::Window& window_;
    DialogScreen screen_;
    std::vector<std::pair<int, platform::ui::ControlKind>> added_;
};

}  // namespace tessel::settings
