#pragma once
// The UI toolkit on GTK 3. run() turns the GTK main loop on the calling thread, which becomes
// the window thread; post() and send() reach it from any thread. Pop-up menus, message boxes
// and modal dialogs turn nested loops, in which posted and sent tasks keep running, as window
// messages do under a modal loop on the terminal.
//
//   if (!platform::gtk::GtkToolkit::available()) ...   // no display: use the headless toolkit
//   platform::gtk::GtkToolkit toolkit({0, 0, 240, 320});
//   toolkit.post([&] { mainWindow.create(); });
//   toolkit.run();
//
// The tray icon is a GtkStatusIcon (shown where the desktop has a tray); the system's task bar
// and input panel are flags, as in the headless toolkit.

#include <gtk/gtk.h>

#include <map>
#include <thread>
#include <vector>

#include "platform/gtk/gtk_menu.h"
#include "platform/gtk/gtk_window.h"
#include "platform/gtk/task_queue.h"
#include "platform/ui.h"
#include "platform/ui_state.h"

namespace tessel::platform::gtk {

class GtkToolkit final : public ui::Toolkit {
public:
    // True when GTK could open the display (initialises GTK once per process).
    static bool available();

    // screen: the terminal's screen class (240 x 320, 240 x 384, 480 x 640).
    explicit GtkToolkit(ui::Rect screen);
    ~GtkToolkit() override;

    void run() override;
    void quit() override;
    bool post(std::function<void()> task) override { return tasks_.post(std::move(task)); }
    bool send(std::function<void()> task) override;
    bool onWindowThread() const override;
    std::uint32_t registerMessage(std::string_view name) override { return names_.number(name); }
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

    // Reading and driving it (tests, the screenshot program); on the window thread.
    void addSystemWindow(std::string className) { systemWindows_.add(std::move(className)); }
    bool systemWindowEnabled(std::string_view className) const;
    bool waitCursor() const { return waitCursor_; }
    const std::vector<GtkUiWindow*>& windows() const { return windows_; }
    // The message box, pop-up menu or modal dialog being run now; null when none.
    GtkWidget* activeMessageBox() const { return activeBox_; }
    GtkUiMenu* activePopup() const { return activePopup_; }
    GtkUiWindow* activeModal() const { return activeModal_; }
    std::vector<ui::MessageBoxSpec> messageBoxes() const { return boxes_; }
    GtkStatusIcon* trayIcon(int id) const;

private:
    friend class GtkUiWindow;
    friend class GtkUiMenu;
    struct Tray {
        GtkUiWindow* owner;
        ui::TrayIconSpec spec;
        GtkStatusIcon* icon;
    };
    void forget(GtkUiWindow* window);
    void popupShown(GtkUiMenu* menu) { activePopup_ = menu; }
    GtkWindow* mainToplevel() const;
    static void trayActivated(GtkStatusIcon* icon, gpointer data);

    ui::Rect screen_;
    TaskQueue tasks_;
    GSource* source_ = nullptr;
    mutable std::mutex mutex_;
    GMainLoop* loop_ = nullptr;
    bool quitRequested_ = false;
    std::thread::id windowThread_;

    ui::MessageNames names_;
    ui::SystemWindows systemWindows_;
    std::vector<GtkUiWindow*> windows_;
    std::map<int, Tray> trays_;
    std::vector<ui::MessageBoxSpec> boxes_;
    GtkWidget* activeBox_ = nullptr;
    GtkUiMenu* activePopup_ = nullptr;
    GtkUiWindow* activeModal_ = nullptr;
    bool waitCursor_ = false;
};

// The GtkFixed that holds a window's controls (the web view backend places its view with it).
GtkWidget* containerOf(ui::Window& window);
// The widget of a control: for a browser control, the empty GtkFixed slot the web view fills
// (a widget added to the slot is kept at the slot's size). Null for an unknown id.
GtkWidget* controlWidget(ui::Window& window, int id);

}  // namespace tessel::platform::gtk
