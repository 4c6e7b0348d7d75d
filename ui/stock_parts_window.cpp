#include "ui/stock_parts_window.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/messages.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"
#include "ui/draw_primitives.h"
#include "ui/graphics_replay.h"
#include "ui/graphics_text_window.h"
#include "ui/graphics_window.h"
#include "ui/text_area.h"

namespace {

constexpr int kProfilePoints = 31;
bool g_showing = false;

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

std::string format_value(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%10.3f", value);
    return text;
}

// A choice among buttons: the chosen one in brackets.
std::string buttons(const int (&messages)[3], const int (&values)[3], int chosen) {
    std::string line;
    for (int k = 0; k < 3; ++k) {
        const bool on = values[k] == chosen;
        line += on ? "[" : " ";
        line += message(messages[k]);
        line += on ? "]" : " ";
        line += ' ';
    }
    return line;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The panel's lines, in the order of its controls.
std::vector<std::string> panel_lines() {
    const StockSelection& s = stock_selection();
    const StockLensPart* part = stock_part(s.selected);
    std::vector<std::string> lines;
    lines.push_back("Lens Types:  " + buttons({-298, -299, -300},
                                              {kStockPositive, kStockNegative, kStockCemented},
                                              s.type));
    lines.push_back("Sort By:     " +
                    buttons({-301, -302, -303},
                            {kStockSortEfl, kStockSortDiameter, kStockSortDirectory}, s.sort));
    lines.push_back("Central Efl: " + format_value(s.efl_centre / 1000.0) +
                    "   +/- Range: " + format_value(s.efl_range / 1000.0));
    lines.push_back("Central Dia: " + format_value(s.diameter_centre / 1000.0) +
                    "   +/- Range: " + format_value(s.diameter_range / 1000.0));
    const std::string name = upper(lens_catalog_name());
    char catalog[24];
    if (name.size() <= 7) {
        std::snprintf(catalog, sizeof catalog, "  %-9s", name.c_str());
    } else if (name.size() <= 9) {
        std::snprintf(catalog, sizeof catalog, " %-10s", name.c_str());
    } else {
        std::snprintf(catalog, sizeof catalog, "%-11.11s", name.c_str());
    }
    char part_name[16];
    std::snprintf(part_name, sizeof part_name, " %-10s", part != nullptr ? part->name : "");
    lines.push_back(std::string("Catalog:") + catalog + "   Part Name: " + part_name);
    return lines;
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
    write_area(kGridTextArea, panel_lines());
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
        default:
            return false;  // Help as for any other owner
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
        FrameSpec world{centre - h * aspect, centre + h * aspect, -h, h, 0};
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
    if (!g_showing) {
        g_showing = true;
        ui->set_window_title(w, message(kMsgStockPartsTitle));
        ui->show_window(w, true);
        set_list_selection_callback(on_list);
        set_window16_owner(on_button);
    }
    show_list();
    show_part();
}

void close_stock_parts_window() {
    if (!g_showing) return;
    g_showing = false;
    set_list_selection_callback(nullptr);
    set_window16_owner(nullptr);
    set_window16_label(nullptr);
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
