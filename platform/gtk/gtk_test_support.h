#pragma once
// Test support for the GTK toolkit: a window thread turning the GTK loop, a way to run code on
// it, to let GTK catch up (map, lay out), and to act as the user while a nested loop (message
// box, menu, modal dialog) holds the window thread.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
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
