#pragma once
// What the shell asks of the parts built beside it: the settings pages and dialogs, the About
// box, the script bridge and the reader messages. Each hook has a harmless default, so the
// shell runs before those parts are joined to it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "browser/app/registered_messages.h"
#include "platform/page_script.h"
#include "platform/ui.h"

namespace tessel::app {

class ShellHooks {
public:
    virtual ~ShellHooks() = default;

    // The symbology and reader settings pages: made hidden as children of the main window,
    // shown by the Tools menu, and their check boxes kept in step with the tray menu.
    virtual void createPages(platform::ui::Window& /*mainWindow*/) {}
    virtual void showSymbologyPage(bool) {}
    virtual void showReaderPage(bool) {}
    virtual void setBarcodeCheck(bool) {}
    virtual void setRfidCheck(bool) {}
    // The reader page's "RFID Reader" button.
    virtual void enableRfidReaderButton(bool) {}
    virtual void destroyPages() {}

    // The Browser settings dialog and the About box, modal.
    virtual void openBrowserSettings() {}
    virtual void openAbout() {}

    // The document page callbacks go to; null when it is released at quit.
    virtual void documentChanged(std::shared_ptr<platform::PageDocument>) {}
    // Writes the settings at quit; the failure text when that fails.
    virtual std::optional<std::u16string> exportSettings() { return std::nullopt; }

    // Trigger keys and decode results ("WM_USER1DOWN" ... "WM_DECODE_IMG").
    virtual void readerMessage(Msg, std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/) {}
};

}  // namespace tessel::app
