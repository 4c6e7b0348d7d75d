#include "lens/surface_tolerances.h"

#include <cmath>

#include "lens/lens_data.h"
#include "numeric/memory.h"

namespace {

ToleranceResultClearer g_clearer = nullptr;

}  // namespace

void reset_surface_tolerances(int n) {
    SurfaceTolerances& t = *surface(n).tolerances;
    t = {};
    for (const int k : {kTolRdt, kTolCct, kTolDzt, kTolCaa, kTolCab}) t.switches[k] = 1;
}

SurfaceTolerances* ensure_surface_tolerances(int n) {
    SurfaceRecord& s = surface(n);
    if (s.tolerances == nullptr) {
        s.tolerances = alloc_array_of<SurfaceTolerances>(1);
        if (s.tolerances == nullptr) return nullptr;
        reset_surface_tolerances(n);
    }
    return s.tolerances;
}

int diameter_class(double semi_diameter) {
    const double d = 2.0 * std::fabs(semi_diameter);
    if (d <= 10.0) return 0;
    if (d <= 30.0) return 1;
    if (d <= 100.0) return 2;
    return 3;
}

void set_tolerance_result_clearer(ToleranceResultClearer clearer) {
    g_clearer = clearer;
}

ToleranceResultClearer tolerance_result_clearer() {
    return g_clearer;
}

void clear_tolerance_result(int value, int surface) {
    if (g_clearer != nullptr) g_clearer(value, surface);
}

void* tolerance_item_address(int n, int value) {
    if (n < 0 || n > surface_limit() || value < 0 || value >= kToleranceCount) return nullptr;
    SurfaceTolerances* t = surface(n).tolerances;
    return t != nullptr ? &t->values[value] : nullptr;
}
