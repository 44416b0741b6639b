#include "platform/headless/headless_ui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tessel::platform::headless {
namespace {

using namespace std::chrono_literals;

class Recorder final : public ui::WindowHandler {
public:
    void onCommand(int id, ui::Notify notify) override { commands.emplace_back(id, notify); }
    void onMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    std::vector<std::pair<int, ui::Notify>> commands;
};

TEST(HeadlessWindowThread, SendWaitsForTheTaskAndPostDoesNot) {
    HeadlessToolkit toolkit;
    std::thread loop([&] { toolkit.run(); });
    std::atomic<bool> onLoop{false};
    int value = 0;
    EXPECT_TRUE(toolkit.post([&] { value = 1; }));
    EXPECT_TRUE(toolkit.send([&] {
        onLoop = toolkit.onWindowThread();
        value += 1;
        EXPECT_TRUE(toolkit.send([&] { value += 10; }));  // on the window thread: at once
    }));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(onLoop);
    EXPECT_FALSE(toolkit.onWindowThread());
    toolkit.quit();
    loop.join();
    EXPECT_FALSE(toolkit.post([] {}));
    EXPECT_FALSE(toolkit.send([] {}));
}

TEST(HeadlessWindowThread, SendersAreReleasedWhenTheLoopEnds) {
    HeadlessToolkit toolkit;
    std::thread loop([&] { toolkit.run(); });
    std::atomic<bool> ran{true};
    std::thread sender;
    toolkit.send([&] {
        // Queued behind a task that ends the loop: it never runs and its sender is told so.
        toolkit.post([&] { toolkit.quit(); });
        sender = std::thread([&] { ran = toolkit.send([] {}); });
        std::this_thread::sleep_for(20ms);
    });
    loop.join();
    sender.join();
    EXPECT_FALSE(ran);
}

TEST(HeadlessToolkit, RegisteredNumbersIgnoreLetterCase) {
    HeadlessToolkit toolkit;
    const auto down = toolkit.registerMessage("WM_USER1DOWN");
    EXPECT_GE(down, 0xC000u);
    EXPECT_EQ(toolkit.registerMessage("wm_user1down"), down);
    EXPECT_NE(toolkit.registerMessage("WM_USER1UP"), down);
}

TEST(HeadlessToolkit, InputGoesOnlyToEnabledShownControls) {
    HeadlessToolkit toolkit;
    Recorder recorder;
    auto window = toolkit.createWindow(recorder, nullptr);
    auto& w = static_cast<HeadlessWindow&>(*window);
    w.addControl({ui::ControlKind::CheckBox, 7, {}, u"Box", {}, {}});
    w.click(7);
    EXPECT_TRUE(recorder.commands.empty());  // the window is not shown yet
    w.show(true);
    w.click(7);
    EXPECT_TRUE(w.isChecked(7));
    w.enable(7, false);
    w.click(7);
    w.click(99);  // no such control
    EXPECT_EQ(recorder.commands.size(), 1u);
}

TEST(HeadlessToolkit, EditStyleLimitsTyping) {
    HeadlessToolkit toolkit;
    Recorder recorder;
    auto window = toolkit.createWindow(recorder, nullptr);
    auto& w = static_cast<HeadlessWindow&>(*window);
    w.show(true);
    ui::ControlSpec number{ui::ControlKind::Edit, 5, {}, {}, {}, {}};
    number.style.number = true;
    number.style.limit = 3;
    w.addControl(number);
    w.type(5, u"1a2b3c4");
    EXPECT_EQ(w.text(5), u"123");
}

TEST(HeadlessToolkit, ComboSelectionFollowsRemovals) {
    HeadlessToolkit toolkit;
    Recorder recorder;
    auto window = toolkit.createWindow(recorder, nullptr);
    auto& w = static_cast<HeadlessWindow&>(*window);
    w.addControl({ui::ControlKind::ComboBox, 3, {}, {}, {}, {}});
    for (auto e : {u"a", u"b", u"c"}) w.comboAdd(3, e);
    w.comboSelect(3, 2);
    w.comboRemove(3, 0);
    EXPECT_EQ(w.comboSelection(3), 1u);
    w.comboRemove(3, 1);
    EXPECT_FALSE(w.comboSelection(3));
    w.comboRemove(3, 9);  // out of range: nothing
    w.comboSelect(3, 5);
    EXPECT_FALSE(w.comboSelection(3));
    EXPECT_EQ(w.comboEntries(3), std::vector<std::u16string>{u"b"});
}

TEST(HeadlessToolkit, UnansweredBoxesModalsAndPopups) {
    HeadlessToolkit toolkit;
    Recorder recorder;
    auto window = toolkit.createWindow(recorder, nullptr);
    EXPECT_EQ(toolkit.messageBox(nullptr, {u"t", u"c", ui::Buttons::OkCancel, ui::Icon::None}), ui::Answer::Ok);
    toolkit.answerMessageBox(ui::Answer::Cancel);
    EXPECT_EQ(toolkit.messageBox(nullptr, {u"t", u"c", ui::Buttons::OkCancel, ui::Icon::None}),
              ui::Answer::Cancel);
    EXPECT_FALSE(toolkit.runModal(*window));
    toolkit.answerModal([](HeadlessWindow& dialog) { dialog.endModal(true); });
    EXPECT_TRUE(toolkit.runModal(*window));
    EXPECT_EQ(toolkit.modalRuns(), 2);

    auto menu = toolkit.createMenu({9, u"M", {{1, u"One"}, {0, u""}, {2, u"Two"}}});
    EXPECT_FALSE(menu->popup(1, 2));
    menu->setGrey(2, true);
    toolkit.answerPopup(2);  // grey: cannot be chosen
    EXPECT_FALSE(menu->popup(1, 2));
    toolkit.answerPopup(1);
    EXPECT_EQ(menu->popup(1, 2), 1);
    EXPECT_EQ(toolkit.popups().size(), 3u);
}

}  // namespace
}  // namespace tessel::platform::headless
