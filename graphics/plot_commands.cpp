#include "graphics/plot_commands.h"

#include <algorithm>
#include <vector>

#include "graphics/contour_plot.h"
#include "graphics/graphics_spline.h"
#include "lens/lens_items.h"
#include "numeric/cubic_spline.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "tables/table_names.h"

namespace {

struct StoredSpline {
    std::vector<double> x, y, y2;
};
StoredSpline stored;

// A double array argument: its data, rows and columns (0 for a one-dimensional array).
struct DoubleArray {
    double* data = nullptr;
    int rows = 0;
    int columns = 0;
    long count() const { return static_cast<long>(rows) * (columns > 0 ? columns : 1); }
};

bool double_array(int i, DoubleArray* a) {
    const ArgShape* s = arg_shape(i);
    const ArgCell* c = arg_cell(i);
    if (s == nullptr || c == nullptr || s->type != kArgDouble || s->dim1 <= 0 ||
        c->value.text == nullptr) {
        return false;
    }
    a->data = reinterpret_cast<double*>(c->value.text);
    a->rows = s->dim1;
    a->columns = s->dim2;
    return true;
}

// Copies of the first n points of the x and y tables, and their second derivatives with
// natural ends. 0 or the failure's message number.
int fit(int n, StoredSpline* s) {
    const double* x = scratch_array(4);
    const double* y = scratch_array(5);
    if (x == nullptr || y == nullptr || n < 2 || n > kSplinePointLimit) {
        return set_error_msg(kMsgBadFitTable);
    }
    s->x.assign(x, x + n);
    s->y.assign(y, y + n);
    s->y2.assign(static_cast<std::size_t>(n), 0.0);
    return spline_coefficients(s->x.data(), s->y.data(), n, kSplineNoSlope, kSplineNoSlope,
                               s->y2.data());
}

}  // namespace

int cmd_contour_plot() {
    DoubleArray table;
    if (!double_array(3, &table) || table.columns <= 0) {
        return set_error_msg(kMsgArrayShapes);
    }
    ContourOptions options;
    options.level_count = arg_int(4);
    options.low = arg_double(5);
    options.high = arg_double(6);
    options.logarithmic = arg_int(1) != 0;
    options.styles = arg_int(2) != 0;
    const int option = arg_int(8);
    options.legend = option != -1;
    options.title_message = option != -1 ? option : 0;
    if (arg_int(0) != 0) {
        DoubleArray levels;
        if (!double_array(7, &levels)) return set_error_msg(kMsgArrayShapes);
        options.level_count =
            static_cast<int>(std::min<long>(std::max(options.level_count, 0), levels.count()));
        if (options.level_count <= 0) return set_error_msg(kMsgArrayShapes);
        options.levels = levels.data;
    }
    std::vector<const double*> rows(static_cast<std::size_t>(table.rows));
    for (int i = 0; i < table.rows; ++i) {
        rows[static_cast<std::size_t>(i)] = table.data + static_cast<long>(i) * table.columns;
    }
    return contour_plot(rows.data(), table.rows, table.columns, options);
}

int cmd_spline() {
    switch (current_command()) {
        case kCmdSplinePlot: {
            StoredSpline s;
            if (const int r = fit(arg_int(0), &s); r != 0) return r;
            return plot_spline(s.x.data(), s.y.data(), s.y2.data(), static_cast<int>(s.x.size()),
                               arg_int(1), arg_int(2));
        }
        case kCmdSplineFit: {
            StoredSpline s;
            if (const int r = fit(arg_int(0), &s); r != 0) return r;
            stored = std::move(s);
            return 0;
        }
        case kCmdSplineValue: {
            if (stored.x.empty()) return set_error_msg(kMsgNoFit);
            double value = 0;
            if (const int r = spline_eval(stored.x.data(), stored.y.data(), stored.y2.data(),
                                          static_cast<int>(stored.x.size()), arg_double(0), &value);
                r != 0) {
                return set_error_msg(r);
            }
            set_double_result(value);
            return 0;
        }
        default:
            return 0;
    }
}

void clear_stored_spline() {
    stored = StoredSpline{};
}

void install_plot_commands() {
    set_handler(kSlotContourPlot, cmd_contour_plot);
    set_handler(kSlotSpline, cmd_spline);
}

namespace {
void reset_plot_commands() {
    stored = StoredSpline{};
}
const platform::StateReset plot_commands_state_reset{"graphics/plot_commands", reset_plot_commands,
                                                     platform::ResetLayer::graphics};
}  // namespace
