#include "platform/ui_state.h"

#include <cctype>

namespace tessel::platform::ui {

std::uint32_t MessageNames::number(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::lock_guard lock(mutex_);
    auto [it, added] = numbers_.emplace(key, static_cast<std::uint32_t>(0xC000 + numbers_.size()));
    return it->second;
}

const SystemWindows::State* SystemWindows::find(std::string_view className) const {
    auto it = windows_.find(className);
    return it == windows_.end() ? nullptr : &it->second;
}

SystemWindows::State* SystemWindows::find(std::string_view className) {
    auto it = windows_.find(className);
    return it == windows_.end() ? nullptr : &it->second;
}

void SystemWindows::enable(std::string_view className, bool enabled) {
    if (State* s = find(className)) s->enabled = enabled;
}

void SystemWindows::show(std::string_view className, bool visible) {
    if (State* s = find(className)) s->visible = visible;
}

bool SystemWindows::enabled(std::string_view className) const {
    const State* s = find(className);
    return s && s->enabled;
}

bool SystemWindows::visible(std::string_view className) const {
    const State* s = find(className);
    return s && s->visible;
}

void selectionAfterRemove(std::optional<std::size_t>& selection, std::size_t removed) {
    if (!selection) return;
    if (*selection == removed)
        selection.reset();
    else if (*selection > removed)
        --*selection;
}

}  // namespace tessel::platform::ui
