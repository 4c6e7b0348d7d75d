#include "ui/plot_scale.h"

#include <cmath>

#include "numeric/scale_step.h"
#include "runtime/settings.h"

namespace {
constexpr double kTiny = 1e-40;
constexpr int kLookOnly = 10;
}  // namespace

double plot_scale_step(double value, int mode) {
    const double one_shot = get_setting_double(kSetGraphicsScale, 0, 0);
    double result;
    if (std::fabs(one_shot) >= kTiny && mode != kLookOnly) {
        result = std::fabs(one_shot);
    } else {
        result = scale_step(value, mode);
        const double floor = get_setting_double(kSetGraphicsMinimumScale, 0, 0);
        if (floor > 0.0 && result < floor) result = floor;
    }
    set_setting_double(kSetGraphicsCurrentScale, result, 0, 0);
    if (mode != kLookOnly) set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
    return result;
}
