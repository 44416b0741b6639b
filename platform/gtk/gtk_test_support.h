#pragma once
// Test support for the GTK toolkit: a window thread turning the GTK loop, a way to run code on
// it, to let GTK catch up (map, lay out), and to act as the user while a nested loop (message
// box, menu, modal dialog) holds the window thread.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/gtk/gtk_toolkit.h"

namespace tessel::platform::gtk::test {

// Turns the GTK loop (on the window thread) until done() holds or two seconds pass.
inline bool spinUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The steps of whenReady still waiting; a test's end drops them, so none outlives its test.
inline std::vector<guint>& pendingSteps() {
    static std::vector<guint> steps;
    return steps;
}

inline void dropPendingSteps() {
    for (guint id : pendingSteps())
        if (GSource* source = g_main_context_find_source_by_id(nullptr, id)) g_source_destroy(source);
    pendingSteps().clear();
}

// Runs step on the window thread every 10 ms, from inside whatever loop turns, until it
// returns true: the user's side of a message box or menu that blocks the code under test.
inline void whenReady(std::function<bool()> step) {
    auto* owned = new std::function<bool()>(std::move(step));
    pendingSteps().push_back(g_timeout_add_full(
        G_PRIORITY_DEFAULT, 10,
        [](gpointer data) -> gboolean {
            return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        owned, [](gpointer data) { delete static_cast<std::function<bool()>*>(data); }));
}

// Clicks the button of a GTK dialog that gives this response.
inline void respond(GtkWidget* dialog, GtkResponseType response) {
    gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response)));
}

// A key press delivered to a top-level window, as the display would.
inline void pressKey(GtkWindow* window, guint keyval) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window))));
    event->key.keyval = keyval;
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// The GDK window that takes a widget's pointer input: its own, or the input-only window a
// button keeps over its area.
inline GdkWindow* inputWindow(GtkWidget* widget) {
    GdkWindow* window = gtk_widget_get_window(widget);
    if (gtk_widget_get_has_window(widget)) return window;
    GList* children = gdk_window_peek_children(window);
    for (GList* child = children; child; child = child->next) {
        gpointer owner = nullptr;
        gdk_window_get_user_data(GDK_WINDOW(child->data), &owner);
        if (owner == widget) return GDK_WINDOW(child->data);
    }
    return window;
}

// Delivers a pointer event of type at the middle of widget, as the display would.
inline void pointerEvent(GtkWidget* widget, GdkEventType type) {
    GdkWindow* window = inputWindow(widget);
    GdkEvent* event = gdk_event_new(type);
    GtkAllocation area;
    gtk_widget_get_allocation(widget, &area);
    const double x = area.width / 2.0;
    const double y = area.height / 2.0;
    if (type == GDK_ENTER_NOTIFY) {
        event->crossing.window = GDK_WINDOW(g_object_ref(window));
        event->crossing.x = x;
        event->crossing.y = y;
        event->crossing.mode = GDK_CROSSING_NORMAL;
        event->crossing.detail = GDK_NOTIFY_ANCESTOR;
        event->crossing.time = GDK_CURRENT_TIME;
    } else {
        event->button.window = GDK_WINDOW(g_object_ref(window));
        event->button.x = x;
        event->button.y = y;
        event->button.button = 1;
        event->button.time = GDK_CURRENT_TIME;
    }
    gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// The user's click on a button or check box: the pointer comes in, presses and releases.
inline void clickWidget(GtkWidget* widget) {
    pointerEvent(widget, GDK_ENTER_NOTIFY);
    pointerEvent(widget, GDK_BUTTON_PRESS);
    pointerEvent(widget, GDK_BUTTON_RELEASE);
}

// The user's typing of ASCII text into an edit box: it takes the focus and gets one key press
// per character.
inline void typeInto(GtkWidget* edit, std::string_view text) {
    gtk_widget_grab_focus(edit);
    auto* window = GTK_WINDOW(gtk_widget_get_toplevel(edit));
    for (const char ch : text) pressKey(window, gdk_unicode_to_keyval(static_cast<unsigned char>(ch)));
}

// The first toggle button in widget's tree (a combo box's arrow), or null.
inline GtkWidget* toggleButtonIn(GtkWidget* widget) {
    if (GTK_IS_TOGGLE_BUTTON(widget)) return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GtkWidget* found = nullptr;
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) {
            auto* found = static_cast<GtkWidget**>(data);
            if (!*found) *found = toggleButtonIn(child);
        },
        &found);
    return found;
}

// The user's pick from a combo box's list (widget: the combo box or its entry): a press on the
// arrow opens the list, and its entry is chosen.
inline void pickEntry(GtkWidget* widget, std::size_t index) {
    GtkWidget* combo = gtk_widget_get_ancestor(widget, GTK_TYPE_COMBO_BOX);
    GtkWidget* arrow = toggleButtonIn(combo);
    ASSERT_NE(arrow, nullptr);
    pointerEvent(arrow, GDK_ENTER_NOTIFY);
    pointerEvent(arrow, GDK_BUTTON_PRESS);
    GList* menus = gtk_menu_get_for_attach_widget(combo);
    ASSERT_TRUE(menus && gtk_widget_get_visible(GTK_WIDGET(menus->data))) << "the combo box's list did not open";
    GtkMenuShell* menu = GTK_MENU_SHELL(menus->data);
    GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
    GList* item = g_list_nth(items, static_cast<guint>(index));
    if (item) gtk_menu_shell_activate_item(menu, GTK_WIDGET(item->data), TRUE);
    g_list_free(items);
    ASSERT_NE(item, nullptr) << "the list has no entry " << index;
}

// A GTK toolkit whose loop runs on its own thread for the test's life.
class GtkTest : public ::testing::Test {
protected:
    explicit GtkTest(ui::Rect screen = {0, 0, 240, 320}) : toolkit_(screen) {
        windowThread_ = std::thread([this] { toolkit_.run(); });
    }
    ~GtkTest() override {
        toolkit_.quit();
        windowThread_.join();
    }
    void SetUp() override {
        if (!GtkToolkit::available()) GTEST_FAIL() << "no display: run under scripts/with-display.sh";
    }
    // Windows go on the window thread, before the fixture's members do.
    void TearDown() override {
        ui([&] {
            dropPendingSteps();
            tearDownOnWindowThread();
        });
    }
    virtual void tearDownOnWindowThread() {}

    // Runs f on the window thread and waits for it.
    template <class F>
    void ui(F f) {
        toolkit_.send(std::function<void()>(std::move(f)));
    }

    GtkToolkit toolkit_;
    std::thread windowThread_;
};

}  // namespace tessel::platform::gtk::test
