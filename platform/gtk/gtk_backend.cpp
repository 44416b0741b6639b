#include "platform/gtk/gtk_backend.h"

#include <cstdlib>

#include "platform/gtk/gtk_toolkit.h"

namespace tessel::platform::gtk {

std::unique_ptr<ui::Toolkit> openDisplayToolkit(ui::Rect screen) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return nullptr;
    if (!GtkToolkit::available()) return nullptr;
    return std::make_unique<GtkToolkit>(screen);
}

std::optional<ui::Rect> screenClass(std::string_view name) {
    constexpr struct {
        std::string_view name;
        ui::Rect screen;
    } kClasses[] = {{"240x320", {0, 0, 240, 320}}, {"240x384", {0, 0, 240, 384}}, {"480x640", {0, 0, 480, 640}}};
    for (const auto& entry : kClasses)
        if (entry.name == name) return entry.screen;
    return std::nullopt;
}

}  // namespace tessel::platform::gtk
