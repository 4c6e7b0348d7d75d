#include "entry/grin_prepare.h"

#include <cmath>

#include "lens/lens_data.h"

namespace {

constexpr double kTiny = 1e-40;

// How many coefficient rows (radial first, then axial) a kind keeps per wavelength.
int rows_of_kind(int kind) {
    switch (kind) {
        case kGrinArg:
        case kGrinAeg:
        case kGrinSns:
        case kGrinTap:
            return 8;
        case kGrinWod:
        case kGrinMxf:
        case kGrinLbg:
            return 1;
        case kGrinSph:
        case kGrinSel:
            return 4;
        default:
            return 0;
    }
}

bool tiny(double v) {
    return std::fabs(v) < kTiny;
}

void complete_row(double* c, int count, const WavelengthEntry* w) {
    if (std::fabs(c[0]) <= kTiny) return;
    if (count == 2) {
        if (tiny(c[1])) c[1] = c[0];
        return;
    }
    if (tiny(c[1] - c[2]) || tiny(c[1]) || tiny(c[2])) {
        for (int i = 1; i < count; ++i) {
            if (tiny(c[i])) c[i] = c[0];
        }
        return;
    }
    if (count < 4) return;
    const double l2 = w[1].wavelength * w[1].wavelength;
    const double l3 = w[2].wavelength * w[2].wavelength;
    double a = 0.0;
    double b = c[1];
    if (std::fabs(l3 - l2) >= kTiny) {
        a = l2 * l3 * (c[1] - c[2]) / (l3 - l2);
        b = c[1] - (c[1] - c[2]) * l3 / (l3 - l2);
    }
    for (int i = 3; i < count; ++i) {
        if (!tiny(c[i])) continue;
        const double l = w[i].wavelength;
        c[i] = l != 0.0 ? b + a / (l * l) : b;
    }
}

}  // namespace

void prepare_grin_record(int n) {
    if (n < 0 || n > surface_limit()) return;
    const GrinRecord* g = surface(n).grin;
    const LensData& l = lens_data();
    const int count = l.wavelength_count;
    if (g == nullptr || g->coefficients == nullptr || count < 2 || l.wavelengths == nullptr) {
        return;
    }
    const int rows = rows_of_kind(g->kind);
    for (int r = 0; r < rows; ++r) {
        if (g->coefficients[r] != nullptr) complete_row(g->coefficients[r], count, l.wavelengths);
    }
}

void prepare_grin_records() {
    const int image = lens_data().image_surface;
    for (int n = 1; n < image; ++n) {
        if (surface(n).grin != nullptr) prepare_grin_record(n);
    }
}
