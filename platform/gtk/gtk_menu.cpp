#include "platform/gtk/gtk_menu.h"

#include "platform/gtk/gtk_text.h"
#include "platform/gtk/gtk_toolkit.h"

namespace tessel::platform::gtk {

namespace {

// A ticked item shows a check mark before its text.
std::string labelOf(std::u16string_view text, bool ticked) {
    return (ticked ? "\u2713 " : "    ") + toUtf8(text);
}

}  // namespace

GtkUiMenu::GtkUiMenu(GtkToolkit& toolkit, const ui::MenuSpec& spec)
    : toolkit_(toolkit), id_(spec.id), menu_(gtk_menu_new()) {
    g_object_ref_sink(menu_);
    gtk_style_context_add_class(gtk_widget_get_style_context(menu_), "tessel-window");
    for (const auto& spec_item : spec.items) {
        if (spec_item.id == 0) {
            GtkWidget* separator = gtk_separator_menu_item_new();
            gtk_menu_shell_append(GTK_MENU_SHELL(menu_), separator);
            gtk_widget_show(separator);
            continue;
        }
        Item& item = items_[spec_item.id];
        item = {this, spec_item.id, spec_item.text, false, gtk_menu_item_new_with_label(labelOf(spec_item.text, false).c_str())};
        g_signal_connect(item.widget, "activate", G_CALLBACK(activated), &item);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu_), item.widget);
        gtk_widget_show(item.widget);
    }
    g_signal_connect(menu_, "deactivate", G_CALLBACK(deactivated), this);
}

GtkUiMenu::~GtkUiMenu() {
    if (toolkit_.activePopup() == this) toolkit_.popupShown(nullptr);
    if (loop_) g_main_loop_quit(loop_);
    g_signal_handlers_disconnect_by_data(menu_, this);
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
}

void GtkUiMenu::setGrey(int item, bool grey) {
    auto it = items_.find(item);
    if (it != items_.end()) gtk_widget_set_sensitive(it->second.widget, !grey);
}

void GtkUiMenu::setTick(int item, bool tick) {
    auto it = items_.find(item);
    if (it == items_.end()) return;
    it->second.ticked = tick;
    gtk_menu_item_set_label(GTK_MENU_ITEM(it->second.widget), labelOf(it->second.text, tick).c_str());
}

GtkWidget* GtkUiMenu::item(int id) const {
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second.widget;
}

void GtkUiMenu::activated(GtkMenuItem*, gpointer data) {
    // A grey item cannot be chosen, however it was activated.
    auto& item = *static_cast<Item*>(data);
    if (gtk_widget_is_sensitive(item.widget)) item.owner->chosen_ = item.id;
}

// The menu closes before the chosen item is activated, in the same call: the loop ends after.
void GtkUiMenu::deactivated(GtkMenuShell*, gpointer data) {
    auto* menu = static_cast<GtkUiMenu*>(data);
    if (menu->loop_) g_main_loop_quit(menu->loop_);
}

std::optional<int> GtkUiMenu::popup(int x, int y) {
    if (loop_) return std::nullopt;  // already open
    chosen_.reset();
    const GdkRectangle at{x, y, 1, 1};
    GdkWindow* root = gdk_screen_get_root_window(gdk_screen_get_default());
    gtk_menu_popup_at_rect(GTK_MENU(menu_), root, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
    if (!gtk_widget_get_visible(menu_)) return std::nullopt;  // the display refused the grab
    GtkUiMenu* outer = toolkit_.activePopup();
    toolkit_.popupShown(this);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    loop_ = loop;
    g_main_loop_run(loop);
    loop_ = nullptr;
    g_main_loop_unref(loop);
    toolkit_.popupShown(outer);
    return chosen_;
}

}  // namespace tessel::platform::gtk
