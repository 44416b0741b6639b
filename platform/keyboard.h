#pragma once
// Keyboard input injection: typed characters and virtual-key events into the window that has
// the keyboard focus, as the terminal's PostKeybdMessage and keybd_event calls deliver them.
//
// Neither call reports failure: input that cannot be delivered is dropped, as on the terminal.

#include <cstdint>
#include <mutex>
#include <span>
#include <variant>
#include <vector>

namespace tessel::platform {

// The window handle that means "whichever window has the focus".
inline constexpr std::intptr_t kFocusWindow = -1;
// Key-state flag of a key that is down.
inline constexpr std::uint32_t kKeyStateDown = 0x80;
// keybd_event flags.
inline constexpr std::uint32_t kKeyEventKeyUp = 0x2;
inline constexpr std::uint32_t kKeyEventSilent = 0x4;

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // Posts characters to window as typed input: virtualKey and keyStateFlags describe the key,
    // keyStates holds one key-state entry per character.
    virtual void postKeybdMessage(std::intptr_t window, std::uint32_t virtualKey,
                                  std::uint32_t keyStateFlags,
                                  std::span<const std::uint32_t> keyStates,
                                  std::span<const std::uint32_t> characters) = 0;
    // One key going down (flags without kKeyEventKeyUp) or up.
    virtual void keybdEvent(std::uint8_t virtualKey, std::uint8_t scanCode,
                            std::uint32_t flags) = 0;
};

// Drops every key: for a program with no window that could take them (headless, benchmarks).
class NoKeyboard final : public Keyboard {
public:
    void postKeybdMessage(std::intptr_t, std::uint32_t, std::uint32_t, std::span<const std::uint32_t>,
                          std::span<const std::uint32_t>) override {}
    void keybdEvent(std::uint8_t, std::uint8_t, std::uint32_t) override {}
};

// Remembers every call instead of delivering it.
class RecordingKeyboard final : public Keyboard {
public:
    struct Post {
        std::intptr_t window;
        std::uint32_t virtualKey;
        std::uint32_t keyStateFlags;
        std::vector<std::uint32_t> keyStates;
        std::vector<std::uint32_t> characters;
        bool operator==(const Post&) const = default;
    };
    struct KeyEvent {
        std::uint8_t virtualKey;
        std::uint8_t scanCode;
        std::uint32_t flags;
        bool operator==(const KeyEvent&) const = default;
    };
    using Call = std::variant<Post, KeyEvent>;

    void postKeybdMessage(std::intptr_t window, std::uint32_t virtualKey,
                          std::uint32_t keyStateFlags, std::span<const std::uint32_t> keyStates,
                          std::span<const std::uint32_t> characters) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(Post{window, virtualKey, keyStateFlags,
                              {keyStates.begin(), keyStates.end()},
                              {characters.begin(), characters.end()}});
    }
    void keybdEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override {
        std::lock_guard lock(mutex_);
        calls_.push_back(KeyEvent{virtualKey, scanCode, flags});
    }

    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

}  // namespace tessel::platform
