#pragma once
// A toolkit window on GTK 3: a top-level GtkWindow holding a GtkFixed, or, for a child page, a
// GtkFixed placed in its parent's. Every control is a real widget at its rect; what the user
// does with them reaches the handler as the same onCommand calls the headless backend gives.

#include <gtk/gtk.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace tessel::platform::gtk {

class GtkToolkit;

class GtkUiWindow final : public ui::Window {
public:
    GtkUiWindow(GtkToolkit& toolkit, ui::WindowHandler& handler, GtkUiWindow* parent);
    ~GtkUiWindow() override;
    GtkUiWindow(const GtkUiWindow&) = delete;
    GtkUiWindow& operator=(const GtkUiWindow&) = delete;

    void setCaption(std::u16string_view caption) override;
    void setFrame(Frame frame) override;
    void setRect(ui::Rect rect) override;
    ui::Rect rect() const override { return rect_; }
    void show(bool visible) override;
    bool visible() const override { return visible_; }
    void bringToFront() override;
    void setTopmost(bool topmost) override;
    void setIcon(int iconId) override { icon_ = iconId; }

    void addControl(const ui::ControlSpec& spec) override;
    bool hasControl(int id) const override { return controls_.count(id) != 0; }
    void setText(int id, std::u16string_view text) override;
    std::u16string text(int id) const override;
    void enable(int id, bool enabled) override;
    bool isEnabled(int id) const override;
    void showControl(int id, bool visible) override;
    bool isShown(int id) const override;
    void moveControl(int id, ui::Rect rect) override;
    ui::Rect controlRect(int id) const override;
    void setFocus(int id) override;
    void setChecked(int id, bool checked) override;
    bool isChecked(int id) const override;
    void setProgress(int id, int percent) override;
    void comboAdd(int id, std::u16string_view entry) override;
    void comboRemove(int id, std::size_t index) override;
    std::vector<std::u16string> comboEntries(int id) const override;
    void comboSelect(int id, std::optional<std::size_t> index) override;
    std::optional<std::size_t> comboSelection(int id) const override;
    void enableToolButton(int toolbarId, int buttonId, bool enabled) override;
    bool isToolButtonEnabled(int toolbarId, int buttonId) const override;
    void endModal(bool ok) override;

    // The GTK side, for the toolkit, the web view backend and tests.
    GtkWidget* container() const { return fixed_; }
    GtkWindow* toplevel() const;  // the GtkWindow this window lies in
    bool isToplevel() const { return window_ != nullptr; }
    // The widget that takes the user's input for a control (the entry of a combo box, the text
    // view of a multi-line edit, the slot of a browser control); null for an unknown id.
    GtkWidget* widget(int id) const;
    GtkWidget* toolButton(int toolbarId, int buttonId) const;
    int icon() const { return icon_; }
    bool topmost() const { return topmost_; }
    void message(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        handler_.onMessage(message, wParam, lParam);
    }

    // Modal runs (GtkToolkit::runModal): the nested loop that endModal ends.
    void beginModal(GMainLoop* loop);
    std::optional<bool> modalResult() const { return modalResult_; }

    struct Control {
        GtkUiWindow* owner = nullptr;
        ui::ControlSpec spec;
        GtkWidget* outer = nullptr;  // placed in the window's GtkFixed
        GtkWidget* input = nullptr;  // takes the input
        bool shown = true;
        std::vector<std::u16string> entries;
        std::optional<std::size_t> selection;
        std::map<int, GtkWidget*> toolButtons;
    };

    // Called from the widgets' signal handlers.
    void notify(int id, ui::Notify notify);
    bool quiet() const { return updating_ || destroying_; }
    void comboPicked(Control& control);
    void comboTyped(Control& control);
    void close() { handler_.onClose(); }
    void ok() { handler_.onOk(); }
    void cancelModal();
    void clickAt(int x, int y) { handler_.onClick(x, y); }
    void browserMouse(bool down, int x, int y) { handler_.onBrowserMouse(down, x, y); }

private:
    Control* find(int id);
    const Control* find(int id) const;
    void place(Control& control);
    std::string widgetText(const Control& control) const;
    void setWidgetText(Control& control);
    void stayOverMain();

    GtkToolkit& toolkit_;
    ui::WindowHandler& handler_;
    GtkUiWindow* parent_;
    GtkWidget* window_ = nullptr;  // top-level windows only
    GtkWidget* clip_ = nullptr;   // a GtkLayout at the window's rect
    GtkWidget* fixed_ = nullptr;  // in it, holding the controls
    ui::Rect rect_;
    bool visible_ = false;
    bool topmost_ = false;
    int icon_ = 0;
    bool updating_ = false;    // a change made by code, not by the user: no notifications
    bool destroying_ = false;
    GMainLoop* modalLoop_ = nullptr;
    std::optional<bool> modalResult_;
    std::map<int, Control> controls_;  // map nodes stay put: signal handlers hold them
};

}  // namespace tessel::platform::gtk
