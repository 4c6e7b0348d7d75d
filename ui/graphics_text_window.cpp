#include "ui/graphics_text_window.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/messages.h"
#include "ui/grid_control.h"
#include "ui/window_table.h"

namespace {

struct ListState {
    bool tracking = false;      // a left press on the list awaits its release
    int scroll_direction = 0;   // -1 up, 1 down while a drag stands outside the list
    bool delivery_due = false;  // a key moved the selection; it reaches the owner on the tick
    int delivered = -1;         // the line the last click delivered (for a double click)
};

class ListPaneHandler : public platform::WindowHandler {
public:
    void on_paint(int, platform::DeviceContext& dc) override { textarea_on_paint(kListArea, dc); }
    void on_size(int, platform::Size size) override { textarea_on_size(kListArea, size); }
    void on_scroll(int, const platform::ScrollEvent& event) override {
        textarea_on_scroll(kListArea, event);
    }
    void on_mouse(int, const platform::MouseEvent& event) override { list_on_mouse(event); }
    void on_key(int, const platform::KeyEvent& event) override { list_on_key(event); }
    void on_timer(int, int timer_id) override { list_on_timer(timer_id); }
};

// The grid's pane: its lines are those of text area 4, its input goes to the grid control.
class GridPaneHandler : public platform::WindowHandler {
public:
    void on_paint(int, platform::DeviceContext& dc) override {
        textarea_on_paint(kGridTextArea, dc);
    }
    void on_size(int, platform::Size size) override { textarea_on_size(kGridTextArea, size); }
    void on_scroll(int, const platform::ScrollEvent& event) override {
        textarea_on_scroll(kGridTextArea, event);
    }
    void on_mouse(int, const platform::MouseEvent& event) override {
        grid_on_mouse(kGridTextArea, event);
    }
    // Keys typed into the grid are window 16's keys for the grid.
    void on_key(int, const platform::KeyEvent& event) override {
        grid_window_key(platform::kWindowGraphicsText, event);
    }
    // The grid arms its timers on the window of its area: this pane.
    void on_timer(int pane, int timer_id) override { grid_window_timer(pane, timer_id); }
};

// The graphics text window: its list pane's mouse and key state, whether it is shown, its label,
// the strip builder and owner command its owner installs while it owns the window, and its
// panes' handlers (without state of their own: the panes keep their addresses).
struct GraphicsTextWindowState {
    ListState list;
    bool active = false;
    void (*strip_builder)() = nullptr;
    std::string label;
    bool (*owner_command)(int command) = nullptr;
    ListPaneHandler list_handler;
    GridPaneHandler grid_handler;
};

GraphicsTextWindowState g_window;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

// The list line under a point of the list pane; -1 outside its lines. Rows above or below the
// shown ones answer the line there would be, so that a drag can tell where it stands.
int row_at(const TextArea& a, int y) {
    if (a.line_height <= 0) return 0;
    const int offset = y - a.top_margin;
    return offset < 0 ? -1 - (-offset - 1) / a.line_height : offset / a.line_height;
}

int top_position(const TextArea& a) {
    return a.position_of(a.top_line);
}

void select_row(const TextArea& a, int row) {
    const int line = top_position(a) + std::clamp(row, 0, std::max(a.visible_lines - 1, 0));
    if (line >= 0 && line < a.line_count) list_set_selection(line);
}

void stop_scrolling() {
    if (g_window.list.scroll_direction == 0) return;
    g_window.list.scroll_direction = 0;
    if (platform::UiBackend* ui = ui_or_null()) ui->kill_timer(kListPane, kListScrollTimer);
}

void deliver(int kind) {
    const int line = list_selected_line();
    const TextArea* a = textarea(kListArea);
    const ListSelectionCallback callback = list_selection_callback();
    if (line < 0 || a == nullptr || a->capacity <= 0 || callback == nullptr) return;
    // Lines count from the oldest kept; the text lives in the ring slot of that line.
    const int r = callback(kind, line, a->line_text((a->first_line + line) % a->capacity));
    if (r != 0) show_error(r);
}

}  // namespace

platform::UiBackend::BandLayout window16_bands(const Window16Shape& shape,
                                               const FontMetricsCell& font) {
    constexpr int kBorder = 2;
    platform::UiBackend::BandLayout b;
    b.top_height = shape.rows * (font.char_height + 1) + 2 * kBorder + 4;
    b.side_pane = kListPane;
    b.side_width = kScrollBarWidth + shape.columns * font.char_width + 2 * kBorder + 4;
    b.label_height = std::clamp(shape.label_lines, 0, 5) * font.char_height + 4;
    b.strip_height = kWindow16StripHeight;
    b.bottom_pane = kGridPane;
    return b;
}

platform::Size window16_client_size(const Window16Shape& shape, const FontMetricsCell& font) {
    constexpr int kBorder = 2;
    const platform::UiBackend::BandLayout b = window16_bands(shape, font);
    // The grid's lines are grid lines: 7 pixels apart more than the font, under a 3-pixel
    // margin.
    const int grid_height = shape.text_lines * (font.char_height + 7) + 3 + 2 * kBorder;
    const int width = shape.text_columns * font.char_width + 2 * kBorder + 4;
    return {std::max(width, b.side_width + 4 * font.char_width),
            b.top_height + b.strip_height + grid_height};
}

int create_window16_panes(const Window16Shape& shape) {
    platform::UiBackend* ui = ui_or_null();
    constexpr int w = platform::kWindowGraphicsText;
    if (ui == nullptr || !ui->window_exists(w)) return -1;
    const FontMetricsCell font = fixed_font_metrics();
    if (!ui->window_exists(kListPane)) {
        if (ui->create_pane(w, kListPane, true, &g_window.list_handler) != 0) return -1;
        if (const int r = textarea_create(kListPane, kListArea, font, shape.line_capacity,
                                          shape.rows, shape.columns);
            r != 0) {
            return r;
        }
    }
    if (!ui->window_exists(kGridPane)) {
        if (ui->create_pane(w, kGridPane, false, &g_window.grid_handler) != 0) return -1;
        if (const int r = textarea_create(kGridPane, kGridTextArea, font, 1999, shape.text_lines,
                                          std::max(shape.text_columns, 80));
            r != 0) {
            return r;
        }
    }
    if (ui->set_band_layout(w, window16_bands(shape, font)) != 0) return -1;
    if (g_window.strip_builder != nullptr) g_window.strip_builder();
    // Centred on the screen and fixed in size.
    const platform::Size client = window16_client_size(shape, font);
    const platform::Size screen = ui->screen_size();
    const int outer_width = client.width + 2 * kSizingBorder;
    const int outer_height = client.height + kCaptionHeight + 2 * kSizingBorder;
    const int x = (screen.width - outer_width) / 2;
    const int y = (screen.height + kCaptionHeight - outer_height) / 2;
    ui->set_window_rect(w, {x, y, x + outer_width, y + outer_height});
    ui->set_size_limits(w, {outer_width, outer_height}, {outer_width, outer_height});
    return 0;
}

void set_window16_strip_builder(void (*build)()) {
    g_window.strip_builder = build;
}

void list_on_mouse(const platform::MouseEvent& event) {
    using platform::MouseAction;
    using platform::MouseButton;
    const TextArea* a = textarea(kListArea);
    platform::UiBackend* ui = ui_or_null();
    // A selection a key moved, or a cell the grid changed, is on its way to its owner: the
    // mouse waits for it.
    if (a == nullptr || ui == nullptr || g_window.list.delivery_due ||
        grid_control().cell_change_waiting) {
        return;
    }
    switch (event.action) {
        case MouseAction::press:
            if (event.button != MouseButton::left) return;
            ui->capture_mouse(kListPane);
            g_window.list.tracking = true;
            select_row(*a, row_at(*a, event.position.y));
            return;
        case MouseAction::move: {
            if (!g_window.list.tracking) return;
            const int row = row_at(*a, event.position.y);
            const int direction = row < 0 ? -1 : (row >= a->visible_lines ? 1 : 0);
            if (direction == 0) {
                stop_scrolling();
                select_row(*a, row);
            } else if (direction != g_window.list.scroll_direction) {
                g_window.list.scroll_direction = direction;
                ui->set_timer(kListPane, kListScrollTimer, kListScrollMs);
            }
            return;
        }
        case MouseAction::release:
        case MouseAction::double_click: {
            if (event.button != MouseButton::left) return;
            const bool double_click = event.action == MouseAction::double_click;
            // A release ends a press made on the list; one left over from the press a
            // double click began delivers nothing again.
            if (!double_click && !g_window.list.tracking) return;
            // A double click chooses the line under the pointer, whichever a press selected.
            if (double_click) {
                const int row = row_at(*a, event.position.y);
                if (row >= 0 && row < a->visible_lines) select_row(*a, row);
            }
            g_window.list.tracking = false;
            if (ui->mouse_capture() == kListPane) ui->release_mouse();
            stop_scrolling();
            const int line = list_selected_line();
            if (double_click && line >= 0 && line == g_window.list.delivered) {
                g_window.list.delivered = -1;
                deliver(kListDoubleClicked);
            } else {
                g_window.list.delivered = line;
                deliver(kListChosen);
            }
            return;
        }
    }
}

void list_on_key(const platform::KeyEvent& event) {
    if (!event.pressed) return;
    const TextArea* a = textarea(kListArea);
    if (a == nullptr) return;
    const int page = std::max(a->visible_lines - 1, 1);
    switch (event.key) {
        case platform::key_up:
            list_step_selection(-1);
            break;
        case platform::key_down:
            list_step_selection(1);
            break;
        case platform::key_page_up:
            list_step_selection(-page);
            break;
        case platform::key_page_down:
            list_step_selection(page);
            break;
        case platform::key_home:
            list_step_selection(-a->line_count);
            break;
        case platform::key_end:
            list_step_selection(a->line_count);
            break;
        default:
            break;
    }
}

void list_step_selection(int lines) {
    const TextArea* a = textarea(kListArea);
    platform::UiBackend* ui = ui_or_null();
    if (a == nullptr || a->line_count <= 0 || lines == 0) return;
    const int from = list_selected_line();
    const int to = std::clamp(from < 0 ? (lines > 0 ? 0 : a->line_count - 1) : from + lines, 0,
                              a->line_count - 1);
    if (to == from) return;
    list_set_selection(to);
    // Each key starts the pause again: only where the keys stop reaches the owner.
    g_window.list.delivery_due = true;
    if (ui != nullptr) ui->set_timer(kListPane, kListSelectionTimer, kListSelectionMs);
}

void list_stop_timers() {
    stop_scrolling();
    g_window.list.delivery_due = false;
    if (platform::UiBackend* ui = ui_or_null()) ui->kill_timer(kListPane, kListSelectionTimer);
}

void list_on_timer(int timer_id) {
    platform::UiBackend* ui = ui_or_null();
    if (timer_id == kListSelectionTimer) {
        if (ui != nullptr) ui->kill_timer(kListPane, kListSelectionTimer);
        if (!g_window.list.delivery_due) return;
        g_window.list.delivery_due = false;
        deliver(kListChosen);
        return;
    }
    if (timer_id != kListScrollTimer) return;
    const TextArea* a = textarea(kListArea);
    if (g_window.list.scroll_direction == 0 || a == nullptr || a->line_count <= 0) {
        stop_scrolling();
        return;
    }
    const int from = list_selected_line();
    const int to = std::clamp(from + g_window.list.scroll_direction, 0, a->line_count - 1);
    if (to == from) {
        stop_scrolling();  // the end of the list: nothing more to scroll
        return;
    }
    list_set_selection(to);
}

void window16_command(int command) {
    const StripCommandRunner runner = strip_command_runner();
    set_window16_active(true);
    if (g_window.owner_command != nullptr && g_window.owner_command(command)) return;
    if (runner == nullptr) return;
    switch (command) {
        case kWindow16OkCommand:
            runner(platform::kWindowGraphicsText, kSheetOkCommand);
            break;
        case kWindow16CancelCommand:
            runner(platform::kWindowGraphicsText, kSheetCancelCommand);
            break;
        case kWindow16HelpCommand:
            runner(platform::kWindowGraphicsText, kSheetHelpCommand);
            break;
        default:
            break;
    }
}

bool window16_close_request() {
    set_window16_active(true);
    if (g_window.owner_command != nullptr && g_window.owner_command(kWindow16CancelCommand))
        return false;
    if (level_count() == 0 || strip_command_runner() == nullptr) return true;
    window16_command(kWindow16CancelCommand);
    return false;
}

void set_window16_owner(bool (*command)(int command)) {
    g_window.owner_command = command;
}

bool window16_active() {
    return g_window.active;
}

void set_window16_active(bool active) {
    g_window.active = active;
}

void set_window16_label(const char* text) {
    // At most the label's lines; what follows the last of them is not shown.
    std::string kept = text != nullptr ? text : "";
    int lines = 1;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i] == '\n' && ++lines > kWindow16LabelLines) {
            kept.resize(i);
            break;
        }
    }
    g_window.label = kept;
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && ui->window_exists(platform::kWindowGraphicsText)) {
        ui->set_window_label(platform::kWindowGraphicsText, g_window.label);
    }
}

const std::string& window16_label() {
    return g_window.label;
}

void clear_window16_label() {
    g_window.label.clear();
}

// The label goes too: the part or sheet it described belongs to the session that ended, and the
// window is made again without it.
void reset_window16() {
    g_window = GraphicsTextWindowState{};
}

namespace {
const platform::StateReset graphics_text_window_state_reset{
    "ui/graphics_text_window", reset_window16, platform::ResetLayer::ui};
}  // namespace
