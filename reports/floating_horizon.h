// Hidden-line removal for stacked profiles drawn front to back: a floating horizon of 16-bit
// heights, one slot per plot column, hides the parts of a later (farther) row that lie below
// what the nearer rows already drew.
#pragma once

#include <cstdint>
#include <vector>

class FloatingHorizon {
public:
    // slots columns of horizontal spacing dx, every height at -10000 (below every base).
    FloatingHorizon(int slots, double dx);

    // How a row is drawn besides the common rule.
    struct RowOptions {
        // The first sample only moves the pen (it still raises the horizon): drawing starts
        // from the second by the usual rule.
        bool first_is_move = false;
        // The slots past the row are set to the row's base afterwards.
        bool reset_tail = false;
    };

    // Draws one row: sample i stands in column first_slot + i at height heights[i] (plot
    // units, base included); the row starts from its base and ends with a drop to it. Samples
    // above 32767 are drawn but never raise the horizon.
    void draw_row(int first_slot, const double* heights, int count, double base);
    void draw_row(int first_slot, const double* heights, int count, double base,
                  const RowOptions& options);

    int slots() const { return static_cast<int>(heights_.size()); }
    std::int16_t height(int slot) const { return heights_[static_cast<std::size_t>(slot)]; }

private:
    // Draws the points gathered since the last move and forgets them.
    void draw_run();

    std::vector<std::int16_t> heights_;
    double dx_;
    // The row's points drawn to since the pen last moved (kept to reuse their room).
    std::vector<double> run_x_, run_y_;
};
