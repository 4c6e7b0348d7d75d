#include "trace/aperture_shapes.h"

#include <cmath>

#include "lens/lens_data.h"
#include "trace/trace_tolerances.h"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
// Half widths: widened by one part in a million for the trace's action test.
constexpr double kHalfWidened = 0.5000005;
constexpr double kHalf = 0.5;
constexpr int kStateUnset = -1;

// Inside test of one entry; h is the half-width factor of ellipses and rectangles.
bool inside_entry(const SpecialAperture& e, double x, double y, double h) {
    if (e.shape == kApertureTriangle || e.shape == kApertureQuadrilateral) {
        return point_in_special_polygon(e, x, y) != 0;
    }
    if (e.shape != kApertureEllipse && e.shape != kApertureRectangle) return false;
    const double cx = 0.5 * (e.x[0] + e.x[1]), cy = 0.5 * (e.y[0] + e.y[1]);
    // The box is the same whichever corner is given first.
    const double hx = std::fabs(e.x[1] - e.x[0]) * h, hy = std::fabs(e.y[1] - e.y[0]) * h;
    double u = x - cx, v = y - cy;
    if (e.angle != 0.0) {
        const double th = e.angle * kDegreesToRadians;
        const double ct = std::cos(th), st = std::sin(th);
        const double vr = v * ct - u * st;
        const double ur = v * st + u * ct;
        u = ur;
        v = vr;
    }
    if (e.shape == kApertureRectangle) return -hy <= v && v <= hy && -hx <= u && u <= hx;
    if (hx < kZeroDenominator || hy < kZeroDenominator) return false;
    const double a = v / hy, b = u / hx;
    return a * a + b * b <= 1.0;
}

const SpecialAperture* entries(const SurfaceRecord& s, int& count) {
    count = s.special_apertures != nullptr ? s.special_aperture_count : 0;
    if (count < 0) count = 0;
    return s.special_apertures;
}

}  // namespace

std::uint8_t special_aperture_orientation(const SpecialAperture& e) {
    if (e.shape != kApertureTriangle && e.shape != kApertureQuadrilateral) return 0;
    const double turn =
        (e.y[1] - e.y[0]) * (e.x[2] - e.x[0]) - (e.y[2] - e.y[0]) * (e.x[1] - e.x[0]);
    return turn > 0.0 ? 1 : 0;
}

int point_in_special_polygon(const SpecialAperture& e, double x, double y) {
    const int corners = e.shape == kApertureQuadrilateral ? 4 : 3;
    for (int i = 0; i < corners; ++i) {
        const int j = (i + 1) % corners;
        const double edge = (x - e.x[i]) * (e.y[j] - e.y[i]) - (y - e.y[i]) * (e.x[j] - e.x[i]);
        if (e.convex == 1 ? edge < 0.0 : edge > 0.0) return 0;
    }
    return 1;
}

int check_special_apertures(int n, double x, double y) {
    int count = 0;
    const SpecialAperture* list = entries(surface(n), count);
    int result = kSpecialPass;
    int group = 0;
    for (;;) {
        int state = kStateUnset;
        int next_group = -1;
        for (int i = 0; i < count; ++i) {
            const SpecialAperture& e = list[i];
            if (e.group != group) {
                if (e.group > group && (next_group < 0 || e.group < next_group)) {
                    next_group = e.group;
                }
                continue;
            }
            if (state > 0 && (state == kSpecialObstructed || e.action == kActionClear)) continue;
            if (inside_entry(e, x, y, kHalfWidened)) {
                if (e.action == kActionUntouched) return kSpecialUntouched;
                if (e.action == kActionObstruct) {
                    state = kSpecialObstructed;
                } else if (state == kStateUnset) {
                    state = kSpecialPass;
                }
            } else if (e.action == kActionClear) {
                state = kSpecialOutside;
            } else if (state == kStateUnset) {
                state = kSpecialPass;
            }
        }
        if (state == kSpecialPass) return kSpecialPass;
        if (state > 0 && result != kSpecialObstructed) result = state;
        if (next_group < 0) return result;
        group = next_group;
    }
}

int aperture_hit_test(int n, double x, double y) {
    const SurfaceRecord& s = surface(n);
    if (s.aperture_check) return 0;
    int count = 0;
    const SpecialAperture* list = entries(s, count);
    if (count > 0) {
        for (int i = 0; i < count; ++i) {
            const SpecialAperture& e = list[i];
            if (e.action != kActionClear) continue;
            if (e.group > 0) return 0;
            if (!inside_entry(e, x, y, kHalf)) return -1;
        }
        return 0;
    }
    if (s.aperture_radius <= 0.0) return 0;
    return x * x + y * y <= s.aperture_radius * s.aperture_radius ? 0 : -1;
}
