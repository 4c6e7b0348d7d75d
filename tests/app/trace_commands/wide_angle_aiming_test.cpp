// Wide-angle aiming typed in a fresh session: a 40 degree lens whose stop is a plane between a
// negative meniscus and a positive singlet, entered with "RAIM Wrm". The chief ray the program
// traces is checked against a meridional trace written here, which finds the ray from the field
// direction that meets the centre of the stop.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "tests/entry/entry_fixture.h"

namespace {

constexpr double kDegree = M_PI / 180.0;
constexpr double kFieldAngle = 40.0;
constexpr int kStop = 3;
constexpr int kLastLensSurface = 5;

std::vector<std::string> wide_lens(const char* aiming) {
    return {"LEN NEW \"Wide\"", "EBR 1",          "ANG 40", aiming, "NXT",
            "SRF 20 1.5 N-BK7", "SRF 6 8 AIR",    "AST",    "TH 6", "NXT",
            "SRF 40 4 N-BK7",   "SRF -12 30 AIR", "PY 0",   "NXT",  "END"};
}

// A meridional ray: height y, axial z in the frame of the surface it last met, direction (l, m).
struct Meridional {
    double y, z, l, m;
    bool ok = true;
};

// From the tangent plane of surface 1, at height h, in the direction u from the axis, through
// surfaces 1 .. last of the lens as entered (curvatures, thicknesses and the indices at the
// first wavelength). The heights at each surface go into heights.
Meridional trace_meridional(double h, double u, int last, std::vector<double>* heights) {
    Meridional r{h, 0.0, std::sin(u), std::cos(u)};
    double n_before = 1.0;
    for (int j = 1; j <= last && r.ok; ++j) {
        if (j > 1) r.z -= surface(j - 1).thickness;
        const double c = surface(j).curvature;
        // The sphere c (y^2 + z^2) - 2 z = 0 met from the ray's point.
        const double f = c * (r.y * r.y + r.z * r.z) - 2.0 * r.z;
        const double g = r.m - c * (r.l * r.y + r.m * r.z);
        const double d = g * g - c * f;
        if (d < 0.0) {
            r.ok = false;
            break;
        }
        const double t = f / (g + std::sqrt(d));
        r.y += t * r.l;
        r.z += t * r.m;
        if (heights != nullptr) heights->push_back(r.y);
        const double ny = -c * r.y, nz = 1.0 - c * r.z;
        const double n_after = surface(j).index[0];
        const double mu = n_before / n_after;
        const double cos_i = r.l * ny + r.m * nz;
        const double q = 1.0 - mu * mu * (1.0 - cos_i * cos_i);
        if (q < 0.0) {
            r.ok = false;
            break;
        }
        const double gamma = std::sqrt(q) - mu * cos_i;
        r.l = mu * r.l + gamma * ny;
        r.m = mu * r.m + gamma * nz;
        n_before = n_after;
    }
    return r;
}

// The heights at surfaces 1 .. kLastLensSurface of the ray from direction u that meets the
// centre of the stop: the height on surface 1's tangent plane found by bisection.
std::vector<double> chief_ray_heights(double u) {
    auto at_stop = [u](double h, bool* ok) {
        const Meridional r = trace_meridional(h, u, kStop, nullptr);
        *ok = r.ok;
        return r.y;
    };
    double lo = 0.0, hi = 0.0;
    bool found = false;
    for (double h = -10.0; h < 10.0 && !found; h += 0.01) {
        bool ok_a = false, ok_b = false;
        const double a = at_stop(h, &ok_a), b = at_stop(h + 0.01, &ok_b);
        if (ok_a && ok_b && a * b <= 0.0) {
            lo = h;
            hi = h + 0.01;
            found = true;
        }
    }
    EXPECT_TRUE(found);
    bool ok = false;
    const double sign_lo = at_stop(lo, &ok) < 0.0 ? -1.0 : 1.0;
    for (int k = 0; k < 200; ++k) {
        const double mid = 0.5 * (lo + hi);
        if ((at_stop(mid, &ok) < 0.0 ? -1.0 : 1.0) == sign_lo) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    std::vector<double> heights;
    trace_meridional(0.5 * (lo + hi), u, kLastLensSurface, &heights);
    return heights;
}

// The Y column of the rows of surfaces 1 .. kLastLensSurface in a ray listing.
std::vector<double> listed_heights(const std::string& text) {
    std::vector<double> heights(kLastLensSurface, std::nan(""));
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        int n = 0;
        std::string y;
        if (!(words >> n >> y) || n < 1 || n > kLastLensSurface) continue;
        heights[n - 1] = y == "--" ? 0.0 : std::stod(y);
    }
    return heights;
}

class WideAngleAiming : public entry_test::Entry {
protected:
    // The reference ray at the field fraction, then its listing: the heights it meets.
    std::vector<double> chief_ray_at(double fraction) {
        const std::string field = std::to_string(fraction);
        EXPECT_EQ(run("trace_ref_ray " + field + " 0 0 0 0"), 0) << error_text();
        take_output();
        EXPECT_EQ(run("trace_pupil_ray 0 0 1 0 0"), 0) << error_text();
        return listed_heights(take_output());
    }
};

// In wide-angle mode the field fraction scales the field angle itself and the chief ray meets
// the centre of the stop; with the central reference ray the fraction scales the tangent. A
// lens set up again in the other mode aims by that mode: nothing of the first stays on.
TEST_F(WideAngleAiming, TheChiefRayComesFromTheFractionOfTheFieldAngleThroughTheStopCentre) {
    const double fraction = 0.74;
    const double aimed = fraction * kFieldAngle * kDegree;
    const double paraxial = std::atan(fraction * std::tan(kFieldAngle * kDegree));
    run_all(wide_lens("RAIM Wrm"));
    ASSERT_EQ(lens_data().aim_mode, kAimWideAngle);
    struct Case {
        const char* mode;
        double direction;
    };
    const Case cases[] = {{"RAIM Wrm", aimed}, {"RAIM Crr", paraxial}, {"RAIM Wrm", aimed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        run_all({"LEN", c.mode, "END"});
        const std::vector<double> listed = chief_ray_at(fraction);
        const std::vector<double> expected = chief_ray_heights(c.direction);
        ASSERT_EQ(expected.size(), static_cast<std::size_t>(kLastLensSurface));
        EXPECT_NEAR(listed[kStop - 1], 0.0, 1e-5);
        for (int j = 0; j < kLastLensSurface; ++j) {
            EXPECT_NEAR(listed[j], expected[j], 1e-5) << "surface " << j + 1;
        }
    }
}

}  // namespace
