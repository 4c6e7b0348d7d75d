#include "graphics/graphics_spline.h"

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "numeric/cubic_spline.h"
#include "runtime/messages.h"

namespace {

void draw_point(double abscissa, double value, bool exchange, bool first) {
    const double px = exchange ? value : abscissa;
    const double py = exchange ? abscissa : value;
    if (first) {
        gfx_move_to(px, py);
    } else {
        gfx_draw_to(px, py);
    }
}

}  // namespace

int plot_spline(const double* x, const double* y, const double* y2, int n, int steps,
                int exchange) {
    if (n < 1 || x == nullptr || y == nullptr || y2 == nullptr) return -193;
    if (steps < 1) return set_error_msg(kMsgSplineSteps);
    const bool swap = exchange != 0;
    draw_point(x[0], y[0], swap, true);
    for (int i = 1; i < n; ++i) {
        const double step = (x[i] - x[i - 1]) / steps;
        // The first interval starts at the point moved to: it is not drawn twice.
        for (int j = i == 1 ? 1 : 0; j < steps; ++j) {
            const double a = x[i - 1] + j * step;
            draw_point(a, spline_eval_interval(x, y, y2, i - 1, a), swap, false);
        }
    }
    draw_point(x[n - 1], y[n - 1], swap, false);
    graphwin_refresh(0);
    return 0;
}
