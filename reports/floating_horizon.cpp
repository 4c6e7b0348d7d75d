#include "reports/floating_horizon.h"

#include <cmath>

#include "graphics/draw_primitives.h"

namespace {

constexpr std::int16_t kLowest = -10000;
constexpr double kHighest = 32767.0;

std::int16_t rounded(double y) {
    return static_cast<std::int16_t>(y >= 0.0 ? std::floor(y + 0.5) : -std::floor(0.5 - y));
}

}  // namespace

FloatingHorizon::FloatingHorizon(int slots, double dx)
    : heights_(static_cast<std::size_t>(slots > 0 ? slots : 0), kLowest), dx_(dx) {}

void FloatingHorizon::draw_row(int first_slot, const double* heights, int count, double base) {
    draw_row(first_slot, heights, count, base, RowOptions{});
}

void FloatingHorizon::draw_row(int first_slot, const double* heights, int count, double base,
                               const RowOptions& options) {
    if (count < 1 || first_slot < 0 || first_slot + count > slots()) return;
    // The pen's path is gathered as runs of points drawn to, each started by a move: a run goes
    // to the drawing primitives in one call.
    run_x_.clear();
    run_y_.clear();
    auto draw_to = [&](double x, double y) {
        run_x_.push_back(x);
        run_y_.push_back(y);
    };
    auto move_to = [&](double x, double y) {
        draw_run();
        gfx_move_to(x, y);
    };
    gfx_move_to(first_slot * dx_, base);
    bool visible = true;
    double y_prev = 0.0;
    double h_prev = 0.0;  // the previous column's height before this row raised it
    for (int i = 0; i < count; ++i) {
        const int k = first_slot + i;
        const double x = k * dx_;
        const double y = heights[i];
        const double h = heights_[static_cast<std::size_t>(k)];
        const bool forced = i == 0 && options.first_is_move;
        if (forced || (y < h && visible) || (y > h && !visible)) {
            visible = forced ? false : !visible;
            if (i > 0) {
                // Where the row crosses the horizon between the previous column and this one:
                // going behind it, against the previous column's height before this row raised
                // it; coming out, against its height now (a hidden sample raised nothing, the
                // first sample of a row that starts with a move may have).
                if (visible) h_prev = heights_[static_cast<std::size_t>(k - 1)];
                const double denominator = (y - y_prev) - h + h_prev;
                const double t = denominator == 0.0 ? 0.0 : (h_prev - y_prev) * dx_ / denominator;
                const double cx = x - dx_ + t;
                const double cy = y_prev + (y - y_prev) * t / dx_;
                if (visible) {
                    move_to(cx, cy);
                } else {
                    draw_to(cx, cy);
                }
            }
        }
        if (y > h && y <= kHighest) heights_[static_cast<std::size_t>(k)] = rounded(y);
        h_prev = h;
        if (visible) draw_to(x, y);
        y_prev = y;
    }
    if (options.reset_tail) {
        const std::int16_t b = rounded(base);
        for (int k = first_slot + count; k < slots(); ++k)
            heights_[static_cast<std::size_t>(k)] = b;
    }
    draw_to((first_slot + count - 1) * dx_, base);
    draw_run();
}

void FloatingHorizon::draw_run() {
    gfx_draw_through(run_x_.data(), run_y_.data(), static_cast<int>(run_x_.size()));
    run_x_.clear();
    run_y_.clear();
}
