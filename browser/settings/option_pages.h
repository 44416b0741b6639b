#pragma once
// The pages one option dialog can show: it asks them for a page's caption, has them build the
// page's controls when it opens, passes them the page's commands, and has them apply the page
// on OK. The browser and reader pages are one set, the symbology pages of each engine another.

#include <string>

#include "platform/ui.h"

namespace tessel::settings {

class OptionPages {
public:
    virtual ~OptionPages() = default;

    // The window caption of a page; empty for a page that does not exist.
    virtual std::u16string caption(int page) const = 0;
    // Creates the page's controls in the dialog window and fills them; a page that does not
    // exist builds nothing.
    virtual void build(platform::ui::Window& dialog, int page) = 0;
    // A command of one of the page's controls while the dialog is open (check box clicked,
    // choice changed, text typed).
    virtual void onCommand(platform::ui::Window& dialog, int page, int id,
                           platform::ui::Notify notify) = 0;
    // OK: reads the controls and applies the page.
    virtual void apply(platform::ui::Window& dialog, int page) = 0;
};

}  // namespace tessel::settings
