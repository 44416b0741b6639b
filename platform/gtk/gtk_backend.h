#pragma once
// The GTK toolkit for programs that include no GTK header.

#include <memory>
#include <optional>
#include <string_view>

#include "platform/ui.h"

namespace tessel::platform::gtk {

// The GTK toolkit when there is a display to open (DISPLAY or WAYLAND_DISPLAY set, and GTK
// opens it); null otherwise.
std::unique_ptr<ui::Toolkit> openDisplayToolkit(ui::Rect screen);

// The terminal's screen class by its name: "240x320", "240x384" (the KP30) or "480x640";
// nullopt for anything else.
std::optional<ui::Rect> screenClass(std::string_view name);

}  // namespace tessel::platform::gtk
