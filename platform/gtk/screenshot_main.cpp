// tessel-screenshot OUT.png WIDTH HEIGHT
//
// Saves the top-left WIDTH x HEIGHT pixels of the display's screen as a PNG: the browser's
// window at its screen class, for review (scripts/screenshot.sh).

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tessel-screenshot OUT.png WIDTH HEIGHT\n");
        return 2;
    }
    const int width = std::atoi(argv[2]);
    const int height = std::atoi(argv[3]);
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        std::fprintf(stderr, "tessel-screenshot: bad size %s x %s\n", argv[2], argv[3]);
        return 2;
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "tessel-screenshot: no display\n");
        return 1;
    }
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), 0, 0, width, height);
    GError* error = nullptr;
    if (!shot || !gdk_pixbuf_save(shot, argv[1], "png", &error, nullptr)) {
        std::fprintf(stderr, "tessel-screenshot: %s\n", error ? error->message : "cannot read the screen");
        return 1;
    }
    g_object_unref(shot);
    return 0;
}
