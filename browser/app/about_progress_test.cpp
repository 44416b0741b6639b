// The About box and the progress window on the headless toolkit against simulated readers.

#include <gtest/gtest.h>

#include "browser/app/about_dialog.h"
#include "browser/app/progress_dialog.h"
#include "browser/settings/dialog_test_support.h"

namespace tessel::app {
namespace {

namespace ui = platform::ui;
using settings::test::DialogTest;
using settings::test::HeadlessWindow;

constexpr char16_t kClosing[] = u"\r\n\r\nA kiosk browser for data-collection terminals.";

class AboutTest : public DialogTest {
protected:
    // The About box's text as it opens.
    std::u16string openAbout(settings::DialogScreen screen = {}) {
        std::u16string text;
        toolkit.answerModal([&](HeadlessWindow& w) {
            EXPECT_EQ(w.caption(), kAboutCaption);
            EXPECT_EQ(w.rect(), toolkit.screen());  // maximised
            EXPECT_EQ(w.controlRect(kAboutText),
                      (ui::Rect{5 * screen.scale, 10 * screen.scale, 230 * screen.scale, 190 * screen.scale}));
            text = w.text(kAboutText);
            w.pressOk();
        });
        ui([&] { AboutDialog(toolkit, manager, screen).doModal(); });
        return text;
    }
};

TEST_F(AboutTest, WithoutReadersOnlyTheVersionAndTheClosingLines) {
    EXPECT_EQ(openAbout(), std::u16string(u"Tessel Browser\r\n\r\nVersion: 1.72") + kClosing);
    EXPECT_EQ(toolkit.modalRuns(), 1);
}

TEST_F(AboutTest, ShowsTheDecoderVersionsTheReadersReport) {
    setModel("DEVK230CE");  // a text RFID reader
    startReaders(&ccd, settings::test::ReaderType::CcdLaser, &textReader);
    ccd.setVersion("CL-1100 V3.09");
    EXPECT_EQ(openAbout({2, false}),
              std::u16string(u"Tessel Browser\r\n\r\nVersion: 1.72\r\nBarcode decoder version: "
                             u"CL-1100 V3.09\r\nRFID decoder version: 1.2.7") + kClosing);
}

TEST_F(AboutTest, AReaderThatDoesNotAnswerLeavesItsVersionEmpty) {
    startReaders(&imager, settings::test::ReaderType::Imager2D);
    imager.misbehave(sim::Fault::Silence, sim::kForever);
    EXPECT_EQ(openAbout(),
              std::u16string(u"Tessel Browser\r\n\r\nVersion: 1.72\r\nBarcode decoder version: ") + kClosing);
}

TEST_F(AboutTest, ProgressWindowFollowsAnImageCapture) {
    startReaders(&imager, settings::test::ReaderType::Imager2D);
    ProgressDialog progress(toolkit);
    HeadlessWindow* window = nullptr;
    ui([&] {
        progress.create();
        window = static_cast<HeadlessWindow*>(progress.window());
        EXPECT_EQ(window->caption(), kProgressCaption);
        EXPECT_EQ(window->rect(), (ui::Rect{40, 70, 150, 70}));
        EXPECT_EQ(window->controlRect(kProgressBar), (ui::Rect{10, 12, 130, 20}));
        EXPECT_FALSE(window->visible());
        EXPECT_TRUE(window->topmost());
    });
    progress.show(true);  // from the image thread, as the capture runs
    ui([&] { EXPECT_TRUE(window->visible()); });
    reader::Bytes image;
    ASSERT_TRUE(manager.captureImage(3000, &progress, image));
    ui([&] { EXPECT_EQ(window->progress(kProgressBar), 100); });
    progress.show(false);
    ui([&] {
        EXPECT_FALSE(window->visible());
        progress.setRange(0, 200);
        progress.setPosition(50);
    });
    ui([&] { EXPECT_EQ(window->progress(kProgressBar), 25); });
}

}  // namespace
}  // namespace tessel::app
