#pragma once
// State that every UI toolkit backend keeps the same way: the numbers of registered message
// names and the system's own windows (task bar, input panel), which on this host exist only as
// flags that the shell switches and tests read.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::platform::ui {

// Registered message names: the same name, letter case aside, always gives the same number;
// new names are numbered from 0xC000 up in the order they are first seen. Thread-safe.
class MessageNames {
public:
    std::uint32_t number(std::string_view name);

private:
    std::mutex mutex_;
    std::map<std::string, std::uint32_t> numbers_;
};

// The system's top-level windows by class name; each call naming a class that was never added
// does nothing and reads false. An added window starts enabled and visible.
class SystemWindows {
public:
    void add(std::string className) { windows_[std::move(className)]; }
    bool exists(std::string_view className) const { return find(className) != nullptr; }
    void enable(std::string_view className, bool enabled);
    void show(std::string_view className, bool visible);
    bool enabled(std::string_view className) const;
    bool visible(std::string_view className) const;

private:
    struct State {
        bool enabled = true;
        bool visible = true;
    };
    const State* find(std::string_view className) const;
    State* find(std::string_view className);

    std::map<std::string, State, std::less<>> windows_;
};

// A list's selection once entry `removed` is taken out: gone with it, or moved up by one.
void selectionAfterRemove(std::optional<std::size_t>& selection, std::size_t removed);

}  // namespace tessel::platform::ui
