#include "trace/speed_test.h"

#include <cmath>

#include "lens/lens_data.h"
#include "platform/clock.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"

namespace {

constexpr int kSurfaces = 14;
// Pass 1 runs through three surfaces, pass 2 through thirteen; the rate is that of pass 2,
// counted as ten surfaces per ray, as the figure has always been given.
constexpr int kFirstPassSurfaces = 3;
constexpr int kSecondPassSurfaces = 13;
constexpr int kCountedSurfaces = 10;
constexpr int kErrorFormatKind = 7;
constexpr int kErrorFormatMode = 1;

// Curvature, thickness from the surface before, and index in front of each surface 1..14.
struct TestSurface {
    double c, t, n;
};
constexpr TestSurface kLens[kSurfaces] = {
    {0.01, 0.0, 1.0}, {-0.01, 1.0, 1.523}, {0.01, 0.1, 1.0}, {-0.01, 1.0, 1.523},
    {0.01, 0.1, 1.0}, {-0.01, 1.0, 1.523}, {0.01, 0.1, 1.0}, {-0.01, 1.0, 1.523},
    {0.01, 0.1, 1.0}, {-0.01, 1.0, 1.523}, {0.01, 0.1, 1.0}, {-0.01, 1.0, 1.523},
    {0.0, 0.1, 1.0},  {0.0, 1.0, 1.0}};
constexpr double kIndexBehind = 1.0;

// n^2 c, and the step of n^2 across each surface: each surface then costs two square roots and
// one division.
struct PreparedSurface {
    double c, t, cn, dn;
};

struct PreparedLens {
    PreparedSurface s[kSurfaces];
};

PreparedLens prepare_speed_test_lens() {
    PreparedLens p{};
    for (int i = 0; i < kSurfaces; ++i) {
        const double n = kLens[i].n;
        const double next = i + 1 < kSurfaces ? kLens[i + 1].n : kIndexBehind;
        p.s[i] = {kLens[i].c, kLens[i].t, n * n * kLens[i].c, next * next - n * n};
    }
    return p;
}

// A ray from an object point 1e20 before surface 1 at height -1e18, aimed at (10a, 10b) on the
// plane of surface 1.
inline SpeedTestRay start_speed_test_ray(double a, double b) {
    SpeedTestRay r;
    r.x = 10.0 * a;
    r.y = 10.0 * b;
    r.z = 0.0;
    const double p = -r.x / kInfiniteDistance, q = (r.y + 1e18) / kInfiniteDistance;
    const double s = 1.0 / std::sqrt(1.0 + p * p + q * q);
    r.m = s;
    r.l = s * q;
    r.k = -s * p;
    return r;
}

inline void speed_test_step(const PreparedSurface& s, SpeedTestRay& r) {
    r.z -= s.t;
    const double B = r.m - (r.m * r.z + r.k * r.x + r.l * r.y) * s.c;
    const double C = (r.z * r.z + r.x * r.x + r.y * r.y) * s.c - 2.0 * r.z;
    const double root = std::sqrt(B * B - C * s.cn);
    const double G = std::sqrt(B * B - C * s.cn + s.dn) - root;
    const double h = G * s.c;
    const double t = C / (root + B);
    r.x += r.k * t;
    r.y += r.l * t;
    r.z += r.m * t;
    r.k -= r.x * h;
    r.l -= r.y * h;
    r.m += G - r.z * h;
}

SpeedTestRay run_pass(const PreparedLens& lens, int n, int last) {
    SpeedTestRay r{};
    // The fractions i / n, not a sum of n steps of 1 / n: the last ray is the one at exactly
    // a = b = 1 for every n, so the accuracy check does not drift with the number of rays.
    for (int i = 1; i <= n; ++i) {
        const double a = static_cast<double>(i) / n;
        r = start_speed_test_ray(a, a);
        for (int j = 0; j < last; ++j) speed_test_step(lens.s[j], r);
    }
    return r;
}

}  // namespace

SpeedTestRay speed_test_pass(int n, int last) {
    return run_pass(prepare_speed_test_lens(), n, last);
}

int cmd_ray_speed_test() {
    const int n = arg_int(0);
    const PreparedLens lens = prepare_speed_test_lens();
    text_printf("\nNumber of rays is %d\n", n);
    text_printf("START...\n");
    // Nothing to trace or to time for no rays.
    if (n <= 0) return 0;
    run_pass(lens, n, kFirstPassSurfaces);
    const std::uint64_t lap = platform::tick_count_us();
    text_printf("LAP...\n");
    const SpeedTestRay r = run_pass(lens, n, kSecondPassSurfaces);
    const std::uint64_t stop = platform::tick_count_us();
    text_printf("STOP!!!\n");
    const double seconds = static_cast<double>(stop - lap) * 1e-6;
    if (seconds > 0.0) {
        text_printf("Ray-tracing speed is %7.1f surfs/sec\n",
                    static_cast<double>(n) * kCountedSurfaces / seconds);
    } else {
        text_printf("Time too short to measure\n");
    }
    text_printf("\nAccuracy test:\n");
    text_printf("x, y, z = %16.12f %16.12f %16.12f\n", r.x, r.y, r.z);
    text_printf("k, l, m = %16.12f %16.12f %16.12f\n", r.k, r.l, r.m);
    const double error = 1.0 - (r.k * r.k + r.l * r.l + r.m * r.m);
    text_printf("error   = %s\n\n", format_number(error, kErrorFormatKind, kErrorFormatMode));
    return 0;
}

void install_speed_test() {
    set_handler(kSlotRaySpeedTest, cmd_ray_speed_test);
}
