#include "platform/ui.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/clock.h"

namespace platform {

bool is_text_window(int window) {
    return window == kWindowText1 || window == kWindowText2;
}

bool is_graphics_window(int window) {
    return window >= kWindowGraphicsFirst && window <= kWindowGraphicsLast;
}

bool is_valid_window(int window) {
    return window >= 0 && window < kWindowCount;
}

// --- recording device context ----------------------------------------------------------------

namespace {

void append_number(std::string& s, std::int32_t v) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(v));
    s.append(buffer, static_cast<std::size_t>(n));
}

void append_point(std::string& s, std::int32_t x, std::int32_t y) {
    append_number(s, x);
    s += ',';
    append_number(s, y);
}

std::int32_t packed(Colour c) {
    return static_cast<std::int32_t>(c.red) << 16 | static_cast<std::int32_t>(c.green) << 8 |
           static_cast<std::int32_t>(c.blue);
}

void append_colour(std::string& s, std::int32_t rgb) {
    append_number(s, rgb >> 16 & 0xff);
    s += ',';
    append_number(s, rgb >> 8 & 0xff);
    s += ',';
    append_number(s, rgb & 0xff);
}

}  // namespace

const char* line_style_name(LineStyle style) {
    switch (style) {
        case LineStyle::solid:
            return "solid";
        case LineStyle::dash:
            return "dash";
        case LineStyle::dot:
            return "dot";
        case LineStyle::dash_dot:
            return "dash_dot";
        case LineStyle::dash_dot_dot:
            return "dash_dot_dot";
        case LineStyle::none:
            return "none";
    }
    return "?";
}

RecordingDeviceContext::RecordingDeviceContext(Size size, TextMetrics metrics)
    : size_(size), metrics_(metrics) {}

void RecordingDeviceContext::add(Op op, std::initializer_list<std::int32_t> values,
                                 LineStyle style) {
    Call call{op, style, {}, 0, 0};
    std::size_t i = 0;
    for (std::int32_t v : values) call.v[i++] = v;
    calls_.push_back(call);
    keep_recent_calls();
}

// Cut back in chunks, so that a surface drawn without end (a text window that only scrolls)
// keeps its recent calls without moving them at every new one.
void RecordingDeviceContext::keep_recent_calls() {
    if (calls_.size() <= kKeptCalls + kKeptCalls / 4) return;
    std::vector<Call> kept(calls_.end() - static_cast<std::ptrdiff_t>(kKeptCalls), calls_.end());
    std::vector<Point> points;
    std::string texts;
    for (Call& call : kept) {
        if (call.op == Op::polyline || call.op == Op::polygon) {
            const auto first = points_.begin() + call.first;
            call.first = static_cast<std::uint32_t>(points.size());
            points.insert(points.end(), first, first + call.count);
        } else if (call.op == Op::text) {
            const std::size_t first = call.first;
            call.first = static_cast<std::uint32_t>(texts.size());
            texts.append(texts_, first, call.count);
        }
    }
    calls_ = std::move(kept);
    points_ = std::move(points);
    texts_ = std::move(texts);
    lines_.clear();
}

void RecordingDeviceContext::add_points(Op op, std::span<const Point> points) {
    Call call{op,
              LineStyle::solid,
              {},
              static_cast<std::uint32_t>(points_.size()),
              static_cast<std::uint32_t>(points.size())};
    points_.insert(points_.end(), points.begin(), points.end());
    calls_.push_back(call);
    keep_recent_calls();
}

std::string RecordingDeviceContext::call_text(const Call& call) const {
    const std::int32_t* v = call.v;
    std::string s;
    switch (call.op) {
        case Op::pen:
            s = "pen ";
            append_colour(s, v[0]);
            s += ' ';
            s += line_style_name(call.style);
            s += ' ';
            append_number(s, v[1]);
            break;
        case Op::brush:
            s = "brush ";
            append_colour(s, v[0]);
            break;
        case Op::null_brush:
            s = "null_brush";
            break;
        case Op::text_colour:
            s = "text_colour ";
            append_colour(s, v[0]);
            break;
        case Op::move:
            s = "move ";
            append_point(s, v[0], v[1]);
            break;
        case Op::line:
            s = "line ";
            append_point(s, v[0], v[1]);
            s += ' ';
            append_point(s, v[2], v[3]);
            break;
        case Op::polyline:
        case Op::polygon:
            s = call.op == Op::polyline ? "polyline" : "polygon";
            for (std::uint32_t i = 0; i < call.count; ++i) {
                const Point& p = points_[call.first + i];
                s += ' ';
                append_point(s, p.x, p.y);
            }
            break;
        case Op::ellipse:
        case Op::clip:
            s = call.op == Op::ellipse ? "ellipse " : "clip ";
            append_point(s, v[0], v[1]);
            s += ' ';
            append_point(s, v[2], v[3]);
            break;
        case Op::pixel:
            s = "pixel ";
            append_point(s, v[0], v[1]);
            s += ' ';
            append_colour(s, v[2]);
            break;
        case Op::fill:
            s = "fill ";
            append_point(s, v[0], v[1]);
            s += ' ';
            append_point(s, v[2], v[3]);
            s += ' ';
            append_colour(s, v[4]);
            break;
        case Op::text:
            s = "text ";
            append_point(s, v[0], v[1]);
            s += " \"";
            s.append(texts_, call.first, call.count);
            s += '"';
            break;
        case Op::clip_none:
            s = "clip none";
            break;
        case Op::scroll:
            s = "scroll ";
            append_point(s, v[0], v[1]);
            s += ' ';
            append_point(s, v[2], v[3]);
            s += ' ';
            append_point(s, v[4], v[5]);
            break;
    }
    return s;
}

const std::vector<std::string>& RecordingDeviceContext::records() const {
    lines_.reserve(calls_.size());
    for (std::size_t i = lines_.size(); i < calls_.size(); ++i)
        lines_.push_back(call_text(calls_[i]));
    return lines_;
}

void RecordingDeviceContext::clear_records() {
    calls_.clear();
    points_.clear();
    texts_.clear();
    lines_.clear();
}

void RecordingDeviceContext::set_pen(Colour colour, LineStyle style, int width) {
    add(Op::pen, {packed(colour), width}, style);
}

void RecordingDeviceContext::set_brush(Colour colour) {
    add(Op::brush, {packed(colour)});
}

void RecordingDeviceContext::set_null_brush() {
    add(Op::null_brush, {});
}

void RecordingDeviceContext::set_text_colour(Colour colour) {
    add(Op::text_colour, {packed(colour)});
}

void RecordingDeviceContext::move_to(Point p) {
    add(Op::move, {p.x, p.y});
    current_ = p;
}

void RecordingDeviceContext::line_to(Point p) {
    add(Op::line, {current_.x, current_.y, p.x, p.y});
    current_ = p;
}

void RecordingDeviceContext::polyline(std::span<const Point> points) {
    add_points(Op::polyline, points);
}

void RecordingDeviceContext::polygon(std::span<const Point> points) {
    add_points(Op::polygon, points);
}

void RecordingDeviceContext::ellipse(Rect bounds) {
    add(Op::ellipse, {bounds.left, bounds.top, bounds.right, bounds.bottom});
}

void RecordingDeviceContext::set_pixel(Point p, Colour colour) {
    add(Op::pixel, {p.x, p.y, packed(colour)});
}

void RecordingDeviceContext::fill_rect(Rect r, Colour colour) {
    // A fill of the whole unclipped surface wipes what was drawn: only what is on the surface
    // now is kept, so that a window drawn page after page does not keep every page.
    if (!clipped_ && r.left <= 0 && r.top <= 0 && r.right >= size_.width &&
        r.bottom >= size_.height) {
        clear_records();
    }
    add(Op::fill, {r.left, r.top, r.right, r.bottom, packed(colour)});
}

void RecordingDeviceContext::text_out(Point p, std::string_view text) {
    Call call{Op::text,
              LineStyle::solid,
              {p.x, p.y},
              static_cast<std::uint32_t>(texts_.size()),
              static_cast<std::uint32_t>(text.size())};
    texts_.append(text);
    calls_.push_back(call);
    keep_recent_calls();
}

int RecordingDeviceContext::text_width(std::string_view text) const {
    return static_cast<int>(text.size()) * metrics_.average_width;
}

void RecordingDeviceContext::set_clip_rect(Rect r) {
    clipped_ = true;
    add(Op::clip, {r.left, r.top, r.right, r.bottom});
}

void RecordingDeviceContext::clear_clip() {
    clipped_ = false;
    add(Op::clip_none, {});
}

void RecordingDeviceContext::scroll_pixels(Rect band, int dx, int dy) {
    add(Op::scroll, {band.left, band.top, band.right, band.bottom, dx, dy});
}

void DeviceContext::scroll_pixels(Rect, int, int) {}

// --- window handler defaults -----------------------------------------------------------------

void WindowHandler::on_paint(int, DeviceContext&) {}
void WindowHandler::on_size(int, Size) {}
void WindowHandler::on_move(int, Point) {}
void WindowHandler::on_activate(int, bool) {}
bool WindowHandler::on_close_request(int) {
    return true;
}
void WindowHandler::on_key(int, const KeyEvent&) {}
void WindowHandler::on_mouse(int, const MouseEvent&) {}
void WindowHandler::on_scroll(int, const ScrollEvent&) {}
void WindowHandler::on_command(int, int) {}
void WindowHandler::on_timer(int, int) {}

// --- message boxes ---------------------------------------------------------------------------

std::vector<MessageAnswer> message_answers(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::ok:
            return {MessageAnswer::ok};
        case MessageButtons::ok_cancel:
            return {MessageAnswer::ok, MessageAnswer::cancel};
        case MessageButtons::yes_no:
            return {MessageAnswer::yes, MessageAnswer::no};
        case MessageButtons::yes_no_cancel:
            return {MessageAnswer::yes, MessageAnswer::no, MessageAnswer::cancel};
        case MessageButtons::retry_cancel:
            return {MessageAnswer::retry, MessageAnswer::cancel};
    }
    return {MessageAnswer::ok};
}

MessageAnswer default_message_answer(const MessageBoxRequest& request) {
    const std::vector<MessageAnswer> answers = message_answers(request.buttons);
    for (MessageAnswer a : answers) {
        if (a == request.default_answer) return a;
    }
    return answers.front();
}

const char* message_answer_name(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::none:
            return "none";
        case MessageAnswer::ok:
            return "OK";
        case MessageAnswer::cancel:
            return "Cancel";
        case MessageAnswer::yes:
            return "Yes";
        case MessageAnswer::no:
            return "No";
        case MessageAnswer::retry:
            return "Retry";
    }
    return "?";
}

// --- backend choice --------------------------------------------------------------------------

namespace {

bool is_set(const char* value) {
    return value != nullptr && value[0] != '\0';
}

// The backend the program runs on, chosen by main before any session, and the listener it
// tells of command-line edits.
struct UiChoice {
    UiBackend* current = nullptr;
    CommandLineListener command_line_listener = nullptr;
};

UiChoice g_ui;

}  // namespace

UiKind choose_ui_kind(const char* tavo_ui, const char* display, const char* wayland_display,
                      const char* qt_platform, bool have_qt) {
    if (!have_qt) return UiKind::console;
    if (is_set(tavo_ui) && std::strcmp(tavo_ui, "console") == 0) return UiKind::console;
    if (!is_set(display) && !is_set(wayland_display) && !is_set(qt_platform)) {
        return UiKind::console;
    }
    return UiKind::qt;
}

UiKind choose_ui_kind_from_environment(bool have_qt) {
    return choose_ui_kind(std::getenv("TAVO_UI"), std::getenv("DISPLAY"),
                          std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"), have_qt);
}

void set_current_ui(UiBackend* backend) {
    g_ui.current = backend;
}

UiBackend* current_ui() {
    return g_ui.current;
}

UiBackend& ui() {
    return *g_ui.current;
}

// --- defaults of the optional backend services -----------------------------------------------

int UiBackend::add_tool_button(int, const ToolButton&) {
    return kUiBadWindow;
}
int UiBackend::clear_tool_strip(int) {
    return kUiBadWindow;
}
int UiBackend::enable_tool_button(int, int, bool) {
    return kUiBadWindow;
}
bool UiBackend::tool_button_enabled(int, int) const {
    return false;
}

// The classic grey scheme, which the toolbar pictures are drawn in.
Colour UiBackend::system_colour(SystemColour which) const {
    switch (which) {
        case SystemColour::button_text:
            return {0, 0, 0};
        case SystemColour::button_shadow:
            return {128, 128, 128};
        case SystemColour::button_face:
            return {192, 192, 192};
        case SystemColour::button_highlight:
            return {255, 255, 255};
    }
    return {};
}

void UiBackend::show_choice_list(const std::vector<std::string>&, int) {}
void UiBackend::hide_choice_list() {}
void UiBackend::set_command_history(const std::vector<std::string>&) {}

int UiBackend::set_scroll_info(int window, ScrollBar bar, const ScrollInfo& info) {
    if (!window_exists(window)) return kUiBadWindow;
    scroll_infos_[{window, static_cast<int>(bar)}] = info;
    return 0;
}

ScrollInfo UiBackend::scroll_info(int window, ScrollBar bar) const {
    const auto it = scroll_infos_.find({window, static_cast<int>(bar)});
    return it != scroll_infos_.end() ? it->second : ScrollInfo{};
}

// --- menus ------------------------------------------------------------------------------------

int UiBackend::create_menu() {
    const int handle = next_menu_++;
    menus_[handle];
    return handle;
}

int UiBackend::append_menu_command(int menu, int id, std::string_view label) {
    const auto it = menus_.find(menu);
    if (it == menus_.end()) return kUiBadArgument;
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::command;
    entry.id = id;
    entry.label = label;
    it->second.push_back(entry);
    notify_menu(menu);
    return 0;
}

int UiBackend::append_menu_popup(int menu, int popup, std::string_view label) {
    const auto it = menus_.find(menu);
    if (it == menus_.end() || menus_.count(popup) == 0 || popup == menu) return kUiBadArgument;
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::popup;
    entry.popup = popup;
    entry.label = label;
    it->second.push_back(entry);
    notify_menu(menu);
    return 0;
}

int UiBackend::append_menu_separator(int menu) {
    const auto it = menus_.find(menu);
    if (it == menus_.end()) return kUiBadArgument;
    MenuEntry entry;
    entry.kind = MenuEntry::Kind::separator;
    it->second.push_back(entry);
    notify_menu(menu);
    return 0;
}

int UiBackend::destroy_menu(int menu) {
    const auto it = menus_.find(menu);
    if (it == menus_.end()) return kUiBadArgument;
    const std::vector<MenuEntry> entries = it->second;
    menus_.erase(it);
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::Kind::popup) destroy_menu(e.popup);
    }
    for (auto& [window, bar] : menu_bars_) {
        if (bar == menu) {
            bar = 0;
            menu_bar_changed(window);
        }
    }
    return 0;
}

int UiBackend::truncate_menu(int menu, int count) {
    const auto it = menus_.find(menu);
    if (it == menus_.end() || count < 0) return kUiBadArgument;
    if (static_cast<std::size_t>(count) >= it->second.size()) return 0;
    const std::vector<MenuEntry> dropped(it->second.begin() + count, it->second.end());
    it->second.resize(static_cast<std::size_t>(count));
    for (const MenuEntry& e : dropped) {
        if (e.kind == MenuEntry::Kind::popup) destroy_menu(e.popup);
    }
    notify_menu(menu);
    return 0;
}

int UiBackend::set_menu_bar(int window, int menu) {
    if (!window_exists(window) || (menu != 0 && menus_.count(menu) == 0)) return kUiBadArgument;
    menu_bars_[window] = menu;
    menu_bar_changed(window);
    return 0;
}

int UiBackend::menu_bar(int window) const {
    const auto it = menu_bars_.find(window);
    return it != menu_bars_.end() ? it->second : 0;
}

const std::vector<MenuEntry>* UiBackend::menu_entries(int menu) const {
    const auto it = menus_.find(menu);
    return it != menus_.end() ? &it->second : nullptr;
}

MenuEntry* UiBackend::find_command_entry(int menu, int id) {
    const auto it = menus_.find(menu);
    if (it == menus_.end()) return nullptr;
    for (MenuEntry& e : it->second) {
        if (e.kind == MenuEntry::Kind::command && e.id == id) return &e;
    }
    for (MenuEntry& e : it->second) {
        if (e.kind != MenuEntry::Kind::popup) continue;
        if (MenuEntry* found = find_command_entry(e.popup, id)) return found;
    }
    return nullptr;
}

const MenuEntry* UiBackend::find_menu_command(int menu, int id) const {
    return const_cast<UiBackend*>(this)->find_command_entry(menu, id);
}

int UiBackend::enable_menu_command(int menu, int id, bool enabled) {
    MenuEntry* e = find_command_entry(menu, id);
    if (e == nullptr) return kUiBadArgument;
    if (e->enabled != enabled) {
        e->enabled = enabled;
        notify_menu(menu);
    }
    return 0;
}

int UiBackend::check_menu_entry(int menu, int id, bool checked, bool popup) {
    MenuEntry* e = nullptr;
    if (!popup) {
        e = find_command_entry(menu, id);
    } else if (const auto it = menus_.find(menu); it != menus_.end()) {
        for (MenuEntry& entry : it->second) {
            if (entry.kind == MenuEntry::Kind::popup && entry.popup == id) e = &entry;
        }
    }
    if (e == nullptr) return kUiBadArgument;
    if (e->checked != checked) {
        e->checked = checked;
        notify_menu(menu);
    }
    return 0;
}

int UiBackend::create_edit_pane(int window, int) {
    if (!window_exists(window)) return kUiBadWindow;
    edit_panes_[window];
    return 0;
}

bool UiBackend::has_edit_pane(int window) const {
    return window_exists(window) && edit_panes_.count(window) != 0;
}

int UiBackend::set_edit_text(int window, std::string_view text) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    EditPane& pane = edit_panes_[window];
    pane.text = text;
    pane.start = pane.end = 0;
    pane.can_undo = false;
    pane.modified = false;
    pane.top_line = 0;
    return 0;
}

int UiBackend::append_edit_text(int window, std::string_view text) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    EditPane& pane = edit_panes_[window];
    pane.text += text;
    pane.start = pane.end = static_cast<int>(pane.text.size());
    return 0;
}

std::string UiBackend::edit_text(int window) const {
    const auto it = edit_panes_.find(window);
    return it != edit_panes_.end() ? it->second.text : std::string();
}

int UiBackend::set_edit_selection(int window, int start, int end) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    EditPane& pane = edit_panes_[window];
    const int size = static_cast<int>(pane.text.size());
    pane.start = std::clamp(std::min(start, end), 0, size);
    pane.end = std::clamp(std::max(start, end), 0, size);
    return 0;
}

std::pair<int, int> UiBackend::edit_selection(int window) const {
    const auto it = edit_panes_.find(window);
    return it != edit_panes_.end() ? std::pair{it->second.start, it->second.end} : std::pair{0, 0};
}

bool UiBackend::edit_can_undo(int window) const {
    const auto it = edit_panes_.find(window);
    return it != edit_panes_.end() && it->second.can_undo;
}

int UiBackend::replace_edit_selection(int window, std::string_view text) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    EditPane& pane = edit_panes_[window];
    pane.undo_text = pane.text;
    pane.text.replace(static_cast<std::size_t>(pane.start),
                      static_cast<std::size_t>(pane.end - pane.start), text);
    pane.start = pane.end = pane.start + static_cast<int>(text.size());
    pane.can_undo = true;
    pane.modified = true;
    return 0;
}

// One level, as a plain edit control has: undoing twice restores the edit.
int UiBackend::edit_undo(int window) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    EditPane& pane = edit_panes_[window];
    if (!pane.can_undo) return kUiBadArgument;
    std::swap(pane.text, pane.undo_text);
    pane.start = pane.end = 0;
    pane.modified = true;
    return 0;
}

int UiBackend::set_edit_top_line(int window, int line) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    edit_panes_[window].top_line = std::max(line, 0);
    return 0;
}

int UiBackend::edit_top_line(int window) const {
    const auto it = edit_panes_.find(window);
    return it != edit_panes_.end() ? it->second.top_line : 0;
}

int UiBackend::set_edit_modified(int window, bool modified) {
    if (!has_edit_pane(window)) return kUiBadWindow;
    edit_panes_[window].modified = modified;
    return 0;
}

bool UiBackend::edit_modified(int window) const {
    const auto it = edit_panes_.find(window);
    return it != edit_panes_.end() && it->second.modified;
}

void UiBackend::focus_edit_pane(int) {}

DialogResult UiBackend::text_fields_dialog(TextFieldsDialog&) {
    return DialogResult::cancelled;
}

int UiBackend::set_size_limits(int window, Size, Size) {
    return window_exists(window) ? 0 : kUiBadWindow;
}

int UiBackend::set_system_menu_items(const std::vector<MenuEntry>& items) {
    system_items_ = items;
    return 0;
}

DialogResult UiBackend::page_setup_dialog(const std::string&, PageSetup&) {
    return DialogResult::cancelled;
}

int UiBackend::open_print_cancel_box(std::string_view, std::string_view) {
    return 0;
}

void UiBackend::set_print_cancel_text(std::string_view) {}

bool UiBackend::print_cancel_requested() {
    return false;
}

void UiBackend::close_print_cancel_box() {}

void UiBackend::arrange_icons() {}
void UiBackend::tile_windows() {}
void UiBackend::cascade_windows() {}
std::string UiBackend::shown_title(int) const {
    return {};
}

int UiBackend::create_tool_strip(int, int) {
    return kUiBadWindow;
}
int UiBackend::tool_strip_height(int) const {
    return 0;
}
std::unique_ptr<PrintJob> UiBackend::start_print_offering_selection(const PrintRequest& request,
                                                                    DialogResult* result,
                                                                    bool* selection_only) {
    if (selection_only != nullptr) *selection_only = false;
    return start_print(request, result);
}

void UiBackend::set_choice_list_size(Size) {}

void UiBackend::select_choice_item(int index) {
    choice_selection_ = index < 0 ? -1 : index;
}

int UiBackend::track_popup_menu(int, int, Point, bool) {
    return 0;
}

int UiBackend::set_menu_command_label(int menu, int id, std::string_view label) {
    MenuEntry* e = find_command_entry(menu, id);
    if (e == nullptr) return kUiBadArgument;
    e->label = label;
    notify_menu(menu);
    return 0;
}

int UiBackend::enable_menu_position(int menu, int position, bool enabled) {
    const auto it = menus_.find(menu);
    if (it == menus_.end() || position < 0 || position >= static_cast<int>(it->second.size())) {
        return kUiBadArgument;
    }
    MenuEntry& e = it->second[static_cast<std::size_t>(position)];
    if (e.enabled != enabled) {
        e.enabled = enabled;
        notify_menu(menu);
    }
    return 0;
}

void UiBackend::menu_bar_changed(int) {}

void UiBackend::notify_menu(int) {
    // A change anywhere may concern a shown bar: every window with a bar hears of it.
    for (const auto& [window, bar] : menu_bars_) {
        if (bar != 0) menu_bar_changed(window);
    }
}

std::unique_ptr<PrintJob> UiBackend::start_print(const PrintRequest&, DialogResult* result) {
    if (result != nullptr) *result = DialogResult::failed;
    return nullptr;
}

int UiBackend::listen_for_text(const std::string&, ExternalTextHandler) {
    return kUiBadWindow;
}

int UiBackend::open_about(const SplashPicture&, std::string_view, Point) {
    return kUiBadWindow;
}

DialogResult UiBackend::file_dialog(FileDialogRequest&) {
    return DialogResult::cancelled;
}

DialogResult UiBackend::font_dialog(const std::string&, FontDescription&) {
    return DialogResult::cancelled;
}

int UiBackend::set_window_maximised(int window, bool maximised) {
    if (!window_exists(window)) return kUiBadWindow;
    maximised_[window] = maximised;
    return 0;
}

bool UiBackend::window_maximised(int window) const {
    const auto it = maximised_.find(window);
    return it != maximised_.end() && it->second;
}

int UiBackend::set_close_enabled(int window, bool enabled) {
    if (!window_exists(window)) return kUiBadWindow;
    close_disabled_[window] = !enabled;
    return 0;
}

bool UiBackend::close_enabled(int window) const {
    const auto it = close_disabled_.find(window);
    return it == close_disabled_.end() || !it->second;
}

int UiBackend::set_window_rect(int window, Rect) {
    return window_exists(window) ? 0 : kUiBadWindow;
}
Rect UiBackend::window_rect(int) const {
    return {};
}
Size UiBackend::screen_size() const {
    return {1024, 768};
}
Size UiBackend::mdi_client_size() const {
    return {};
}

int UiBackend::open_splash(const SplashPicture&) {
    return kUiBadWindow;
}
void UiBackend::close_splash() {}
bool UiBackend::splash_open() const {
    return false;
}

std::int64_t UiBackend::event_time_ms() const {
    return static_cast<std::int64_t>(tick_count_ms());
}
int UiBackend::capture_mouse(int window) {
    if (!window_exists(window)) return kUiBadWindow;
    mouse_capture_ = window;
    return 0;
}
void UiBackend::release_mouse() {
    mouse_capture_ = -1;
}
int UiBackend::set_clipboard_items(std::vector<ClipboardItem> items) {
    clipboard_items_ = std::move(items);
    return 0;
}

std::unique_ptr<DeviceContext> UiBackend::create_offscreen(Size) {
    return nullptr;
}

int UiBackend::copy_offscreen(int, Point, DeviceContext&) {
    return kUiBadArgument;
}

int UiBackend::grab_window(int, bool, SplashPicture&) {
    return kUiBadWindow;
}

int UiBackend::set_window_label(int window, std::string_view text) {
    if (!window_exists(window) || window == kWindowFrame) return kUiBadWindow;
    window_labels_[window] = std::string(text);
    return 0;
}

std::string UiBackend::window_label(int window) const {
    const auto it = window_labels_.find(window);
    return it != window_labels_.end() ? it->second : std::string();
}

UiBackend::PrinterCapabilities UiBackend::printer_capabilities(const PrintJob& job) const {
    PrinterCapabilities caps;
    caps.dots_per_inch = job.dots_per_inch();
    const Size page = job.page_size();
    caps.landscape = page.width > page.height;
    return caps;
}

int UiBackend::copy_picture(int window, Point at, const SplashPicture& picture) {
    if (picture.width < 0 || picture.height < 0 ||
        picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return kUiBadArgument;
    }
    DeviceContext* dc = device_context(window);
    if (dc == nullptr) return kUiBadWindow;
    const Size size = dc->size();
    for (int y = 0; y < picture.height; ++y) {
        const int py = at.y + y;
        if (py < 0 || py >= size.height) continue;
        for (int x = 0; x < picture.width; ++x) {
            const int px = at.x + x;
            if (px < 0 || px >= size.width) continue;
            dc->set_pixel({px, py},
                          picture.pixels[static_cast<std::size_t>(y) * picture.width + x]);
        }
    }
    return 0;
}

}  // namespace platform

namespace platform {

int register_clipboard_format(std::string_view name) {
    static std::vector<std::string> names;
    if (name.empty()) return 0;
    auto same = [&](const std::string& known) {
        if (known.size() != name.size()) return false;
        for (std::size_t i = 0; i < known.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(known[i])) !=
                std::tolower(static_cast<unsigned char>(name[i]))) {
                return false;
            }
        }
        return true;
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (same(names[i])) return 0xC000 + static_cast<int>(i);
    }
    names.emplace_back(name);
    return 0xC000 + static_cast<int>(names.size() - 1);
}

int UiBackend::set_command_line_selection(int start, int end) {
    const int length = static_cast<int>(command_line_text().size());
    start = start < 0 ? 0 : (start > length ? length : start);
    end = end < 0 ? 0 : (end > length ? length : end);
    command_line_selection_ = {start, end};
    return 0;
}

std::pair<int, int> UiBackend::command_line_selection() const {
    const int length = static_cast<int>(command_line_text().size());
    auto clamp = [length](int v) { return v < 0 ? 0 : (v > length ? length : v); };
    return {clamp(command_line_selection_.first), clamp(command_line_selection_.second)};
}

bool UiBackend::clipboard_data(std::string_view mime_type, std::vector<std::uint8_t>& bytes) const {
    for (const ClipboardItem& item : clipboard_items_) {
        if (item.mime_type == mime_type) {
            bytes = item.bytes;
            return true;
        }
    }
    return false;
}

void set_command_line_listener(CommandLineListener listener) {
    g_ui.command_line_listener = listener;
}

void notify_command_line_edited() {
    if (g_ui.command_line_listener != nullptr) g_ui.command_line_listener();
}

}  // namespace platform

// --- panes inside a numbered window ----------------------------------------------------------

namespace platform {

int UiBackend::create_pane(int, int, bool, WindowHandler*) {
    return kUiBadWindow;
}

int UiBackend::pane_window(int pane) const {
    return is_pane(pane) ? pane_windows_[static_cast<std::size_t>(pane - kPaneFirst)] : -1;
}

UiBackend::BandRects UiBackend::band_rects(Size client, const BandLayout& layout) {
    const int width = std::max(client.width, 0);
    const int height = std::max(client.height, 0);
    const int top = std::clamp(layout.top_height, 0, height);
    const int side = layout.side_pane >= 0 ? std::clamp(layout.side_width, 0, width) : 0;
    const int left = width - side;
    const int label = std::clamp(layout.label_height, 0, top);
    const int strip = std::clamp(layout.strip_height, 0, height - top);
    BandRects r;
    r.surface = {0, 0, left, top - label};
    r.label = {0, top - label, left, top};
    r.side = {left, 0, width, top};
    r.strip = {0, top, width, top + strip};
    r.bottom = {0, top + strip, width, height};
    return r;
}

int UiBackend::set_band_layout(int, const BandLayout&) {
    return kUiBadWindow;
}

}  // namespace platform
