// tessel-control [--device-root DIR]
//
// The operator's control of a simulated terminal, a small window beside the browser: the trigger
// (held while the button is held down), a barcode to present, a tag to present or remove, the
// battery's charge and power source, the wireless signal and whether the browser shows its
// status icons. Each control carries out the actions of tools/control_actions.h on the device
// root (--device-root, else TESSEL_DEVICE_ROOT); the last answer shows at the bottom.

#include <gtk/gtk.h>

#include <iostream>
#include <string>

#include "platform/device_fs.h"
#include "terminal/control_line.h"
#include "terminal/simulated_host.h"
#include "tools/control_actions.h"
#include "tools/control_link.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel;
using tools::ControlActions;

struct Control {
    fs::path root;
    GtkWidget* status = nullptr;
    GtkWidget* barcodeType = nullptr;
    GtkWidget* barcodeData = nullptr;
    GtkWidget* tagUid = nullptr;
    GtkWidget* charge = nullptr;
    GtkWidget* mains = nullptr;
    GtkWidget* signal = nullptr;
    GtkWidget* wifiIcon = nullptr;
    GtkWidget* batteryIcon = nullptr;
};

// Carries the actions out in order and shows the answer. The window waits for them: the
// longest is the battery's pause of under a second.
void start(Control& control, std::optional<ControlActions> actions, const std::string& error) {
    const std::string answer =
        actions ? tools::performAll(control.root, *actions, platform::realClock()) : "error: " + error;
    gtk_label_set_text(GTK_LABEL(control.status), answer.c_str());
}

std::string textOf(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
int valueOf(GtkWidget* spin) { return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spin)); }
bool isOn(GtkWidget* toggle) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle)); }

// Button and toggle handlers; data is the Control.
void onTriggerDown(GtkWidget*, gpointer data) { start(*static_cast<Control*>(data), tools::triggerActions(true), {}); }
void onTriggerUp(GtkWidget*, gpointer data) { start(*static_cast<Control*>(data), tools::triggerActions(false), {}); }

void onBarcode(GtkWidget*, gpointer data) {
    auto& control = *static_cast<Control*>(data);
    std::string error;
    auto actions = tools::barcodeActions(textOf(control.barcodeType), textOf(control.barcodeData), error);
    start(control, std::move(actions), error);
}

void onTag(GtkWidget*, gpointer data) {
    auto& control = *static_cast<Control*>(data);
    std::string error;
    auto actions = tools::tagActions(textOf(control.tagUid), error);
    start(control, std::move(actions), error);
}

void onTagRemoved(GtkWidget*, gpointer data) { start(*static_cast<Control*>(data), tools::tagRemovedActions(), {}); }

void onBattery(GtkWidget*, gpointer data) {
    auto& control = *static_cast<Control*>(data);
    std::string error;
    auto actions = tools::batteryActions(valueOf(control.charge), isOn(control.mains), error);
    start(control, std::move(actions), error);
}

void onSignal(GtkWidget*, gpointer data) {
    auto& control = *static_cast<Control*>(data);
    std::string error;
    auto actions = tools::signalActions(valueOf(control.signal), error);
    start(control, std::move(actions), error);
}

void onIcons(GtkWidget*, gpointer data) {
    auto& control = *static_cast<Control*>(data);
    start(control, tools::iconActions(isOn(control.wifiIcon), isOn(control.batteryIcon)), {});
}

GtkWidget* button(const char* label, GCallback handler, Control& control) {
    GtkWidget* widget = gtk_button_new_with_label(label);
    g_signal_connect(widget, "clicked", handler, &control);
    return widget;
}

GtkWidget* entry(const char* text, int width) {
    GtkWidget* widget = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(widget), text);
    gtk_entry_set_width_chars(GTK_ENTRY(widget), width);
    return widget;
}

GtkWidget* spin(int low, int high, int value) {
    GtkWidget* widget = gtk_spin_button_new_with_range(low, high, 1);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(widget), value);
    return widget;
}

// One row: a caption, then the widgets from column 1 on.
void row(GtkGrid* grid, int line, const char* caption, std::initializer_list<GtkWidget*> widgets) {
    GtkWidget* label = gtk_label_new(caption);
    gtk_widget_set_halign(label, GTK_ALIGN_START);
    gtk_grid_attach(grid, label, 0, line, 1, 1);
    int column = 1;
    for (GtkWidget* widget : widgets) gtk_grid_attach(grid, widget, column++, line, 1, 1);
}

GtkWidget* buildWindow(Control& control) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Tessel control");
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    GtkGrid* grid = GTK_GRID(gtk_grid_new());
    gtk_grid_set_row_spacing(grid, 4);
    gtk_grid_set_column_spacing(grid, 4);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 6);
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(grid));

    GtkWidget* trigger = gtk_button_new_with_label("Hold to scan");
    g_signal_connect(trigger, "pressed", G_CALLBACK(onTriggerDown), &control);
    g_signal_connect(trigger, "released", G_CALLBACK(onTriggerUp), &control);
    row(grid, 0, "Trigger", {trigger});

    control.barcodeType = entry("A", 3);
    control.barcodeData = entry("4006381333931", 16);
    row(grid, 1, "Barcode", {control.barcodeType, control.barcodeData, button("Present", G_CALLBACK(onBarcode), control)});

    control.tagUid = entry("04A1B2C3", 16);
    row(grid, 2, "Tag",
        {button("Remove", G_CALLBACK(onTagRemoved), control), control.tagUid,
         button("Present", G_CALLBACK(onTag), control)});

    control.charge = spin(0, 100, 80);
    control.mains = gtk_check_button_new_with_label("mains");
    row(grid, 3, "Battery %", {control.charge, control.mains, button("Set", G_CALLBACK(onBattery), control)});

    control.signal = spin(terminal::kMinSignalDbm, 0, terminal::kStartSignalDbm);
    row(grid, 4, "Signal dBm", {control.signal});
    gtk_grid_attach(grid, button("Set", G_CALLBACK(onSignal), control), 3, 4, 1, 1);

    control.wifiIcon = gtk_check_button_new_with_label("Wi-Fi");
    control.batteryIcon = gtk_check_button_new_with_label("battery");
    g_signal_connect(control.wifiIcon, "toggled", G_CALLBACK(onIcons), &control);
    g_signal_connect(control.batteryIcon, "toggled", G_CALLBACK(onIcons), &control);
    row(grid, 5, "Icons", {control.wifiIcon, control.batteryIcon});

    control.status = gtk_label_new("ready");
    gtk_label_set_ellipsize(GTK_LABEL(control.status), PANGO_ELLIPSIZE_END);
    gtk_widget_set_halign(control.status, GTK_ALIGN_START);
    gtk_grid_attach(grid, control.status, 0, 6, 4, 1);
    return window;
}

// The shown window at the top right of the screen, clear of the browser's window at the top
// left.
void placeTopRight(GtkWidget* window) {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return;
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(window), &width, &height);
    gtk_window_move(GTK_WINDOW(window), area.x + area.width - width, area.y);
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--device-root" && i + 1 < argc) {
            root = argv[++i];
        } else {
            std::cerr << "usage: tessel-control [--device-root DIR]\n";
            return 2;
        }
    }
    const auto fs = platform::DeviceFs::fromEnvironment(root);
    if (!fs) {
        std::cerr << "tessel-control: no device root (--device-root DIR or " << platform::kDeviceRootVariable << ")\n";
        return 2;
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        std::cerr << "tessel-control: no display\n";
        return 1;
    }
    Control control{fs::absolute(fs->root())};
    GtkWidget* window = buildWindow(control);
    gtk_widget_show_all(window);
    placeTopRight(window);
    gtk_main();
    return 0;
}
