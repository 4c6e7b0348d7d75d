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
#include "trace/ray_record.h"

namespace {

constexpr double kDegree = M_PI / 180.0;
constexpr double kFieldAngle = 40.0;
constexpr int kStop = 3;
constexpr int kLastLensSurface = 5;

// The front element's lines, a radius, thickness and glass each: a negative meniscus, or a
// plano-convex lens that turns the chief ray so steeply that beyond about 30.8 degrees it is
// reflected totally at its second surface and no chief ray reaches the stop.
const char* const kMeniscus[] = {"SRF 20 1.5 N-BK7", "SRF 6 8 AIR"};
const char* const kPlanoConvex[] = {"SRF 0 3 N-BK7", "SRF -30 6.8 AIR"};

std::vector<std::string> wide_lens(const char* const (&front)[2], const char* aiming) {
    return {"LEN NEW \"Wide\"", "EBR 1",          "ANG 40", aiming, "NXT",
            front[0],           front[1],         "AST",    "TH 6", "NXT",
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

// The height on surface 1's tangent plane of the ray from direction u that meets the centre
// of the stop, found by bisection; false when no ray from that direction reaches the stop on
// both sides of its centre.
bool chief_ray_start(double u, double* start) {
    auto at_stop = [u](double h, bool* ok) {
        const Meridional r = trace_meridional(h, u, kStop, nullptr);
        *ok = r.ok;
        return r.y;
    };
    constexpr double kStep = 0.01;
    double lo = 0.0, hi = 0.0;
    bool found = false;
    for (double h = -10.0; h < 10.0 && !found; h += kStep) {
        bool ok_a = false, ok_b = false;
        const double a = at_stop(h, &ok_a), b = at_stop(h + kStep, &ok_b);
        if (ok_a && ok_b && a * b <= 0.0) {
            lo = h;
            hi = h + kStep;
            found = true;
        }
    }
    if (!found) return false;
    bool ok = false;
    const bool low_negative = at_stop(lo, &ok) < 0.0;
    for (int k = 0; k < 200; ++k) {
        const double mid = 0.5 * (lo + hi);
        if ((at_stop(mid, &ok) < 0.0) == low_negative) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    *start = 0.5 * (lo + hi);
    return true;
}

// The heights at surfaces 1 .. kLastLensSurface of the ray from direction u that meets
// surface 1 at height y1 and sag z1.
std::vector<double> heights_from(double u, double y1, double z1) {
    std::vector<double> heights;
    trace_meridional(y1 - z1 * std::tan(u), u, kLastLensSurface, &heights);
    return heights;
}

// The rows of surfaces 1 .. kLastLensSurface in a ray listing: height Y and sag Z.
struct Listed {
    std::vector<double> y, z;
};
Listed listed_rows(const std::string& text) {
    Listed rows{std::vector<double>(kLastLensSurface, std::nan("")),
                std::vector<double>(kLastLensSurface, std::nan(""))};
    auto value = [](const std::string& word) { return word == "--" ? 0.0 : std::stod(word); };
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        int n = 0;
        std::string y, x, z;
        if (!(words >> n >> y >> x >> z) || n < 1 || n > kLastLensSurface) continue;
        rows.y[n - 1] = value(y);
        rows.z[n - 1] = value(z);
    }
    return rows;
}

class WideAngleAiming : public entry_test::Entry {
protected:
    // The reference ray at the field fraction, then its listing: the points it meets.
    Listed chief_ray_at(double fraction) {
        const std::string field = std::to_string(fraction);
        EXPECT_EQ(run("trace_ref_ray " + field + " 0 0 0 0"), 0) << error_text();
        take_output();
        EXPECT_EQ(run("trace_pupil_ray 0 0 1 0 0"), 0) << error_text();
        return listed_rows(take_output());
    }
    // The listed chief ray is the ray from direction u through the centre of the stop: traced
    // here from its point on surface 1, it meets every surface where the listing says.
    static void expect_chief_ray_from(const Listed& listed, double u) {
        EXPECT_NEAR(listed.y[kStop - 1], 0.0, 1e-5);
        const std::vector<double> traced = heights_from(u, listed.y[0], listed.z[0]);
        ASSERT_EQ(traced.size(), static_cast<std::size_t>(kLastLensSurface));
        for (int j = 0; j < kLastLensSurface; ++j) {
            EXPECT_NEAR(listed.y[j], traced[j], 1e-5) << "surface " << j + 1;
        }
    }
};

// In wide-angle mode the field fraction scales the field angle itself and the chief ray meets
// the centre of the stop; with the central reference ray the fraction scales the tangent. A
// lens set up again in the other mode aims by that mode: nothing of the first stays on.
TEST_F(WideAngleAiming, TheChiefRayComesFromTheFractionOfTheFieldAngleThroughTheStopCentre) {
    const double fraction = 0.74;
    const double aimed = fraction * kFieldAngle * kDegree;
    const double paraxial = std::atan(fraction * std::tan(kFieldAngle * kDegree));
    run_all(wide_lens(kMeniscus, "RAIM Wrm"));
    ASSERT_EQ(lens_data().aim_mode, kAimWideAngle);
    struct Case {
        const char* mode;
        double direction;
    };
    const Case cases[] = {{"RAIM Wrm", aimed}, {"RAIM Crr", paraxial}, {"RAIM Wrm", aimed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        run_all({"LEN", c.mode, "END"});
        double start = 0.0;
        EXPECT_TRUE(chief_ray_start(c.direction, &start));
        expect_chief_ray_from(chief_ray_at(fraction), c.direction);
    }
}

// At 0.74 of 40 degrees the plano-convex lens has a chief ray; at the field the paraxial road
// aims at, atan(0.74 tan 40 degrees), it has none. Wide-angle aiming finds the one there is;
// the central reference ray can only report that its aim did not converge.
TEST_F(WideAngleAiming, AFieldBeyondWhatTheParaxialRoadReachesIsAimed) {
    const double fraction = 0.74;
    const double aimed = fraction * kFieldAngle * kDegree;
    const double paraxial = std::atan(fraction * std::tan(kFieldAngle * kDegree));
    run_all(wide_lens(kPlanoConvex, "RAIM Wrm"));
    double start = 0.0;
    EXPECT_TRUE(chief_ray_start(aimed, &start));
    EXPECT_FALSE(chief_ray_start(paraxial, &start)) << start;
    expect_chief_ray_from(chief_ray_at(fraction), aimed);
    run_all({"LEN", "RAIM Crr", "END"});
    take_output();
    EXPECT_EQ(run("trace_ref_ray " + std::to_string(fraction) + " 0 0 0 0"), kRayFailNoConvergence);
    const std::string failed = take_output();
    EXPECT_NE(failed.find("1.0000e+20"), std::string::npos) << failed;
}

}  // namespace
