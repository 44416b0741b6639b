#pragma once
// The headless UI toolkit: the window tree in memory with a real window thread.
//
// Tests and the headless program read the tree (text, enabled, ticked) and drive it as a user
// would (click, select, type, answer the next message box, modal dialog or pop-up menu). The
// driving calls, like every Window call, belong on the window thread: wrap them in send().

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui.h"
#include "platform/ui_state.h"

namespace tessel::platform::headless {

class HeadlessToolkit;

class HeadlessWindow final : public ui::Window {
public:
    HeadlessWindow(HeadlessToolkit& toolkit, ui::WindowHandler& handler, HeadlessWindow* parent);
    ~HeadlessWindow() override;

    void setCaption(std::u16string_view caption) override { caption_ = caption; }
    void setFrame(Frame frame) override { frame_ = frame; }
    void setRect(ui::Rect rect) override { rect_ = rect; }
    ui::Rect rect() const override { return rect_; }
    void show(bool visible) override { visible_ = visible; }
    bool visible() const override { return visible_; }
    void bringToFront() override { ++raised_; }
    void setTopmost(bool topmost) override { topmost_ = topmost; }
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
    void setFocus(int id) override { focus_ = id; }
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

    // Reading the tree.
    const std::u16string& caption() const { return caption_; }
    Frame frame() const { return frame_; }
    int icon() const { return icon_; }
    int focus() const { return focus_; }
    int timesRaised() const { return raised_; }
    bool topmost() const { return topmost_; }
    HeadlessWindow* parent() const { return parent_; }
    std::optional<ui::ControlKind> kind(int id) const;
    // A progress bar's position in percent; 0 for another control.
    int progress(int id) const;
    std::optional<bool> modalResult() const { return modalResult_; }
    void resetModal() { modalResult_.reset(); }

    // Driving it as a user would. Input to a disabled or hidden control, or to a window that is
    // not shown, is ignored, as on the screen.
    void click(int id);
    void select(int id, std::size_t index);
    void type(int id, std::u16string_view text);
    void pressEnter(int id);
    void clickToolButton(int toolbarId, int buttonId);
    void pressOk();
    void pressClose();
    void clickAt(int x, int y);
    void settingChange() { handler_.onSettingChange(); }
    void browserMouse(bool down, int x, int y) { handler_.onBrowserMouse(down, x, y); }
    void message(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
        handler_.onMessage(message, wParam, lParam);
    }

private:
    struct Control {
        ui::ControlSpec spec;
        bool enabled = true;
        bool shown = true;
        bool checked = false;
        int progress = 0;
        std::vector<std::u16string> entries;
        std::optional<std::size_t> selection;
        std::map<int, bool> toolButtons;  // button id -> enabled
    };
    Control* find(int id);
    const Control* find(int id) const;
    bool takesInput(const Control* control) const;

    HeadlessToolkit& toolkit_;
    ui::WindowHandler& handler_;
    HeadlessWindow* parent_;
    std::u16string caption_;
    Frame frame_ = Frame::Caption;
    ui::Rect rect_;
    bool visible_ = false;
    int icon_ = 0;
    int focus_ = 0;
    int raised_ = 0;
    bool topmost_ = false;
    std::optional<bool> modalResult_;
    std::map<int, Control> controls_;
};

class HeadlessMenu final : public ui::Menu {
public:
    struct Item {
        int id = 0;
        std::u16string text;
        bool grey = false;
        bool ticked = false;
    };
    HeadlessMenu(HeadlessToolkit& toolkit, const ui::MenuSpec& spec);
    ~HeadlessMenu() override;

    void setGrey(int item, bool grey) override;
    void setTick(int item, bool tick) override;
    std::optional<int> popup(int x, int y) override;

    int id() const { return id_; }
    const std::u16string& title() const { return title_; }
    const std::vector<Item>& items() const { return items_; }
    // The item with that command; a default item (id 0) when there is none.
    Item item(int id) const;

private:
    HeadlessToolkit& toolkit_;
    int id_;
    std::u16string title_;
    std::vector<Item> items_;
};

struct PopupRecord {
    int menuId = 0;
    int x = 0;
    int y = 0;
};

class HeadlessToolkit final : public ui::Toolkit {
public:
    explicit HeadlessToolkit(ui::Rect screen = {0, 0, 240, 320});
    ~HeadlessToolkit() override;

    void run() override;
    void quit() override;
    bool post(std::function<void()> task) override;
    bool send(std::function<void()> task) override;
    bool onWindowThread() const override;
    std::uint32_t registerMessage(std::string_view name) override;
    std::unique_ptr<ui::Window> createWindow(ui::WindowHandler& handler, ui::Window* parent) override;
    std::unique_ptr<ui::Menu> createMenu(const ui::MenuSpec& spec) override;
    bool runModal(ui::Window& dialog) override;
    ui::Answer messageBox(ui::Window* owner, const ui::MessageBoxSpec& box) override;
    void setWaitCursor(bool on) override;
    ui::Rect screen() const override { return screen_; }
    void addTrayIcon(ui::Window& owner, const ui::TrayIconSpec& icon) override;
    void removeTrayIcon(int id) override;
    bool systemWindowExists(std::string_view className) const override;
    void enableSystemWindow(std::string_view className, bool enabled) override;
    void showSystemWindow(std::string_view className, bool visible) override;
    bool systemWindowVisible(std::string_view className) const override;

    // Test and headless-program side. The answer queues are taken in order; with none queued a
    // message box answers its first button, a modal dialog is cancelled and a pop-up menu is
    // dismissed.
    void setScreen(ui::Rect screen) { screen_ = screen; }
    void answerMessageBox(ui::Answer answer);
    void answerModal(std::function<void(HeadlessWindow&)> user);
    void answerPopup(std::optional<int> command);
    // Called with each message box as it is shown (the headless program prints it).
    void onMessageBox(std::function<void(const ui::MessageBoxSpec&)> observer);

    std::vector<ui::MessageBoxSpec> messageBoxes() const;
    std::vector<PopupRecord> popups() const;
    int modalRuns() const;
    bool waitCursor() const { return waitCursor_; }
    int waitCursorShows() const { return waitCursorShows_; }
    const std::vector<HeadlessWindow*>& windows() const { return windows_; }
    HeadlessWindow* findWindow(std::u16string_view caption) const;
    HeadlessMenu* menu(int id) const;
    std::optional<ui::TrayIconSpec> trayIcon(int id) const;
    // A tray icon notification: the owner window hears the icon's callback message.
    void trayNotify(int id);
    void addSystemWindow(std::string className);
    bool systemWindowEnabled(std::string_view className) const;

private:
    friend class HeadlessWindow;
    friend class HeadlessMenu;
    struct Pending;
    void forget(HeadlessWindow* window);
    void forget(HeadlessMenu* menu);
    std::optional<int> takePopupAnswer(int menuId, int x, int y);
    bool enqueue(std::function<void()> task, std::shared_ptr<Pending> pending);

    ui::Rect screen_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::pair<std::function<void()>, std::shared_ptr<Pending>>> queue_;
    bool quit_ = false;
    bool ended_ = false;
    std::thread::id windowThread_;

    ui::MessageNames messages_;
    std::vector<HeadlessWindow*> windows_;
    std::vector<HeadlessMenu*> menus_;
    std::map<int, std::pair<HeadlessWindow*, ui::TrayIconSpec>> trayIcons_;
    ui::SystemWindows systemWindows_;
    std::deque<ui::Answer> boxAnswers_;
    std::deque<std::function<void(HeadlessWindow&)>> modalAnswers_;
    std::deque<std::optional<int>> popupAnswers_;
    std::function<void(const ui::MessageBoxSpec&)> boxObserver_;
    std::vector<ui::MessageBoxSpec> boxes_;
    std::vector<PopupRecord> popups_;
    int modalRuns_ = 0;
    bool waitCursor_ = false;
    int waitCursorShows_ = 0;
};

}  // namespace tessel::platform::headless
