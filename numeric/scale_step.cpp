#include "numeric/scale_step.h"

#include <cmath>

double scale_step(double value, int mode) {
    double m = std::fabs(value);
    // Written so that a NaN is taken as the smallest value rather than looping.
    if (!(m >= 1e-40)) m = 1e-40;
    if (std::isinf(m)) m = 1e300;
    int p = 0;
    while (m <= 1.0) {
        m *= 10.0;
        --p;
    }
    while (m > 10.0) {
        m /= 10.0;
        ++p;
    }
    double stepped;
    if (mode == 1 || mode == 10) {
        stepped = m <= 2.0 ? 2.0 : m <= 5.0 ? 5.0 : 10.0;
    } else if (mode == 3) {
        stepped = std::floor(m + 0.5);
    } else {
        stepped = std::floor(m);
    }
    return stepped * std::pow(10.0, p);
}
