#pragma once
// The UI toolkit: the window thread, top-level windows with controls made in code, menus, the
// tray icon, message boxes and modal runs.
//
// Application code talks only to these interfaces; a backend (platform/headless now, a GTK one
// later) draws them. Every call on a Window, a Menu or the Toolkit's UI operations is made on
// the window thread; post() and send() are the only calls other threads make. Controls are named
// by their integer identifiers and placed in window coordinates; a call naming an identifier the
// window does not have does nothing and reads give empty values.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel::platform::ui {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
    bool contains(int px, int py) const {
        return px >= x && px <= x + width && py >= y && py <= y + height;
    }
};

enum class ControlKind {
    Static, Button, CheckBox, ComboBox, Edit, Progress, Picture, Toolbar, Browser, GroupBox
};

struct ControlStyle {
    bool border = false;
    bool centered = false;
    bool password = false;   // edit: hidden characters
    bool number = false;     // edit: digits only
    bool multiLine = false;  // edit
    int limit = 0;           // edit: most characters, 0 no limit
    bool spin = false;       // number edit: with an up-down control beside it
    bool clientEdge = false; // sunken edge
    bool largeFont = false;  // 18-point "Tahoma" (scale-2 screens)
    bool hidden = false;     // created hidden
};

struct ToolButton {
    int id = 0;  // 0: a separator
    int image = 0;
};

struct ControlSpec {
    ControlKind kind = ControlKind::Static;
    int id = 0;
    Rect rect;
    std::u16string text;         // caption, or a bitmap name for a picture
    ControlStyle style;
    std::vector<ToolButton> buttons;  // toolbar buttons, in order
};

// The command numbers of a dialog's own OK and Cancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Notifications that come with onCommand.
// Changed: an edit box's text changed by typing.
enum class Notify { Clicked, SelectionChanged, EnterKey, Changed };

// What a window hears from the toolkit, on the window thread.
class WindowHandler {
public:
    virtual ~WindowHandler() = default;
    virtual void onCommand(int id, Notify notify) = 0;
    // A registered message (see Toolkit::registerMessage) or the tray callback message.
    virtual void onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // The title bar's OK and close buttons.
    virtual void onOk() {}
    virtual void onClose() {}
    // The platform's settings changed (screen, task bar).
    virtual void onSettingChange() {}
    // A left click on the window's own surface, in window coordinates.
    virtual void onClick(int, int) {}
    // A mouse press and release on a browser control, in its client coordinates (KP30 swipes).
    virtual void onBrowserMouse(bool /*down*/, int, int) {}
};

struct MenuItemSpec {
    int id = 0;  // 0: a separator
    std::u16string text;
};

struct MenuSpec {
    int id = 0;
    std::u16string title;  // the one pop-up of the menu
    std::vector<MenuItemSpec> items;
};

class Menu {
public:
    virtual ~Menu() = default;
    virtual void setGrey(int item, bool grey) = 0;
    virtual void setTick(int item, bool tick) = 0;
    // Opens the pop-up at a screen point and returns the command chosen, or nullopt.
    virtual std::optional<int> popup(int x, int y) = 0;
};

class Window {
public:
    virtual ~Window() = default;

    virtual void setCaption(std::u16string_view caption) = 0;
    // Caption bar with system menu, system menu only, or neither.
    enum class Frame { Caption, SystemMenuOnly, None };
    virtual void setFrame(Frame frame) = 0;
    virtual void setRect(Rect rect) = 0;
    virtual Rect rect() const = 0;
    virtual void show(bool visible) = 0;
    virtual bool visible() const = 0;
    virtual void bringToFront() = 0;
    // A top-level window kept above the other windows of the program (and shown over the main
    // window), or an ordinary one again.
    virtual void setTopmost(bool topmost) = 0;
    virtual void setIcon(int iconId) = 0;

    virtual void addControl(const ControlSpec& spec) = 0;
    virtual bool hasControl(int id) const = 0;
    virtual void setText(int id, std::u16string_view text) = 0;
    virtual std::u16string text(int id) const = 0;
    virtual void enable(int id, bool enabled) = 0;
    virtual bool isEnabled(int id) const = 0;
    virtual void showControl(int id, bool visible) = 0;
    virtual bool isShown(int id) const = 0;
    virtual void moveControl(int id, Rect rect) = 0;
    virtual Rect controlRect(int id) const = 0;
    virtual void setFocus(int id) = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual bool isChecked(int id) const = 0;
    virtual void setProgress(int id, int percent) = 0;

    // Combo boxes: the list, its selection (nullopt: none) and the edit field (setText/text).
    virtual void comboAdd(int id, std::u16string_view entry) = 0;
    virtual void comboRemove(int id, std::size_t index) = 0;
    virtual std::vector<std::u16string> comboEntries(int id) const = 0;
    virtual void comboSelect(int id, std::optional<std::size_t> index) = 0;
    virtual std::optional<std::size_t> comboSelection(int id) const = 0;

    // Toolbar buttons: enable or disable one by its command identifier.
    virtual void enableToolButton(int toolbarId, int buttonId, bool enabled) = 0;
    virtual bool isToolButtonEnabled(int toolbarId, int buttonId) const = 0;

    // Ends a modal run of this window (see Toolkit::runModal) with ok or cancel.
    virtual void endModal(bool ok) = 0;
};

enum class Buttons { Ok, OkCancel, YesNo };
enum class Icon { None, Exclamation, Information, Question };
enum class Answer { Ok, Cancel, Yes, No };

struct MessageBoxSpec {
    std::u16string text;
    std::u16string caption;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

struct TrayIconSpec {
    int id = 0;
    std::uint32_t callbackMessage = 0;
    int iconId = 0;
    std::u16string tip;
};

class Toolkit {
public:
    virtual ~Toolkit() = default;

    // The window thread. run() turns the loop on the calling thread until quit(); post() queues a
    // task and returns at once; send() queues it and returns when it has run (at once when called
    // on the window thread). Both return false when the loop has ended and the task will not run.
    virtual void run() = 0;
    virtual void quit() = 0;
    virtual bool post(std::function<void()> task) = 0;
    virtual bool send(std::function<void()> task) = 0;
    virtual bool onWindowThread() const = 0;

    // The number of a registered message name: the same name (letter case aside) gives the same
    // number, from 0xC000 up.
    virtual std::uint32_t registerMessage(std::string_view name) = 0;

    // Windows. A top-level window when parent is null, else a child page placed in the parent.
    virtual std::unique_ptr<Window> createWindow(WindowHandler& handler, Window* parent) = 0;
    virtual std::unique_ptr<Menu> createMenu(const MenuSpec& spec) = 0;

    // Runs a window as a modal dialog until it calls endModal; true for OK.
    virtual bool runModal(Window& dialog) = 0;
    virtual Answer messageBox(Window* owner, const MessageBoxSpec& box) = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual Rect screen() const = 0;

    virtual void addTrayIcon(Window& owner, const TrayIconSpec& icon) = 0;
    virtual void removeTrayIcon(int id) = 0;

    // Top-level windows of the system named by class ("HHTaskBar", "SipWndClass"); each call does
    // nothing when no such window exists.
    virtual bool systemWindowExists(std::string_view className) const = 0;
    virtual void enableSystemWindow(std::string_view className, bool enabled) = 0;
    virtual void showSystemWindow(std::string_view className, bool visible) = 0;
    virtual bool systemWindowVisible(std::string_view className) const = 0;
};

}  // namespace tessel::platform::ui
