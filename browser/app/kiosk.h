#pragma once
// The kiosk lock's pieces: the shell's task bar options from the registry and the password
// prompt InputPasswdDialog.

#include <string>

#include "platform/registry.h"
#include "platform/ui.h"

namespace tessel::app {

inline constexpr char kTaskBarClass[] = "HHTaskBar";
inline constexpr char kInputPanelClass[] = "SipWndClass";

// The task bar's OnTop and AutoHide settings: each is set when its key under
// HKEY_LOCAL_MACHINE\Software\Microsoft\Shell opens and its unnamed value is the number 1.
// Without a registry, or on any failure, neither is set.
struct TaskBarOptions {
    bool onTop = false;
    bool autoHide = false;

    static TaskBarOptions read(platform::Registry* registry);
    // The task bar covers the page's foot: OnTop and not AutoHide.
    bool coversPage() const { return onTop && !autoHide; }
    // The tray pop-up opens 20 pixels lower: AutoHide, or not OnTop.
    bool lowersPopup() const { return autoHide || !onTop; }
};

inline constexpr int kPasswordEdit = 49;

// The modal password prompt (caption "Password"). ask() returns true only when the text typed
// equals password exactly and the user confirmed; a wrong password shows "Incorrect password"
// and counts as cancelled.
class InputPasswdDialog final : public platform::ui::WindowHandler {
public:
    InputPasswdDialog(platform::ui::Toolkit& toolkit, platform::ui::Window& owner,
                      std::u16string password);
    bool ask();

    void onCommand(int id, platform::ui::Notify notify) override;
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void onOk() override { onCommand(platform::ui::kIdOk, platform::ui::Notify::Clicked); }
    void onClose() override { onCommand(platform::ui::kIdCancel, platform::ui::Notify::Clicked); }

private:
    platform::ui::Toolkit& toolkit_;
    platform::ui::Window& owner_;
    std::u16string password_;
    std::unique_ptr<platform::ui::Window> window_;
};

}  // namespace tessel::app
