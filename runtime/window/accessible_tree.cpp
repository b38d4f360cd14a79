// Accessible tree (keeps the ATK objects of the application, its frame, the terminal and the alerts, and tells clients what changed).
#include "runtime/window/accessible_tree.h"

#include <atk/atk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "runtime/console/code_page.h"

namespace {

// What a node keeps besides its AtkObject fields.
struct node_record {
  AtkObject* parent = nullptr;        // not a reference: the parent holds its children
  std::vector<AtkObject*> children;   // references
  bool window = false;                // a top-level window: its place is on the screen
  bool focusable = false, focused = false, active = false, defunct = false;
  // A window's place on the screen; any other node's place in its window.
  int32_t x = 0, y = 0, width = 0, height = 0;
};

struct tree_node {
  AtkObject object;
  node_record* record;
};
struct tree_node_class {
  AtkObjectClass object_class;
};

AtkObjectClass* atk_object_class = nullptr;  // the class tree nodes chain up to

node_record& record_of(gpointer object) { return *reinterpret_cast<tree_node*>(object)->record; }

// Everything the tree shows. Made once and never freed: the bridge may still read it while
// the process ends.
struct tree_state {
  AtkObject* root = nullptr;      // the application
  AtkObject* frame = nullptr;     // the program's window
  AtkObject* terminal = nullptr;  // the text screen inside it
  accessible_page page;           // the terminal's text
  int32_t cell_width = 8, cell_height = 16;  // frame pixels of one cell
  window_geometry window;
  bool focused = false;           // the program's window has the keyboard focus
  std::vector<std::pair<int32_t, AtkObject*>> alerts;  // open message boxes by id, oldest first
};
tree_state& tree = *new tree_state;

// ---- nodes: children, parent, states, extents ----

void node_init(GTypeInstance* instance, gpointer) { reinterpret_cast<tree_node*>(instance)->record = new node_record; }

void node_finalize(GObject* object) {
  node_record* record = &record_of(object);
  for (AtkObject* child : record->children) {
    record_of(child).parent = nullptr;  // a client may hold the child a little longer
    g_object_unref(child);
  }
  delete record;
  G_OBJECT_CLASS(atk_object_class)->finalize(object);
}

gint node_child_count(AtkObject* object) { return gint(record_of(object).children.size()); }

AtkObject* node_ref_child(AtkObject* object, gint index) {
  const std::vector<AtkObject*>& children = record_of(object).children;
  if (index < 0 || size_t(index) >= children.size()) return nullptr;
  return ATK_OBJECT(g_object_ref(children[size_t(index)]));
}

AtkObject* node_parent(AtkObject* object) { return record_of(object).parent; }

gint node_index_in_parent(AtkObject* object) {
  AtkObject* parent = record_of(object).parent;
  if (!parent) return -1;
  const std::vector<AtkObject*>& siblings = record_of(parent).children;
  auto found = std::find(siblings.begin(), siblings.end(), object);
  return found == siblings.end() ? -1 : gint(found - siblings.begin());
}

AtkStateSet* node_states(AtkObject* object) {
  AtkStateSet* states = atk_object_class->ref_state_set(object);
  const node_record& record = record_of(object);
  if (record.defunct) {
    atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
    return states;
  }
  for (AtkStateType always : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE, ATK_STATE_SHOWING})
    atk_state_set_add_state(states, always);
  if (record.focusable) atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
  if (record.focused) atk_state_set_add_state(states, ATK_STATE_FOCUSED);
  if (record.active) atk_state_set_add_state(states, ATK_STATE_ACTIVE);
  if (object == tree.terminal) atk_state_set_add_state(states, ATK_STATE_MULTI_LINE);
  return states;
}

void node_class_init(gpointer klass, gpointer) {
  atk_object_class = ATK_OBJECT_CLASS(g_type_class_peek_parent(klass));
  G_OBJECT_CLASS(klass)->finalize = node_finalize;
  AtkObjectClass* object_class = ATK_OBJECT_CLASS(klass);
  object_class->get_n_children = node_child_count;
  object_class->ref_child = node_ref_child;
  object_class->get_parent = node_parent;
  object_class->get_index_in_parent = node_index_in_parent;
  object_class->ref_state_set = node_states;
}

// The window a node lies in (itself for a window), or null for the application.
const node_record* window_of(AtkObject* object) {
  for (AtkObject* at = object; at; at = record_of(at).parent)
    if (record_of(at).window) return &record_of(at);
  return nullptr;
}

// A rectangle in a node's window moved to the coordinates asked for. Only windows lie on
// the screen directly, and every other node's parent is a window, so a parent's
// coordinates are the screen's for a window and the window's otherwise.
void place_rectangle(AtkObject* object, AtkCoordType coords, gint* x, gint* y) {
  const node_record* window = window_of(object);
  bool on_screen = coords == ATK_XY_SCREEN || (coords == ATK_XY_PARENT && record_of(object).window);
  if (window && on_screen) {
    *x += window->x;
    *y += window->y;
  }
}

void component_extents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType coords) {
  const node_record& record = record_of(component);
  const node_record* window = window_of(ATK_OBJECT(component));
  if (!window) {  // the application covers nothing
    *x = *y = *width = *height = 0;
    return;
  }
  *x = record.window ? 0 : record.x;
  *y = record.window ? 0 : record.y;
  *width = record.width;
  *height = record.height;
  place_rectangle(ATK_OBJECT(component), coords, x, y);
}

void component_init(gpointer iface, gpointer) { static_cast<AtkComponentIface*>(iface)->get_extents = component_extents; }

void window_init(gpointer, gpointer) {}  // AtkWindow has signals only

// ---- the terminal's text ----

gchar* utf8_copy(int32_t start, int32_t end) {
  std::string text;
  for (int32_t at = start; at < end; ++at) append_utf8(&text, tree.page.text[size_t(at)]);
  return g_strdup(text.c_str());
}

gchar* text_get_text(AtkText*, gint start, gint end) {
  int32_t size = int32_t(tree.page.text.size());
  if (end < 0 || end > size) end = size;
  start = std::max(0, std::min(start, end));
  return utf8_copy(start, end);
}

gunichar text_character_at(AtkText*, gint offset) {
  if (offset < 0 || size_t(offset) >= tree.page.text.size()) return 0;
  return gunichar(tree.page.text[size_t(offset)]);
}

gint text_character_count(AtkText*) { return gint(tree.page.text.size()); }
gint text_caret(AtkText*) { return tree.page.caret; }
gboolean text_set_caret(AtkText*, gint) { return FALSE; }  // the program moves the cursor, not the reader
gint text_selection_count(AtkText*) { return 0; }

gchar* text_string_at(AtkText*, gint offset, AtkTextGranularity granularity, gint* start, gint* end) {
  text_unit unit = granularity == ATK_TEXT_GRANULARITY_CHAR   ? text_unit::character
                   : granularity == ATK_TEXT_GRANULARITY_WORD ? text_unit::word
                                                              : text_unit::line;  // sentences and paragraphs too
  text_span span = span_at(tree.page, offset, unit);
  *start = span.start;
  *end = span.end;
  return utf8_copy(span.start, span.end);
}

// The older form, by boundaries, which screen readers still ask for the line at the caret
// when the terminal gets the focus. Words and lines are told from their starts.
text_unit unit_of(AtkTextBoundary boundary) {
  if (boundary == ATK_TEXT_BOUNDARY_CHAR) return text_unit::character;
  if (boundary == ATK_TEXT_BOUNDARY_WORD_START || boundary == ATK_TEXT_BOUNDARY_WORD_END) return text_unit::word;
  return text_unit::line;
}

gchar* text_at(AtkText*, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
  text_span span = span_at(tree.page, offset, unit_of(boundary));
  *start = span.start;
  *end = span.end;
  return utf8_copy(span.start, span.end);
}

gchar* text_before(AtkText*, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
  text_span span = span_at(tree.page, offset, unit_of(boundary));
  if (span.start > 0) span = span_at(tree.page, span.start - 1, unit_of(boundary));
  else span.end = 0;
  *start = span.start;
  *end = span.end;
  return utf8_copy(span.start, span.end);
}

gchar* text_after(AtkText*, gint offset, AtkTextBoundary boundary, gint* start, gint* end) {
  text_span span = span_at(tree.page, offset, unit_of(boundary));
  if (span.end < gint(tree.page.text.size())) span = span_at(tree.page, span.end, unit_of(boundary));
  else span.start = span.end;
  *start = span.start;
  *end = span.end;
  return utf8_copy(span.start, span.end);
}

AtkAttributeSet* text_run_attributes(AtkText*, gint, gint* start, gint* end) {
  *start = 0;  // one run: the screen's colours are not told
  *end = gint(tree.page.text.size());
  return nullptr;
}

// A cell's rectangle in the window: where the frame is drawn, at its scale.
void cell_rectangle(int32_t column, int32_t row, gint* x, gint* y, gint* width, gint* height) {
  const window_geometry& w = tree.window;
  double cell_w = tree.cell_width * w.scale_x, cell_h = tree.cell_height * w.scale_y;
  *x = gint(std::lround(w.frame_x + column * cell_w));
  *y = gint(std::lround(w.frame_y + row * cell_h));
  *width = gint(std::lround(cell_w));
  *height = gint(std::lround(cell_h));
}

void text_character_extents(AtkText* text, gint offset, gint* x, gint* y, gint* width, gint* height,
                            AtkCoordType coords) {
  text_place place = place_of_offset(tree.page, offset);
  cell_rectangle(place.column, place.row, x, y, width, height);
  place_rectangle(ATK_OBJECT(text), coords, x, y);
}

gint text_offset_at_point(AtkText* text, gint x, gint y, AtkCoordType coords) {
  gint origin_x = 0, origin_y = 0;
  place_rectangle(ATK_OBJECT(text), coords, &origin_x, &origin_y);
  const window_geometry& w = tree.window;
  double cell_w = tree.cell_width * w.scale_x, cell_h = tree.cell_height * w.scale_y;
  if (cell_w <= 0 || cell_h <= 0) return -1;
  int32_t column = int32_t(std::floor((x - origin_x - w.frame_x) / cell_w));
  int32_t row = int32_t(std::floor((y - origin_y - w.frame_y) / cell_h));
  if (row < 0 || column < 0 || size_t(row) >= tree.page.row_starts.size() || column >= tree.page.columns) return -1;
  return offset_of_place(tree.page, row, column);
}

void text_init(gpointer iface, gpointer) {
  AtkTextIface* text = static_cast<AtkTextIface*>(iface);
  text->get_text = text_get_text;
  text->get_character_at_offset = text_character_at;
  text->get_character_count = text_character_count;
  text->get_caret_offset = text_caret;
  text->set_caret_offset = text_set_caret;
  text->get_string_at_offset = text_string_at;
  text->get_text_at_offset = text_at;
  text->get_text_before_offset = text_before;
  text->get_text_after_offset = text_after;
  text->get_run_attributes = text_run_attributes;
  text->get_character_extents = text_character_extents;
  text->get_offset_at_point = text_offset_at_point;
  text->get_n_selections = text_selection_count;
}

// ---- types ----

GType register_type(GType parent, const char* name, GClassInitFunc class_init,
                    std::initializer_list<std::pair<GType, GInterfaceInitFunc>> interfaces) {
  GTypeInfo info{};
  info.class_size = sizeof(tree_node_class);
  info.class_init = class_init;
  info.instance_size = sizeof(tree_node);
  info.instance_init = node_init;
  GType type = g_type_register_static(parent, name, &info, GTypeFlags(0));
  for (const auto& implemented : interfaces) {
    GInterfaceInfo interface_info{implemented.second, nullptr, nullptr};
    g_type_add_interface_static(type, implemented.first, &interface_info);
  }
  return type;
}

GType node_type() {
  static const GType type =
      register_type(ATK_TYPE_OBJECT, "BrightnessAccessible", node_class_init, {{ATK_TYPE_COMPONENT, component_init}});
  return type;
}
GType window_type() {
  static const GType type = register_type(node_type(), "BrightnessAccessibleWindow", nullptr,
                                          {{ATK_TYPE_WINDOW, window_init}});
  return type;
}
GType terminal_type() {
  static const GType type =
      register_type(node_type(), "BrightnessAccessibleTerminal", nullptr, {{ATK_TYPE_TEXT, text_init}});
  return type;
}

AtkObject* make_node(GType type, AtkRole role, const std::string& name, AtkObject* parent) {
  AtkObject* object = ATK_OBJECT(g_object_new(type, nullptr));
  atk_object_set_role(object, role);
  atk_object_set_name(object, name.c_str());
  node_record& record = record_of(object);
  record.window = g_type_is_a(type, window_type());
  if (parent) {
    record.parent = parent;
    record_of(parent).children.push_back(object);
  }
  return object;
}

// ---- events ----

void set_focused(AtkObject* object, bool focused) {
  node_record& record = record_of(object);
  if (record.focused == focused) return;
  record.focused = focused;
  atk_object_notify_state_change(object, ATK_STATE_FOCUSED, focused);
}

void set_active(AtkObject* window, bool active) {
  node_record& record = record_of(window);
  if (record.active == active) return;
  record.active = active;
  atk_object_notify_state_change(window, ATK_STATE_ACTIVE, active);
  g_signal_emit_by_name(window, active ? "activate" : "deactivate");
}

AtkObject* focused_button(AtkObject* alert) {
  for (AtkObject* child : record_of(alert).children)
    if (record_of(child).focused) return child;
  return nullptr;
}

// A client began to listen for window activation: a window active from before is told
// again, or a screen reader started after the program would not know where it is.
gboolean tell_active_windows(gpointer) {
  if (record_of(tree.frame).active) {
    g_signal_emit_by_name(tree.frame, "activate");
    if (record_of(tree.terminal).focused) atk_object_notify_state_change(tree.terminal, ATK_STATE_FOCUSED, TRUE);
  }
  for (const auto& open : tree.alerts) {
    g_signal_emit_by_name(open.second, "activate");
    if (AtkObject* button = focused_button(open.second)) atk_object_notify_state_change(button, ATK_STATE_FOCUSED, TRUE);
  }
  return G_SOURCE_REMOVE;
}

guint (*atk_add_listener)(GSignalEmissionHook, const gchar*) = nullptr;  // ATK's own, which does the work

guint add_listener(GSignalEmissionHook listener, const gchar* event_type) {
  guint id = atk_add_listener(listener, event_type);
  if (std::strcmp(event_type, "Atk:AtkWindow:activate") == 0) g_idle_add(tell_active_windows, nullptr);
  return id;
}

AtkObject* util_root() { return tree.root; }
const gchar* util_toolkit_name() { return "brightness"; }
const gchar* util_toolkit_version() { return "1"; }

// The terminal covers the text screen where the window draws it.
void place_terminal() {
  node_record& terminal = record_of(tree.terminal);
  const window_geometry& w = tree.window;
  terminal.x = w.frame_x;
  terminal.y = w.frame_y;
  terminal.width = int32_t(std::lround(tree.page.columns * tree.cell_width * w.scale_x));
  terminal.height = int32_t(std::lround(double(tree.page.row_starts.size()) * tree.cell_height * w.scale_y));
}

AtkObject* alert_with(int32_t id) {
  for (const auto& open : tree.alerts)
    if (open.first == id) return open.second;
  return nullptr;
}

}  // namespace

void accessible_tree_make(const char* name) {
  tree.root = make_node(node_type(), ATK_ROLE_APPLICATION, name, nullptr);
  tree.frame = make_node(window_type(), ATK_ROLE_FRAME, "", tree.root);
  tree.terminal = make_node(terminal_type(), ATK_ROLE_TERMINAL, "", tree.frame);
  record_of(tree.terminal).focusable = true;
  // Without a toolkit of its own the program tells ATK its root and name through ATK's
  // utility class; it keeps ATK's listener registry and only watches it.
  AtkUtilClass* util = ATK_UTIL_CLASS(g_type_class_ref(ATK_TYPE_UTIL));
  util->get_root = util_root;
  util->get_toolkit_name = util_toolkit_name;
  util->get_toolkit_version = util_toolkit_version;
  atk_add_listener = util->add_global_event_listener;
  util->add_global_event_listener = add_listener;
}

void accessible_tree_show_page(const accessible_page& page, int32_t cell_width, int32_t cell_height) {
  page_change change = page_difference(tree.page, page);
  tree.page = page;
  tree.cell_width = cell_width;
  tree.cell_height = cell_height;
  place_terminal();
  // The text is the new one already: the events carry what was removed and inserted.
  for (const text_edit& edit : change.edits) {
    std::string text;
    for (char32_t c : edit.text) append_utf8(&text, c);
    g_signal_emit_by_name(tree.terminal, edit.inserted ? "text-insert" : "text-remove", gint(edit.offset),
                          gint(edit.text.size()), text.c_str());
  }
  if (change.caret_moved) g_signal_emit_by_name(tree.terminal, "text-caret-moved", gint(page.caret));
}

void accessible_tree_place_window(const window_geometry& geometry, const std::string& title) {
  tree.window = geometry;
  node_record& frame = record_of(tree.frame);
  frame.x = geometry.x;
  frame.y = geometry.y;
  frame.width = geometry.width;
  frame.height = geometry.height;
  place_terminal();
  const gchar* shown = atk_object_get_name(tree.frame);
  if (!shown || title != shown) atk_object_set_name(tree.frame, title.c_str());
}

void accessible_tree_focus(bool focused) {
  if (tree.focused == focused) return;
  tree.focused = focused;
  if (focused) {
    set_active(tree.frame, true);
    set_focused(tree.terminal, true);
  } else {
    set_focused(tree.terminal, false);
    set_active(tree.frame, false);
  }
}

void accessible_tree_open_alert(int32_t id, const alert_contents& alert) {
  AtkObject* box = make_node(window_type(), ATK_ROLE_ALERT, alert.title, nullptr);
  node_record& record = record_of(box);
  record.parent = tree.root;
  record.x = alert.x;
  record.y = alert.y;
  record.width = alert.width;
  record.height = alert.height;
  AtkObject* message = make_node(node_type(), ATK_ROLE_LABEL, alert.message, box);
  record_of(message).width = alert.width;
  record_of(message).height = alert.height;
  for (size_t b = 0; b < alert.buttons.size(); ++b) {
    AtkObject* button = make_node(node_type(), ATK_ROLE_PUSH_BUTTON, alert.buttons[b], box);
    record_of(button).focusable = true;
    record_of(button).width = alert.width;
    record_of(button).height = alert.height;
  }
  std::vector<AtkObject*>& top = record_of(tree.root).children;
  top.push_back(box);
  tree.alerts.emplace_back(id, box);
  g_signal_emit_by_name(tree.root, "children-changed::add", guint(top.size() - 1), box);
  set_active(box, true);
  accessible_tree_focus_alert_button(id, alert.focused_button);
}

void accessible_tree_focus_alert_button(int32_t id, int32_t button) {
  AtkObject* box = alert_with(id);
  if (!box) return;
  const std::vector<AtkObject*>& children = record_of(box).children;
  // The message comes first, then the buttons.
  for (size_t child = 1; child < children.size(); ++child)
    if (int32_t(child) - 1 != button) set_focused(children[child], false);
  if (button >= 0 && size_t(button) + 1 < children.size()) set_focused(children[size_t(button) + 1], true);
}

void accessible_tree_close_alert(int32_t id) {
  AtkObject* box = alert_with(id);
  if (!box) return;
  if (AtkObject* button = focused_button(box)) set_focused(button, false);
  set_active(box, false);
  record_of(box).defunct = true;
  std::vector<AtkObject*>& top = record_of(tree.root).children;
  auto at = std::find(top.begin(), top.end(), box);
  guint index = guint(at - top.begin());
  top.erase(at);
  tree.alerts.erase(std::find(tree.alerts.begin(), tree.alerts.end(), std::make_pair(id, box)));
  g_signal_emit_by_name(tree.root, "children-changed::remove", index, box);
  g_object_unref(box);
}
