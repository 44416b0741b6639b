#pragma once
// A toolkit menu on GTK 3: one GtkMenu whose items can be greyed (insensitive) and ticked (a
// check mark before the text). popup() shows it at a screen point and turns a nested loop until
// the menu closes.

#include <gtk/gtk.h>

#include <map>
#include <optional>
#include <string>

#include "platform/ui.h"

namespace tessel::platform::gtk {

class GtkToolkit;

class GtkUiMenu final : public ui::Menu {
public:
    GtkUiMenu(GtkToolkit& toolkit, const ui::MenuSpec& spec);
    ~GtkUiMenu() override;
    GtkUiMenu(const GtkUiMenu&) = delete;
    GtkUiMenu& operator=(const GtkUiMenu&) = delete;

    void setGrey(int item, bool grey) override;
    void setTick(int item, bool tick) override;
    std::optional<int> popup(int x, int y) override;

    int id() const { return id_; }
    GtkWidget* menu() const { return menu_; }
    // The item with that command; null for none.
    GtkWidget* item(int id) const;

private:
    struct Item {
        GtkUiMenu* owner = nullptr;
        int id = 0;
        std::u16string text;
        bool ticked = false;
        GtkWidget* widget = nullptr;
    };
    static void activated(GtkMenuItem*, gpointer data);
    static void deactivated(GtkMenuShell*, gpointer data);

    GtkToolkit& toolkit_;
    int id_;
    GtkWidget* menu_;
    std::map<int, Item> items_;
    std::optional<int> chosen_;
    GMainLoop* loop_ = nullptr;
};

}  // namespace tessel::platform::gtk
