// The quantities of the shipped operand entry against optics computed here: a y-nu trace of a
// thick singlet with the Seidel and chromatic sums written out from the textbook formulas, and
// the exact rays of a paraboloid mirror whose image plane is moved off its focus; then the
// entry at work in an optimisation typed line by line.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "optimise/focus_pupil.h"
#include "optimise/operand_quantities.h"
#include "runtime/script_commands.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

namespace fs = std::filesystem;
using optimise_test::Optimise;

class Quantities : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        // The program's installation holds the shipped entry in ROOT/public/scp.
        const fs::path folder = fs::path(root_folder()) / "public" / "scp";
        fs::create_directories(folder);
        fs::copy_file(fs::path(TAVO_SOURCE_DIR) / "data" / "scp" / "oprds.scp",
                      folder / "oprds.scp", fs::copy_options::overwrite_existing);
    }
    static double slot(int k) { return tables().results[k]; }
    // Runs the default operand command as the optimiser does.
    void fill() {
        for (double& v : optimise_tables().results) v = -12345.0;
        ASSERT_EQ(run("*oprds"), 0) << error_text();
    }
};

constexpr double kN = 1.5;
constexpr double kBeam = 5.0;
constexpr double kAngle = 5.0;  // degrees
constexpr double kThickness = 0.5;

// Lens lines of a singlet of model glass (stop on its first surface) with curvatures c1, c2.
std::vector<std::string> singlet(double c1, double c2, const char* wavelengths) {
    return {"LEN NEW \"singlet\"",
            "EBR " + std::to_string(kBeam),
            "ANG " + std::to_string(kAngle),
            std::string("WV ") + wavelengths,
            "NXT",
            "AST",
            "CV " + std::to_string(c1),
            "TH " + std::to_string(kThickness),
            "GLA MOD \"M\" 1.5 60",
            "NXT",
            "CV " + std::to_string(c2),
            "TH 95",
            "NXT",
            "END"};
}

// The singlet's paraxial optics from a y-nu trace of the marginal ray (height EBR, parallel)
// and the chief ray (through the vertex of surface 1 at the field angle), with the sums of
// Welford's "Aberrations of optical systems": S = -sum A^2 h d(u/n) and the like.
struct Paraxial {
    double efl, bfl, f_number, image_height;
    double seidel[5];
    double axial_colour, lateral_colour;
};

Paraxial ynu_singlet(double c1, double c2, double n_glass, double dn_glass) {
    const double c[2] = {c1, c2};
    const double n[3] = {1.0, n_glass, 1.0};
    const double dn[3] = {0.0, dn_glass, 0.0};  // n_F - n_C
    double y = kBeam, u = 0.0;
    double yb = 0.0, ub = std::tan(kAngle * std::acos(-1.0) / 180.0);
    const double lagrange = n[0] * (ub * y - u * yb);
    Paraxial p{};
    double s[5] = {};
    double ci = 0.0, cii = 0.0;
    for (int j = 0; j < 2; ++j) {
        const double a = n[j] * (c[j] * y + u);
        const double ab = n[j] * (c[j] * yb + ub);
        const double u2 = (n[j] * u - y * c[j] * (n[j + 1] - n[j])) / n[j + 1];
        const double ub2 = (n[j] * ub - yb * c[j] * (n[j + 1] - n[j])) / n[j + 1];
        const double d_u = u2 / n[j + 1] - u / n[j];
        const double d_inv = 1.0 / n[j + 1] - 1.0 / n[j];
        const double s1 = -a * a * y * d_u;
        const double s4 = -lagrange * lagrange * c[j] * d_inv;
        s[0] += s1;
        s[1] += -a * ab * y * d_u;
        s[2] += -ab * ab * y * d_u;
        s[3] += s4;
        s[4] += ab / a * (-ab * ab * y * d_u + s4);
        ci += a * y * (dn[j + 1] / n[j + 1] - dn[j] / n[j]);
        cii += ab * y * (dn[j + 1] / n[j + 1] - dn[j] / n[j]);
        u = u2;
        ub = ub2;
        if (j == 0) {
            y += kThickness * u;
            yb += kThickness * ub;
        }
    }
    p.efl = -kBeam / u;
    p.bfl = -y / u;
    p.f_number = p.efl / (2.0 * kBeam);
    p.image_height = yb - ub * y / u;
    // The listings print the sums as transverse aberrations: S / (2 n' u'), C / (n' u').
    for (int k = 0; k < 5; ++k) p.seidel[k] = s[k] / (2.0 * u);
    p.axial_colour = ci / u;
    p.lateral_colour = cii / u;
    return p;
}

TEST_F(Quantities, FirstOrderAndAberrationSumsOfASinglet) {
    struct Case {
        double c1, c2;
    } cases[] = {{0.01, -0.01}, {0.016, -0.004}, {0.004, -0.016}};
    for (const Case& k : cases) {
        run_all(singlet(k.c1, k.c2, "0.58756 0.48613 0.65627"));
        fill();
        const double n = surface(1).index[0];
        ASSERT_NEAR(n, kN, 1e-4);
        const Paraxial p = ynu_singlet(k.c1, k.c2, n, surface(1).index[1] - surface(1).index[2]);
        const double efl_thick =
            1.0 / ((n - 1) * (k.c1 - k.c2 + (n - 1) * kThickness * k.c1 * k.c2 / n));
        EXPECT_NEAR(slot(kQuantityFocalLength), efl_thick, 1e-9 * efl_thick) << k.c1;
        EXPECT_NEAR(slot(kQuantityBackFocus), efl_thick * (1 - (n - 1) * kThickness * k.c1 / n),
                    1e-9 * efl_thick);
        EXPECT_NEAR(slot(kQuantityFNumber), p.f_number, 1e-9);
        EXPECT_NEAR(std::fabs(slot(kQuantityImageHeight)), std::fabs(p.image_height), 1e-9);
        for (int s = 0; s < 5; ++s) {
            const double got = slot(kQuantitySeidelFirst + s);
            // The chief ray's sign is the lens's own: the terms odd in it compare by magnitude.
            const bool odd = s == 1 || s == 4;
            EXPECT_NEAR(odd ? std::fabs(got) : got, odd ? std::fabs(p.seidel[s]) : p.seidel[s],
                        1e-9 + 1e-7 * std::fabs(p.seidel[s]))
                << "S" << s + 1 << " of " << k.c1;
        }
        EXPECT_NEAR(slot(kQuantityAxialColour), p.axial_colour,
                    1e-9 + 1e-7 * std::fabs(p.axial_colour));
        EXPECT_NEAR(std::fabs(slot(kQuantityLateralColour)), std::fabs(p.lateral_colour), 1e-9);
        // What the entry does not fill keeps its value.
        EXPECT_EQ(slot(0), -12345.0);
        EXPECT_EQ(slot(kQuantityLastSlot + 1), -12345.0);
    }
}

// A paraboloid of focal length f at the stop, its image plane delta behind the focus: every
// ray of height h meets the plane delta tan U from the axis, tan U = h / (f - h^2 / 4f), and
// its path differs from the sphere about the shifted point by delta (1 - cos U).
class Paraboloid : public Quantities {
protected:
    static constexpr double kFocal = 100.0;
    static constexpr double kBeamRadius = 10.0;
    void mirror(double delta, bool symmetric = true) {
        std::vector<std::string> lines = {"LEN NEW \"paraboloid\"",
                                          "EBR " + std::to_string(kBeamRadius),
                                          "ANG 1",
                                          "WV 0.5",
                                          "NXT",
                                          "AST",
                                          "RD -200",
                                          "CC -1",
                                          "GLA RFL",
                                          "TH " + std::to_string(-kFocal - delta),
                                          "NXT",
                                          "END"};
        if (!symmetric) {
            // A plane toric dummy half way to the image changes no ray but the lens's
            // symmetry.
            lines[9] = "TH " + std::to_string(-kFocal / 2);
            lines.insert(lines.begin() + 11,
                         {"CVX 0", "TH " + std::to_string(-kFocal / 2 - delta), "NXT"});
        }
        run_all(lines);
    }
    // The weighted rms over the pupil rings of a function of the ray's height.
    template <class F>
    static double ring_rms(F value, bool remove_mean) {
        const PupilSample* s = ring_samples();
        double w = 0, m = 0, q = 0;
        for (int k = 0; k < kRingSampleCount; ++k) {
            const double h = kBeamRadius * std::hypot(s[k].x, s[k].y);
            const double v = value(h);
            w += s[k].weight;
            m += s[k].weight * v;
            q += s[k].weight * v * v;
        }
        m /= w;
        return std::sqrt(q / w - (remove_mean ? m * m : 0.0));
    }
    static double tan_u(double h) { return h / (kFocal - h * h / (4 * kFocal)); }
};

TEST_F(Paraboloid, SpotAndWavefrontOfADefocusedImage) {
    const double delta = 0.02;
    mirror(delta);
    fill();
    const double spot = delta * ring_rms([](double h) { return tan_u(h); }, false);
    EXPECT_NEAR(slot(kQuantitySpotFirst), spot, 1e-6);
    const double waves = ring_rms(
        [delta](double h) { return delta * (1 - std::cos(std::atan(tan_u(h)))) * 1000 / 0.5; },
        true);
    EXPECT_NEAR(slot(kQuantityWavefrontFirst), waves, 1e-3 * waves);
    // In focus the axial image is a point and its wave a sphere.
    mirror(0.0);
    fill();
    EXPECT_NEAR(slot(kQuantitySpotFirst), 0.0, 1e-9);
    EXPECT_NEAR(slot(kQuantityWavefrontFirst), 0.0, 1e-6);
    // Off the axis a paraboloid has coma: the spots grow with the field.
    EXPECT_GT(slot(kQuantitySpotFirst + 1), 1e-6);
    EXPECT_GT(slot(kQuantitySpotFirst + 2), slot(kQuantitySpotFirst + 1));
}

TEST_F(Paraboloid, AutoFocusReturnsToTheFocus) {
    struct Case {
        double delta;
        bool symmetric;
    } cases[] = {{0.5, true}, {-0.3, true}, {0.5, false}, {-0.3, false}};
    for (const Case& c : cases) {
        mirror(c.delta, c.symmetric);
        // Without rotational symmetry the focus is found over the pupil rings.
        ASSERT_EQ(lens_data().rotationally_symmetric != 0, c.symmetric);
        take_output();
        ASSERT_EQ(run("auto_focus"), 0) << error_text();
        double to_image = 0.0;
        for (int j = 1; j < lens_data().image_surface; ++j) to_image += surface(j).thickness;
        EXPECT_NEAR(to_image, -kFocal, 1e-9) << c.delta << " " << c.symmetric;
        const std::string shown = take_output();
        EXPECT_NE(shown.find("The image plane moved by"), std::string::npos) << shown;
    }
}

// The default operand command runs the shipped entry; an entry of the same name in DATA/scp
// replaces it.
TEST_F(Quantities, TheUsersEntryReplacesTheShippedOne) {
    run_all(singlet(0.01, -0.01, "0.58756"));
    fill();
    EXPECT_NEAR(slot(kQuantityFocalLength), 1.0 / (0.5 * (0.02 - 0.5 * 0.5 * 1e-4 / 1.5)), 1e-6);
    const fs::path mine = fs::path(data_folder()) / "scp" / "oprds.scp";
    fs::create_directories(mine.parent_path());
    std::ofstream(mine, std::ios::binary) << "*oprds\noprd[1] = 42\n";
    fill();
    EXPECT_EQ(slot(kQuantityFocalLength), 42.0);
    EXPECT_EQ(slot(kQuantityBackFocus), -12345.0);
    // While an optimisation runs, the entry is read once and its code kept.
    {
        ScriptCodeKept kept;
        fill();
        std::ofstream(mine, std::ios::binary) << "*oprds\noprd[1] = 43\n";
        fill();
        EXPECT_EQ(slot(kQuantityFocalLength), 42.0);
    }
    fill();
    EXPECT_EQ(slot(kQuantityFocalLength), 43.0);
    fs::remove(mine);
    ASSERT_EQ(run("execute_scpfile oprds"), 0) << error_text();
    EXPECT_NEAR(slot(kQuantityFocalLength), 1.0 / (0.5 * (0.02 - 0.5 * 0.5 * 1e-4 / 1.5)), 1e-6);
}

}  // namespace

namespace {

// The bending of a singlet of given focal length: the curvature c2 that keeps it with c1.
double second_curvature(double c1, double n, double f) {
    return (1.0 / (f * (n - 1)) - c1) / ((n - 1) * kThickness * c1 / n - 1);
}

// The c1 of least third-order spherical aberration at focal length f, by golden section.
double best_bending(double n, double f) {
    const auto spherical = [n, f](double c1) {
        return std::fabs(ynu_singlet(c1, second_curvature(c1, n, f), n, 0.0).seidel[0]);
    };
    double a = 0.0, b = 0.03;
    const double g = (std::sqrt(5.0) - 1) / 2;
    for (int k = 0; k < 200 && b - a > 1e-14; ++k) {
        const double x1 = b - g * (b - a), x2 = a + g * (b - a);
        if (spherical(x1) < spherical(x2)) {
            b = x2;
        } else {
            a = x1;
        }
    }
    return (a + b) / 2;
}

// Typed lines only: the focal length held at 100 as a constraint, the spherical aberration
// minimised by bending; the shape found is Coddington's.
TEST_F(Quantities, ASingletBendsToLeastSphericalAberrationAtItsFocalLength) {
    run_all(singlet(0.01, -0.0098, "0.58756"));
    run_all({"LEN", "OPST 1e-10", "END", "OPE NEW", "O 1 \"OP1\" CON 100 \"efl\"",
             "O 2 \"OP5\" 1 \"sa3\"", "END", "VAR NEW", "V 1 1 0 CV 0 0 1 1e-9",
             "V 2 2 0 CV 0 0 1 1e-9", "END"});
    ASSERT_EQ(run("iterate 3 30"), 0) << error_text();
    const double n = surface(1).index[0];
    const double c1 = surface(1).curvature;
    const double c2 = surface(2).curvature;
    const double efl = 1.0 / ((n - 1) * (c1 - c2 + (n - 1) * kThickness * c1 * c2 / n));
    EXPECT_NEAR(efl, 100.0, 1e-8);
    const double shape = (c1 + c2) / (c1 - c2);
    const double thin_lens = 2 * (n * n - 1) / (n + 2);
    EXPECT_NEAR(shape, thin_lens, 0.02 * thin_lens);
    const double best = best_bending(n, 100.0);
    const double best_c2 = second_curvature(best, n, 100.0);
    EXPECT_NEAR(shape, (best + best_c2) / (best - best_c2), 1e-5);
}

}  // namespace

namespace {

using entry_test::number_after;

// The Cooke triplet of the console test, at F/4 and 20 degrees, its image 43 behind the last
// surface.
const std::vector<std::string> kTriplet = {"LEN NEW \"Cooke\"",
                                           "EBR 6.25",
                                           "ANG 20",
                                           "NXT",
                                           "SRF 21.48 2 N-SK16 10",
                                           "SRF -124.1 5.26 AIR 10",
                                           "AST",
                                           "SRF -19.1 1.25 N-F2 8",
                                           "RD 22",
                                           "TH 4.69",
                                           "AIR",
                                           "NXT",
                                           "SRF 328.9 2.25 N-SK16 10",
                                           "RD -16.7",
                                           "TH 43",
                                           "AIR",
                                           "NXT",
                                           "END"};

// A surface of radius 0.1 behind the first element: every ray off the axis misses it, and only
// the pupil centre, which the reference ray passes, reaches the image. The spot diagram says
// so; the spot and wavefront quantities of that field are undefined, not 0, and an operand on
// them fails with the value 1e20, which the listing shows.
TEST_F(Quantities, SpotOfALensWhoseRaysMissASurfaceFails) {
    run_all(kTriplet);
    run_all({"cv[2] = 10", "OPE NEW", "O 1 \"OP12\" 1 \"spot\"", "O 2 \"OP15\" 1 \"wave\"", "END"});
    take_output();
    EXPECT_EQ(run("spot_diagram"), kErrorTextReady);
    EXPECT_NE(error_text().find("No ray of the spot diagram reached the image"), std::string::npos)
        << error_text();
    fill();
    EXPECT_FALSE(std::isfinite(slot(kQuantitySpotFirst))) << slot(kQuantitySpotFirst);
    EXPECT_FALSE(std::isfinite(slot(kQuantityWavefrontFirst))) << slot(kQuantityWavefrontFirst);
    // The first-order quantities do not need the rays.
    EXPECT_TRUE(std::isfinite(slot(kQuantityFocalLength)));
    take_output();
    ASSERT_EQ(run("OPE FULL"), 0) << error_text();
    const std::string listed = take_output();
    EXPECT_NEAR(number_after(listed, "spot"), 1e20, 1e14) << listed;
    EXPECT_NEAR(number_after(listed, "wave"), 1e20, 1e14) << listed;
    EXPECT_GT(number_after(listed, "mean square):"), 1e19) << listed;
}

// With the image surface's curvature as the only variable, the rms spot could fall by bending
// the image until most rays miss it; the optimiser backs off from every such lens and ends on
// one whose spot diagram takes every ray, with a spot that is not 0.
TEST_F(Quantities, SpotOptimisationNeverEndsWhereRaysMissTheImage) {
    run_all(kTriplet);
    run_all(
        {"OPE NEW", "O 1 \"OP12\" 1 \"spot\"", "END", "VAR NEW", "V 1 7 0 CV 0 0 1 1e-9", "END"});
    take_output();
    ASSERT_EQ(run("iterate 3 2"), 0) << error_text();
    const std::string iterated = take_output();
    EXPECT_GT(number_after(iterated.substr(iterated.rfind("Min. error")), "Min. error"), 1e-3)
        << iterated;
    ASSERT_EQ(run("spot_diagram"), 0) << error_text() << " at curvature " << surface(7).curvature;
    const std::string spot = take_output();
    EXPECT_NEAR(number_after(spot, "RELATIVE ENERGY (PERCENT)"), 100.0, 1e-6) << spot;
    fill();
    EXPECT_GT(slot(kQuantitySpotFirst), 1e-3);
}

}  // namespace
