#pragma once
// The symbology list page as the rest of the settings see it: a hidden child page of the main
// window that the Tools menu shows, whose rows the reader pages can switch off and whose
// check boxes follow a reset of the engine.

#include "platform/ui.h"

namespace tessel::settings {

class SymbologyPage {
public:
    virtual ~SymbologyPage() = default;
    // Builds the page hidden, as a child of the main window.
    virtual void create(platform::ui::Window& mainWindow) = 0;
    virtual void show(bool visible) = 0;
    virtual void destroy() = 0;
    // Enables or disables every row (the CCD/laser engine's continuous and test modes).
    virtual void setRowsEnabled(bool enabled) = 0;
    // After the engine's factory reset: reads each listed symbology's enable state back from
    // the engine, sets its check box and button, and writes that `enable` key into the store.
    virtual void refreshAfterReset() = 0;
};

}  // namespace tessel::settings
