// The tolerances a surface takes when the designer gave none: the diameter-class table, inert
// surfaces, the scalar material defaults, the element marks and the element decentre and tilt
// worked out by hand from the wedge of the element's surfaces, and the fringe radii against the
// sag of a sphere.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/surface_tolerances.h"
#include "optimise/lens_elements.h"
#include "optimise/tolerance_defaults.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

constexpr double kMinute = 0.0002908882086657216;  // radians
constexpr double kDegree = 0.017453292519943295;   // radians

std::string number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

class ToleranceDefaults : public Entry {
protected:
    // A lens from its surface lines (radius, thickness, medium, semi-aperture), three
    // wavelengths unless two are asked for.
    void lens(const std::vector<std::string>& surfaces, int wavelengths = 3,
              const char* units = "UNI 1") {
        std::vector<std::string> lines = {"LEN NEW \"Defaults\"", units, "EBR 0.05",
                                          wavelengths == 3 ? "WV 0.48 0.55 0.65" : "WV 0.48 0.55",
                                          "NXT"};
        for (const std::string& s : surfaces) lines.push_back("SRF " + s);
        lines.push_back("END");
        run_all(lines);
        ASSERT_EQ(lens_data().wavelength_count, wavelengths);
        for (int j = 1; j < lens_data().image_surface; ++j) {
            ASSERT_NE(surface(j).index, nullptr) << j;
        }
    }
    std::vector<int> marks() {
        std::vector<int> m(static_cast<size_t>(lens_data().image_surface) + 1, 0);
        find_lens_elements(m.data(), lens_data().image_surface);
        return m;
    }
    // The tolerances of every surface below the image with its defaults filled.
    void fill() {
        std::vector<int> m = marks();
        for (int j = 1; j < lens_data().image_surface; ++j) {
            ASSERT_NE(ensure_surface_tolerances(j), nullptr);
            apply_default_tolerances(j, m.data());
        }
    }
    static const SurfaceTolerances& tol(int j) { return *surface(j).tolerances; }
};

TEST_F(ToleranceDefaults, DiameterClassesAndTheirTable) {
    // Semi-aperture (mm), the angle unit, then SPT, IRT, THT and the tilt in that unit.
    const struct {
        double semi;
        const char* unit;
        double spt, irt, tht, tilt;
    } cases[] = {
        {5.0, "TTUN 0", 5, 1, 0.1, 0.5},
        {5.00005, "TTUN 0", 10, 2, 0.2, 20.0 / 60.0},
        {15.0, "TTUN 0", 10, 2, 0.2, 20.0 / 60.0},
        {15.00005, "TTUN 0", 10, 2, 0.4, 10.0 / 60.0},
        {50.0, "TTUN 0", 10, 2, 0.4, 10.0 / 60.0},
        {50.00005, "TTUN 0", 10, 2, 0.8, 10.0 / 60.0},
        {5.0, "TTUN Rad", 5, 1, 0.1, 0.5 * kDegree},
        {5.0, "TTUN Min", 5, 1, 0.1, 30},
        {5.0, "TTUN Sec", 5, 1, 0.1, 1800},
    };
    for (const auto& c : cases) {
        const std::string ap = number(c.semi);
        lens({"50 5 N-BK7 " + ap, "-50 45 AIR " + ap});
        ASSERT_EQ(surface(1).aperture_radius, c.semi);
        run_all({c.unit});  // a new lens starts in degrees
        fill();
        const SurfaceTolerances& t = tol(1);
        EXPECT_EQ(t.values[kTolSpt], c.spt) << c.semi;
        EXPECT_EQ(t.values[kTolIrt], c.irt) << c.semi;
        EXPECT_DOUBLE_EQ(t.values[kTolTht], c.tht) << c.semi;
        EXPECT_DOUBLE_EQ(t.values[kTolTlt], c.tilt) << c.semi << c.unit;
        EXPECT_DOUBLE_EQ(t.values[kTolTbt], c.tilt) << c.semi << c.unit;
        EXPECT_EQ(t.values[kTolDct], 0.0);
        // Filled values stay defaults: their switches are not turned into given ones.
        EXPECT_EQ(t.switches[kTolSpt], 0);
        EXPECT_EQ(t.switches[kTolTht], 0);
    }
}

TEST_F(ToleranceDefaults, InchLensesClassByMillimetres) {
    // 0.2 in semi-aperture is 10.16 mm across: class 1; the thickness tolerance in inches.
    lens({"2 0.2 N-BK7 0.2", "-2 2 AIR 0.2"}, 3, "UNI 25.4");
    fill();
    EXPECT_EQ(tol(1).values[kTolSpt], 10.0);
    EXPECT_DOUBLE_EQ(tol(1).values[kTolTht], 0.2 / 25.4);
}

TEST_F(ToleranceDefaults, InertSurfacesMaterialsAndGivenValues) {
    // Surface 3 is a plane in air between air: it bends no ray.
    lens({"50 5 N-BK7 5", "-50 10 AIR 5", "0 30 AIR 5"});
    run_all({"LEN", "NXT", "SPT 3", "NXT", "IRT HLD 0.5", "END"});
    fill();
    const SurfaceTolerances& inert = tol(3);
    for (const int k : {kTolSpt, kTolIrt, kTolTlt, kTolTbt, kTolDct, kTolDxt, kTolRnt, kTolVnt}) {
        EXPECT_EQ(inert.values[k], 0.0) << k;
    }
    EXPECT_DOUBLE_EQ(inert.values[kTolTht], 0.1);
    EXPECT_TRUE(surface_is_inert(3));
    EXPECT_FALSE(surface_is_inert(2));
    // Glass after the surface: index and Abbe tolerances; air after it: none.
    EXPECT_EQ(tol(1).values[kTolRnt], 0.001);
    EXPECT_EQ(tol(1).values[kTolVnt], 0.8);
    EXPECT_EQ(tol(2).values[kTolRnt], 0.0);
    EXPECT_EQ(tol(2).values[kTolVnt], 0.0);
    // What the designer gave stays, held or not.
    EXPECT_EQ(tol(1).values[kTolSpt], 3.0);
    EXPECT_EQ(tol(1).switches[kTolSpt], 1);
    EXPECT_EQ(tol(2).values[kTolIrt], 0.5);
    EXPECT_EQ(tol(2).switches[kTolIrt], 2);
}

TEST_F(ToleranceDefaults, NoAbbeToleranceBelowThreeWavelengths) {
    lens({"50 5 N-BK7 5", "-50 45 AIR 5"}, 2);
    fill();
    EXPECT_EQ(tol(1).values[kTolVnt], 0.0);
    EXPECT_EQ(tol(1).values[kTolRnt], 0.001);
}

TEST_F(ToleranceDefaults, ElementMarks) {
    const struct {
        std::vector<std::string> surfaces;
        std::vector<int> marks;  // surfaces 0..image
        int elements;
    } cases[] = {
        {{"50 5 N-BK7 5", "-50 45 AIR 5"}, {0, 1, 3, 0}, 1},
        {{"50 5 N-BK7 5", "-30 2 N-SF5 5", "-80 45 AIR 5"}, {0, 1, 2, 3, 0}, 1},
        {{"50 5 N-BK7 5", "-50 10 AIR 5", "40 4 N-SF5 5", "0 30 AIR 5"}, {0, 1, 3, 1, 3, 0}, 2},
        // Ending in glass: the open element is none.
        {{"50 5 N-BK7 5", "-50 10 AIR 5", "40 4 N-SF5 5", "-40 30 N-BK7 5"}, {0, 1, 3, 0, 0, 0}, 1},
    };
    for (const auto& c : cases) {
        lens(c.surfaces);
        std::vector<int> m(static_cast<size_t>(lens_data().image_surface) + 1, 9);
        EXPECT_EQ(find_lens_elements(m.data(), lens_data().image_surface), c.elements);
        m.back() = 0;  // the image is never marked nor written
        EXPECT_EQ(m, c.marks) << c.surfaces.size();
    }
}

TEST_F(ToleranceDefaults, ElementDecentreAndTilt) {
    // Class-0 apertures tilt each surface by 30 arc minutes: the element decentre is the mean of
    // 0.5 (w + w) / |c1 - c2| over the pairs, and the tilt |c1| times it.
    const double w = 30.0 * kMinute;
    const auto radius_for = [w](double c1, double decentre) {
        return number(1.0 / (c1 - w / decentre));
    };
    const struct {
        std::string r2;
        double decentre;
    } cases[] = {
        {"-50", 0.22},                    // w / 0.04 = 0.2182
        {radius_for(0.02, 0.237), 0.24},  // quantised to 0.01
        {radius_for(0.02, 0.7), 0.5},     // upper limit
        {radius_for(0.02, 0.004), 0.01},  // lower limit
    };
    for (const auto& c : cases) {
        lens({"50 5 N-BK7 5", c.r2 + " 45 AIR 5"});
        EXPECT_NEAR(default_element_decentre(1, 2), c.decentre, 1e-12) << c.r2;
    }
    // 50 / -50: a = w / 0.04, t = 0.02 a = 15 arc minutes.
    lens({"50 5 N-BK7 5", "-50 45 AIR 5"});
    const double tilts[][2] = {{0, 0.25}, {1, 0.0045}, {2, 15}, {3, 900}};
    const char* units[] = {"TTUN 0", "TTUN Rad", "TTUN Min", "TTUN Sec"};
    for (const auto& t : tilts) {
        run_all({units[static_cast<int>(t[0])]});
        EXPECT_NEAR(default_element_tilt(1, 2), t[1], 1e-12) << t[0];
    }
    run_all({"TTUN 0"});
    // Filled into the element's first surface; the second-form tilt is cleared on its last.
    fill();
    EXPECT_NEAR(tol(1).values[kTolCdx], 0.22, 1e-12);
    EXPECT_NEAR(tol(1).values[kTolCdy], 0.22, 1e-12);
    EXPECT_NEAR(tol(1).values[kTolCca], 0.25, 1e-12);
    EXPECT_NEAR(tol(1).values[kTolCcb], 0.25, 1e-12);
    EXPECT_EQ(tol(2).values[kTolCca], 0.0);
    EXPECT_EQ(tol(2).values[kTolCdx], 0.0);
}

TEST_F(ToleranceDefaults, InchDecentreHasItsOwnSteps) {
    // Radii in inches: a = w / (2/2) = 0.0087 in, on steps of 0.0004 in.
    lens({"2 0.2 N-BK7 0.1", "-2 2 AIR 0.1"}, 3, "UNI 25.4");
    const double a = 30.0 * kMinute / 1.0;
    EXPECT_NEAR(default_element_decentre(1, 2), std::floor(a / 0.0004 + 0.5) * 0.0004, 1e-15);
}

TEST_F(ToleranceDefaults, EqualCurvaturesCountInTheAverageOnly) {
    // The cemented pair adds nothing; the outer pair adds w / 0.04; two pairs share it.
    lens({"50 5 N-BK7 5", "50 2 N-SF5 5", "-50 45 AIR 5"});
    const double a = 30.0 * kMinute / 0.04 / 2.0;  // 0.109
    EXPECT_NEAR(default_element_decentre(1, 3), std::floor(a / 0.01 + 0.5) * 0.01, 1e-12);
}

TEST_F(ToleranceDefaults, GivenFirstFormTiltKeepsTheSecondForm) {
    lens({"50 5 N-BK7 5", "-50 45 AIR 5"});
    run_all({"LEN", "NXT", "TXYC Off", "CAA 0.1", "END"});
    fill();
    EXPECT_EQ(tol(1).values[kTolCca], 0.0);
    EXPECT_EQ(tol(1).switches[kTolCca], 1);
    EXPECT_EQ(tol(1).switches[kTolCcb], 1);
    // The decentre is still a default.
    EXPECT_NEAR(tol(1).values[kTolCdx], 0.22, 1e-12);
}

TEST_F(ToleranceDefaults, FringeRadiiAgainstTheSag) {
    lens({"50 5 N-BK7 5", "-50 45 AIR 5"});
    run_all({"LEN", "TWL 0.6328", "END"});
    const double w = 0.6328e-3 * 3.0;  // three fringes in mm
    const FringeRadii none = fringe_radii(0.0, 50.0, 20.0);
    EXPECT_EQ(none.plus, 0.0);
    EXPECT_EQ(none.minus, 0.0);
    // A plane: equal and opposite, the radius whose sag over the half diameter is w / 2 to
    // first order.
    const FringeRadii flat = fringe_radii(3.0, 0.0, 20.0);
    EXPECT_EQ(flat.plus, -flat.minus);
    EXPECT_NEAR(flat.plus, 100.0 / w, 1e-6 * 100.0 / w);
    // A sphere: R + plus - w/2 has w/2 less sag over the test diameter, R + minus + w/2 w/2
    // more.
    const double r = 50.0;
    const double h = 10.0;
    const auto sag = [h](double radius) { return radius - std::sqrt(radius * radius - h * h); };
    const FringeRadii curved = fringe_radii(3.0, r, 2.0 * h);
    EXPECT_NEAR(sag(r + curved.plus - w / 2.0), sag(r) - w / 2.0, 1e-12);
    EXPECT_NEAR(sag(r + curved.minus + w / 2.0), sag(r) + w / 2.0, 1e-12);
}

// A tolerance typed after a toric radius goes to the surface the radius went to: the one gone to,
// or after a surface line the next one, which that line steps on to.
TEST_F(ToleranceDefaults, ATypedToleranceGoesWithTheToricRadiusTypedBeforeIt) {
    struct Case {
        std::vector<std::string> lines;
        int surface;
    };
    const Case cases[] = {
        {{"LEN NEW \"T\"", "EBR 5", "NXT", "SRF 40 4 N-BK7 10", "SRF -40 2 AIR 10", "END", "LEN",
          "GTO 1", "RDX 60", "RDT 0.3", "END"},
         1},
        {{"LEN NEW \"T\"", "EBR 5", "NXT", "SRF 40 4 N-BK7 10", "RDX 60", "RDT 0.3",
          "SRF -40 2 AIR 10", "END"},
         2},
    };
    for (const Case& c : cases) {
        run_all(c.lines);
        for (int s = 1; s <= 2; ++s) {
            const SurfaceRecord& r = surface(s);
            const bool here = s == c.surface;
            EXPECT_NEAR(r.x_curvature, here ? 1.0 / 60.0 : 0.0, 1e-15) << c.surface << " " << s;
            EXPECT_EQ(r.tolerances != nullptr && r.tolerances->values[kTolRdt] == 0.3, here)
                << c.surface << " " << s;
        }
    }
}

}  // namespace
