// The settings dialogs, About and the progress window on the GTK toolkit, against simulated
// readers: each opens on screen, and what the user does with clicks, list picks and typing on
// the real widgets reaches the engine and browserINI.txt; Cancel changes nothing.
//
// With TESSEL_DIALOG_SHOTS=DIR each dialog and page is also saved as DIR/NAME.png for review
// (scripts/dialog-screenshots.sh).

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "browser/app/about_dialog.h"
#include "browser/app/progress_dialog.h"
#include "browser/settings/barcode_setting_dialog.h"
#include "browser/settings/dialog_test_support.h"
#include "browser/settings/option_dialog.h"
#include "browser/settings/scanner_setting_dialog.h"
#include "platform/gtk/gtk_test_support.h"

namespace tessel::platform::gtk::test {
namespace {

using settings::COptionDialog;
using tessel::reader::ReaderType;
using S = settings::ScannerSettingDialog;
namespace packet = sim::packet;

// Saves the window that widget lies in as DIR/name.png when TESSEL_DIALOG_SHOTS names DIR.
void snapshot(GtkWidget* widget, const std::string& name) {
    const char* dir = std::getenv("TESSEL_DIALOG_SHOTS");
    if (!dir) return;
    GtkWidget* top = gtk_widget_get_toplevel(widget);
    const auto drawn = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    spinUntil([&] { return std::chrono::steady_clock::now() > drawn; });
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(top), 0, 0,
                                                 gtk_widget_get_allocated_width(top),
                                                 gtk_widget_get_allocated_height(top));
    ASSERT_NE(shot, nullptr);
    EXPECT_TRUE(gdk_pixbuf_save(shot, (std::string(dir) + "/" + name + ".png").c_str(), "png", nullptr, nullptr));
    g_object_unref(shot);
}

bool onScreen(GtkWidget* widget) {
    return widget && gtk_widget_get_mapped(widget) && gtk_widget_get_allocated_width(widget) > 1;
}

std::string title(GtkUiWindow& window) { return gtk_window_get_title(window.toplevel()); }

class Inert final : public ui::WindowHandler {
public:
    void onCommand(int, ui::Notify) override {}
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
};

class SettingsOnGtk : public settings::test::SimulatedReaders, public GtkTest {
protected:
    void tearDownOnWindowThread() override {
        hub_.reset();
        list_.reset();
        main_.reset();
    }

    // Runs open on the window thread; once the modal dialog it opens is on screen, user acts in
    // it and must close it.
    void withModal(const std::function<void()>& open, const std::function<void(GtkUiWindow&)>& user) {
        bool acted = false;
        whenReady([&] {
            GtkUiWindow* dialog = toolkit_.activeModal();
            if (!dialog || !onScreen(GTK_WIDGET(dialog->toplevel()))) return false;
            acted = true;
            user(*dialog);
            if (!dialog->modalResult()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog->endModal(false);
            }
            return true;
        });
        open();
        if (acted) return;
        ADD_FAILURE() << "no dialog opened";
        dropPendingSteps();
    }

    // Opens a page of the browser and reader option pages on the window thread.
    void openReaderPage(int page, const std::function<void(GtkUiWindow&)>& user) {
        ui([&] {
            COptionDialog dialog(toolkit_, readerPages_, COptionDialog::kReaderPages, {});
            dialog.setPage(page);
            withModal([&] { dialog.doModal(); }, user);
        });
    }

    // A main window on screen for the pages that are its children; on the window thread.
    GtkUiWindow& mainWindow() {
        if (!main_) {
            main_ = toolkit_.createWindow(inert_, nullptr);
            main_->setRect(toolkit_.screen());
            main_->show(true);
        }
        return static_cast<GtkUiWindow&>(*main_);
    }

    // The symbology list of the fitted engine, shown in the main window, whose buttons open
    // their pages in a symbology-mode option dialog; on the window thread.
    void showSymbologyList() {
        context_.emplace(settings::SymbologyContext{manager.symbology(), store, options,
                                                    static_cast<int>(manager.scannerType(1)), 1});
        pages_.emplace(*context_);
        dialog_.emplace(toolkit_, *pages_, COptionDialog::kSymbologyPages, settings::DialogScreen{});
        list_ = std::make_unique<settings::BarcodeSettingDialog>(settings::BarcodeSettingParts{
            toolkit_, *context_, false, settings::pageRect({}),
            [this](int page) {
                dialog_->setPage(page);
                dialog_->doModal();
            },
            [](bool) {}});
        list_->create(mainWindow());
        list_->show(true);
    }
    GtkUiWindow& list() { return static_cast<GtkUiWindow&>(*list_->window()); }
    std::size_t row(std::u16string_view label) const {
        for (std::size_t i = 0; i < list_->rows().size(); ++i)
            if (list_->rows()[i].label == label) return i;
        ADD_FAILURE() << "no row";
        return 0;
    }

    void typeCode93Length(sim::PacketEngine& engine, int page);

    // browserINI.txt as the store saves it.
    std::string savedFile() {
        const auto path = dir.path() / "browserINI.txt";
        EXPECT_TRUE(store.save(path));
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }

    settings::BrowserOptions options;
    settings::IniStore store;
    settings::test::RecordingShell shell;
    settings::test::RecordingReading reading;
    settings::test::StubSymbologies symbologies;
    settings::ReaderPagesParts parts_{toolkit_, options, store, manager, symbologies, shell, reading, {}};
    settings::ReaderOptionPages readerPages_{parts_};
    Inert inert_;
    std::unique_ptr<ui::Window> main_;
    std::unique_ptr<S> hub_;
    std::optional<settings::SymbologyContext> context_;
    std::optional<settings::SymbologyOptionPages> pages_;
    std::optional<COptionDialog> dialog_;
    std::unique_ptr<settings::BarcodeSettingDialog> list_;
};

// ---- the option dialog's browser and reader pages

TEST_F(SettingsOnGtk, TheBrowserPageTakesClicksAndTyping) {
    openReaderPage(0, [&](GtkUiWindow& w) {
        EXPECT_EQ(title(w), "Browser Settings");
        clickWidget(w.widget(settings::kLockBox));
        EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.widget(settings::kExportBox))));
        typeInto(w.widget(settings::kHomeEdit), "http://host/app");
        clickWidget(w.widget(settings::kPicturesBox));
        snapshot(w.widget(ui::kIdOk), "options-0-browser");
        clickWidget(w.widget(ui::kIdOk));
    });
    EXPECT_EQ(options.homeUrl, u"http://host/app");
    EXPECT_EQ(options.disablePictures, 1);
    EXPECT_TRUE(readerPages_.lockRequested());
    EXPECT_EQ(savedFile(), "\r\n[General]\r\nlockscreen=1\r\n");
}

TEST_F(SettingsOnGtk, PickedChoicesReachTheEngineAndTheFile) {
    startReaders(&ccd, ReaderType::CcdLaser);
    options.updateIniWhenExit = 1;
    openReaderPage(1, [&](GtkUiWindow& w) {
        EXPECT_EQ(title(w), "Barcode Reader Settings");
        pickEntry(w.widget(settings::kTimeoutChoice), 4);   // "5 sec"
        pickEntry(w.widget(settings::kScanModeChoice), 2);  // "Alternate"
        EXPECT_EQ(w.comboSelection(settings::kScanModeChoice), 2u);
        snapshot(w.widget(ui::kIdOk), "options-1-barcode-ccd");
        clickWidget(w.widget(ui::kIdOk));
    });
    EXPECT_EQ(ccd.scanMode(), 3);
    EXPECT_EQ(ccd.configBlock()[21], 5);
    EXPECT_EQ(reading.decodeWait, 5);
    EXPECT_NE(savedFile().find("\r\nlaserontime=5\r\nscanmode=3\r\n"), std::string::npos);
}

TEST_F(SettingsOnGtk, CancelSendsNothingAndKeepsEverything) {
    startReaders(&ccd, ReaderType::CcdLaser);
    options.updateIniWhenExit = 1;
    ccd.clearCommands();
    openReaderPage(1, [&](GtkUiWindow& w) {
        pickEntry(w.widget(settings::kScanModeChoice), 1);
        clickWidget(w.widget(ui::kIdCancel));
    });
    const std::size_t reads = ccd.commands().size();  // the page read the engine as it opened
    openReaderPage(0, [&](GtkUiWindow& w) {
        typeInto(w.widget(settings::kHomeEdit), "http://elsewhere");
        clickWidget(w.widget(settings::kLockBox));
        pressKey(w.toplevel(), GDK_KEY_Escape);
    });
    EXPECT_EQ(ccd.commands().size(), reads);
    EXPECT_EQ(ccd.scanMode(), 6);
    EXPECT_EQ(reading.decodeWait, -1);
    EXPECT_TRUE(options.homeUrl.empty());
    EXPECT_FALSE(readerPages_.lockRequested());
    EXPECT_TRUE(store.isEmpty());
}

TEST_F(SettingsOnGtk, ANumberTypedBeyondItsBoundIsHeldAtTheBound) {
    startReaders(nullptr, ReaderType::None);  // finds the model: a K220 with LED and buzzer
    openReaderPage(2, [&](GtkUiWindow& w) {
        EXPECT_EQ(title(w), "Notifications");
        typeInto(w.widget(settings::kDurationEdit), "300");
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(w.widget(settings::kDurationEdit))), "255");
        pickEntry(w.widget(settings::kFrequencyChoice), 3);
        snapshot(w.widget(ui::kIdOk), "options-2-notifications");
        clickWidget(w.widget(ui::kIdOk));
    });
    EXPECT_EQ(options.buzzerDuration, 255);
    EXPECT_EQ(options.buzzerFreq, 4);
}

// ---- the reader hub

TEST_F(SettingsOnGtk, TheReaderPageSwitchesReadersAndOpensItsPages) {
    startReaders(&ccd, ReaderType::CcdLaser, &frameReader);
    ui([&] {
        hub_ = std::make_unique<S>(parts_);
        hub_->create(mainWindow());
        hub_->show(true);
        auto& page = static_cast<GtkUiWindow&>(*hub_->window());
        ASSERT_TRUE(spinUntil([&] { return onScreen(page.widget(S::kRestoreButton)); }));
        snapshot(page.widget(S::kRestoreButton), "reader-hub");
        clickWidget(page.widget(S::kBarcodeBox));
        EXPECT_FALSE(manager.barcodeAvailable());
        clickWidget(page.widget(S::kKeyboardBox));
        EXPECT_EQ(options.keyboardEmu, 0);
        for (const auto& [button, caption] : {std::pair{S::kDataOutputButton, "Data output"},
                                              std::pair{S::kRfidButton, "RFID Reader Settings"}}) {
            withModal([&, button = button] { clickWidget(page.widget(button)); },
                      [&, caption = caption](GtkUiWindow& w) {
                          EXPECT_EQ(title(w), caption);
                          clickWidget(w.widget(ui::kIdCancel));
                      });
        }
    });
    EXPECT_EQ(shell.ticks, (std::vector<std::pair<int, bool>>{{settings::kTrayCcdLaser, false}}));
}

// ---- the symbology list and its pages

TEST_F(SettingsOnGtk, TheCcdListSwitchesASymbologyAndItsPageSendsItsOptions) {
    startReaders(&ccd, ReaderType::CcdLaser);
    options.updateIniWhenExit = 1;
    ui([&] {
        showSymbologyList();
        const std::size_t code39 = row(u"Code 39");
        GtkWidget* box = list().widget(settings::BarcodeSettingDialog::checkBoxId(code39));
        GtkWidget* button = list().widget(settings::BarcodeSettingDialog::buttonId(code39));
        ASSERT_TRUE(spinUntil([&] { return onScreen(button); }));
        snapshot(button, "symbologies-2");
        clickWidget(box);
        EXPECT_FALSE(ccd.configBlock()[0] & 0x80);
        EXPECT_FALSE(gtk_widget_is_sensitive(button));
        clickWidget(box);
        EXPECT_TRUE(ccd.configBlock()[0] & 0x80);
        const int fullAscii = *pages_->controlFor(2, "fullASCII");
        withModal([&] { clickWidget(button); },
                  [&](GtkUiWindow& w) {
                      EXPECT_EQ(title(w), "Code 39");
                      clickWidget(w.widget(fullAscii));
                      clickWidget(w.widget(ui::kIdOk));
                  });
    });
    EXPECT_TRUE(ccd.configBlock()[5] & 0x10);
    EXPECT_EQ(settings::test::storedValue(store, "Code39 CCD/Laser", "enable"), 1);
    EXPECT_NE(savedFile().find("\r\nfullascii=1\r\n"), std::string::npos);
}

// The Code 93 page of a packet engine: a length typed over the engine's is sent and written.
void SettingsOnGtk::typeCode93Length(sim::PacketEngine& engine, int page) {
    options.updateIniWhenExit = 1;
    ui([&] {
        showSymbologyList();
        GtkWidget* button = list().widget(settings::BarcodeSettingDialog::buttonId(row(u"Code 93")));
        ASSERT_TRUE(spinUntil([&] { return onScreen(button); }));
        withModal([&] { clickWidget(button); },
                  [&](GtkUiWindow& w) {
                      EXPECT_EQ(title(w), "Code 93");
                      typeInto(w.widget(*pages_->controlFor(page, "length2")), "20");
                      clickWidget(w.widget(ui::kIdOk));
                  });
    });
    EXPECT_EQ(engine.parameter(packet::param(0x1B)), 20);
    EXPECT_EQ(settings::test::storedValue(store, "Code93 2D/1D_LR", "length2"), 20);
}

TEST_F(SettingsOnGtk, AnImagerPageTakesATypedLength) {
    startReaders(&imager, ReaderType::Imager2D);
    typeCode93Length(imager, 4);
}

TEST_F(SettingsOnGtk, ALongRangePageTakesATypedLength) {
    startReaders(&longRange, ReaderType::LongRange1D);
    typeCode93Length(longRange, 3);
}

// Every page of every engine kind opens on screen with its caption; the screenshots come from
// here.
class EveryPageOnGtk : public SettingsOnGtk, public ::testing::WithParamInterface<int> {};

TEST_P(EveryPageOnGtk, EveryPageOpensWithItsCaption) {
    const int kind = GetParam();
    switch (kind) {
        case 2: startReaders(&ccd, ReaderType::CcdLaser, &frameReader); break;
        case 3: startReaders(&imager, ReaderType::Imager2D); break;
        case 4: startReaders(&longRange, ReaderType::LongRange1D); break;
        default: startReaders(&imager4507, ReaderType::Imager2D4507); break;
    }
    ui([&] {
        showSymbologyList();
        ASSERT_TRUE(spinUntil([&] { return onScreen(GTK_WIDGET(list().toplevel())); }));
        snapshot(GTK_WIDGET(list().toplevel()), "symbologies-" + std::to_string(kind));
        for (const auto& spec : settings::symbologyPages(kind)) {
            dialog_->setPage(spec.page);
            withModal([&] { dialog_->doModal(); },
                      [&](GtkUiWindow& w) {
                          EXPECT_EQ(title(w), std::string(spec.caption.begin(), spec.caption.end()));
                          snapshot(w.widget(ui::kIdOk), "page-" + std::to_string(kind) + "-" + std::to_string(spec.page));
                          clickWidget(w.widget(ui::kIdCancel));
                      });
        }
    });
    // The reader pages; the barcode reader page is the engine's own.
    for (int page : kind == 2 ? std::vector<int>{0, 1, 2, 3, 4} : std::vector<int>{1})
        openReaderPage(page, [&](GtkUiWindow& w) {
            const std::string caption = title(w);
            EXPECT_EQ(readerPages_.caption(page), std::u16string(caption.begin(), caption.end()));
            snapshot(w.widget(ui::kIdOk), "options-" + std::to_string(page) + "-" + std::to_string(kind));
            clickWidget(w.widget(ui::kIdCancel));
        });
}

INSTANTIATE_TEST_SUITE_P(EngineKinds, EveryPageOnGtk, ::testing::Values(2, 3, 4, 8));

// ---- About and the progress window

TEST_F(SettingsOnGtk, AboutShowsTheDecoderVersionAndClosesWithOk) {
    startReaders(&ccd, ReaderType::CcdLaser);
    ccd.setVersion("CL-1100 V3.09");
    ui([&] {
        withModal([&] { app::AboutDialog(toolkit_, manager, {}).doModal(); },
                  [&](GtkUiWindow& w) {
                      EXPECT_EQ(title(w), "About Tessel Browser");
                      const std::string text = gtk_label_get_text(GTK_LABEL(w.widget(app::kAboutText)));
                      EXPECT_NE(text.find("Barcode decoder version: CL-1100 V3.09"), std::string::npos);
                      snapshot(w.widget(ui::kIdOk), "about");
                      clickWidget(w.widget(ui::kIdOk));
                  });
    });
}

TEST_F(SettingsOnGtk, TheProgressWindowStaysOverTheMainWindow) {
    ui([&] {
        GtkWindow* main = mainWindow().toplevel();
        app::ProgressDialog progress(toolkit_);
        progress.create();
        progress.show(true);  // as the image thread does
        auto& window = static_cast<GtkUiWindow&>(*progress.window());
        ASSERT_TRUE(spinUntil([&] { return onScreen(GTK_WIDGET(window.toplevel())); }));
        EXPECT_EQ(title(window), "Processing...");
        EXPECT_TRUE(window.topmost());
        EXPECT_EQ(gtk_window_get_transient_for(window.toplevel()), main);
        progress.setPosition(40);
        ASSERT_TRUE(spinUntil([&] {
            return gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(window.widget(app::kProgressBar))) > 0.39;
        }));
        snapshot(window.widget(app::kProgressBar), "progress");
        progress.show(false);
        EXPECT_TRUE(spinUntil([&] { return !gtk_widget_get_visible(GTK_WIDGET(window.toplevel())); }));
    });
}

}  // namespace
}  // namespace tessel::platform::gtk::test
