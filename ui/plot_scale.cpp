#include "ui/plot_scale.h"

#include <cmath>

#include "numeric/scale_step.h"
#include "runtime/settings.h"

double plot_scale_step(double value, int mode) {
    const double one_shot = get_setting_double(kSetGraphicsScale, 0, 0);
    double result;
    if (std::fabs(one_shot) >= 1e-40 && mode != 10) {
        result = std::fabs(one_shot);
    } else {
        result = scale_step(value, mode);
        const double minimum = get_setting_double(kSetGraphicsMinimumScale, 0, 0);
        if (minimum > 0.0 && result < minimum) result = minimum;
    }
    set_setting_double(kSetGraphicsCurrentScale, result, 0, 0);
    if (mode != 10) set_setting_double(kSetGraphicsScale, 0.0, 0, 0);
    return result;
}
