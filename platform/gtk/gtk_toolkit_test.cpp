#include "platform/gtk/gtk_toolkit.h"

#include <atomic>
#include <mutex>

#include "platform/gtk/gtk_test_support.h"

namespace tessel::platform::gtk::test {
namespace {

using ui::ControlKind;
using ui::ControlSpec;
using ui::Notify;

// Records what the window hears; onCommand can also act (end a modal run).
class Recorder final : public ui::WindowHandler {
public:
    void onCommand(int id, Notify notify) override {
        static const char* names[] = {"clicked", "selection", "enter", "changed"};
        events.push_back(std::to_string(id) + " " + names[static_cast<int>(notify)]);
        if (react) react(id);
    }
    void onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) override {
        events.push_back("message " + std::to_string(message) + " " + std::to_string(wParam));
    }
    void onOk() override { events.push_back("ok"); }
    void onClose() override {
        events.push_back("close");
        if (react) react(ui::kIdCancel);
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }

    std::vector<std::string> events;
    std::function<void(int)> react;
};

using Events = std::vector<std::string>;

class GtkToolkitTest : public GtkTest {
protected:
    void tearDownOnWindowThread() override {
        page_.reset();
        window_.reset();
    }

    // A shown 240 x 320 window at the screen's corner, on the window thread.
    GtkUiWindow& window() {
        if (!window_) {
            window_ = toolkit_.createWindow(recorder_, nullptr);
            window_->setRect({0, 0, 240, 320});
            window_->show(true);
        }
        return static_cast<GtkUiWindow&>(*window_);
    }
    void add(ControlSpec spec) { window().addControl(spec); }
    GtkWidget* widget(int id) { return window().widget(id); }
    void type(int id, const char* text) {
        gint position = gtk_entry_get_text_length(GTK_ENTRY(widget(id)));
        gtk_editable_insert_text(GTK_EDITABLE(widget(id)), text, -1, &position);
    }
    // Lets GTK map and lay out the window until the widget has its place.
    void laidOut(GtkWidget* last) {
        ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(last) && gtk_widget_get_allocated_width(last) > 1; }));
    }
    // Where a widget stands in its window's client area.
    ui::Rect placed(GtkWidget* w) {
        gint x = 0, y = 0;
        gtk_widget_translate_coordinates(w, window().container(), 0, 0, &x, &y);
        return {x, y, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w)};
    }

    Recorder recorder_;
    Recorder pageRecorder_;
    std::unique_ptr<ui::Window> window_;
    std::unique_ptr<ui::Window> page_;
};

TEST_F(GtkToolkitTest, ControlsAndPagesStandAtTheirRects) {
    ui([&] {
        add({ControlKind::Button, 10, {1, 3, 50, 21}, u"Tools", {}, {}});
        add({ControlKind::Toolbar, 11, {52, 1, 200, 25}, u"415", {}, {{1, 0}, {0, 0}, {2, 1}}});
        add({ControlKind::Edit, 12, {5, 40, 120, 18}, u"", {.border = true}, {}});
        add({ControlKind::CheckBox, 13, {5, 60, 100, 18}, u"RFID", {}, {}});
        add({ControlKind::ComboBox, 14, {5, 80, 150, 22}, u"", {}, {}});
        add({ControlKind::Progress, 15, {5, 110, 150, 12}, u"", {}, {}});
        add({ControlKind::Picture, 16, {189, 27, 20, 20}, u"IDB_EARTH3", {}, {}});
        add({ControlKind::Static, 17, {5, 130, 200, 14}, u"a long text that wraps in its box", {}, {}});
        page_ = toolkit_.createWindow(pageRecorder_, &window());
        page_->setRect({1, 150, 239, 170});
        page_->addControl({ControlKind::Browser, 61, {1, 2, 200, 100}, u"", {}, {}});
        page_->show(true);
        laidOut(controlWidget(*page_, 61));
        EXPECT_EQ(placed(widget(10)), (ui::Rect{1, 3, 50, 21}));
        EXPECT_EQ(placed(widget(12)), (ui::Rect{5, 40, 120, 18}));
        EXPECT_EQ(placed(widget(13)), (ui::Rect{5, 60, 100, 18}));
        EXPECT_EQ(placed(widget(15)), (ui::Rect{5, 110, 150, 12}));
        EXPECT_EQ(placed(widget(16)), (ui::Rect{189, 27, 20, 20}));
        EXPECT_EQ(placed(gtk_widget_get_parent(containerOf(*page_))), (ui::Rect{1, 150, 239, 170}));
        EXPECT_EQ(placed(controlWidget(*page_, 61)), (ui::Rect{2, 152, 200, 100}));
        EXPECT_EQ(placed(window().toolButton(11, 2)).y, 1);
        gint width = 0, height = 0;
        gtk_window_get_size(window().toplevel(), &width, &height);
        EXPECT_EQ(width, 240);
        EXPECT_EQ(height, 320);
    });
}

TEST_F(GtkToolkitTest, AWidgetInABrowserSlotFollowsTheSlotsSize) {
    ui([&] {
        add({ControlKind::Browser, 61, {0, 0, 100, 50}, u"", {}, {}});
        GtkWidget* view = gtk_drawing_area_new();
        gtk_container_add(GTK_CONTAINER(controlWidget(window(), 61)), view);
        gint w = 0, h = 0;
        gtk_widget_get_size_request(view, &w, &h);
        EXPECT_EQ(w, 100);
        EXPECT_EQ(h, 50);
        window().moveControl(61, {0, 0, 240, 320});
        gtk_widget_get_size_request(view, &w, &h);
        EXPECT_EQ(w, 240);
        EXPECT_EQ(h, 320);
    });
}

TEST_F(GtkToolkitTest, ClicksReachTheHandlerAndCheckBoxesKeepTheirState) {
    ui([&] {
        add({ControlKind::Button, 20, {0, 0, 50, 20}, u"Go", {}, {}});
        add({ControlKind::CheckBox, 21, {0, 30, 100, 20}, u"Barcode", {}, {}});
        add({ControlKind::Toolbar, 415, {52, 1, 200, 25}, u"415", {}, {{416, 0}, {417, 1}}});
        gtk_button_clicked(GTK_BUTTON(widget(20)));
        gtk_button_clicked(GTK_BUTTON(widget(21)));
        EXPECT_TRUE(window().isChecked(21));
        window().setChecked(21, false);  // by code: no notification
        EXPECT_FALSE(window().isChecked(21));
        gtk_button_clicked(GTK_BUTTON(window().toolButton(415, 417)));
        window().enableToolButton(415, 416, false);
        EXPECT_FALSE(window().isToolButtonEnabled(415, 416));
        EXPECT_TRUE(window().isToolButtonEnabled(415, 417));
        EXPECT_EQ(recorder_.take(), (Events{"20 clicked", "21 clicked", "417 clicked"}));
    });
}

TEST_F(GtkToolkitTest, ComboSelectionTypingAndTextSetByCode) {
    ui([&] {
        add({ControlKind::ComboBox, 62, {0, 0, 200, 22}, u"", {}, {}});
        for (auto entry : {u"alpha", u"beta", u"gamma"}) window().comboAdd(62, entry);
        gtk_combo_box_set_active(GTK_COMBO_BOX(gtk_widget_get_ancestor(widget(62), GTK_TYPE_COMBO_BOX)), 1);
        EXPECT_EQ(window().comboSelection(62), 1u);
        EXPECT_EQ(window().text(62), u"beta");
        EXPECT_EQ(recorder_.take(), (Events{"62 selection"}));

        window().setText(62, u"http://x/");  // the address box follows navigation
        EXPECT_EQ(window().comboSelection(62), 1u);
        EXPECT_EQ(recorder_.take(), Events{});

        type(62, "y");
        EXPECT_EQ(window().text(62), u"http://x/y");
        EXPECT_EQ(window().comboSelection(62), std::nullopt);
        EXPECT_EQ(recorder_.take(), (Events{"62 changed"}));
        gtk_widget_activate(widget(62));
        EXPECT_EQ(recorder_.take(), (Events{"62 enter"}));

        window().comboSelect(62, 2);
        window().comboRemove(62, 0);
        EXPECT_EQ(window().comboSelection(62), 1u);
        EXPECT_EQ(window().comboEntries(62), (std::vector<std::u16string>{u"beta", u"gamma"}));
        window().comboRemove(62, 1);
        EXPECT_EQ(window().comboSelection(62), std::nullopt);
        window().comboRemove(62, 7);  // out of range: nothing
        EXPECT_EQ(recorder_.take(), Events{});
    });
}

TEST_F(GtkToolkitTest, TypingKeepsToTheNumberFilterAndTheLimit) {
    ui([&] {
        add({ControlKind::Edit, 30, {0, 0, 100, 18}, u"", {.number = true}, {}});
        add({ControlKind::Edit, 31, {0, 20, 100, 18}, u"", {.limit = 3}, {}});
        add({ControlKind::Edit, 32, {0, 40, 100, 18}, u"", {.password = true}, {}});
        add({ControlKind::Edit, 33, {0, 60, 100, 18}, u"", {.number = true, .limit = 4, .spin = true}, {}});
        type(30, "a1b2c");
        type(31, "12345");
        type(33, "9x876");
        EXPECT_EQ(window().text(30), u"12");
        EXPECT_EQ(window().text(31), u"123");
        EXPECT_EQ(window().text(33), u"9876");
        EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(widget(32))));
        gtk_widget_activate(widget(31));
        EXPECT_EQ(recorder_.take(), (Events{"30 changed", "31 changed", "33 changed", "31 enter"}));
    });
}

// The point size GTK draws a widget's text with.
int pointSize(GtkWidget* w) {
    PangoFontDescription* font = nullptr;
    GtkStyleContext* style = gtk_widget_get_style_context(w);
    gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
    const int points = pango_font_description_get_size(font) / PANGO_SCALE;
    pango_font_description_free(font);
    return points;
}

// A left click at (x, y) of a widget, as the display would deliver it.
void clickAt(GtkWidget* w, int x, int y) {
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
    event->button.button = 1;
    event->button.x = x;
    event->button.y = y;
    gtk_widget_event(w, event);
    gdk_event_free(event);
}

TEST_F(GtkToolkitTest, ControlsAskingForTheLargeFontGetEighteenPoints) {
    ui([&] {
        add({ControlKind::Static, 50, {0, 0, 200, 36}, u"large", {.largeFont = true}, {}});
        add({ControlKind::Edit, 51, {0, 40, 200, 36}, u"12", {.border = true, .largeFont = true}, {}});
        add({ControlKind::CheckBox, 52, {0, 80, 200, 36}, u"box", {.largeFont = true}, {}});
        add({ControlKind::ComboBox, 53, {0, 120, 200, 36}, u"", {.largeFont = true}, {}});
        add({ControlKind::Edit, 54, {0, 160, 200, 18}, u"small", {}, {}});
        laidOut(widget(54));
        EXPECT_EQ(pointSize(widget(50)), 18);
        EXPECT_EQ(pointSize(widget(51)), 18);
        EXPECT_EQ(pointSize(gtk_bin_get_child(GTK_BIN(widget(52)))), 18);
        EXPECT_EQ(pointSize(widget(53)), 18);
        EXPECT_EQ(pointSize(widget(54)), 8);
        EXPECT_EQ(placed(widget(51)).height, 36);
    });
}

TEST_F(GtkToolkitTest, SpinArrowsStepTheNumberAsTypingWould) {
    ui([&] {
        add({ControlKind::Edit, 33, {10, 60, 100, 18}, u"254", {.number = true, .limit = 3, .spin = true}, {}});
        GtkWidget* box = gtk_widget_get_parent(widget(33));
        GList* children = gtk_container_get_children(GTK_CONTAINER(box));
        GtkWidget* arrows = GTK_WIDGET(g_list_last(children)->data);
        g_list_free(children);
        laidOut(arrows);
        EXPECT_EQ(placed(box), (ui::Rect{10, 60, 100, 18}));
        const ui::Rect arrowRect = placed(arrows);
        EXPECT_EQ(arrowRect.x + arrowRect.width, 110);  // inside the box's rect, at its right
        EXPECT_EQ(arrowRect.height, 18);

        clickAt(arrows, 4, 3);  // the upper half: up
        EXPECT_EQ(window().text(33), u"255");
        EXPECT_EQ(recorder_.take(), (Events{"33 changed"}));
        window().setText(33, u"1");
        clickAt(arrows, 4, 15);  // the lower half: down
        clickAt(arrows, 4, 15);  // never below 0
        EXPECT_EQ(window().text(33), u"0");
        EXPECT_EQ(recorder_.take(), (Events{"33 changed"}));
        window().setText(33, u"999");
        clickAt(arrows, 4, 3);  // 1000 does not fit the limit of 3
        EXPECT_EQ(window().text(33), u"999");
        window().enable(33, false);
        EXPECT_FALSE(gtk_widget_is_sensitive(arrows));
    });
}

TEST_F(GtkToolkitTest, MultiLineTextKeepsItsLineBreaksAndAnyCharacter) {
    ui([&] {
        add({ControlKind::Edit, 40, {0, 0, 200, 100}, u"", {.multiLine = true, .limit = 12}, {}});
        add({ControlKind::Static, 41, {0, 110, 200, 20}, u"", {}, {}});
        const std::u16string result(u"type : EAN13\r\ncode : 4\0" u"06", 24);
        window().setText(40, result);
        EXPECT_EQ(window().text(40), result);  // set by code: read back exactly
        window().setText(41, std::u16string(u"a\0b", 3));
        EXPECT_EQ(window().text(41), std::u16string(u"a\0b", 3));

        window().setText(40, u"ab");
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget(40)));
        GtkTextIter end;
        gtk_text_buffer_get_end_iter(buffer, &end);
        gtk_text_buffer_insert(buffer, &end, "\ncdefghijklmnop", -1);
        EXPECT_EQ(window().text(40), u"ab\r\ncdefghijk");  // typed: the limit holds, breaks as CR LF
        EXPECT_EQ(recorder_.take(), (Events{"40 changed"}));
    });
}

TEST_F(GtkToolkitTest, MenusGreyAndTickAndThePopupReturnsTheChoice) {
    ui([&] {
        window();
        auto menu = toolkit_.createMenu({402, u"ICON_MENU", {{404, u"CCD/Laser"}, {0, u""}, {409, u"Maximize"}, {408, u"Exit"}}});
        auto& gtkMenu = static_cast<GtkUiMenu&>(*menu);
        menu->setGrey(409, true);
        menu->setTick(404, true);
        EXPECT_FALSE(gtk_widget_get_sensitive(gtkMenu.item(409)));
        EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(gtkMenu.item(404))), "\u2713 CCD/Laser");
        menu->setTick(404, false);
        EXPECT_STREQ(gtk_menu_item_get_label(GTK_MENU_ITEM(gtkMenu.item(404))), "    CCD/Laser");

        auto choose = [&](int item) {
            whenReady([this, item] {
                GtkUiMenu* open = toolkit_.activePopup();
                if (!open) return false;
                gtk_menu_shell_activate_item(GTK_MENU_SHELL(open->menu()), open->item(item), TRUE);
                return true;
            });
        };
        choose(408);
        EXPECT_EQ(menu->popup(40, 170), 408);
        choose(409);  // grey
        EXPECT_EQ(menu->popup(40, 170), std::nullopt);
        whenReady([this] {
            if (!toolkit_.activePopup()) return false;
            gtk_menu_shell_deactivate(GTK_MENU_SHELL(toolkit_.activePopup()->menu()));
            return true;
        });
        EXPECT_EQ(menu->popup(40, 170), std::nullopt);
    });
}

TEST_F(GtkToolkitTest, MessageBoxesShowTheirTextAndGiveTheButtonPressed) {
    ui([&] {
        window();
        std::string title, text;
        whenReady([&] {
            GtkWidget* box = toolkit_.activeMessageBox();
            if (!box) return false;
            title = gtk_window_get_title(GTK_WINDOW(box));
            gchar* shown = nullptr;
            g_object_get(box, "text", &shown, nullptr);
            text = shown;
            g_free(shown);
            respond(box, GTK_RESPONSE_CANCEL);
            return true;
        });
        EXPECT_EQ(toolkit_.messageBox(&window(), {u"Do you\r\nwant to quit?", u"Warning", ui::Buttons::OkCancel,
                                                 ui::Icon::Exclamation}),
                  ui::Answer::Cancel);
        EXPECT_EQ(title, "Warning");
        EXPECT_EQ(text, "Do you\nwant to quit?");

        whenReady([&] {
            if (!toolkit_.activeMessageBox()) return false;
            gtk_window_close(GTK_WINDOW(toolkit_.activeMessageBox()));  // closed without a button
            return true;
        });
        EXPECT_EQ(toolkit_.messageBox(nullptr, {u"Sure?", u"", ui::Buttons::YesNo, ui::Icon::Question}), ui::Answer::No);
        EXPECT_EQ(toolkit_.messageBoxes().size(), 2u);
    });
}

TEST_F(GtkToolkitTest, AModalRunEndsWithTheDialogsAnswer) {
    Recorder dialogRecorder;
    ui([&] {
        window();
        auto dialog = toolkit_.createWindow(dialogRecorder, nullptr);
        dialog->setRect({40, 50, 150, 80});
        dialog->addControl({ControlKind::Edit, 49, {5, 20, 120, 18}, u"", {.password = true}, {}});
        dialog->addControl({ControlKind::Button, ui::kIdOk, {5, 45, 60, 20}, u"OK", {}, {}});
        dialogRecorder.react = [&](int id) {
            if (id == ui::kIdOk || id == ui::kIdCancel) dialog->endModal(id == ui::kIdOk);
        };
        auto& gtkDialog = static_cast<GtkUiWindow&>(*dialog);
        // Enter in the edit box presses the dialog's OK button.
        whenReady([&] {
            if (toolkit_.activeModal() != &gtkDialog || !gtk_widget_get_mapped(GTK_WIDGET(gtkDialog.toplevel())))
                return false;
            gtk_widget_activate(gtkDialog.widget(49));
            return true;
        });
        EXPECT_TRUE(toolkit_.runModal(*dialog));
        EXPECT_FALSE(dialog->visible());
        EXPECT_EQ(dialogRecorder.take(), (Events{"49 enter", "1 clicked"}));

        whenReady([&] {
            if (toolkit_.activeModal() != &gtkDialog || !gtk_widget_get_mapped(GTK_WIDGET(gtkDialog.toplevel())))
                return false;
            pressKey(gtkDialog.toplevel(), GDK_KEY_Escape);
            return true;
        });
        EXPECT_FALSE(toolkit_.runModal(*dialog));
        EXPECT_EQ(toolkit_.activeModal(), nullptr);
    });
}

TEST_F(GtkToolkitTest, TasksFromOtherThreadsRunInOrderEvenUnderANestedLoop) {
    std::vector<int> order;
    std::atomic<bool> boxOpen{false};
    std::thread helper;
    ui([&] {
        window();
        whenReady([&] {
            if (!toolkit_.activeMessageBox()) return false;
            boxOpen = true;
            return true;
        });
        helper = std::thread([&] {
            while (!boxOpen) std::this_thread::yield();
            // The window thread is inside the message box's loop; these still run there.
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(toolkit_.post([&order, i] { order.push_back(i); }));
            EXPECT_TRUE(toolkit_.send([&] {
                EXPECT_TRUE(toolkit_.onWindowThread());
                order.push_back(3);
                respond(toolkit_.activeMessageBox(), GTK_RESPONSE_OK);
            }));
        });
        EXPECT_EQ(toolkit_.messageBox(nullptr, {u"wait", u"", ui::Buttons::Ok, ui::Icon::None}), ui::Answer::Ok);
    });
    helper.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(toolkit_.onWindowThread());
    bool inline_ = false;
    ui([&] { EXPECT_TRUE(toolkit_.send([&] { inline_ = true; })); });  // inline on the window thread
    EXPECT_TRUE(inline_);
}

TEST_F(GtkToolkitTest, AfterQuitNothingMoreRunsAndSendersAreNotLeftWaiting) {
    std::atomic<bool> sent{true};
    std::thread sender;
    ui([&] {
        toolkit_.quit();  // the loop ends when this task returns
        sender = std::thread([&] { sent = toolkit_.send([] {}); });
    });
    sender.join();
    EXPECT_FALSE(sent);
    EXPECT_FALSE(toolkit_.post([] {}));
}

TEST_F(GtkToolkitTest, MessageNumbersTrayIconAndSystemWindows) {
    EXPECT_EQ(toolkit_.registerMessage("WM_DECODE"), toolkit_.registerMessage("wm_decode"));
    EXPECT_GE(toolkit_.registerMessage("WM_USER1DOWN"), 0xC000u);
    ui([&] {
        toolkit_.addTrayIcon(window(), {400, 0x0401, 400, u"TESSEL Browser"});
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        g_signal_emit_by_name(toolkit_.trayIcon(400), "activate");
        G_GNUC_END_IGNORE_DEPRECATIONS
        EXPECT_EQ(recorder_.take(), (Events{"message 1025 400"}));
        toolkit_.removeTrayIcon(400);
        EXPECT_EQ(toolkit_.trayIcon(400), nullptr);

        EXPECT_FALSE(toolkit_.systemWindowExists("HHTaskBar"));
        toolkit_.showSystemWindow("HHTaskBar", false);  // none: nothing happens
        toolkit_.addSystemWindow("HHTaskBar");
        toolkit_.enableSystemWindow("HHTaskBar", false);
        EXPECT_FALSE(toolkit_.systemWindowEnabled("HHTaskBar"));
        EXPECT_TRUE(toolkit_.systemWindowVisible("HHTaskBar"));
        toolkit_.setWaitCursor(true);
        EXPECT_TRUE(toolkit_.waitCursor());
        toolkit_.setWaitCursor(false);
    });
}

TEST_F(GtkToolkitTest, TheCloseButtonAndEnterReachTheWindowsHandler) {
    ui([&] {
        add({ControlKind::Static, 95, {1, 3, 50, 21}, u"Tools", {.border = true, .centered = true}, {}});
        laidOut(widget(95));
        gtk_window_close(window().toplevel());  // as the title bar's close button does
        ASSERT_TRUE(spinUntil([&] { return !recorder_.events.empty(); }));
        pressKey(window().toplevel(), GDK_KEY_Return);
        EXPECT_EQ(recorder_.take(), (Events{"close", "ok"}));
        EXPECT_TRUE(window().visible());  // the handler decides; this one keeps it
    });
}

}  // namespace
}  // namespace tessel::platform::gtk::test
