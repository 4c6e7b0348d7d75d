#include "ui/window_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "ui/text_area.h"

namespace {

// How the spreadsheet window is sized: kSheetSizedByUser takes the rectangle the user last gave
// it (empty until then), any other mode sizes it by rows.
enum SheetSizingMode : int { kSheetSizedByRows = 0, kSheetSizedByUser = 1 };

struct SheetSizing {
    platform::Rect stored{};
    int mode = kSheetSizedByRows;
};

// The control window is made at start-up, before anything shows sliders in it: its events go
// to whatever handler the slider code sets, and to nobody until then.
class ControlWindowForwarder : public platform::WindowHandler {
public:
    platform::WindowHandler* target = nullptr;
    void on_paint(int w, platform::DeviceContext& dc) override {
        if (target != nullptr) target->on_paint(w, dc);
    }
    void on_size(int w, platform::Size s) override {
        if (target != nullptr) target->on_size(w, s);
    }
    void on_move(int w, platform::Point p) override {
        if (target != nullptr) target->on_move(w, p);
    }
    void on_activate(int w, bool a) override {
        if (target != nullptr) target->on_activate(w, a);
    }
    bool on_close_request(int w) override {
        return target != nullptr ? target->on_close_request(w) : WindowHandler::on_close_request(w);
    }
    void on_key(int w, const platform::KeyEvent& e) override {
        if (target != nullptr) target->on_key(w, e);
    }
    void on_mouse(int w, const platform::MouseEvent& e) override {
        if (target != nullptr) target->on_mouse(w, e);
    }
    void on_scroll(int w, const platform::ScrollEvent& e) override {
        if (target != nullptr) target->on_scroll(w, e);
    }
    void on_command(int w, int c) override {
        if (target != nullptr) target->on_command(w, c);
    }
    void on_timer(int w, int t) override {
        if (target != nullptr) target->on_timer(w, t);
    }
};

// The program's windows by number, how the spreadsheet window is sized, the record a bad window
// number is given, and the strip-command runner and the control window's forwarder installed at
// start.
struct WindowTableState {
    WindowRecord windows[platform::kWindowCount];
    SheetSizing sheet_sizing;
    WindowRecord scratch;
    StripCommandRunner strip_runner = nullptr;
    ControlWindowForwarder control_forwarder;
};

WindowTableState g_windows;

bool rect_empty(const platform::Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

bool open(int n) {
    platform::UiBackend* ui = ui_or_null();
    return ui != nullptr && ui->window_exists(n) && ui->window_visible(n);
}

int other_text_window(int n) {
    return n == platform::kWindowText1 ? platform::kWindowText2 : platform::kWindowText1;
}

// The metrics of the fixed font the text windows draw with, measured on the given window or, when
// it has no drawing surface yet, on text window 1. Every text window draws in the same font; a
// window measured nowhere gets the default cell, which need not match what is drawn.
FontMetricsCell fixed_font(int window = platform::kWindowText1) {
    FontMetricsCell font;
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return font;
    for (const int w : {window, static_cast<int>(platform::kWindowText1)}) {
        if (!ui->window_exists(w)) continue;
        platform::DeviceContext* dc = ui->device_context(w);
        if (dc == nullptr) continue;
        const platform::TextMetrics m = dc->text_metrics();
        if (m.height > 0 && m.average_width > 0) {
            font.char_height = m.height;
            font.char_width = m.average_width;
            font.ascent = m.ascent;
            break;
        }
    }
    return font;
}

class TextWindowHandler : public platform::WindowHandler {
public:
    void on_paint(int window, platform::DeviceContext& dc) override {
        textarea_on_paint(window, dc);
    }
    void on_size(int window, platform::Size size) override {
        textarea_on_size(window, size);
        if (window == platform::kWindowSpreadsheet &&
            g_windows.sheet_sizing.mode == kSheetSizedByUser) {
            if (platform::UiBackend* ui = platform::current_ui()) {
                g_windows.sheet_sizing.stored = ui->window_rect(window);
            }
        }
    }
    void on_scroll(int window, const platform::ScrollEvent& event) override {
        textarea_on_scroll(window, event);
    }
    void on_mouse(int window, const platform::MouseEvent& event) override {
        if (grid_input_handler().mouse != nullptr) grid_input_handler().mouse(window, event);
    }
    void on_key(int window, const platform::KeyEvent& event) override {
        if (grid_input_handler().key != nullptr) grid_input_handler().key(window, event);
    }
    void on_timer(int window, int timer_id) override {
        if (grid_input_handler().timer != nullptr) grid_input_handler().timer(window, timer_id);
    }
    bool on_close_request(int window) override {
        // Closing the spreadsheet is its Cancel: the level it shows ends, and that hides it.
        // Without a level there is nothing to cancel and it simply hides.
        if (window == platform::kWindowSpreadsheet && g_windows.strip_runner != nullptr &&
            level_count() > 0) {
            g_windows.strip_runner(window, kSheetCancelCommand);
            return false;
        }
        // textwin_close hides the window itself, or keeps the last one open.
        if (platform::is_text_window(window)) textwin_close(window);
        return !platform::is_text_window(window);
    }
    void on_command(int window, int command) override {
        if (g_windows.strip_runner != nullptr) g_windows.strip_runner(window, command);
    }
};

}  // namespace

FontMetricsCell fixed_font_metrics() {
    return fixed_font();
}

void set_strip_command_runner(StripCommandRunner runner) {
    g_windows.strip_runner = runner;
}

StripCommandRunner strip_command_runner() {
    return g_windows.strip_runner;
}

platform::WindowHandler* text_window_handler() {
    static TextWindowHandler handler;
    return &handler;
}

WindowRecord& window_record(int n) {
    if (n < 0 || n >= platform::kWindowCount) {
        g_windows.scratch = WindowRecord{};
        return g_windows.scratch;
    }
    return g_windows.windows[n];
}

void get_window_placement(int n, int* x, int* y, int* width, int* height) {
    const WindowRecord& r = window_record(n);
    int px = r.x, py = r.y, pw = r.width, ph = r.height;
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && platform::is_valid_window(n) && ui->window_exists(n)) {
        if (n == platform::kWindowFrame && ui->window_maximised(n)) {
            px = py = pw = ph = 0;
        } else {
            const platform::Rect rect = ui->window_rect(n);
            if (rect.right > rect.left && rect.bottom > rect.top) {
                px = rect.left;
                py = rect.top;
                pw = rect.right - rect.left;
                ph = rect.bottom - rect.top;
            }
        }
    }
    if (x != nullptr) *x = px;
    if (y != nullptr) *y = py;
    if (width != nullptr) *width = pw;
    if (height != nullptr) *height = ph;
}

platform::Rect placement_on_screen(int x, int y, int width, int height, platform::Size screen) {
    x = std::clamp(x, 0, std::max(0, screen.width - width));
    y = std::clamp(y, 0, std::max(0, screen.height - height));
    return {x, y, x + width, y + height};
}

void set_window_placement(int n, int x, int y, int width, int height) {
    if (!platform::is_valid_window(n)) return;
    WindowRecord& r = g_windows.windows[n];
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
}

void text_window_size(int columns, int rows, int* width, int* height) {
    const FontMetricsCell font = fixed_font();
    columns = std::clamp(columns, 20, 128);
    rows = std::clamp(rows, 8, 50);
    int w = kScrollBarWidth + columns * font.char_width + 2;
    if (columns == 128) w += 2;
    int h = kScrollBarHeight + rows * (font.char_height + 1) + 4;
    if (platform::UiBackend* ui = ui_or_null()) {
        h = std::min(h, ui->screen_size().height + kCaptionHeight);
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
}

platform::Rect default_graphics_placement(int n, int mdi_client_width, int toolbar_height) {
    const bool small = n == platform::kWindowGraphicsLast;
    const int client_width = small ? 160 : 400;
    const int client_height = small ? 100 : 250 + toolbar_height;
    const int outer_width = client_width + 2 * kSizingBorder;
    const int outer_height = client_height + 2 * kSizingBorder + kCaptionHeight;
    const int x = mdi_client_width - 10 * n - outer_width + 65;
    const int y = 10 * n - 55;
    return {x, y, x + outer_width, y + outer_height};
}

int create_text_window(int n, int line_capacity, int rows, int columns) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !platform::is_text_window(n)) return -1;
    WindowRecord& r = g_windows.windows[n];
    r.in_use = 0;
    if (!ui->window_exists(n) && ui->create_window(n, " ", text_window_handler()) != 0) return -1;
    const FontMetricsCell font = fixed_font(n);
    int width = 0;
    int height = 0;
    text_window_size(20, 8, &width, &height);
    r.min_width = width;
    r.min_height = height;
    r.max_width = ui->screen_size().width;
    r.max_height = ui->screen_size().height + kCaptionHeight;
    const int result = textarea_create(n, n, font, line_capacity, rows, columns);
    if (result != 0) return result;
    r.in_use = ui->window_visible(n) ? 1 : 0;
    // Window 1 is the one text window that is always there: it starts without Close.
    if (n == platform::kWindowText1) ui->set_close_enabled(n, false);
    return 0;
}

int create_sheet_window(int line_capacity, int rows, int columns) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return -1;
    WindowRecord& r = g_windows.windows[platform::kWindowSpreadsheet];
    r.in_use = 0;
    if (!ui->window_exists(platform::kWindowSpreadsheet) &&
        ui->create_window(platform::kWindowSpreadsheet, " ", text_window_handler()) != 0) {
        return -1;
    }
    const FontMetricsCell font = fixed_font(platform::kWindowSpreadsheet);
    const int result = textarea_create(platform::kWindowSpreadsheet, kSheetArea, font,
                                       line_capacity, rows, columns);
    if (result != 0) return result;
    // The sheet is at least 80 columns wide; a sheet with longer lines widens it to fit them
    // (fit_spreadsheet_to_lines).
    const int width = kScrollBarWidth + 80 * font.char_width + 8 + 2 * kSizingBorder;
    r.min_width = width;
    r.max_width = std::max(width, ui->screen_size().width);
    r.min_height =
        kSheetStripHeight + 2 * (font.char_height + 7) + 2 * kSizingBorder + kCaptionHeight;
    r.max_height = ui->screen_size().height + kCaptionHeight;
    ui->set_size_limits(platform::kWindowSpreadsheet, {r.min_width, r.min_height},
                        {r.max_width, r.max_height});
    ui->show_window(platform::kWindowSpreadsheet, false);
    return 0;
}

void set_control_window_handler(platform::WindowHandler* handler) {
    g_windows.control_forwarder.target = handler;
}

int create_control_window() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return -1;
    WindowRecord& r = g_windows.windows[platform::kWindowControl];
    r.in_use = 0;
    if (!ui->window_exists(platform::kWindowControl) &&
        ui->create_window(platform::kWindowControl, msg_text(kMsgControlWindowTitle),
                          &g_windows.control_forwarder) != 0) {
        return -1;
    }
    const platform::Size screen = ui->screen_size();
    r.min_width = 200;
    r.min_height = 150;
    r.max_width = screen.width;
    r.max_height = screen.height;
    ui->set_size_limits(platform::kWindowControl, {r.min_width, r.min_height},
                        {r.max_width, r.max_height});
    if (r.width <= 0 || r.height <= 0) {
        r.x = screen.width / 2;
        r.y = 10;
        r.width = screen.width / 2 - 10;
        r.height = (screen.height + kCaptionHeight) / 2 - 20;
    }
    ui->set_window_rect(platform::kWindowControl,
                        placement_on_screen(r.x, r.y, r.width, r.height, screen));
    ui->show_window(platform::kWindowControl, false);
    return 0;
}

int textwin_close(int n) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return 0;
    if (n == 0) n = current_output_area();
    if (!platform::is_text_window(n) || !open(n)) return 0;
    const int other = other_text_window(n);
    if (!open(other)) return kMsgLastTextWindow;
    ui->show_window(n, false);
    g_windows.windows[n].in_use = 0;
    if (textarea(n) != nullptr) textarea_clear(n, 0);
    ui->clear_text(n);
    g_windows.windows[n].title[0] = '\0';
    ui->set_window_title(n, " ");
    if (current_output_area() == n) {
        set_current_output_area(other);
        set_current_text_window(other);
        set_output_window(other);
        text_sync_window();
    }
    // The one left open cannot be closed.
    ui->set_close_enabled(other, false);
    if (textarea(other) != nullptr) textarea_update_scrollbar(other);
    return 0;
}

int textwin_select(int n, int columns, int lines) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return 0;
    const int now = current_output_area();
    if (n == 0) n = other_text_window(now);
    if (!platform::is_text_window(n)) return 0;
    // The text areas and the text output each keep a current window: both must name n.
    if (n != now || current_text_window() != n) {
        set_current_output_area(n);
        set_current_text_window(n);
        set_output_window(n);
        text_sync_window();
        textarea_mark_new_page();
    }
    if (columns > 0 && lines > 0 && ui->window_exists(n)) {
        int width = 0;
        int height = 0;
        text_window_size(columns, lines, &width, &height);
        const platform::Rect rect = ui->window_rect(n);
        ui->set_window_rect(n, {rect.left, rect.top, rect.left + width + 2 * kSizingBorder,
                                rect.top + height + 2 * kSizingBorder + kCaptionHeight});
    }
    int result = n;
    if (!open(n)) {
        if (!ui->window_exists(n)) {
            if (create_text_window(n, 1999, 10, 128) != 0) return 0;
        }
        ui->show_window(n, true);
        g_windows.windows[n].in_use = 1;
        output_rows_advance(-1, -1, 0.0);
        int shown = 0;
        for (int w = 1; w < platform::kWindowCount; ++w) shown += open(w) ? 1 : 0;
        if (shown > 1) {
            for (int w = 1; w <= 2; ++w) {
                if (open(w)) ui->set_close_enabled(w, true);
            }
        }
        result = 0;
    }
    const TextArea* a = textarea(n);
    if (a != nullptr && a->line_count > 0) {
        set_state_flag(kFlagTextWindowLines);
    } else {
        clear_state_flag(kFlagTextWindowLines);
    }
    return result;
}

void textwin_clear() {
    const int n = current_output_area();
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(n)) return;
    if (textarea(n) != nullptr) textarea_clear(n, 0);
    ui->clear_text(n);
    output_rows_advance(-1, -1, 0.0);
    clear_state_flag(kFlagTextWindowLines);
}

void textwin_set_title(const char* text) {
    const int n = current_output_area();
    std::snprintf(g_windows.windows[n].title, sizeof g_windows.windows[n].title, "%s",
                  text != nullptr ? text : "");
    if (platform::UiBackend* ui = ui_or_null(); ui != nullptr && ui->window_exists(n)) {
        ui->set_window_title(
            n, g_windows.windows[n].title[0] != '\0' ? g_windows.windows[n].title : " ");
    }
}

bool place_frame() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(platform::kWindowFrame)) return false;
    const WindowRecord& r = g_windows.windows[platform::kWindowFrame];
    const platform::Size screen = ui->screen_size();
    const bool fits = r.width > 0 && r.height > 0 && r.width <= screen.width &&
                      r.height <= screen.height + kCaptionHeight;
    if (fits) {
        ui->set_window_maximised(platform::kWindowFrame, false);
        ui->set_window_rect(platform::kWindowFrame,
                            placement_on_screen(r.x, r.y, r.width, r.height, screen));
        return true;
    }
    const int height = (screen.height + kCaptionHeight) * 9 / 10;
    ui->set_window_rect(platform::kWindowFrame, {0, 0, screen.width, height});
    ui->set_window_maximised(platform::kWindowFrame, true);
    return false;
}

void load_window_placements() {
    for (int n = 0; n < platform::kWindowCount; ++n) {
        set_window_placement(
            n, get_setting_int(kSetWindowGeometry, n, 0), get_setting_int(kSetWindowGeometry, n, 1),
            get_setting_int(kSetWindowGeometry, n, 2), get_setting_int(kSetWindowGeometry, n, 3));
    }
}

void store_window_placements() {
    for (int n = 0; n < platform::kWindowCount; ++n) {
        int v[4] = {};
        get_window_placement(n, &v[0], &v[1], &v[2], &v[3]);
        for (int k = 0; k < 4; ++k) set_setting_int(kSetWindowGeometry, v[k], n, k);
    }
}

void reset_window_table() {
    for (WindowRecord& r : g_windows.windows) r = WindowRecord{};
    g_windows.sheet_sizing = SheetSizing{};
    g_windows.scratch = WindowRecord{};
}

int resize_spreadsheet_window(int rows, int mode) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(platform::kWindowSpreadsheet)) return -1;
    g_windows.sheet_sizing.mode = mode;
    const platform::Rect now = ui->window_rect(platform::kWindowSpreadsheet);
    int width = 0;
    int height = 0;
    if ((mode == 1 && !rect_empty(g_windows.sheet_sizing.stored)) || (mode != 0 && mode != 1)) {
        width = g_windows.sheet_sizing.stored.right - g_windows.sheet_sizing.stored.left;
        height = g_windows.sheet_sizing.stored.bottom - g_windows.sheet_sizing.stored.top;
    }
    if (width <= 0 || height <= 0) {
        // The strip, then the header rows and the sheet's rows one under the other, as the text
        // area lays them out, and the horizontal scroll bar below.
        const TextArea* a = textarea(kSheetArea);
        const int line = a != nullptr ? a->line_height : fixed_font().char_height + 7;
        const int shown = rows > 0 ? rows : 2;
        const int client = kSheetStripHeight + 3 + shown * line + 4 + kScrollBarWidth;
        height = client + kCaptionHeight + 2 * kSizingBorder;
        const int limit = ui->mdi_client_size().height - line;
        if (limit > 0) height = std::min(height, limit);
        width = g_windows.windows[platform::kWindowSpreadsheet].min_width;
    }
    ui->set_window_rect(platform::kWindowSpreadsheet,
                        {now.left, now.top, now.left + width, now.top + height});
    // The sheet's rows follow the new height at once, not only when the window reports it.
    const int inside =
        height - kCaptionHeight - 2 * kSizingBorder - kSheetStripHeight - kScrollBarWidth;
    const int across = width - 2 * kSizingBorder - kScrollBarWidth;
    if (inside > 0 && across > 0) textarea_on_size(kSheetArea, {across, inside});
    ui->activate_window(platform::kWindowSpreadsheet);
    return 0;
}

int show_spreadsheet_window(int rows, int mode) {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr || !ui->window_exists(platform::kWindowSpreadsheet)) return -1;
    set_state_flag(kFlagSpreadsheetShown);
    if (const int rc = resize_spreadsheet_window(rows, mode); rc != 0) return rc;
    ui->show_window(platform::kWindowSpreadsheet, true);
    ui->activate_window(platform::kWindowSpreadsheet);
    return 0;
}

namespace {

int longest_line(const TextArea* a) {
    int longest = 0;
    if (a == nullptr || a->capacity <= 0) return 0;
    for (int k = 0; k < a->line_count; ++k) {
        const char* text = a->line_text((a->first_line + k) % a->capacity);
        longest = std::max(longest, static_cast<int>(std::strlen(text)));
    }
    return longest;
}

}  // namespace

void fit_spreadsheet_to_lines() {
    platform::UiBackend* ui = ui_or_null();
    const TextArea* a = textarea(kSheetArea);
    if (ui == nullptr || a == nullptr || !ui->window_visible(platform::kWindowSpreadsheet) ||
        a->char_width <= 0 || a->surface_width <= 0) {
        return;
    }
    const int columns = std::max(longest_line(a), longest_line(textarea(kHeaderArea)));
    // The lines, their left margin and a few columns to spare (buttons drawn over the text
    // reach past their last character).
    const int wanted = a->left_margin + (columns + 4) * a->char_width;
    // What the rows need below the area's top edge to be seen whole: the area counts a row cut
    // by its lower edge as shown, so a sheet opened at a size another sheet left (or one whose
    // inserted surface pushed the image row down) would keep its last row cut.
    const int short_by = a->top_margin + a->line_count * a->line_height - a->client_height;
    const platform::Rect now = ui->window_rect(platform::kWindowSpreadsheet);
    const platform::Size frame = ui->mdi_client_size();
    platform::Rect r = now;
    if (wanted > a->surface_width) {
        r.right = r.left + (now.right - now.left) + wanted - a->surface_width;
        if (frame.width > 0 && r.right - r.left > frame.width) r.right = r.left + frame.width;
        // Moved left as far as the frame needs to show it whole.
        if (frame.width > 0 && r.right > frame.width) {
            const int shift = std::min(r.right - frame.width, r.left);
            r.left -= shift;
            r.right -= shift;
        }
    }
    if (a->client_height > 0 && short_by > 0) {
        r.bottom += short_by;
        if (frame.height > 0) r.bottom = std::min(r.bottom, std::max(frame.height, now.bottom));
    }
    // Only ever larger: a sheet that fits, or that the user made larger, keeps its size.
    if (r.right - r.left <= now.right - now.left && r.bottom <= now.bottom) return;
    r.right = std::max(r.right, r.left + (now.right - now.left));
    r.bottom = std::max(r.bottom, now.bottom);
    ui->set_window_rect(platform::kWindowSpreadsheet, r);
}

void hide_spreadsheet_window() {
    clear_state_flag(kFlagSpreadsheetShown);
    // Emptying the sheet selects its area; whatever area was selected before stays selected.
    const int selected = current_textarea_number();
    textarea_clear(kSheetArea, 0);
    textarea_select_area(selected);
    platform::UiBackend* ui = ui_or_null();
    if (ui != nullptr && ui->window_exists(platform::kWindowSpreadsheet)) {
        ui->show_window(platform::kWindowSpreadsheet, false);
    }
    set_output_window(current_text_window());
}

namespace {
const platform::StateReset window_table_state_reset{"ui/window_table", reset_window_table,
                                                    platform::ResetLayer::ui};
}  // namespace
