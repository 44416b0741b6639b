#include "platform/gtk/gtk_window.h"

#include <algorithm>

#include "platform/gtk/gtk_text.h"
#include "platform/gtk/gtk_toolkit.h"

namespace tessel::platform::gtk {

using ui::ControlKind;
using Control = GtkUiWindow::Control;

namespace {

// Marks a change made by code, so the widgets' signals do not reach the handler as user input.
class Quietly {
public:
    explicit Quietly(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~Quietly() { flag_ = before_; }

private:
    bool& flag_;
    bool before_;
};

Control& controlOf(gpointer data) { return *static_cast<Control*>(data); }

void tell(gpointer data, ui::Notify notify) {
    Control& c = controlOf(data);
    c.owner->notify(c.spec.id, notify);
}

// ---- signal handlers ----

void clicked(GtkWidget*, gpointer data) { tell(data, ui::Notify::Clicked); }
void changed(gpointer, gpointer data) { tell(data, ui::Notify::Changed); }
void activated(GtkWidget*, gpointer data) { tell(data, ui::Notify::EnterKey); }

void toolClicked(GtkWidget* button, gpointer data) {
    Control& c = controlOf(data);
    c.owner->notify(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "tessel-id")), ui::Notify::Clicked);
}

gboolean labelPressed(GtkWidget*, GdkEventButton* event, gpointer data) {
    if (event->type != GDK_BUTTON_PRESS || event->button != 1) return FALSE;
    tell(data, ui::Notify::Clicked);
    return TRUE;
}

void comboPicked(GtkComboBox*, gpointer data) { controlOf(data).owner->comboPicked(controlOf(data)); }
void comboTyped(GtkEditable*, gpointer data) { controlOf(data).owner->comboTyped(controlOf(data)); }

// Typing into an edit box keeps to its number filter and limit; text set by code is not held
// to them.
void entryInsert(GtkEditable* editable, gchar* text, gint length, gint* position, gpointer data) {
    Control& c = controlOf(data);
    if (c.owner->quiet()) return;
    const std::string typed = length < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(length));
    const auto present = static_cast<std::size_t>(gtk_entry_get_text_length(GTK_ENTRY(editable)));
    const std::string kept = toUtf8(filterTyped(fromUtf8(typed), c.spec.style, present));
    if (kept == typed) return;
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(entryInsert), &c);
    gtk_editable_insert_text(editable, kept.c_str(), static_cast<gint>(kept.size()), position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(entryInsert), &c);
    g_signal_stop_emission_by_name(editable, "insert-text");
}

// Typing into a multi-line box: the number filter and the limit, as for one line.
void bufferInsert(GtkTextBuffer* buffer, GtkTextIter* location, gchar* text, gint length, gpointer data) {
    Control& c = controlOf(data);
    if (c.owner->quiet()) return;
    const std::string typed = length < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(length));
    const auto present = static_cast<std::size_t>(gtk_text_buffer_get_char_count(buffer));
    const std::string kept = toUtf8(filterTyped(fromUtf8(typed), c.spec.style, present));
    if (kept == typed) return;
    g_signal_handlers_block_by_func(buffer, reinterpret_cast<gpointer>(bufferInsert), &c);
    gtk_text_buffer_insert(buffer, location, kept.c_str(), static_cast<gint>(kept.size()));
    g_signal_handlers_unblock_by_func(buffer, reinterpret_cast<gpointer>(bufferInsert), &c);
    g_signal_stop_emission_by_name(buffer, "insert-text");
}

// A widget put into a browser slot takes the slot's size.
void slotAdded(GtkContainer*, GtkWidget* child, gpointer data) {
    const ui::Rect& r = controlOf(data).spec.rect;
    gtk_widget_set_size_request(child, r.width, r.height);
}

void slotPressed(GtkGestureMultiPress*, gint, gdouble x, gdouble y, gpointer data) {
    controlOf(data).owner->browserMouse(true, static_cast<int>(x), static_cast<int>(y));
}

void slotReleased(GtkGestureMultiPress*, gint, gdouble x, gdouble y, gpointer data) {
    controlOf(data).owner->browserMouse(false, static_cast<int>(x), static_cast<int>(y));
}

// ---- pictures: the named bitmaps drawn as coloured boxes with their number ----

struct PictureColour {
    std::u16string_view prefix;
    double r, g, b;
};

constexpr PictureColour kPictureColours[] = {
    {u"IDB_EARTH", 0.15, 0.45, 0.85},
    {u"IDB_BATTERY", 0.20, 0.65, 0.25},
    {u"IDB_WLANS", 0.90, 0.55, 0.10},
};

gboolean drawPicture(GtkWidget* widget, cairo_t* cr, gpointer data) {
    const std::u16string& name = controlOf(data).spec.text;
    PictureColour colour{u"", 0.5, 0.5, 0.5};
    for (const auto& entry : kPictureColours)
        if (name.starts_with(entry.prefix)) colour = entry;
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    if (width < 3 || height < 3) return TRUE;  // a bitmap that is not there has no size
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
    cairo_rectangle(cr, 1, 1, width - 2, height - 2);
    cairo_fill(cr);
    const std::string label = toUtf8(std::u16string_view(name).substr(colour.prefix.size()));
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_font_size(cr, height * 0.7);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, label.c_str(), &extents);
    cairo_move_to(cr, (width - extents.width) / 2 - extents.x_bearing,
                  (height - extents.height) / 2 - extents.y_bearing);
    cairo_show_text(cr, label.c_str());
    return TRUE;
}

// ---- the toolbar: one button per command, labelled by its image ----

constexpr const char* kToolGlyphs[] = {"\u25C0", "\u25B6", "\u21BB", "\u2302", "\u2699", "\u2328", "\u25A3"};

std::string toolGlyph(int image) {
    if (image >= 0 && image < static_cast<int>(std::size(kToolGlyphs))) return kToolGlyphs[image];
    return std::to_string(image);
}

void ellipsize(GtkWidget* button) {
    if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(button)); label && GTK_IS_LABEL(label))
        gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
}

// ---- making the widgets, one function per kind ----

struct Widgets {
    GtkWidget* outer;
    GtkWidget* input;
};

Widgets makeStatic(Control& c) {
    GtkWidget* label = gtk_label_new(toUtf8(c.spec.text, true).c_str());
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_xalign(GTK_LABEL(label), c.spec.style.centered ? 0.5f : 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), c.spec.style.centered ? 0.5f : 0.0f);
    gtk_label_set_justify(GTK_LABEL(label), c.spec.style.centered ? GTK_JUSTIFY_CENTER : GTK_JUSTIFY_LEFT);
    GtkWidget* inner = label;
    if (c.spec.style.border || c.spec.style.clientEdge) {
        inner = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(inner), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(inner), label);
        gtk_widget_show(label);
    }
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(box), inner);
    gtk_widget_show(inner);
    g_signal_connect(box, "button-press-event", G_CALLBACK(labelPressed), &c);
    return {box, label};
}

Widgets makeButton(Control& c) {
    GtkWidget* button = c.spec.kind == ControlKind::CheckBox
                            ? gtk_check_button_new_with_label(toUtf8(c.spec.text).c_str())
                            : gtk_button_new_with_label(toUtf8(c.spec.text).c_str());
    ellipsize(button);
    g_signal_connect(button, "clicked", G_CALLBACK(clicked), &c);
    if (c.spec.id == ui::kIdOk && c.spec.kind == ControlKind::Button) gtk_widget_set_can_default(button, TRUE);
    return {button, button};
}

Widgets makeCombo(Control& c) {
    GtkWidget* combo = gtk_combo_box_text_new_with_entry();
    GtkWidget* entry = gtk_bin_get_child(GTK_BIN(combo));
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_text(GTK_ENTRY(entry), toUtf8(c.spec.text).c_str());
    g_signal_connect(combo, "changed", G_CALLBACK(comboPicked), &c);
    g_signal_connect(entry, "changed", G_CALLBACK(comboTyped), &c);
    g_signal_connect(entry, "activate", G_CALLBACK(activated), &c);
    return {combo, entry};
}

Widgets makeMultiLine(Control& c) {
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    gtk_text_buffer_set_text(buffer, toUtf8(c.spec.text, true).c_str(), -1);
    g_signal_connect(buffer, "insert-text", G_CALLBACK(bufferInsert), &c);
    g_signal_connect(buffer, "changed", G_CALLBACK(changed), &c);
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    if (c.spec.style.border || c.spec.style.clientEdge)
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    gtk_widget_show(view);
    return {scroller, view};
}

// ---- spin arrows: an up and a down triangle at the right of a number box ----

constexpr int kSpinWidth = 12;  // at the 18-pixel height of a 240-pixel design; wider when taller

gboolean drawSpin(GtkWidget* widget, cairo_t* cr, gpointer) {
    const double width = gtk_widget_get_allocated_width(widget);
    const double half = gtk_widget_get_allocated_height(widget) / 2.0;
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    gtk_render_background(style, cr, 0, 0, width, half * 2);
    gtk_render_frame(style, cr, 0, 0, width, half);
    gtk_render_frame(style, cr, 0, half, width, half);
    GdkRGBA ink;
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &ink);
    gdk_cairo_set_source_rgba(cr, &ink);
    const double side = std::min(width - 4, half - 3);
    const double left = (width - side) / 2;
    for (const double tip : {0.0, 1.0}) {  // the up arrow in the top half, the down arrow below
        const double top = tip * half + (half - side / 2) / 2;
        const double pointY = tip == 0.0 ? top : top + side / 2;
        const double baseY = tip == 0.0 ? top + side / 2 : top;
        cairo_move_to(cr, left, baseY);
        cairo_line_to(cr, left + side, baseY);
        cairo_line_to(cr, left + side / 2, pointY);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    return TRUE;
}

// A click on the arrows steps the number as if it had been typed: the page hears Changed.
gboolean spinPressed(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    if (event->type != GDK_BUTTON_PRESS || event->button != 1) return FALSE;
    Control& c = controlOf(data);
    const int step = event->y < gtk_widget_get_allocated_height(widget) / 2.0 ? 1 : -1;
    const std::u16string now = fromUtf8(gtk_entry_get_text(GTK_ENTRY(c.input)));
    const std::u16string next = spinStepped(now, step, c.spec.style);
    if (next != now) gtk_entry_set_text(GTK_ENTRY(c.input), toUtf8(next).c_str());
    return TRUE;
}

GtkWidget* withSpinArrows(Control& c, GtkWidget* entry) {
    GtkWidget* arrows = gtk_drawing_area_new();
    gtk_widget_set_size_request(arrows, std::max(kSpinWidth, c.spec.rect.height * 2 / 3), -1);
    gtk_style_context_add_class(gtk_widget_get_style_context(arrows), "tessel-spin");
    gtk_widget_add_events(arrows, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(arrows, "draw", G_CALLBACK(drawSpin), &c);
    g_signal_connect(arrows, "button-press-event", G_CALLBACK(spinPressed), &c);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(box), entry, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), arrows, FALSE, FALSE, 0);
    gtk_widget_show(entry);
    gtk_widget_show(arrows);
    return box;
}

Widgets makeEdit(Control& c) {
    const ui::ControlStyle& style = c.spec.style;
    if (style.multiLine) return makeMultiLine(c);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_visibility(GTK_ENTRY(entry), !style.password);
    gtk_entry_set_has_frame(GTK_ENTRY(entry), style.border || style.clientEdge || style.spin);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_entry_set_text(GTK_ENTRY(entry), toUtf8(c.spec.text).c_str());
    if (style.number || style.limit > 0) g_signal_connect(entry, "insert-text", G_CALLBACK(entryInsert), &c);
    g_signal_connect(entry, "changed", G_CALLBACK(changed), &c);
    g_signal_connect(entry, "activate", G_CALLBACK(activated), &c);
    return {style.spin ? withSpinArrows(c, entry) : entry, entry};
}

Widgets makeToolbar(Control& c) {
    GtkWidget* bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    for (const auto& tool : c.spec.buttons) {
        GtkWidget* item = tool.id == 0 ? gtk_separator_new(GTK_ORIENTATION_VERTICAL)
                                       : gtk_button_new_with_label(toolGlyph(tool.image).c_str());
        if (tool.id != 0) {
            gtk_widget_set_size_request(item, c.spec.rect.height, c.spec.rect.height);
            g_object_set_data(G_OBJECT(item), "tessel-id", GINT_TO_POINTER(tool.id));
            g_signal_connect(item, "clicked", G_CALLBACK(toolClicked), &c);
            c.toolButtons[tool.id] = item;
        }
        gtk_box_pack_start(GTK_BOX(bar), item, FALSE, FALSE, tool.id == 0 ? 3 : 0);
        gtk_widget_show(item);
    }
    return {bar, bar};
}

Widgets makeSlot(Control& c) {
    GtkWidget* slot = gtk_fixed_new();
    g_signal_connect(slot, "add", G_CALLBACK(slotAdded), &c);
    GtkGesture* press = gtk_gesture_multi_press_new(slot);
    gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(press), GTK_PHASE_CAPTURE);
    g_signal_connect(press, "pressed", G_CALLBACK(slotPressed), &c);
    g_signal_connect(press, "released", G_CALLBACK(slotReleased), &c);
    g_object_set_data_full(G_OBJECT(slot), "tessel-gesture", press, g_object_unref);
    return {slot, slot};
}

Widgets makePicture(Control& c) {
    GtkWidget* area = gtk_drawing_area_new();
    g_signal_connect(area, "draw", G_CALLBACK(drawPicture), &c);
    return {area, area};
}

Widgets makeWidgets(Control& c) {
    switch (c.spec.kind) {
        case ControlKind::Static: return makeStatic(c);
        case ControlKind::Button:
        case ControlKind::CheckBox: return makeButton(c);
        case ControlKind::ComboBox: return makeCombo(c);
        case ControlKind::Edit: return makeEdit(c);
        case ControlKind::Toolbar: return makeToolbar(c);
        case ControlKind::Browser: return makeSlot(c);
        case ControlKind::Picture: return makePicture(c);
        case ControlKind::Progress: {
            GtkWidget* bar = gtk_progress_bar_new();
            return {bar, bar};
        }
        case ControlKind::GroupBox: {
            GtkWidget* frame = gtk_frame_new(toUtf8(c.spec.text).c_str());
            return {frame, frame};
        }
    }
    return {nullptr, nullptr};
}

bool editable(const Control& c) {
    return c.spec.kind == ControlKind::Edit || c.spec.kind == ControlKind::ComboBox;
}

bool multiLine(const Control& c) { return c.spec.kind == ControlKind::Edit && c.spec.style.multiLine; }

std::u16string withCrLf(std::u16string text) {
    std::u16string out;
    for (char16_t ch : text) {
        if (ch == u'\n') out += u'\r';
        out += ch;
    }
    return out;
}

gboolean windowDeleted(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkUiWindow*>(data)->close();
    return TRUE;  // the handler decides whether the window goes
}

gboolean windowPressed(GtkWidget* window, GdkEventButton* event, gpointer data) {
    if (event->type != GDK_BUTTON_PRESS || event->button != 1) return FALSE;
    gint x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &x, &y);
    static_cast<GtkUiWindow*>(data)->clickAt(static_cast<int>(event->x_root) - x,
                                             static_cast<int>(event->y_root) - y);
    return FALSE;
}

// Keys no control took: Enter is the title bar's OK; Escape cancels a modal dialog.
gboolean windowKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* window = static_cast<GtkUiWindow*>(data);
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) {
        window->ok();
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape) {
        window->cancelModal();
        return TRUE;
    }
    return FALSE;
}

}  // namespace

// ---- window ----

GtkUiWindow::GtkUiWindow(GtkToolkit& toolkit, ui::WindowHandler& handler, GtkUiWindow* parent)
    : toolkit_(toolkit), handler_(handler), parent_(parent) {
    // The window's area clips what lies outside it, as on the terminal, instead of growing.
    clip_ = gtk_layout_new(nullptr, nullptr);
    g_object_ref_sink(clip_);
    fixed_ = gtk_fixed_new();
    gtk_layout_put(GTK_LAYOUT(clip_), fixed_, 0, 0);
    gtk_widget_show(fixed_);
    if (parent_) {
        gtk_fixed_put(GTK_FIXED(parent_->fixed_), clip_, 0, 0);
        return;
    }
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref(window_);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "tessel-window");
    gtk_container_add(GTK_CONTAINER(window_), clip_);
    gtk_widget_show(clip_);
    gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(window_, "delete-event", G_CALLBACK(windowDeleted), this);
    g_signal_connect(window_, "button-press-event", G_CALLBACK(windowPressed), this);
    g_signal_connect_after(window_, "key-press-event", G_CALLBACK(windowKey), this);
}

GtkUiWindow::~GtkUiWindow() {
    destroying_ = true;
    toolkit_.forget(this);
    if (modalLoop_) g_main_loop_quit(modalLoop_);
    if (window_) {
        gtk_widget_destroy(window_);
        g_object_unref(window_);
    } else {
        gtk_widget_destroy(clip_);
    }
    g_object_unref(clip_);
}

GtkWindow* GtkUiWindow::toplevel() const {
    GtkWidget* top = window_ ? window_ : gtk_widget_get_toplevel(clip_);
    return GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
}

void GtkUiWindow::setCaption(std::u16string_view caption) {
    if (window_) gtk_window_set_title(GTK_WINDOW(window_), toUtf8(caption).c_str());
}

void GtkUiWindow::setFrame(Frame frame) {
    if (window_) gtk_window_set_decorated(GTK_WINDOW(window_), frame != Frame::None);
}

void GtkUiWindow::setRect(ui::Rect rect) {
    rect_ = rect;
    gtk_widget_set_size_request(clip_, std::max(rect.width, 1), std::max(rect.height, 1));
    if (window_) {
        gtk_window_move(GTK_WINDOW(window_), rect.x, rect.y);
        gtk_window_resize(GTK_WINDOW(window_), std::max(rect.width, 1), std::max(rect.height, 1));
    } else {
        gtk_fixed_move(GTK_FIXED(parent_->fixed_), clip_, rect.x, rect.y);
    }
}

void GtkUiWindow::show(bool visible) {
    visible_ = visible;
    if (window_ && visible && topmost_) stayOverMain();
    gtk_widget_set_visible(window_ ? window_ : clip_, visible);
}

void GtkUiWindow::bringToFront() {
    if (window_) gtk_window_present(GTK_WINDOW(window_));
}

void GtkUiWindow::setTopmost(bool topmost) {
    if (!window_) return;
    topmost_ = topmost;
    gtk_window_set_keep_above(GTK_WINDOW(window_), topmost);
    if (topmost)
        stayOverMain();
    else
        gtk_window_set_transient_for(GTK_WINDOW(window_), nullptr);
}

// A topmost window belongs to the main window, so that it is stacked over it; the main window
// may come later than this one, so this is done again each time it shows.
void GtkUiWindow::stayOverMain() {
    GtkWindow* main = toolkit_.mainToplevel();
    if (main == GTK_WINDOW(window_)) main = nullptr;
    gtk_window_set_transient_for(GTK_WINDOW(window_), main);
}

void GtkUiWindow::notify(int id, ui::Notify notify) {
    if (!quiet()) handler_.onCommand(id, notify);
}

void GtkUiWindow::cancelModal() {
    if (modalLoop_) handler_.onClose();
}

void GtkUiWindow::beginModal(GMainLoop* loop) {
    modalLoop_ = loop;
    if (loop) modalResult_.reset();
}

void GtkUiWindow::endModal(bool ok) {
    modalResult_ = ok;
    show(false);
    if (modalLoop_) g_main_loop_quit(modalLoop_);
}

// ---- controls ----

Control* GtkUiWindow::find(int id) {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

const Control* GtkUiWindow::find(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

void GtkUiWindow::addControl(const ui::ControlSpec& spec) {
    if (Control* old = find(spec.id)) {
        gtk_widget_destroy(old->outer);
        controls_.erase(spec.id);
    }
    Control& c = controls_[spec.id];
    c.owner = this;
    c.spec = spec;
    c.shown = !spec.style.hidden;
    const Widgets widgets = makeWidgets(c);
    c.outer = widgets.outer;
    c.input = widgets.input;
    if (spec.style.largeFont) {
        gtk_style_context_add_class(gtk_widget_get_style_context(c.outer), "tessel-large");
        gtk_style_context_add_class(gtk_widget_get_style_context(c.input), "tessel-large");
    }
    gtk_fixed_put(GTK_FIXED(fixed_), c.outer, spec.rect.x, spec.rect.y);
    place(c);
    gtk_widget_set_visible(c.outer, c.shown);
    if (gtk_widget_get_can_default(c.input) && window_) gtk_window_set_default(GTK_WINDOW(window_), c.input);
}

void GtkUiWindow::place(Control& c) {
    const ui::Rect& r = c.spec.rect;
    gtk_fixed_move(GTK_FIXED(fixed_), c.outer, r.x, r.y);
    // A combo box's rect holds its field and its dropped-down list, as on the terminal: the
    // field keeps its own height at the top of the rect.
    const int height = c.spec.kind == ControlKind::ComboBox ? -1 : std::max(r.height, 1);
    gtk_widget_set_size_request(c.outer, std::max(r.width, 1), height);
    if (c.spec.kind != ControlKind::Browser) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(c.outer));
    for (GList* child = children; child; child = child->next)
        gtk_widget_set_size_request(GTK_WIDGET(child->data), r.width, r.height);
    g_list_free(children);
}

GtkWidget* GtkUiWindow::widget(int id) const {
    const Control* c = find(id);
    return c ? c->input : nullptr;
}

GtkWidget* GtkUiWindow::toolButton(int toolbarId, int buttonId) const {
    const Control* c = find(toolbarId);
    if (!c) return nullptr;
    auto it = c->toolButtons.find(buttonId);
    return it == c->toolButtons.end() ? nullptr : it->second;
}

std::string GtkUiWindow::widgetText(const Control& c) const {
    if (multiLine(c)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(c.input));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
        std::string out(text);
        g_free(text);
        return out;
    }
    return gtk_entry_get_text(GTK_ENTRY(c.input));
}

void GtkUiWindow::setWidgetText(Control& c) {
    const std::string text = toUtf8(c.spec.text, true);
    switch (c.spec.kind) {
        case ControlKind::Static: gtk_label_set_text(GTK_LABEL(c.input), text.c_str()); break;
        case ControlKind::Button:
        case ControlKind::CheckBox:
            gtk_button_set_label(GTK_BUTTON(c.input), text.c_str());
            ellipsize(c.input);
            break;
        case ControlKind::GroupBox: gtk_frame_set_label(GTK_FRAME(c.input), text.c_str()); break;
        case ControlKind::ComboBox: gtk_entry_set_text(GTK_ENTRY(c.input), text.c_str()); break;
        case ControlKind::Edit:
            if (multiLine(c))
                gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(c.input)), text.c_str(), -1);
            else
                gtk_entry_set_text(GTK_ENTRY(c.input), text.c_str());
            break;
        case ControlKind::Picture: gtk_widget_queue_draw(c.input); break;
        default: break;
    }
}

void GtkUiWindow::setText(int id, std::u16string_view text) {
    Control* c = find(id);
    if (!c) return;
    Quietly quietly(updating_);
    c->spec.text = text;
    setWidgetText(*c);
}

// What the user typed; text set by code reads back exactly as it was given.
std::u16string GtkUiWindow::text(int id) const {
    const Control* c = find(id);
    if (!c) return {};
    if (!editable(*c)) return c->spec.text;
    const std::string shown = widgetText(*c);
    if (shown == toUtf8(c->spec.text, true)) return c->spec.text;
    return multiLine(*c) ? withCrLf(fromUtf8(shown)) : fromUtf8(shown);
}

void GtkUiWindow::enable(int id, bool enabled) {
    if (Control* c = find(id)) gtk_widget_set_sensitive(c->outer, enabled);
}

bool GtkUiWindow::isEnabled(int id) const {
    const Control* c = find(id);
    return c && gtk_widget_get_sensitive(c->outer);
}

void GtkUiWindow::showControl(int id, bool visible) {
    Control* c = find(id);
    if (!c) return;
    c->shown = visible;
    gtk_widget_set_visible(c->outer, visible);
}

bool GtkUiWindow::isShown(int id) const {
    const Control* c = find(id);
    return c && c->shown;
}

void GtkUiWindow::moveControl(int id, ui::Rect rect) {
    Control* c = find(id);
    if (!c) return;
    c->spec.rect = rect;
    place(*c);
}

ui::Rect GtkUiWindow::controlRect(int id) const {
    const Control* c = find(id);
    return c ? c->spec.rect : ui::Rect{};
}

void GtkUiWindow::setFocus(int id) {
    Control* c = find(id);
    if (!c) return;
    GtkWidget* target = c->input;
    if (c->spec.kind == ControlKind::Browser) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(c->outer));
        if (children) target = GTK_WIDGET(children->data);
        g_list_free(children);
    }
    gtk_widget_grab_focus(target);
}

void GtkUiWindow::setChecked(int id, bool checked) {
    Control* c = find(id);
    if (!c || c->spec.kind != ControlKind::CheckBox) return;
    Quietly quietly(updating_);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->input), checked);
}

bool GtkUiWindow::isChecked(int id) const {
    const Control* c = find(id);
    return c && c->spec.kind == ControlKind::CheckBox && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->input));
}

void GtkUiWindow::setProgress(int id, int percent) {
    Control* c = find(id);
    if (!c || c->spec.kind != ControlKind::Progress) return;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(c->input), std::clamp(percent, 0, 100) / 100.0);
}

// ---- combo boxes: the selection is kept here, so that text set by code leaves it alone ----

void GtkUiWindow::comboPicked(Control& c) {
    if (quiet()) return;
    const int active = gtk_combo_box_get_active(GTK_COMBO_BOX(c.outer));
    if (active < 0 || static_cast<std::size_t>(active) >= c.entries.size()) return;
    c.selection = static_cast<std::size_t>(active);
    c.spec.text = c.entries[*c.selection];
    notify(c.spec.id, ui::Notify::SelectionChanged);
}

void GtkUiWindow::comboTyped(Control& c) {
    // Text the list put in the entry comes with an active entry; typing leaves none.
    if (quiet() || gtk_combo_box_get_active(GTK_COMBO_BOX(c.outer)) != -1) return;
    c.selection.reset();
    notify(c.spec.id, ui::Notify::Changed);
}

void GtkUiWindow::comboAdd(int id, std::u16string_view entry) {
    Control* c = find(id);
    if (!c || c->spec.kind != ControlKind::ComboBox) return;
    c->entries.emplace_back(entry);
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(c->outer), toUtf8(entry).c_str());
}

void GtkUiWindow::comboRemove(int id, std::size_t index) {
    Control* c = find(id);
    if (!c || c->spec.kind != ControlKind::ComboBox || index >= c->entries.size()) return;
    Quietly quietly(updating_);
    gtk_combo_box_text_remove(GTK_COMBO_BOX_TEXT(c->outer), static_cast<gint>(index));
    c->entries.erase(c->entries.begin() + static_cast<std::ptrdiff_t>(index));
    ui::selectionAfterRemove(c->selection, index);
}

std::vector<std::u16string> GtkUiWindow::comboEntries(int id) const {
    const Control* c = find(id);
    return c ? c->entries : std::vector<std::u16string>{};
}

void GtkUiWindow::comboSelect(int id, std::optional<std::size_t> index) {
    Control* c = find(id);
    if (!c || c->spec.kind != ControlKind::ComboBox) return;
    if (index && *index >= c->entries.size()) index.reset();
    Quietly quietly(updating_);
    c->selection = index;
    if (index) c->spec.text = c->entries[*index];
    gtk_combo_box_set_active(GTK_COMBO_BOX(c->outer), index ? static_cast<gint>(*index) : -1);
}

std::optional<std::size_t> GtkUiWindow::comboSelection(int id) const {
    const Control* c = find(id);
    return c ? c->selection : std::nullopt;
}

void GtkUiWindow::enableToolButton(int toolbarId, int buttonId, bool enabled) {
    if (GtkWidget* button = toolButton(toolbarId, buttonId)) gtk_widget_set_sensitive(button, enabled);
}

bool GtkUiWindow::isToolButtonEnabled(int toolbarId, int buttonId) const {
    GtkWidget* button = toolButton(toolbarId, buttonId);
    return button && gtk_widget_get_sensitive(button);
}

}  // namespace tessel::platform::gtk
