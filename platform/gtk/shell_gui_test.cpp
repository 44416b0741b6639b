// The shell's main window on the GTK toolkit: laid out at its design positions, the kiosk lock
// holding against the title bar's OK and close, and an unlocked quit ending the loop.

#include <fstream>

#include "browser/app/main_dialog.h"
#include "platform/gtk/gtk_test_support.h"
#include "platform/headless/fake_web_view.h"
#include "platform/paced_clock.h"
#include "platform/power_status.h"
#include "platform/temp_dir.h"

namespace tessel::platform::gtk::test {
namespace {

using namespace std::chrono_literals;

class NoSignal final : public app::SignalSource {
public:
    bool available() const override { return false; }
    std::optional<std::int32_t> signalDbm() const override { return std::nullopt; }
};

// Answers the message boxes to come, in order, and keeps their texts.
class BoxAnswers {
public:
    BoxAnswers(GtkToolkit& toolkit, std::vector<GtkResponseType> answers) {
        for (std::size_t seen = 0; seen < answers.size(); ++seen)
            whenReady([&toolkit, this, answer = answers[seen], seen] {
                // A box stays active for a moment after its answer: answer each once.
                GtkWidget* box = toolkit.activeMessageBox();
                if (!box || texts.size() != seen || g_object_get_data(G_OBJECT(box), "answered")) return false;
                g_object_set_data(G_OBJECT(box), "answered", box);
                gchar* text = nullptr;
                g_object_get(box, "text", &text, nullptr);
                texts.emplace_back(text);
                g_free(text);
                respond(box, answer);
                return true;
            });
    }
    std::vector<std::string> texts;
};

class ShellOnGtk : public GtkTest {
protected:
    ShellOnGtk() {
        std::filesystem::create_directories(root_.path() / "Program Files" / "Tessel");
        std::ofstream(root_.path() / "Program Files" / "Tessel" / "test.htm") << "<html></html>";
        ui([&] { toolkit_.addSystemWindow("HHTaskBar"); });
    }
    void tearDownOnWindowThread() override { main_.reset(); }

    void start(settings::BrowserOptions options) {
        main_ = std::make_unique<app::MainDialog>(
            app::MainDialog::Parts{context_, readers_, hooks_, signal_, nullptr, nullptr, nullptr, false},
            std::move(options));
        toolkit_.post([this] { main_->create(); });
        EXPECT_TRUE(clock_.awaitWaitOf(500ms));
        clock_.advance(500ms);
        ui([&] {
            ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(main().toplevel())); }));
        });
    }
    GtkUiWindow& main() { return static_cast<GtkUiWindow&>(*main_->window()); }
    GtkUiWindow& page() { return static_cast<GtkUiWindow&>(main_->browserPage()->window()); }

    TempDir root_;
    headless::FakeWebViewFactory webViews_{toolkit_, nullptr, false};
    PacedClock clock_;
    FixedPowerStatus power_;
    app::ShellContext context_{toolkit_, webViews_, clock_, power_, DeviceFs(root_.path()),
                               u"\\Program Files\\Tessel\\"};
    app::NoReaders readers_;
    app::ShellHooks hooks_;
    NoSignal signal_;
    std::unique_ptr<app::MainDialog> main_;
};

TEST_F(ShellOnGtk, TheMainWindowStandsAtItsDesignPositions) {
    start({});
    ui([&] {
        GtkWindow* window = main().toplevel();
        EXPECT_STREQ(gtk_window_get_title(window), "TESSEL Browser");
        ASSERT_TRUE(spinUntil([&] { return gtk_widget_get_allocated_width(page().widget(app::kAddressBox)) > 1; }));
        gint width = 0, height = 0;
        gtk_window_get_size(window, &width, &height);
        EXPECT_EQ(width, 240);
        EXPECT_EQ(height, 320);
        gint x = 0, y = 0;
        gtk_widget_translate_coordinates(gtk_widget_get_parent(containerOf(page())), main().container(), 0, 0, &x, &y);
        EXPECT_EQ(x, 1);
        EXPECT_EQ(y, 26);
        EXPECT_EQ(gtk_widget_get_allocated_height(gtk_widget_get_parent(containerOf(page()))), 294);
        GtkWidget* tools = main().widget(app::kToolsLabel);
        gtk_widget_translate_coordinates(gtk_widget_get_ancestor(tools, GTK_TYPE_EVENT_BOX), main().container(), 0, 0, &x, &y);
        EXPECT_EQ(x, 1);
        EXPECT_EQ(y, 3);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(tools)), "Tools");
        EXPECT_TRUE(gtk_widget_is_sensitive(page().widget(app::kAddressBox)));
        EXPECT_FALSE(gtk_widget_get_sensitive(main().toolButton(app::kToolbar, app::kCmdBack)));
    });
}

TEST_F(ShellOnGtk, TheToolsLabelOpensTheToolsMenuAndItsChoiceIsCarriedOut) {
    start({});
    ui([&] {
        whenReady([&] {
            GtkUiMenu* menu = toolkit_.activePopup();
            if (!menu) return false;
            gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu->menu()), menu->item(app::kCmdReader), TRUE);
            return true;
        });
        GdkEventButton press{};
        press.type = GDK_BUTTON_PRESS;
        press.button = 1;
        gboolean handled = FALSE;
        g_signal_emit_by_name(gtk_widget_get_ancestor(main().widget(app::kToolsLabel), GTK_TYPE_EVENT_BOX),
                              "button-press-event", &press, &handled);
        EXPECT_EQ(main_->pageState(), -1);
        EXPECT_FALSE(page().visible());
    });
}

TEST_F(ShellOnGtk, TheKioskLockRefusesHidingAndQuitting) {
    settings::BrowserOptions options;
    options.lockScreen = 1;
    start(options);
    ui([&] {
        EXPECT_FALSE(gtk_widget_is_sensitive(page().widget(app::kAddressBox)));
        EXPECT_FALSE(toolkit_.systemWindowEnabled("HHTaskBar"));

        BoxAnswers ok(toolkit_, {GTK_RESPONSE_OK});
        gtk_window_set_focus(main().toplevel(), nullptr);
        pressKey(main().toplevel(), GDK_KEY_Return);  // Enter that no control takes: the window's OK
        ASSERT_EQ(ok.texts, (std::vector<std::string>{"Please disable [Lock the screen] option."}));
        EXPECT_TRUE(main_->window()->visible());

        BoxAnswers quit(toolkit_, {GTK_RESPONSE_OK, GTK_RESPONSE_OK});
        gtk_window_close(main().toplevel());  // the title bar's close button
        ASSERT_TRUE(spinUntil([&] { return quit.texts.size() == 2; }));
        EXPECT_EQ(quit.texts, (std::vector<std::string>{"Do you want to quit?",
                                                         "Please disable [Lock the screen] option before exiting."}));
        EXPECT_FALSE(main_->destroyed());
        EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(main().toplevel())));
    });
    EXPECT_TRUE(toolkit_.post([] {}));  // the loop still turns
}

TEST_F(ShellOnGtk, AnUnlockedQuitClosesTheWindowAndEndsTheLoop) {
    start({});
    std::unique_ptr<BoxAnswers> quit;
    ui([&] {
        quit = std::make_unique<BoxAnswers>(toolkit_, std::vector<GtkResponseType>{GTK_RESPONSE_OK});
        gtk_window_close(main().toplevel());
    });
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (toolkit_.post([] {}) && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(toolkit_.post([] {}));
    EXPECT_TRUE(main_->destroyed());
    EXPECT_EQ(quit->texts, (std::vector<std::string>{"Do you want to quit?"}));
}

}  // namespace
}  // namespace tessel::platform::gtk::test
