// Variables of a model glass's index and dispersion and of numbered coefficients, the filter of
// the types a surface can vary, configurations, the real-ray distortion of the operand entry
// against a meridional trace written out here, and a spline knot's slope and a GRD medium's
// axial coefficient as variables.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "optimise/error_function.h"
#include "optimise/operand_quantities.h"
#include "optimise/variables.h"
#include "runtime/list_words.h"
#include "runtime/parameters.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

namespace fs = std::filesystem;
using optimise_test::Optimise;

constexpr int kTypeParam = 1258;  // the variables sheet's type prompt

class VariableTypes : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        folder_ = run_.tree.base() / "lenses";
        fs::create_directories(folder_);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::string file(const std::string& name) const {
        return tavo_test::read_file(folder_ / (name + ".len"));
    }
    // 1: a singlet's front of model glass given by index and Abbe number, 2: its back, an odd
    // asphere; 3: a dummy of model glass given by its indices, with a polynomial diffractive
    // surface; 4: a Zernike diffractive dummy with a thickness solve, 5: a curvature pickup.
    void lens() {
        run_all({"LEN NEW \"types\"",
                 "EBR 5",
                 "WV 0.58756 0.48613 0.65627",
                 "NXT",
                 "AST",
                 "CV 0.01",
                 "TH 4",
                 "GLA MOD \"M\" 1.6 40",
                 "NXT",
                 "CV -0.01",
                 "TH 5",
                 "ASP ISR 6",
                 "NXT",
                 "TH 2",
                 "GLA \"MYGLASS\" 1.52 1.53 1.515",
                 "DOE DFR 10",
                 "NXT",
                 "TH 3",
                 "ZOE ZRR 8",
                 "PY 0",
                 "NXT",
                 "PK CV 1 0",
                 "TH 10",
                 "NXT",
                 "END"});
    }
    // The names the type prompt offers for surface s.
    static std::set<std::string> offered(int s) {
        optimise_tables().type_filter_surface = s;
        std::set<std::string> names;
        if (select_param_list(kTypeParam) == 0) {
            for (int i = 0; i < value_list_count(); ++i) {
                names.insert(list_entry_word(value_list_first(i)));
            }
        }
        clear_value_list();
        optimise_tables().type_filter_surface = -1;
        return names;
    }
    static double index(int s, int w) { return surface(s).index[w]; }
    static double abbe(int s) { return (index(s, 0) - 1.0) / (index(s, 1) - index(s, 2)); }
    fs::path folder_;
};

TEST_F(VariableTypes, TheTypeFilterOffersWhatTheSurfaceCanVary) {
    lens();
    struct Case {
        int surface;
        std::vector<std::string> in, out;
    } cases[] = {
        {1, {"CV", "CC", "TH", "RN", "DN"}, {"AS_", "AT_", "DF_", "ZR_", "CVX", "AD", "DCX"}},
        {2, {"CV", "TH", "AS_", "AT_"}, {"RN", "DN", "DF_"}},
        {3, {"RN", "DN", "DF_"}, {"ZR_", "AS_"}},
        // The solve fixes the thickness; the pickup the curvature and its conic.
        {4, {"ZR_", "CV"}, {"TH", "DF_", "RN"}},
        {5, {"TH"}, {"CV", "CC"}},
    };
    for (const Case& c : cases) {
        const std::set<std::string> names = offered(c.surface);
        for (const std::string& n : c.in) EXPECT_EQ(names.count(n), 1u) << c.surface << " " << n;
        for (const std::string& n : c.out) EXPECT_EQ(names.count(n), 0u) << c.surface << " " << n;
    }
    // The surface sheet's variable takes only what the filter offers.
    EXPECT_EQ(run("add_variable_in_spreadsheet 1 set 2 0 RN"), -9998);
    EXPECT_NE(error_text().find("Surface 2 cannot vary"), std::string::npos) << error_text();
    EXPECT_EQ(run("add_variable_in_spreadsheet 1 set 5 1 CV"), -9998);
    EXPECT_EQ(tables().highest_variable, -1);
    ASSERT_EQ(run("add_variable_in_spreadsheet 1 set 1 1 RN"), 0) << error_text();
    EXPECT_EQ(tables().variables[0].type, 5);
}

TEST_F(VariableTypes, ItemsAreCheckedAgainstTheSurfacesData) {
    lens();
    const int asphere = surface(2).asphere->entered_count;
    const int doe = surface(3).diffractive->entered_count;
    const int zoe = surface(4).diffractive->entered_count;
    ASSERT_GT(asphere, 1);
    struct Case {
        std::string line;
        int status;
        const char* name;  // the type name of an accepted variable
    } cases[] = {
        {"V 1 2 0 AS" + std::to_string(asphere), -9998, ""},
        {"V 1 2 0 AS" + std::to_string(asphere - 1), 0, nullptr},
        {"V 1 2 0 AT3", 0, "AT3"},
        {"V 1 2 0 AT2", -9998, ""},
        {"V 1 3 0 DF" + std::to_string(doe), -9998, ""},
        {"V 1 3 0 DF1", 0, "DF1"},
        {"V 1 3 0 ZR1", -9998, ""},  // not a Zernike surface
        {"V 1 4 0 ZR" + std::to_string(zoe - 1), 0, nullptr},
        {"V 1 1 0 AS0", -9998, ""},  // no asphere there
    };
    for (const Case& c : cases) {
        run_all({"VAR NEW"});
        EXPECT_EQ(run(c.line), c.status) << c.line << ": " << error_text();
        if (c.status == 0) {
            ASSERT_EQ(tables().highest_variable, 0) << c.line;
            const std::string word = c.line.substr(c.line.rfind(' ') + 1);
            EXPECT_STREQ(tables().variables[0].type_name, c.name != nullptr ? c.name : word.c_str())
                << c.line;
        } else {
            EXPECT_EQ(tables().highest_variable, -1) << c.line;
        }
        run_all({"END"});
    }
    // Two items of one type are two variables; the same item twice is one.
    run_all({"VAR NEW", "V 1 2 0 AS1", "V 2 2 0 AS2"});
    EXPECT_EQ(run("V 3 2 0 AS1"), kMsgDuplicateVariable);
    run_all({"END"});
    EXPECT_EQ(tables().highest_variable, 1);
    // A term variable writes the coefficient the term command of the lens entry writes.
    run_all({"VAR NEW", "V 1 2 0 AT5", "V 1 VAL 0 0 0 0 0 0 0 3e-7", "END"});
    EXPECT_EQ(surface(2).asphere->entered[2], 3e-7);
}

TEST_F(VariableTypes, IndexAndDispersionOfAModelGlass) {
    lens();
    // Given by index and Abbe number: the variables are the two numbers.
    run_all({"VAR NEW", "V 1 1 0 RN", "V 2 1 0 DN", "V 3 3 0 RN", "V 4 3 0 DN"});
    EXPECT_NEAR(get_variable_value(kVarIndex, 1, 0), 1.6, 1e-12);
    EXPECT_NEAR(get_variable_value(kVarDispersion, 1, 0), 40.0, 1e-9);
    ASSERT_EQ(run("V 1 VAL 0 0 0 0 0 0 0 1.7"), 0) << error_text();
    EXPECT_NEAR(index(1, 0), 1.7, 1e-12);
    EXPECT_NEAR(abbe(1), 40.0, 1e-9);
    ASSERT_EQ(run("V 2 VAL 0 0 0 0 0 0 0 55"), 0) << error_text();
    EXPECT_NEAR(index(1, 0), 1.7, 1e-12);
    EXPECT_NEAR(abbe(1), 55.0, 1e-9);
    // Given by its indices: the index keeps the Abbe number, the dispersion keeps the index;
    // each index moves as the map through the old and new values says.
    const double n[3] = {index(3, 0), index(3, 1), index(3, 2)};
    const double v = abbe(3);
    ASSERT_EQ(run("V 3 VAL 0 0 0 0 0 0 0 1.62"), 0) << error_text();
    for (int w = 0; w < 3; ++w) {
        EXPECT_NEAR(index(3, w), 1.62 + (n[w] - n[0]) * 0.62 / (n[0] - 1.0), 1e-12) << w;
    }
    EXPECT_NEAR(get_variable_value(kVarDispersion, 3, 0), v, 1e-9);
    ASSERT_EQ(run("V 4 VAL 0 0 0 0 0 0 0 30"), 0) << error_text();
    EXPECT_NEAR(index(3, 0), 1.62, 1e-12);
    EXPECT_NEAR(abbe(3), 30.0, 1e-9);
    run_all({"END"});
    // With two wavelengths the second index moves by the same amount; there is no dispersion
    // to vary.
    run_all({"LEN NEW \"two\"", "EBR 5", "WV 0.58756 0.48613", "NXT", "AST", "TH 4",
             "GLA \"TWO\" 1.5 1.51", "NXT", "TH 50", "NXT", "END"});
    EXPECT_EQ(offered(1).count("DN"), 0u);
    run_all({"VAR NEW", "V 1 1 0 RN", "V 1 VAL 0 0 0 0 0 0 0 1.6", "END"});
    EXPECT_NEAR(index(1, 0), 1.6, 1e-12);
    EXPECT_NEAR(index(1, 1), 1.61, 1e-12);
}

// The focal length set by the glass alone: the thick-lens formula solved for n by bisection.
TEST_F(VariableTypes, AnIndexVariableReachesTheFocalLength) {
    run_all({"LEN NEW \"singlet\"", "EBR 5", "WV 0.58756", "NXT", "AST", "CV 0.02", "TH 4",
             "GLA MOD \"M\" 1.5 60", "NXT", "CV -0.01", "TH 60", "NXT", "END"});
    const fs::path folder = fs::path(root_folder()) / "public" / "scp";
    fs::create_directories(folder);
    fs::copy_file(fs::path(TAVO_SOURCE_DIR) / "data" / "scp" / "oprds.scp", folder / "oprds.scp",
                  fs::copy_options::overwrite_existing);
    set_operand_command("*oprds");
    run_all({"OPE NEW", "O 1 \"OP1\" CON 40 \"efl\"", "END", "VAR NEW", "V 1 1 0 RN 0 0 1 1e-7",
             "END"});
    // The constraint alone: its steps.
    for (int k = 0; k < 6; ++k) ASSERT_EQ(run("iterate 1 1"), 0) << error_text();
    const auto power = [](double n) {
        return (n - 1) * (0.02 + 0.01 + (n - 1) * 4.0 * 0.02 * -0.01 / n);
    };
    double lo = 1.3, hi = 2.5;
    for (int k = 0; k < 200; ++k) {
        const double mid = 0.5 * (lo + hi);
        (power(mid) < 1.0 / 40.0 ? lo : hi) = mid;
    }
    EXPECT_NEAR(index(1, 0), lo, 1e-9);
}

TEST_F(VariableTypes, NumberedAndGlassVariablesAreSavedAndReopenedTheSame) {
    lens();
    run_all({"VAR NEW", "V 1 1 0 RN 1.5 1.9 1 -0.001", "V 2 1 0 DN", "V 3 2 0 AS1 0 0 2 1e-9",
             "V 4 2 0 AT4", "V 5 3 0 DF2", "V 6 4 0 ZR3", "END"});
    ASSERT_EQ(run("save_as . " + path("types")), 0) << error_text();
    const std::string saved = file("types");
    EXPECT_NE(saved.find("\nVAR NEW\nV 1 1 0 RN 1.5 1.9 1 -0.001\nV 2 1 0 DN 0 0 1 "),
              std::string::npos)
        << saved;
    for (const char* line :
         {"\nV 3 2 0 AS1 0 0 2 1e-09\n", "\nV 4 2 0 AT4 ", "\nV 5 3 0 DF2 ", "\nV 6 4 0 ZR3 "}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
    }
    run_all({"LEN NEW", "END"});
    ASSERT_EQ(run("open . " + path("types") + " no"), 0) << error_text();
    EXPECT_EQ(take_output().find("Error at line"), std::string::npos);
    ASSERT_EQ(tables().highest_variable, 5);
    const int items[] = {0, 0, 1, 4, 2, 3};
    const int types[] = {5, 6, 20, 24, 21, 22};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tables().variables[i].type, types[i]) << i;
        EXPECT_EQ(tables().variables[i].item, items[i]) << i;
    }
    EXPECT_EQ(tables().variables[0].increment, -0.001);
    ASSERT_EQ(run("save_as . " + path("types2")), 0) << error_text();
    EXPECT_EQ(file("types2"), saved);
}

TEST_F(VariableTypes, ConfigurationsBeyondTheLensesAreRefused) {
    lens();
    EXPECT_EQ(lens_data().configuration_count, 1);
    run_all({"VAR NEW"});
    EXPECT_EQ(run("V 1 1 2 CV"), -9998);
    EXPECT_NE(error_text().find("configuration count, 1"), std::string::npos) << error_text();
    EXPECT_EQ(run("V 1 1 -1 CV"), -9998);
    ASSERT_EQ(run("V 1 1 1 CV"), 0) << error_text();
    ASSERT_EQ(run("V 2 2 0 CV"), 0) << error_text();
    run_all({"END"});
    EXPECT_EQ(tables().variables[0].configuration, 1);
    EXPECT_EQ(run("add_variable_in_spreadsheet 3 set 2 2 TH"), -9998);
    EXPECT_EQ(tables().highest_variable, 1);
}

// A meridional trace of the chief ray through spherical surfaces: the ray leaves the centre of
// the stop at angle theta; returns its height on the plane `image` behind the last vertex.
double real_chief_height(const std::vector<double>& c, const std::vector<double>& gaps,
                         const std::vector<double>& n, double theta, double image) {
    double y = 0.0;
    double m = std::sin(theta), z_dir = std::cos(theta);
    for (std::size_t j = 0; j < c.size(); ++j) {
        y += m / z_dir * gaps[j];  // from the previous vertex plane to this one
        const double b = z_dir - c[j] * y * m;
        const double t = c[j] * y * y / (b + std::sqrt(b * b - c[j] * c[j] * y * y));
        const double py = y + m * t, pz = z_dir * t;
        const double ny = -c[j] * py, nz = 1.0 - c[j] * pz;
        const double mu = n[j] / n[j + 1];
        const double cos_i = m * ny + z_dir * nz;
        const double cos_r = std::sqrt(1.0 - mu * mu * (1.0 - cos_i * cos_i));
        m = mu * m + (cos_r - mu * cos_i) * ny;
        z_dir = mu * z_dir + (cos_r - mu * cos_i) * nz;
        y = py - m / z_dir * pz;  // back to this vertex's plane
    }
    return y + m / z_dir * image;
}

TEST_F(VariableTypes, DistortionAtFullFieldIsTheRealChiefRaysDepartureFromTheParaxialImage) {
    const fs::path folder = fs::path(root_folder()) / "public" / "scp";
    fs::create_directories(folder);
    fs::copy_file(fs::path(TAVO_SOURCE_DIR) / "data" / "scp" / "oprds.scp", folder / "oprds.scp",
                  fs::copy_options::overwrite_existing);
    struct Case {
        double c1, c2, stop_gap, angle;
    } cases[] = {{0.02, -0.005, 20.0, 20.0}, {0.01, -0.02, 5.0, 12.0}, {0.03, 0.01, 30.0, 25.0}};
    const double n_glass = 1.6, thick = 4.0;
    for (const Case& k : cases) {
        run_all({"LEN NEW \"distortion\"", "EBR 1", "ANG " + std::to_string(k.angle), "WV 0.58756",
                 "NXT", "AST", "TH " + std::to_string(k.stop_gap), "NXT",
                 "CV " + std::to_string(k.c1), "TH " + std::to_string(thick),
                 "GLA MOD \"M\" 1.6 60", "NXT", "CV " + std::to_string(k.c2), "TH 50", "PY 0",
                 "NXT", "END"});
        ASSERT_NEAR(surface(2).index[0], n_glass, 1e-12);
        // y-nu: the marginal ray finds the focus, the chief ray its paraxial height there.
        const double theta = k.angle * std::acos(-1.0) / 180.0;
        const double cs[2] = {k.c1, k.c2};
        const double ns[3] = {1.0, n_glass, 1.0};
        double y = 1.0, u = 0.0, yb = std::tan(theta) * k.stop_gap, ub = std::tan(theta);
        for (int j = 0; j < 2; ++j) {
            u = (ns[j] * u - y * cs[j] * (ns[j + 1] - ns[j])) / ns[j + 1];
            ub = (ns[j] * ub - yb * cs[j] * (ns[j + 1] - ns[j])) / ns[j + 1];
            if (j == 0) {
                y += thick * u;
                yb += thick * ub;
            }
        }
        const double focus = -y / u;
        const double paraxial = yb + ub * focus;
        const double real =
            real_chief_height({k.c1, k.c2}, {k.stop_gap, thick}, {1.0, n_glass, 1.0}, theta, focus);
        const double expected = 100.0 * (real - paraxial) / paraxial;
        ASSERT_EQ(run("*oprds"), 0) << error_text();
        EXPECT_NEAR(surface(3).thickness, focus, 1e-9);
        EXPECT_NEAR(tables().results[kQuantityDistortion], expected, 1e-7) << k.c1;
        EXPECT_GT(std::fabs(expected), 0.05) << k.c1;
    }
}

// What the operand command measures changes with the image surface and with a deleted surface:
// the chain is compiled again before the next evaluation.
TEST_F(VariableTypes, ImageSurfaceAndDeletionRecompileTheOperandChain) {
    dummies(4);
    residuals({"oprd[1] = cv[1]"});
    const std::vector<std::string> operands = {"OPE NEW", "O 1 \"OP1\" 1 \"a\"", "END"};
    struct Case {
        std::vector<std::string> lines;
    } cases[] = {{{"LEN", "IMS 4", "END"}}, {{"delete_surfaces 2"}}};
    for (const Case& c : cases) {
        run_all(operands);
        ASSERT_TRUE(tables().chain_compiled);
        for (const std::string& line : c.lines) ASSERT_EQ(run(line), 0) << line << error_text();
        EXPECT_FALSE(tables().chain_compiled) << c.lines[0];
        compute_error_function(0);
        EXPECT_TRUE(tables().chain_compiled) << c.lines[0];
    }
}

// A spline surface (knots 0..3) and a GRD gradient medium behind surface 2: the slope of a knot
// and a coefficient of the axial index polynomial are variables, checked, varied and saved.
class SplineAndGradient : public VariableTypes {
protected:
    void lens() {
        run_all({"LEN NEW \"spline and gradient\"", "EBR 2", "NXT", "TH 5", "SPL 3", "SH 1 2",
                 "SH 2 4", "SH 3 6", "SS 1 0.1", "SS 2 0.2", "NXT", "TH 5", "GDT GRD", "GNZ0 1.5",
                 "GNZ1 0.01", "NXT", "TH 20", "NXT", "END"});
    }
};

TEST_F(SplineAndGradient, ItemsAreCheckedAgainstTheSurfacesRecords) {
    lens();
    struct Case {
        const char* line;
        int status;
    } cases[] = {
        {"V 1 1 0 SS3", 0},      {"V 1 1 0 SS4", -9998},    // four knots: 0 to 3
        {"V 1 2 0 SS0", -9998},                             // no spline there
        {"V 1 2 0 GNZ11", 0},    {"V 1 2 0 GNZ12", -9998},  // twelve coefficients
        {"V 1 1 0 GNZ0", -9998},                            // no gradient medium there
    };
    for (const Case& c : cases) {
        run_all({"VAR NEW"});
        EXPECT_EQ(run(c.line), c.status) << c.line << ": " << error_text();
        EXPECT_EQ(tables().highest_variable, c.status == 0 ? 0 : -1) << c.line;
        if (c.status == 0) {
            const std::string word = std::string(c.line).substr(std::string(c.line).rfind(' ') + 1);
            EXPECT_EQ(tables().variables[0].type_name, word) << c.line;
        }
        run_all({"END"});
    }
    // The type filter offers each where its record is.
    EXPECT_EQ(offered(1).count("SS_"), 1u);
    EXPECT_EQ(offered(1).count("GNZ_"), 0u);
    EXPECT_EQ(offered(2).count("GNZ_"), 1u);
    EXPECT_EQ(offered(2).count("SS_"), 0u);
}

TEST_F(SplineAndGradient, TheOptimiserVariesAKnotsSlopeAndAnAxialIndexCoefficient) {
    lens();
    residuals({"oprd[1] = spline_slope[1][2] - 0.3", "oprd[2] = gnz[2][1] - 0.02"});
    set_operand_command("*res");  // the form a lens file keeps
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"slope\"", "O 2 \"OP2\" 1 \"gnz\"", "END", "VAR NEW",
             "V 1 1 0 SS2 0 0 1 1e-6", "V 2 2 0 GNZ1 0 0 1 1e-6", "END"});
    const double sag_before = surface(1).spline->sag_profile[3];
    params().damping = 1e-12;
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    // Both residuals are linear in their variable: one undamped step solves them.
    EXPECT_NEAR(surface(1).spline->slope[2], 0.3, 1e-9);
    EXPECT_NEAR(surface(2).grin->grd[17], 0.02, 1e-9);
    // The lens update rebuilt the profile from the new slope.
    EXPECT_NE(surface(1).spline->sag_profile[3], sag_before);
    ASSERT_EQ(run("save_as . " + path("varied")), 0) << error_text();
    const std::string saved = file("varied");
    for (const char* line : {"\nV 1 1 0 SS2 0 0 1 1e-06\n", "\nV 2 2 0 GNZ1 0 0 1 1e-06\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
    }
    run_all({"LEN NEW", "END"});
    ASSERT_EQ(run("open . " + path("varied") + " no"), 0) << error_text();
    EXPECT_EQ(take_output().find("Error at line"), std::string::npos);
    ASSERT_EQ(tables().highest_variable, 1);
    EXPECT_EQ(tables().variables[0].type, kVarSplineSlope);
    EXPECT_EQ(tables().variables[0].item, 2);
    EXPECT_EQ(tables().variables[1].type, kVarGrinGnz);
    EXPECT_EQ(tables().variables[1].item, 1);
    ASSERT_EQ(run("save_as . " + path("varied2")), 0) << error_text();
    EXPECT_EQ(file("varied2"), saved);
}

}  // namespace

namespace {

// An ARG gradient medium behind surface 1 (coefficient rows by wavelength) and a GRD medium
// behind surface 2 (its axial offset and scale): the names carry the wavelength and the row.
class GradientRows : public VariableTypes {
protected:
    void lens() {
        run_all({"LEN NEW \"gradient rows\"", "EBR 2", "WV 0.58756 0.48613 0.65627", "NXT", "TH 5",
                 "GDT ARG", "NZ1 WV1 1.6", "NR2 WV2 1e-6", "NXT", "TH 5", "GDT GRD", "GNZ0 1.5",
                 "GOZ 0.5", "GMZ 2", "NXT", "TH 20", "NXT", "END"});
    }
};

TEST_F(GradientRows, CoefficientRowsByWavelengthAndTheAxialFrameAreVariables) {
    lens();
    struct Case {
        const char* line;
        int status;
        int type;
        int item;
    } cases[] = {
        {"V 1 1 0 W1GC4", 0, 39, 4},     // NZ1 at wavelength 1
        {"V 1 1 0 W2GC1", 0, 40, 1},     // NR2 at wavelength 2
        {"V 1 1 0 W3GC7", 0, 41, 7},     // NZ4 at wavelength 3
        {"V 1 1 0 W1GC8", -9998, 0, 0},  // rows 0 to 7
        {"V 1 2 0 W1GC0", -9998, 0, 0},  // a GRD medium has no rows
        {"V 1 2 0 GOZ", 0, 63, 0},       // a GRD medium's axial offset and scale
        {"V 1 2 0 GMZ", 0, 64, 0},
    };
    for (const Case& c : cases) {
        run_all({"VAR NEW"});
        EXPECT_EQ(run(c.line), c.status) << c.line << ": " << error_text();
        ASSERT_EQ(tables().highest_variable, c.status == 0 ? 0 : -1) << c.line;
        if (c.status == 0) {
            const std::string word = std::string(c.line).substr(std::string(c.line).rfind(' ') + 1);
            EXPECT_EQ(tables().variables[0].type_name, word) << c.line;
            EXPECT_EQ(tables().variables[0].type, c.type) << c.line;
            EXPECT_EQ(tables().variables[0].item, c.item) << c.line;
        }
        run_all({"END"});
    }
    EXPECT_EQ(offered(1).count("W1GC_"), 1u);
    EXPECT_EQ(offered(1).count("GOZ"), 0u);
    EXPECT_EQ(offered(2).count("GOZ"), 1u);
    EXPECT_EQ(offered(2).count("W1GC_"), 0u);

    // Set through the variable, read back through the lens items; saved and reopened the same.
    run_all({"VAR NEW", "V 1 1 0 W1GC4", "V 2 2 0 GOZ", "V 1 VAL 0 0 0 0 0 0 0 1.65",
             "V 2 VAL 0 0 0 0 0 0 0 0.75", "END"});
    EXPECT_EQ(surface(1).grin->coefficients[4][0], 1.65);
    EXPECT_EQ(surface(2).grin->goz, 0.75);
    ASSERT_EQ(run("save_as . " + path("rows")), 0) << error_text();
    const std::string saved = file("rows");
    run_all({"LEN NEW", "END"});
    ASSERT_EQ(run("open . " + path("rows") + " no"), 0) << error_text();
    ASSERT_EQ(tables().highest_variable, 1);
    EXPECT_EQ(tables().variables[0].type, 39);
    EXPECT_EQ(tables().variables[0].item, 4);
    EXPECT_EQ(tables().variables[1].type, 63);
    ASSERT_EQ(run("save_as . " + path("rows2")), 0) << error_text();
    EXPECT_EQ(file("rows2"), saved);
}

// The automatic increment of a coefficient moves the rim's sag by a ten-thousandth of the first
// wavelength over the index step: q / (r^k |n - n'|), rounded to two significant digits.
TEST_F(VariableTypes, CoefficientsGetAnIncrementScaledToTheirTermsOrder) {
    run_all({"LEN NEW \"aspheric singlet\"",
             "EBR 5",
             "WV 0.58756",
             "NXT",
             "RD 50",
             "TH 5",
             "GLA N-BK7",
             "AP 10",
             "AD 1e-6",
             "AE 0",
             "AF 0",
             "AG 0",
             "NXT",
             "RD -50",
             "TH 45",
             "AP 10",
             "NXT",
             "END",
             "LEN",
             "OPDI 1e-7",
             "OPVI On",
             "END"});
    const double q = 0.58756e-4;
    const double t = surface(1).index[0] - 1.0;
    const struct {
        const char* type;
        int order;
    } cases[] = {{"AD", 4}, {"AE", 6}, {"AF", 8}, {"AG", 10}};
    for (const auto& c : cases) {
        run_all({"VAR NEW", std::string("V 1 1 0 ") + c.type, "V 1 INC 0", "END"});
        const double exact = q / (std::pow(10.0, c.order) * t);
        const double unit = std::pow(10.0, std::floor(std::log10(exact)) - 1.0);
        EXPECT_NEAR(tables().variables[0].increment, std::round(exact / unit) * unit, unit * 1e-6)
            << c.type;
    }
    // Other coefficients keep the increment of the optimiser's parameters.
    run_all({"VAR NEW", "V 1 2 0 DCX", "V 1 INC 0", "END"});
    EXPECT_EQ(tables().variables[0].increment, 1e-7);
}

}  // namespace
