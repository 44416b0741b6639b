#include "platform/webkit/gdk_keyboard.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <iterator>

namespace tessel::platform::webkit {
namespace {

constexpr std::uint8_t kVkShift = 16;
constexpr std::uint8_t kVkControl = 17;
constexpr std::uint8_t kVkAlt = 18;

struct KeyMapping {
    std::uint8_t vk;
    unsigned plain;
    unsigned shifted;
};

// The keys of a US keyboard other than letters and digits, by virtual-key code.
constexpr KeyMapping kKeys[] = {
    {8, GDK_KEY_BackSpace, GDK_KEY_BackSpace}, {9, GDK_KEY_Tab, GDK_KEY_ISO_Left_Tab},
    {13, GDK_KEY_Return, GDK_KEY_Return},      {16, GDK_KEY_Shift_L, GDK_KEY_Shift_L},
    {17, GDK_KEY_Control_L, GDK_KEY_Control_L}, {18, GDK_KEY_Alt_L, GDK_KEY_Alt_L},
    {27, GDK_KEY_Escape, GDK_KEY_Escape},      {32, GDK_KEY_space, GDK_KEY_space},
    {33, GDK_KEY_Page_Up, GDK_KEY_Page_Up},    {34, GDK_KEY_Page_Down, GDK_KEY_Page_Down},
    {35, GDK_KEY_End, GDK_KEY_End},            {36, GDK_KEY_Home, GDK_KEY_Home},
    {37, GDK_KEY_Left, GDK_KEY_Left},          {38, GDK_KEY_Up, GDK_KEY_Up},
    {39, GDK_KEY_Right, GDK_KEY_Right},        {40, GDK_KEY_Down, GDK_KEY_Down},
    {45, GDK_KEY_Insert, GDK_KEY_Insert},      {46, GDK_KEY_Delete, GDK_KEY_Delete},
    {48, GDK_KEY_0, GDK_KEY_parenright},       {49, GDK_KEY_1, GDK_KEY_exclam},
    {50, GDK_KEY_2, GDK_KEY_at},               {51, GDK_KEY_3, GDK_KEY_numbersign},
    {52, GDK_KEY_4, GDK_KEY_dollar},           {53, GDK_KEY_5, GDK_KEY_percent},
    {54, GDK_KEY_6, GDK_KEY_asciicircum},      {55, GDK_KEY_7, GDK_KEY_ampersand},
    {56, GDK_KEY_8, GDK_KEY_asterisk},         {57, GDK_KEY_9, GDK_KEY_parenleft},
    {106, GDK_KEY_KP_Multiply, GDK_KEY_KP_Multiply}, {107, GDK_KEY_KP_Add, GDK_KEY_KP_Add},
    {109, GDK_KEY_KP_Subtract, GDK_KEY_KP_Subtract}, {110, GDK_KEY_KP_Decimal, GDK_KEY_KP_Decimal},
    {111, GDK_KEY_KP_Divide, GDK_KEY_KP_Divide},
    {186, GDK_KEY_semicolon, GDK_KEY_colon},   {187, GDK_KEY_equal, GDK_KEY_plus},
    {188, GDK_KEY_comma, GDK_KEY_less},        {189, GDK_KEY_minus, GDK_KEY_underscore},
    {190, GDK_KEY_period, GDK_KEY_greater},    {191, GDK_KEY_slash, GDK_KEY_question},
    {192, GDK_KEY_grave, GDK_KEY_asciitilde},  {219, GDK_KEY_bracketleft, GDK_KEY_braceleft},
    {220, GDK_KEY_backslash, GDK_KEY_bar},     {221, GDK_KEY_bracketright, GDK_KEY_braceright},
    {222, GDK_KEY_apostrophe, GDK_KEY_quotedbl},
};

bool isSurrogateLead(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isSurrogateTrail(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendUtf8(std::string& out, gunichar c) {
    char buffer[6];
    out.append(buffer, static_cast<std::size_t>(g_unichar_to_utf8(c, buffer)));
}

GtkWidget* activeWindow() {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* active = nullptr;
    for (GList* w = windows; w && !active; w = w->next) {
        if (gtk_window_is_active(GTK_WINDOW(w->data))) active = GTK_WIDGET(w->data);
    }
    g_list_free(windows);
    return active;
}

// The widget with the focus in window; a web view that has not taken the focus yet stands for
// its window when it is the fallback.
GtkWidget* focusIn(GtkWidget* window, GtkWidget* fallback) {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (!focus && fallback && gtk_widget_get_toplevel(fallback) == window) return fallback;
    return focus;
}

void insertText(GtkWidget* focus, const std::string& text) {
    if (WEBKIT_IS_WEB_VIEW(focus)) {
        webkit_web_view_execute_editing_command_with_argument(WEBKIT_WEB_VIEW(focus), "InsertText",
                                                              text.c_str());
    } else if (GTK_IS_EDITABLE(focus)) {
        gint position = gtk_editable_get_position(GTK_EDITABLE(focus));
        gtk_editable_insert_text(GTK_EDITABLE(focus), text.c_str(), -1, &position);
        gtk_editable_set_position(GTK_EDITABLE(focus), position);
    }
}

guint16 hardwareKeycode(GdkDisplay* display, unsigned keyval) {
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    guint16 code = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) &&
        count > 0)
        code = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    return code;
}

}  // namespace

unsigned keyvalForVirtualKey(std::uint8_t virtualKey, bool shifted) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return shifted ? virtualKey : static_cast<unsigned>(virtualKey - 'A' + 'a');
    if (virtualKey >= 96 && virtualKey <= 105) return GDK_KEY_KP_0 + (virtualKey - 96u);
    if (virtualKey >= 112 && virtualKey <= 123) return GDK_KEY_F1 + (virtualKey - 112u);
    const auto key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                  [virtualKey](const KeyMapping& k) { return k.vk == virtualKey; });
    if (key == std::end(kKeys)) return 0;
    return shifted ? key->shifted : key->plain;
}

std::string utf8OfCharacters(std::span<const std::uint32_t> characters) {
    std::string out;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const std::uint32_t c = characters[i];
        if (c == 0) continue;
        if (isSurrogateLead(c) && i + 1 < characters.size() && isSurrogateTrail(characters[i + 1])) {
            appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (characters[++i] - 0xDC00));
        } else if (isSurrogateLead(c) || isSurrogateTrail(c) || c > 0x10FFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

GtkWidget* GdkKeyboard::targetWindow() const {
    if (GtkWidget* active = activeWindow()) return active;
    GtkWidget* fallback = fallback_ ? fallback_() : nullptr;
    if (!fallback) return nullptr;
    GtkWidget* top = gtk_widget_get_toplevel(fallback);
    return gtk_widget_is_toplevel(top) ? top : nullptr;
}

unsigned GdkKeyboard::modifiers() const {
    unsigned state = 0;
    if (shift_) state |= GDK_SHIFT_MASK;
    if (control_) state |= GDK_CONTROL_MASK;
    if (alt_) state |= GDK_MOD1_MASK;
    return state;
}

void GdkKeyboard::postKeybdMessage(std::intptr_t window, std::uint32_t, std::uint32_t,
                                   std::span<const std::uint32_t>,
                                   std::span<const std::uint32_t> characters) {
    if (window != kFocusWindow || characters.empty()) return;
    GtkWidget* top = targetWindow();
    if (!top) return;
    if (GtkWidget* focus = focusIn(top, fallback_ ? fallback_() : nullptr))
        insertText(focus, utf8OfCharacters(characters));
}

void GdkKeyboard::keybdEvent(std::uint8_t virtualKey, std::uint8_t, std::uint32_t flags) {
    const bool down = (flags & kKeyEventKeyUp) == 0;
    const unsigned keyval = keyvalForVirtualKey(virtualKey, shift_);
    GtkWidget* top = targetWindow();
    const unsigned state = modifiers();  // the modifiers before this key, as GDK reports them
    if (virtualKey == kVkShift) shift_ = down;
    if (virtualKey == kVkControl) control_ = down;
    if (virtualKey == kVkAlt) alt_ = down;
    if (keyval == 0 || !top || !gtk_widget_get_realized(top)) return;

    GdkWindow* window = gtk_widget_get_window(top);
    GdkDisplay* display = gdk_window_get_display(window);
    GdkEvent* event = gdk_event_new(down ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.send_event = FALSE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = state;
    event->key.keyval = keyval;
    event->key.hardware_keycode = hardwareKeycode(display, keyval);
    event->key.is_modifier = virtualKey == kVkShift || virtualKey == kVkControl || virtualKey == kVkAlt;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

}  // namespace tessel::platform::webkit
