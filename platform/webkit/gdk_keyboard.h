#pragma once
// Keyboard input into our own window on GDK: the terminal's keybd_event becomes a synthesized
// GDK key event for the window that has the input focus, so a page sees the full keydown,
// keypress, input and keyup sequence; PostKeybdMessage's characters are inserted into the
// focused element as typed text (the InsertText editing command in a web view), without key
// events.
//
// Virtual keys map to the keys of a US keyboard; the shift, control and alt keys are kept down
// between their down and up events and change the keys that follow. Keys a US keyboard does not
// have are dropped, as is input when no window of ours can take it.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/keyboard.h"

typedef struct _GtkWidget GtkWidget;

namespace tessel::platform::webkit {

// The GDK key value a US keyboard gives for a virtual key, with or without shift; 0 for a key
// it does not have.
unsigned keyvalForVirtualKey(std::uint8_t virtualKey, bool shifted);

// UTF-8 of 32-bit characters given as UTF-16 units or code points: surrogate pairs join, a lone
// surrogate or a value beyond Unicode becomes U+FFFD, and NULs (no text field holds one) are
// left out.
std::string utf8OfCharacters(std::span<const std::uint32_t> characters);

class GdkKeyboard final : public Keyboard {
public:
    // fallback gives a widget whose window takes the input when none of ours is active (null:
    // none). Calls are made on the window thread.
    explicit GdkKeyboard(std::function<GtkWidget*()> fallback) : fallback_(std::move(fallback)) {}

    void postKeybdMessage(std::intptr_t window, std::uint32_t virtualKey,
                          std::uint32_t keyStateFlags, std::span<const std::uint32_t> keyStates,
                          std::span<const std::uint32_t> characters) override;
    void keybdEvent(std::uint8_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;

private:
    GtkWidget* targetWindow() const;
    unsigned modifiers() const;

    std::function<GtkWidget*()> fallback_;
    bool shift_ = false;
    bool control_ = false;
    bool alt_ = false;
};

}  // namespace tessel::platform::webkit
