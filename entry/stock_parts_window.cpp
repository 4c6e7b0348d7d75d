#include "entry/stock_parts_window.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/help_command.h"
#include "runtime/messages.h"
#include "runtime/table_messages.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "ui/graphics_text_window.h"
#include "ui/grid_cells.h"
#include "ui/text_area.h"

namespace {

constexpr int kProfilePoints = 31;

platform::UiBackend* ui_or_null() {
    return platform::current_ui();
}

std::string message(int number) {
    const char* text = msg_text(number);
    return text != nullptr ? text : "";
}

// The row of the selected part in the list, -1 when it is not listed.
int selected_row() {
    const std::vector<int>& rows = stock_rows();
    const auto it = std::find(rows.begin(), rows.end(), stock_selection().selected);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

// The panel's cells. The type and sort buttons carry their own numbers as items, the value
// fields 101-105 theirs; the catalogue field has one of its own.
constexpr int kCatalogField = 106;
constexpr int kTextCell = 0x0800;  // a cell whose value is a text

void button_row(const char* label, const int (&messages)[3], const int (&values)[3], int chosen) {
    write_output_text(label, false);
    for (int k = 0; k < 3; ++k) {
        text_hotspot_msg(values[k], 0, values[k] == chosen ? 1 : 0, messages[k]);
        write_output_text("  ", false);
    }
    text_newline();
}

void value_cell(int field, double value) {
    text_hotspot(field, 0);
    write_output_text(format_number(value, 0, 0), false);
}

void text_cell(int item, const char* text) {
    text_hotspot(item | kTextCell, 0);
    write_output_text(text, false);
}

// The catalogue's name as the panel shows it: wider names take the blanks in front.
std::string catalog_cell_text() {
    const std::string name = upper_text(lens_catalog_name());
    char text[64];
    if (name.size() <= 7) {
        std::snprintf(text, sizeof text, "  %-9s", name.c_str());
    } else if (name.size() <= 9) {
        std::snprintf(text, sizeof text, " %-10s", name.c_str());
    } else {
        std::snprintf(text, sizeof text, "%-11s", name.c_str());
    }
    return text;
}

// The panel, in the order of its controls, written with its cells into the grid area.
void write_panel() {
    const StockSelection& s = stock_selection();
    const StockLensPart* part = stock_part(s.selected);
    button_row("Lens Types:  ", {-298, -299, -300},
               {kStockPositive, kStockNegative, kStockCemented}, s.type);
    button_row("Sort By:     ", {-301, -302, -303},
               {kStockSortEfl, kStockSortDiameter, kStockSortDirectory}, s.sort);
    write_output_text("Central Efl: ", false);
    value_cell(kStockFieldEfl, s.efl_centre / 1000.0);
    write_output_text("   +/- Range: ", false);
    value_cell(kStockFieldEflRange, s.efl_range / 1000.0);
    text_newline();
    write_output_text("Central Dia: ", false);
    value_cell(kStockFieldDiameter, s.diameter_centre / 1000.0);
    write_output_text("   +/- Range: ", false);
    value_cell(kStockFieldDiameterRange, s.diameter_range / 1000.0);
    text_newline();
    write_output_text("Catalog:", false);
    text_cell(kCatalogField, catalog_cell_text().c_str());
    write_output_text("   Part Name: ", false);
    char part_name[16];
    std::snprintf(part_name, sizeof part_name, " %-10s", part != nullptr ? part->name : "");
    text_cell(kStockFieldPartName, part_name);
    text_newline();
}

// Lines written into an area of window 16 directly: the text output keeps its target.
void write_area(int area, const std::vector<std::string>& lines) {
    for (const std::string& l : lines) textarea_append_line(area, 0, l, nullptr);
}

void show_list() {
    const std::vector<int>& rows = stock_rows();
    const int output = output_window();
    const int row = selected_row();
    if (row >= 0) {
        textarea_select_line(static_cast<int>(rows.size()), row);
    } else {
        textarea_clear(kListArea, 0);
    }
    std::vector<std::string> lines;
    for (int part : rows) lines.push_back(stock_row_text(part));
    write_area(kListArea, lines);
    textarea_clear(kGridTextArea, 0);
    set_output_window(kGridTextArea);
    write_panel();
    flush_output_line();
    set_output_window(output);
    // The grid paints its lines when its window is painted, not as they come.
    if (platform::UiBackend* ui = ui_or_null()) ui->invalidate(kGridPane);
}

void show_part() {
    const StockLensPart* part = stock_part(stock_selection().selected);
    std::vector<StockPreviewSurface> surfaces;
    std::string label;
    if (part == nullptr) {
        label = message(kMsgNoStockPart);
    } else {
        const std::string vendor = stock_vendor_name(part->name);
        const FormatArg args[] = {FormatArg(vendor.c_str()), FormatArg(part->name),
                                  FormatArg(part->diameter / 1000.0), FormatArg(part->efl / 1000.0),
                                  FormatArg(part->third / 1000.0)};
        label = format_message(kMsgStockPartLine, std::span<const FormatArg>(args));
        std::string text;
        if (read_stock_part_text(stock_selection().selected, text) == 0) {
            surfaces = stock_part_surfaces(text, part->diameter / 1000.0);
        }
    }
    set_window16_label(label.c_str());
    draw_stock_preview(surfaces, part != nullptr ? part->diameter / 1000.0 : 0.0);
}

int on_list(int kind, int line, const char*) {
    if (kind == kListDoubleClicked) return insert_selected_stock_part();
    if (line != selected_row()) select_stock_row(line);
    return 0;
}

bool on_button(int command) {
    switch (command) {
        case kWindow16OkCommand:
            if (const int r = insert_selected_stock_part(); r != 0) show_error(r);
            return true;
        case kWindow16CancelCommand:
            close_catalog_parts();
            return true;
        case kWindow16HelpCommand:
            // The panel is not a sheet of a command: the strip's own help would find no topic.
            if (const int r = show_help(1, kHelpTopicStockPartsPanel); r != 0) show_error(r);
            return true;
        default:
            return false;
    }
}

// Whether the parts are shown in the text window, and whether their panel's level is open.
struct StockPartsWindowState {
    bool showing = false;
    // The panel's command level: open while the parts show, so that the grid hands it the
    // panel's clicks and entries.
    bool level_open = false;
};

StockPartsWindowState g_parts_window;

double event_number(const GridEvent& e) {
    return e.value_type == kGridValueInt ? e.value.i : e.value.d;
}

std::string event_text(const GridEvent& e) {
    const char* text = e.value.text != nullptr ? e.value.text : e.text;
    std::string t = text != nullptr ? text : "";
    const auto first = t.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return t.substr(first, t.find_last_not_of(' ') - first + 1);
}

int run_line(const std::string& line) {
    const int rc = run_command_string(line.c_str(), 0);
    if (catalog_parts_open()) show_stock_parts_window();
    return rc;
}

// A text entered into a cell of the panel.
int panel_text(int field, const std::string& text) {
    if (field == kStockFieldPartName) {
        if (text.empty()) return 0;
        const int rc = choose_stock_part(text.c_str());
        show_stock_parts_window();
        return rc;
    }
    if (field == kCatalogField) {
        return run_line(text.empty() ? "select_lens_catalog" : "select_lens_catalog " + text);
    }
    return text.empty() ? 0 : run_line(text);
}

// What the grid reports of the panel: a button chosen, a value or a text entered, a line typed,
// the level shown, left or asked whether it may close.
int panel_event(GridEvent& e) {
    const int field = e.field;
    switch (e.code) {
        case kLevelEventShown:
            if (!catalog_parts_open()) {
                end_command_level();
                return 0;
            }
            show_stock_parts_window();
            return 0;
        case kLevelEventChange:
            // Left or escaped: the parts close with their level.
            if (e.argument != 1) {
                g_parts_window.level_open = false;
                close_catalog_parts();
            }
            return 0;
        case kLevelEventMayClose:
            return 1;
        case kLevelEventActivate:
            if (field >= kStockPositive && field <= kStockCemented) {
                set_stock_lens_type(field);
            } else if (field >= kStockSortDirectory && field <= kStockSortDiameter) {
                set_stock_sort_mode(field);
            } else if (field == kCatalogField) {
                return panel_text(field, "");
            } else if (field >= kStockFieldEfl && field <= kStockFieldDiameterRange &&
                       e.value_type != kGridValueText) {
                set_stock_field_value(field, event_number(e));
            } else if (field == kStockFieldPartName) {
                const StockLensPart* part = stock_part(stock_selection().selected);
                const std::string text = event_text(e);
                if (part != nullptr && upper_text(text) == part->name) return 0;
                return panel_text(field, text);
            } else {
                return 0;
            }
            show_stock_parts_window();
            return 0;
        case kLevelEventEdited:
            if (field == kStockFieldPartName || field == kCatalogField) {
                return panel_text(field, event_text(e));
            }
            if (field >= kStockFieldEfl && field <= kStockFieldDiameterRange) {
                set_stock_field_value(field, event_number(e));
                show_stock_parts_window();
            }
            return 0;
        case kLevelEventTypedText:
            // A line typed while a button is the current cell is a line like any other.
            return panel_text(field == kStockFieldPartName || field == kCatalogField ? field : 0,
                              event_text(e));
        case kLevelEventTypedLine:
            return panel_text(0, event_text(e));
        default:
            return 0;
    }
}

}  // namespace

double stock_preview_half_height(double diameter) {
    if (diameter <= 10) return 5.4;
    if (diameter <= 30) return 16.2;
    if (diameter <= 90) return 48.6;
    return 80.0;
}

double stock_preview_sag(double c, double y) {
    const double root = 1.0 - c * c * y * y;
    if (root < 0) return std::fabs(std::fabs(c * y) - 1.0) <= 1e-10 ? 1.0 / c : 0.0;
    return c * y * y / (1.0 + std::sqrt(root));
}

void stock_preview_profile(const StockPreviewSurface& s, double z, std::vector<double>& xs,
                           std::vector<double>& ys) {
    xs.clear();
    ys.clear();
    for (int k = 0; k < kProfilePoints; ++k) {
        const double y = -s.aperture + 2.0 * s.aperture * k / (kProfilePoints - 1);
        xs.push_back(z + stock_preview_sag(s.curvature, y));
        ys.push_back(y);
    }
}

void draw_stock_preview(const std::vector<StockPreviewSurface>& surfaces, double diameter) {
    const int previous = graphics_current();
    if (graphwin_select(kGraphicsPaneRecord) == nullptr) return;
    graphwin_new_page(0);
    if (!surfaces.empty()) {
        std::vector<double> z(surfaces.size(), 0.0);
        for (std::size_t j = 1; j < surfaces.size(); ++j)
            z[j] = z[j - 1] + surfaces[j - 1].thickness;
        // The frame is as high as the diameter asks and as wide as the pane's shape makes it,
        // centred on the part.
        const double h = stock_preview_half_height(diameter);
        int width = 0;
        int height = 0;
        graphwin_get_size(&width, &height);
        const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
        const double centre = z.back() / 2;
        FrameBox world{centre - h * aspect, centre + h * aspect, -h, h, 0};
        gfx_frame(1, 2, &world);
        // Blue shows on the pane's white as on a black background.
        gfx_set_color(3);
        gfx_frame_box();
        gfx_set_line_style(2);
        gfx_move_to(world.xmin, 0);
        gfx_draw_to(world.xmax, 0);
        gfx_set_line_style(0);
        gfx_move_to(world.xmin + 0.05 * h, world.ymax - 0.12 * h);
        gfx_print_msg(kMsgStockPreviewLabel);
        std::vector<double> xs;
        std::vector<double> ys;
        for (std::size_t j = 0; j < surfaces.size(); ++j) {
            stock_preview_profile(surfaces[j], z[j], xs, ys);
            gfx_polyline(xs.data(), ys.data(), static_cast<int>(xs.size()), 0);
            if (!surfaces[j].glass || j + 1 >= surfaces.size()) continue;
            // The edges of the glass behind this surface, at both apertures.
            const StockPreviewSurface& a = surfaces[j];
            const StockPreviewSurface& b = surfaces[j + 1];
            for (const double sign : {1.0, -1.0}) {
                gfx_move_to(z[j] + stock_preview_sag(a.curvature, a.aperture), sign * a.aperture);
                gfx_draw_to(z[j + 1] + stock_preview_sag(b.curvature, b.aperture),
                            sign * b.aperture);
            }
        }
    }
    flush_pending_polyline();
    graphwin_refresh(1);
    if (previous != 0 && previous != kGraphicsPaneRecord) graphwin_select(previous);
}

void show_stock_parts_window() {
    platform::UiBackend* ui = ui_or_null();
    if (ui == nullptr) return;
    constexpr int w = platform::kWindowGraphicsText;
    if (!ui->window_exists(w) && create_graphics_text_window(nullptr) != 0) return;
    if (!ui->window_exists(kListPane)) return;  // a backend without panes: text only
    if (!g_parts_window.showing) {
        g_parts_window.showing = true;
        ui->set_window_title(w, message(kMsgStockPartsTitle));
        ui->show_window(w, true);
        set_list_selection_callback(on_list);
        set_window16_owner(on_button);
        if (!g_parts_window.level_open && push_command_level(panel_event, 0, 0) == 0)
            g_parts_window.level_open = true;
    }
    show_list();
    show_part();
}

void close_stock_parts_window() {
    if (!g_parts_window.showing) return;
    g_parts_window.showing = false;
    set_list_selection_callback(nullptr);
    set_window16_owner(nullptr);
    set_window16_label(nullptr);
    if (g_parts_window.level_open) {
        g_parts_window.level_open = false;
        // A level still being pushed closes itself when it is first shown.
        if (top_level() != nullptr && top_level()->handler == panel_event) end_command_level();
    }
    if (platform::UiBackend* ui = ui_or_null()) {
        ui->show_window(platform::kWindowGraphicsText, false);
    }
}

StockPartsView stock_parts_window_view() {
    StockPartsView view;
    view.show = show_stock_parts_window;
    view.close = close_stock_parts_window;
    return view;
}

namespace {
void reset_stock_parts_window() {
    g_parts_window.showing = false;
    g_parts_window.level_open = false;
}
const platform::StateReset stock_parts_window_state_reset{
    "entry/stock_parts_window", reset_stock_parts_window, platform::ResetLayer::feature};
}  // namespace
