// The tolerance analyses run as typed: the radius tolerance of a thick singlet against the
// thick-lens focal length, the inverse tolerance formula and its round trip, back-focus
// compensation against a y-nu trace, the index and Abbe perturbations against the indices they
// must produce, and the lens text that every run must leave as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/surface_tolerances.h"
#include "optimise/error_function.h"
#include "optimise/optimise_data.h"
#include "optimise/tolerance_listings.h"
#include "optimise/tolerance_results.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

using optimise_test::Optimise;

std::string typed_number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The focal length of a thick lens in air from its two curvatures, thickness and index.
double thick_lens_focal_length(double c1, double c2, double t, double n) {
    return 1.0 / ((n - 1.0) * (c1 - c2) + (n - 1.0) * (n - 1.0) * t * c1 * c2 / n);
}

class Tolerancing : public Optimise {
protected:
    void TearDown() override {
        free_tolerance_results();
        Optimise::TearDown();
    }
    const ToleranceResult& record(int value, int s) {
        const ToleranceResult* r = tolerance_result(value, s);
        EXPECT_NE(r, nullptr);
        static const ToleranceResult kNone;
        return r != nullptr ? *r : kNone;
    }
    // A singlet of N-BK7 (R 50, -50, 5 thick) whose one operand, labelled "tolop", is its focal
    // length computed from the lens items.
    void singlet(double rdt) {
        run_all({"LEN NEW \"Singlet\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10",
                 "END"});
        residuals(
            {"oprd[1] = 1 / ((index[1][1] - 1) * (cv[1] - cv[2]) + (index[1][1] - 1) * "
             "(index[1][1] - 1) * th[1] * cv[1] * cv[2] / index[1][1])"});
        run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "END", "LEN", "NXT",
                 "RDT " + typed_number(rdt), "END"});
    }
    double focal_length(double r1) const {
        return thick_lens_focal_length(1.0 / r1, -1.0 / 50.0, 5.0, surface(1).index[0]);
    }
};

TEST_F(Tolerancing, SingletRadiusChangesTheFocalLengthAsTheThickLensFormulaSays) {
    const double t = 1e-4 * 50.0;
    singlet(t);
    ASSERT_EQ(run("sensitivity 1"), 0) << error_text() << take_output();
    const std::string out = take_output();
    const ToleranceResult& r = record(kTolRdt, 1);
    ASSERT_EQ(r.has_values, 1);
    const double f0 = focal_length(50.0);
    const double p = focal_length(50.0 + t) - f0;
    const double m = focal_length(50.0 - t) - f0;
    EXPECT_NEAR(r.change[0], p, 1e-10 * std::fabs(p));
    EXPECT_NEAR(r.change[1], m, 1e-10 * std::fabs(m));
    // The symmetric difference is the derivative: df/dR1 = f^2 (dP/dc1) / R1^2.
    const double n = surface(1).index[0];
    const double dp_dc1 = (n - 1.0) + (n - 1.0) * (n - 1.0) * 5.0 * (-1.0 / 50.0) / n;
    const double derivative = f0 * f0 * dp_dc1 / (50.0 * 50.0);
    EXPECT_NEAR((r.change[0] - r.change[1]) / (2.0 * t), derivative, 1e-7 * std::fabs(derivative));
    // The report names the radius block and the operand block, and no compensated columns.
    EXPECT_NE(out.find("Radius tolerance RDT"), std::string::npos) << out;
    EXPECT_NE(out.find("Operand 1 (number 1)"), std::string::npos) << out;
    EXPECT_EQ(out.find("Compensated"), std::string::npos) << out;
    EXPECT_NE(out.find("SUMMARY"), std::string::npos) << out;
    // The lens is the singlet again, the record's surface untouched.
    EXPECT_DOUBLE_EQ(surface(1).curvature, 1.0 / 50.0);
}

TEST_F(Tolerancing, InverseSensitivityGivesBackTheTolerance) {
    const double t = 0.005;
    singlet(t);
    ASSERT_EQ(run("sensitivity 1"), 0) << error_text();
    const double p = record(kTolRdt, 1).change[0];
    for (const double target : {p, -p}) {
        take_output();
        ASSERT_EQ(run("inverse_sensitivity 1 " + typed_number(target)), 0) << error_text();
        const std::string out = take_output();
        // The target printed is its magnitude; the surface line gives back t.
        EXPECT_NE(out.find("INVERSE SENSITIVITY"), std::string::npos) << out;
        const std::size_t line = out.find("\n  1      ");
        ASSERT_NE(line, std::string::npos) << out;
        const double printed = std::strtod(out.c_str() + line + 4, nullptr);
        EXPECT_NEAR(entry_test::stored_number_near(printed), t, 1e-9 * t) << out;
    }
}

TEST_F(Tolerancing, InverseToleranceFormula) {
    const double t = 0.3;
    const struct {
        double p, m, target;
        bool solved;
        double expected;
    } cases[] = {
        {0.04, 0.04, 0.01, true, 0.5 * t},   // no linear part: sqrt(2 D / a) t
        {0.02, -0.02, 0.01, true, 0.5 * t},  // no quadratic part: 2 t D / b
        {-0.04, -0.04, 0.01, false, 0.0},    // only decreases: an increase is never reached
        {0.01, -0.03, 0.02, false, 0.0},     // the parabola's top lies below the target
        {0.0, 0.0, 0.01, false, 0.0},        // no change at all
        {0.02, -0.02, 0.0, true, 0.0},       // no change asked
        {0.03, -0.01, 0.03, true, t},        // the + point itself
    };
    for (const auto& c : cases) {
        const InverseTolerance u = inverse_tolerance(c.p, c.m, t, c.target);
        EXPECT_EQ(u.solved, c.solved) << c.p << " " << c.m << " " << c.target;
        if (c.solved) {
            EXPECT_NEAR(u.value, c.expected, 1e-12) << c.p << " " << c.m;
        }
    }
}

TEST_F(Tolerancing, UnreachableTargetPrintsNoSolution) {
    singlet(0.005);
    // The focal length is nearly linear in the radius: a change far beyond the parabola's top
    // has no tolerance.
    ASSERT_EQ(run("sensitivity 1"), 0) << error_text();
    const ToleranceResult& r = record(kTolRdt, 1);
    const double a = r.change[0] + r.change[1];
    const double b = r.change[0] - r.change[1];
    ASSERT_LT(a, 0.0);
    const double beyond = 2.0 * b * b / (8.0 * -a);
    take_output();
    ASSERT_EQ(run("inverse_sensitivity 1 " + typed_number(beyond)), 0) << error_text();
    EXPECT_NE(take_output().find("no tolerance reaches this change"), std::string::npos);
}

// The paraxial marginal height at the image of an air-spaced doublet, traced by the operand
// script itself, with the last air space as the compensator.
class BackFocus : public Tolerancing {
protected:
    void SetUp() override {
        Tolerancing::SetUp();
        run_all({"LEN NEW \"Doublet\"", "EBR 5", "NXT", "SRF 40 4 N-BK7 10", "SRF -40 2 AIR 10",
                 "SRF -35 3 N-SF6 10", "SRF -120 50 AIR 10", "END"});
        // Focus the image: the last thickness is the back focal distance.
        run_all({"th[4] = " + typed_number(ynu_trace(4, 0).back_focus)});
        std::vector<std::string> lines = {"oprd[10] = 1", "oprd[11] = 0"};
        for (int j = 1; j <= 4; ++j) {
            const std::string before = j == 1 ? "1" : "index[" + std::to_string(j - 1) + "][1]";
            const std::string n = "index[" + std::to_string(j) + "][1]";
            lines.push_back("oprd[11] = oprd[11] - oprd[10] * cv[" + std::to_string(j) + "] * (" +
                            n + " - " + before + ")");
            lines.push_back("oprd[10] = oprd[10] + th[" + std::to_string(j) + "] * oprd[11] / " +
                            n);
        }
        lines.push_back("oprd[1] = oprd[10]");
        residuals(lines);
        run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "END", "VAR NEW", "V 1 4 0 TH", "END", "LEN",
                 "GTO 2", "THT 0.05", "END"});
    }
    // The back focal distance with the air space behind surface 2 changed by dt.
    static double focus_with_gap(double dt) {
        SurfaceRecord& s = surface(2);
        const double kept = s.thickness;
        s.thickness = kept + dt;
        const double f = ynu_trace(4, 0).back_focus;
        s.thickness = kept;
        return f;
    }
};

TEST_F(BackFocus, CompensatorRefocusesByTheFocusShift) {
    ASSERT_EQ(run("sensitivity 5"), 0) << error_text();
    const std::string out = take_output();
    const ToleranceResult& r = record(kTolTht, 2);
    ASSERT_EQ(r.has_values, 1);
    ASSERT_EQ(r.failed, 0);
    ASSERT_EQ(r.compensators[0].size(), 1u);
    const double plus = focus_with_gap(0.05);
    const double minus = focus_with_gap(-0.05);
    EXPECT_NEAR(r.compensators[0][0], plus, 1e-9 * plus);
    EXPECT_NEAR(r.compensators[1][0], minus, 1e-9 * minus);
    // Defocused without the compensator, back in focus with it.
    EXPECT_GT(std::fabs(r.change[0]), 1e-4);
    EXPECT_LT(std::fabs(r.change[2]), 1e-12);
    EXPECT_LT(std::fabs(r.change[3]), 1e-12);
    EXPECT_NE(out.find("Compensated"), std::string::npos) << out;
    EXPECT_NE(out.find("COMPENSATOR CHANGES"), std::string::npos) << out;
    // The variable's own gap carries no tolerance in the run, and the lens is back in focus.
    EXPECT_EQ(record(kTolTht, 4).has_values, 0);
    EXPECT_NEAR(surface(4).thickness, focus_with_gap(0.0), 1e-12);
}

// The printed numbers of the lines under the first column header after position from, up to
// the next empty line; "--" is a zero.
std::vector<std::vector<double>> block_rows(const std::string& out, std::size_t from,
                                            const std::string& header) {
    std::vector<std::vector<double>> rows;
    std::size_t at = out.find(header, from);
    if (at == std::string::npos) return rows;
    at = out.find('\n', at) + 1;
    while (at < out.size() && out[at] != '\n') {
        const std::size_t end = out.find('\n', at);
        std::vector<double> row;
        std::size_t p = at;
        while (p < end) {
            while (p < end && out[p] == ' ') ++p;
            if (p >= end) break;
            if (out.compare(p, 2, "--") == 0) {
                row.push_back(0.0);
                p += 2;
            } else {
                char* stop = nullptr;
                row.push_back(std::strtod(out.c_str() + p, &stop));
                p = static_cast<std::size_t>(stop - out.c_str());
            }
        }
        rows.push_back(row);
        at = end + 1;
    }
    return rows;
}

// The n numbers printed after key, searched from position from.
std::vector<double> numbers_after(const std::string& out, std::size_t from, const char* key,
                                  int n) {
    std::vector<double> v;
    std::size_t at = out.find(key, from);
    if (at == std::string::npos) return std::vector<double>(static_cast<std::size_t>(n), 1e300);
    const char* p = out.c_str() + at + std::strlen(key);
    for (int k = 0; k < n; ++k) {
        char* stop = nullptr;
        v.push_back(std::strtod(p, &stop));
        p = stop;
    }
    return v;
}

TEST_F(BackFocus, GroupReportListsItsBlocksInOrderAndSumsWhatItPrinted) {
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "O 2 \"OP1**2\" 1 \"TOLOP\"", "END", "LEN",
             "GTO 1", "RDT 0.01", "END"});
    take_output();
    ASSERT_EQ(run("sensitivity 25"), 0) << error_text();
    const std::string out = take_output();
    // Glass thicknesses before air spaces, each block followed by its two operand blocks.
    const char* heads[] = {"Radius tolerance RDT",
                           "Power tolerance SPT",
                           "Thickness tolerance THT, glass",
                           "Thickness tolerance THT, air spaces",
                           "Refractive index tolerance RNT",
                           "Abbe number tolerance VNT",
                           "SUMMARY",
                           "COMPENSATOR CHANGES"};
    std::size_t last = 0;
    for (const char* head : heads) {
        const std::size_t at = out.find(head);
        ASSERT_NE(at, std::string::npos) << head << "\n" << out;
        EXPECT_GT(at, last) << head;
        last = at;
    }
    int separators = 0;
    for (std::size_t at = out.find("-----"); at != std::string::npos;
         at = out.find("-----", at + 80)) {
        ++separators;
    }
    EXPECT_EQ(separators, 6);
    EXPECT_NE(out.find("Operand 2 (number 2): OP1**2"), std::string::npos) << out;
    // The summary from the printed changes of the error blocks: of each line the increase and
    // the decrease, and the square of the larger change; uncompensated and compensated.
    double increases[2] = {0, 0}, decreases[2] = {0, 0}, squares[2] = {0, 0};
    for (std::size_t k = 0; k < 6; ++k) {
        for (const std::vector<double>& row : block_rows(out, out.find(heads[k]), "Change +")) {
            ASSERT_EQ(row.size(), 6u);
            for (int c = 0; c < 2; ++c) {
                const double p = row[2 + 2 * c];
                const double m = row[3 + 2 * c];
                increases[c] += std::max({p, m, 0.0});
                decreases[c] += std::min({p, m, 0.0});
                const double larger = std::fabs(p) > std::fabs(m) ? p : m;
                squares[c] += larger * larger;
            }
        }
    }
    const std::size_t summary = out.find("SUMMARY");
    const std::vector<double> worst = numbers_after(out, summary, "Worst case change", 2);
    const std::vector<double> rss = numbers_after(out, summary, "Root sum of squares", 2);
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(worst[c],
                    std::fabs(increases[c]) > std::fabs(decreases[c]) ? increases[c] : decreases[c],
                    2e-5)
            << c;
        EXPECT_NEAR(rss[c], std::sqrt(squares[c]), 2e-5) << c;
    }
    EXPECT_GT(squares[0], 1e-6);
}

TEST_F(BackFocus, DesignersSettingsAndSolvesSurviveTheRun) {
    run_all({"LEN", "GTO 3", "PU -0.1", "END"});
    params().damping = 0.5;
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    for (const char* line : {"sensitivity 27", "sensitivity 25", "inverse_sensitivity 27 0.01"}) {
        run(line);
        EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before) << line;
        EXPECT_EQ(params().damping, 0.5) << line;
        EXPECT_EQ(surface(3).curvature_kind, kCurvatureAxialSlope) << line;
        EXPECT_FALSE(tables().compensating) << line;
        EXPECT_FALSE(tables().relative_to_nominal) << line;
    }
}

// A singlet whose operands are its dispersion (second minus third wavelength) and its index at
// the first wavelength.
TEST_F(Tolerancing, IndexAndAbbeTolerancesChangeTheMediumAsAsked) {
    run_all(
        {"LEN NEW \"Singlet\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
    residuals({"oprd[1] = index[1][2] - index[1][3]", "oprd[2] = index[1][1]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "O 2 \"OP2\" 1 \"TOLOP\"", "END", "LEN", "GTO 1",
             "RNT 0.001", "VNT 5", "END"});
    const double n1 = surface(1).index[0];
    const double dispersion = surface(1).index[1] - surface(1).index[2];
    ASSERT_EQ(run("sensitivity 8"), 0) << error_text();
    const ToleranceResult& index = record(kTolRnt, 1);
    ASSERT_EQ(index.operand_changes.size(), 2u);
    EXPECT_NEAR(index.operand_changes[0][0], 0.0, 1e-15);
    EXPECT_NEAR(index.operand_changes[1][0], 0.001, 1e-15);
    EXPECT_NEAR(index.operand_changes[1][1], -0.001, 1e-15);
    ASSERT_EQ(run("sensitivity 9"), 0) << error_text();
    // The dispersion is divided by 1 + p, so that the Abbe number grows by p; the index at the
    // first wavelength stays.
    const ToleranceResult& abbe = record(kTolVnt, 1);
    EXPECT_NEAR(abbe.operand_changes[0][0], dispersion / 1.05 - dispersion, 1e-15);
    EXPECT_NEAR(abbe.operand_changes[0][1], dispersion / 0.95 - dispersion, 1e-15);
    EXPECT_NEAR(abbe.operand_changes[1][0], 0.0, 1e-15);
    EXPECT_EQ(surface(1).index[0], n1);
    EXPECT_EQ(surface(1).medium_kind, kMediumGlass);
}

TEST_F(Tolerancing, ASecondRunReusesWhatNothingChanged) {
    singlet(0.005);
    take_output();
    ASSERT_EQ(run("sensitivity 25"), 0) << error_text();
    const std::string first = take_output();
    const int before = tables().error.evaluations;
    ASSERT_EQ(run("sensitivity 25"), 0) << error_text();
    EXPECT_EQ(tables().error.evaluations - before, 1);  // the nominal lens only
    EXPECT_EQ(take_output(), first);
    // A changed tolerance reruns its own entry: plus and minus.
    run_all({"LEN", "GTO 1", "RDT 0.01", "END"});
    const int edited = tables().error.evaluations;
    ASSERT_EQ(run("sensitivity 25"), 0) << error_text();
    EXPECT_EQ(tables().error.evaluations - edited, 3);
    // A lens value written through its item reruns everything.
    run_all({"th[2] = 44"});
    const int written = tables().error.evaluations;
    ASSERT_EQ(run("sensitivity 25"), 0) << error_text();
    EXPECT_GT(tables().error.evaluations - written, 3);
}

TEST_F(Tolerancing, ToleranceCommandRunsEitherAnalysis) {
    singlet(0.005);
    take_output();
    ASSERT_EQ(run("tolerance SENS 1"), 0) << error_text();
    const std::string sens = take_output();
    EXPECT_NE(sens.find("SENSITIVITY ANALYSIS"), std::string::npos) << sens;
    ASSERT_EQ(run("tolerance INV RDT 0.01"), 0) << error_text();
    EXPECT_NE(take_output().find("INVERSE SENSITIVITY ANALYSIS"), std::string::npos);
    // The kind's words name kinds; an analysis outside 0 and 1 does nothing and says nothing.
    ASSERT_EQ(run("sensitivity RDT"), 0) << error_text();
    EXPECT_EQ(take_output(), sens);
    ASSERT_EQ(run("a = 1"), 0);
    const std::string quiet = take_output();  // what a line that prints nothing leaves
    for (const char* line : {"tolerance 2", "tolerance -1"}) {
        const std::size_t refused = errors().size();
        EXPECT_EQ(run(line), 0) << line;
        EXPECT_EQ(take_output(), quiet) << line;
        EXPECT_EQ(errors().substr(refused), "") << line;
    }
}

TEST_F(Tolerancing, LensWithoutOperandsIsRefusedUnchanged) {
    run_all(
        {"LEN NEW \"Singlet\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    EXPECT_EQ(run("sensitivity 27"), kMsgNoOperands);
    EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
    EXPECT_EQ(surface(1).tolerances, nullptr);
}

// Every perturbation puts the lens back: the writer's text is the same byte for byte after a
// run over every kind, on lenses with pickups, solves, mirrors and special data.
TEST_F(Tolerancing, EveryRunLeavesTheLensTextAsItWas) {
    const std::vector<std::vector<std::string>> corpus = {
        {"NXT", "SRF 60 6 N-BK7 12", "SRF -40 3 N-SF6 12", "SRF -150 90 AIR 12"},
        {"NXT", "SRF 22 3.5 N-LAK9 8", "SRF 400 5 AIR 8", "SRF -40 1 N-SF6 6", "SRF 20 4 AIR 6",
         "SRF 90 3 N-LAK9 8", "SRF -30 40 AIR 8"},
        {"NXT", "RD -200", "TH -100", "GLA RFL", "AP 20", "NXT", "TH 0"},
        {"NXT", "SRF 50 5 N-BK7 10", "PK TH 1 0", "RD -50", "GLA AIR", "AP 10", "NXT", "PU -0.1",
         "TH 10", "NXT", "PK CVM 1", "TH 3", "GLA N-BK7", "NXT", "PY 0"},
        {"NXT", "SRF 50 5 N-BK7 10", "DCY 0.1", "TLA 0.5", "SRF -50 20 AIR 10", "RCO -1",
         "SRF 80 4 N-SF6 10", "CC -0.8", "ASP ASR 10", "AS2 1e-5", "SRF -80 30 AIR 10"},
        {"NXT", "SRF 50 5 N-BK7 10", "RDX 60", "SRF -50 45 AIR 10"},
    };
    for (std::size_t k = 0; k < corpus.size(); ++k) {
        std::vector<std::string> lines = {"LEN NEW \"Corpus\"", "EBR 4"};
        lines.insert(lines.end(), corpus[k].begin(), corpus[k].end());
        lines.push_back("END");
        for (const std::string& line : lines) run(line);
        residuals({"oprd[1] = cv[1] + th[1]"});
        run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "END"});
        const std::string before = lens_file_text(nullptr, nullptr, nullptr);
        for (const char* line :
             {"sensitivity 27", "inverse_sensitivity 27 0.01", "sensitivity 6"}) {
            run(line);
            EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before) << k << " " << line;
        }
    }
}

// Motions of one surface, measured by the operand script from surface 1: the x and y of the
// vertex of surface 3, the z of its edge points on the y and the x axis, and the y and z of the
// vertex of surface 4.
class SurfaceMotion : public Tolerancing {
protected:
    void SetUp() override {
        Tolerancing::SetUp();
        run_all({"LEN NEW \"Motion\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 20 AIR 10",
                 "SRF 80 4 N-SF6 10", "SRF -80 30 AIR 10", "END"});
        // Surfaces counted back from the image, so that the numbers name the same surfaces
        // while the analysis has a stand-in surface in front of surface 3.
        residuals({"surface_distance(1, image_surface - 2)", "oprd[1] = out_a(out_row - 1)",
                   "oprd[2] = out_b(out_row - 1)", "surface_distance(1, image_surface - 2, 0, 5)",
                   "oprd[3] = out_c(out_row - 1)",
                   "surface_distance(1, image_surface - 2, 0, 0, 0, 5)",
                   "oprd[4] = out_c(out_row - 1)", "surface_distance(1, image_surface - 1)",
                   "oprd[5] = out_b(out_row - 1)", "oprd[6] = out_c(out_row - 1)"});
        std::vector<std::string> lines = {"OPE NEW"};
        for (int k = 1; k <= 6; ++k) {
            lines.push_back("O " + std::to_string(k) + " \"OP" + std::to_string(k) +
                            "\" 1 \"tolop\"");
        }
        lines.push_back("END");
        run_all(lines);
    }
    // The six operand values of the current lens.
    static std::vector<double> measured() {
        compute_error_function(0);
        std::vector<double> v;
        for (int k = 0; k < 6; ++k) v.push_back(optimise_tables().operands[k].value);
        return v;
    }
};

TEST_F(SurfaceMotion, EachMotionMovesTheSurfaceAloneAsTypedDecentresDo) {
    // The tolerance, the analysis kind, and the same motion typed on surface 3.
    const struct {
        const char* tolerance;
        int kind;
        int value;
        std::vector<std::string> typed;
    } cases[] = {
        {"DCT 0.02", 10, kTolDct, {"DCY 0.02", "RCO 0"}},
        {"DXT 0.02", 11, kTolDxt, {"DCX 0.02", "RCO 0"}},
        {"TLT 0.5", 12, kTolTlt, {"TLA 0.5", "RCO 0"}},
        {"TBT 0.5", 13, kTolTbt, {"TLB 0.5", "RCO 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tolerance);
        run_all({"LEN", "GTO 3", c.tolerance, "END"});
        const std::vector<double> nominal = measured();
        ASSERT_EQ(run("sensitivity " + std::to_string(c.kind)), 0) << error_text();
        const ToleranceResult r = record(c.value, 3);
        ASSERT_EQ(r.failed, 0);
        std::vector<std::string> typed = {"LEN", "GTO 3"};
        typed.insert(typed.end(), c.typed.begin(), c.typed.end());
        typed.push_back("END");
        run_all(typed);
        const std::vector<double> moved = measured();
        for (int k = 0; k < 6; ++k) {
            EXPECT_NEAR(r.operand_changes[k][0], moved[k] - nominal[k], 1e-10) << k;
        }
        // Something moved, and surface 4 did not.
        double motion = 0.0;
        for (int k = 0; k < 4; ++k) motion += std::fabs(moved[k] - nominal[k]);
        EXPECT_GT(motion, 1e-3);
        EXPECT_NEAR(r.operand_changes[4][0], 0.0, 1e-12);
        EXPECT_NEAR(r.operand_changes[5][0], 0.0, 1e-12);
        // Back to the lens without the typed motion; the tolerance no longer counts.
        run_all({"LEN", "GTO 3", "TDD", "RCD", std::string(c.tolerance).substr(0, 4) + "0", "END"});
    }
}

TEST_F(SurfaceMotion, ADecentredSurfaceMovesAloneBehindADummy) {
    // Surface 3 decentres everything behind it; its decentre tolerance moves it alone, and
    // the axial tolerance moves it along the axis alone.
    run_all({"LEN", "GTO 3", "DCY 0.3", "DCT 0.02", "DZT 0.1", "END"});
    const std::vector<double> nominal = measured();
    ASSERT_NEAR(nominal[1], 0.3, 1e-12);
    ASSERT_NEAR(nominal[4], 0.3, 1e-12);
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    ASSERT_EQ(run("sensitivity 10"), 0) << error_text();
    const ToleranceResult& decentre = record(kTolDct, 3);
    ASSERT_EQ(decentre.failed, 0);
    EXPECT_NEAR(decentre.operand_changes[1][0], 0.02, 1e-12);
    EXPECT_NEAR(decentre.operand_changes[1][1], -0.02, 1e-12);
    EXPECT_NEAR(decentre.operand_changes[4][0], 0.0, 1e-12);
    ASSERT_EQ(run("sensitivity 7"), 0) << error_text();
    const ToleranceResult& position = record(kTolDzt, 3);
    ASSERT_EQ(position.failed, 0);
    EXPECT_NEAR(position.operand_changes[2][0], 0.1, 1e-12);
    EXPECT_NEAR(position.operand_changes[2][1], -0.1, 1e-12);
    EXPECT_NEAR(position.operand_changes[5][0], 0.0, 1e-12);
    EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
}

TEST_F(Tolerancing, ALensAtTheSurfaceLimitListsWhatCannotBeMoved) {
    // A singlet followed by plain air surfaces up to the surface limit: moving a surface alone
    // needs a stand-in surface, which the lens has no room for.
    const int limit = surface_limit();
    ASSERT_LE(limit, 400);
    std::vector<std::string> lines = {"LEN NEW \"Full\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10",
                                      "SRF -50 10 AIR 10"};
    for (int s = 3; s < limit; ++s) lines.insert(lines.end(), {"TH 1", "NXT"});
    lines.push_back("END");
    run_all(lines);
    ASSERT_EQ(lens_data().image_surface, limit);
    residuals({"oprd[1] = cv[1] + th[1]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "END", "LEN", "GTO 1", "DZT 0.1", "END"});
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    take_output();
    EXPECT_EQ(run("sensitivity 25"), kMsgSurfaceLimit);
    const std::string out = take_output();
    const std::size_t failed = out.find("failed: the lens cannot take this perturbation");
    ASSERT_NE(failed, std::string::npos) << out;
    EXPECT_EQ(out.substr(out.rfind('\n', failed) + 1, 10), "  1     0.") << out;
    EXPECT_NE(out.find("1 tolerances could not be evaluated"), std::string::npos) << out;
    EXPECT_EQ(record(kTolDzt, 1).failed, 1);
    // The other tolerances of the surface were evaluated, and the lens is as it was.
    EXPECT_EQ(record(kTolRdt, 1).failed, 0);
    EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
}

TEST_F(Tolerancing, AnElementDecentreMovesTheElementAloneAndKeepsTheGapBehindIt) {
    run_all({"LEN NEW \"Two elements\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 20 AIR 10",
             "SRF 80 4 N-SF6 10", "SRF -80 30 AIR 10", "END"});
    residuals({"surface_distance(1, 3)", "oprd[1] = out_b(out_row - 1)", "surface_distance(1, 4)",
               "oprd[2] = out_b(out_row - 1)", "oprd[3] = out_c(out_row - 1)",
               "surface_distance(1, image_surface)", "oprd[4] = out_b(out_row - 1)",
               "oprd[5] = out_c(out_row - 1)"});
    std::vector<std::string> lines = {"OPE NEW"};
    for (int k = 1; k <= 5; ++k) {
        lines.push_back("O " + std::to_string(k) + " \"OP" + std::to_string(k) + "\" 1 \"tolop\"");
    }
    // The gap behind the element is a variable: it must keep acting on that gap.
    lines.insert(lines.end(),
                 {"END", "VAR NEW", "V 1 4 0 TH", "END", "LEN", "GTO 3", "CDY 0.05", "END"});
    run_all(lines);
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    ASSERT_EQ(run("sensitivity 14"), 0) << error_text();
    const ToleranceResult& r = record(kTolCdy, 3);
    ASSERT_EQ(r.failed, 0);
    ASSERT_EQ(r.has_values, 1);
    const double expected[5] = {0.05, 0.05, 0.0, 0.0, 0.0};
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(r.operand_changes[k][0], expected[k], 1e-12) << k;
        EXPECT_NEAR(r.operand_changes[k][1], -expected[k], 1e-12) << k;
    }
    EXPECT_NEAR(r.compensators[0][0], 30.0, 1.0);
    EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
    // Only the first surface of an element carries its decentre.
    EXPECT_EQ(record(kTolCdy, 4).has_values, 0);
}

// Irregularity makes the surface a biconic for the duration: half the fringes lengthen one
// section and shorten the other, then the reverse. The sags of the two sections at 7 mm are
// measured by the operands and checked against the spheres whose edge sags over the test plate
// differ by the fringes.
TEST_F(Tolerancing, IrregularityBendsTheTwoSectionsApartByHalfTheFringesEach) {
    run_all(
        {"LEN NEW \"Singlet\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
    residuals({"surface_sag(1, 7)", "oprd[1] = out_c(out_row - 1)", "surface_sag(1, 0, 7)",
               "oprd[2] = out_c(out_row - 1)"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "O 2 \"OP2\" 1 \"tolop\"", "END", "LEN",
             "TWL 0.6328", "GTO 1", "IRT 2", "END"});
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    ASSERT_EQ(run("sensitivity 3"), 0) << error_text();
    const ToleranceResult& r = record(kTolIrt, 1);
    ASSERT_EQ(r.failed, 0);
    ASSERT_EQ(r.has_values, 1);
    // A given tolerance is tested over the clear aperture: 20 mm.
    const double h = surface(1).aperture_radius;
    const double w = 0.6328e-3 * 2.0 / std::sqrt(2.0);
    const auto sag = [](double radius, double y) {
        return radius - std::sqrt(radius * radius - y * y);
    };
    const auto radius_of_sag = [h](double z) { return (h * h + z * z) / (2.0 * z); };
    // The lengthened radius has w/2 less sag at the edge, the shortened w/2 more (measured on
    // the radius shifted by w/2, as the test plate stands off by half a fringe).
    const double longer = radius_of_sag(sag(50.0, h) - w / 2.0) + w / 2.0;
    const double shorter = radius_of_sag(sag(50.0, h) + w / 2.0) - w / 2.0;
    ASSERT_GT(longer, 50.0);
    ASSERT_LT(shorter, 50.0);
    const double nominal = sag(50.0, 7.0);
    // +: x section longer, y section shorter; -: the reverse.
    EXPECT_NEAR(r.operand_changes[0][0], sag(shorter, 7.0) - nominal, 1e-12);
    EXPECT_NEAR(r.operand_changes[1][0], sag(longer, 7.0) - nominal, 1e-12);
    EXPECT_NEAR(r.operand_changes[0][1], sag(longer, 7.0) - nominal, 1e-12);
    EXPECT_NEAR(r.operand_changes[1][1], sag(shorter, 7.0) - nominal, 1e-12);
    EXPECT_GT(std::fabs(r.operand_changes[0][0]), 1e-5);
    EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
    EXPECT_EQ(surface(1).asphere, nullptr);
    EXPECT_EQ(surface(1).x_curvature, 0.0);
}

TEST_F(Tolerancing, AnAsphereTakesNoIrregularityAndSaysSo) {
    run_all(
        {"LEN NEW \"Singlet\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10", "SRF -50 45 AIR 10", "END"});
    residuals({"oprd[1] = cv[1]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "END", "LEN", "GTO 1", "IRT 2", "ASP ASR 8",
             "AS4 1e-7", "END"});
    const std::string before = lens_file_text(nullptr, nullptr, nullptr);
    take_output();
    ASSERT_NE(surface(1).asphere, nullptr);
    EXPECT_EQ(run("sensitivity 3"), kMsgToleranceIrregularityAspheric);
    EXPECT_NE(take_output().find("failed: the lens cannot take this perturbation"),
              std::string::npos);
    EXPECT_EQ(record(kTolIrt, 1).failed, 1);
    EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
}

// A kind asked for alone that no surface can take says so, for either analysis: a lens of air
// spaces has no glass thickness and no element, and two wavelengths give no Abbe number.
TEST_F(Tolerancing, AKindNoSurfaceCanTakeSaysSo) {
    run_all({"LEN NEW \"Air\"", "EBR 5", "WV 0.5876 0.4861", "NXT", "SRF 50 5 AIR 10",
             "SRF -50 45 AIR 10", "GTO 1", "VNT 5", "THT 0.1", "CDY 0.1", "END"});
    residuals({"oprd[1] = cv[1]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"tolop\"", "END"});
    const struct {
        const char* line;
        const char* title;
    } cases[] = {
        {"sensitivity 6", "SENSITIVITY ANALYSIS"},
        {"inverse_sensitivity 14 0.01", "INVERSE SENSITIVITY ANALYSIS"},
        {"sensitivity 9", "SENSITIVITY ANALYSIS"},
    };
    for (const auto& c : cases) {
        take_output();
        ASSERT_EQ(run(c.line), 0) << c.line << " " << error_text();
        const std::string out = take_output();
        EXPECT_NE(out.find(c.title), std::string::npos) << out;
        EXPECT_NE(out.find("No surface has a tolerance of this kind that can be applied"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("Srf  Tolerance"), std::string::npos) << out;
    }
}

// An element tilt turns the element as one about its pivot: the same turn typed as a stand-in
// surface in front (to the pivot, tilted, back) and two behind it (the reverse) gives the same
// places of the element, the surfaces behind it stay, and the first vertex keeps its distance
// from the pivot. The pivots are worked out here from the two spheres of radius 80.
TEST_F(Tolerancing, AnElementTiltTurnsTheElementAboutItsPivotAsTypedRecordsDo) {
    const double h = 10.0;
    const double edge = 80.0 - std::sqrt(80.0 * 80.0 - h * h);  // sag of R 80 at the edge
    const struct {
        int kind;
        int value;
        int s;
        const char* tolerance;
        const char* tilt;
        double px, py, pz;  // pivot from the element's first vertex
    } cases[] = {
        {16, kTolCaa, 3, "CAA 0.5", "TLA", 0.0, h, edge},
        {17, kTolCab, 4, "CAB 0.5", "TLB", h, 0.0, 4.0 - edge},
        {18, kTolCca, 3, "CCA 0.5", "TLA", 0.0, 0.0, 80.0},
        {19, kTolCcb, 4, "CCB 0.5", "TLB", 0.0, 0.0, 4.0 - 80.0},
    };
    const auto build = [this](const std::string& tolerance, int s) {
        run_all({"LEN NEW \"Two elements\"", "EBR 5", "NXT", "SRF 50 5 N-BK7 10",
                 "SRF -50 20 AIR 10", "SRF 80 4 N-SF6 10", "SRF -80 30 AIR 10",
                 "GTO " + std::to_string(s), tolerance, "END"});
    };
    const auto operands = [this]() {
        // While the analysis runs the element's first vertex is 4 surfaces before the image.
        residuals({"surface_distance(1, image_surface - 4)", "oprd[1] = out_a(out_row - 1)",
                   "oprd[2] = out_b(out_row - 1)", "oprd[3] = out_c(out_row - 1)",
                   "surface_distance(1, image_surface - 3, 0, 5, 0, 3)",
                   "oprd[4] = out_a(out_row - 1)", "oprd[5] = out_b(out_row - 1)",
                   "oprd[6] = out_c(out_row - 1)", "surface_distance(1, image_surface)",
                   "oprd[7] = out_b(out_row - 1)", "oprd[8] = out_c(out_row - 1)"});
        std::vector<std::string> lines = {"OPE NEW"};
        for (int k = 1; k <= 8; ++k) {
            lines.push_back("O " + std::to_string(k) + " \"OP" + std::to_string(k) +
                            "\" 1 \"tolop\"");
        }
        lines.push_back("END");
        run_all(lines);
    };
    const auto n = [](double v) { return typed_number(v); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tolerance);
        build(c.tolerance, c.s);
        operands();
        const std::string before = lens_file_text(nullptr, nullptr, nullptr);
        ASSERT_EQ(run("sensitivity " + std::to_string(c.kind)), 0) << error_text();
        const ToleranceResult r = record(c.value, c.s);
        ASSERT_EQ(r.failed, 0);
        ASSERT_EQ(r.has_values, 1);
        EXPECT_EQ(lens_file_text(nullptr, nullptr, nullptr), before);
        const std::vector<double> nominal = tolerance_result_tables().run.selected_nominal;
        ASSERT_EQ(nominal.size(), 8u);
        // The surfaces behind the element stay.
        EXPECT_NEAR(r.operand_changes[6][0], 0.0, 1e-10);
        EXPECT_NEAR(r.operand_changes[7][0], 0.0, 1e-10);
        // The first vertex turns about the pivot, 25 behind surface 1.
        const double p[3] = {c.px, c.py, 25.0 + c.pz};
        const auto distance = [&](double x, double y, double z) {
            return std::hypot(x - p[0], y - p[1], z - p[2]);
        };
        EXPECT_NEAR(
            distance(nominal[0] + r.operand_changes[0][0], nominal[1] + r.operand_changes[1][0],
                     nominal[2] + r.operand_changes[2][0]),
            distance(0.0, 0.0, 25.0), 1e-10);
        double motion = 0.0;
        for (int k = 0; k < 6; ++k) motion += std::fabs(r.operand_changes[k][0]);
        EXPECT_GT(motion, 1e-3);
        for (const int side : {0, 1}) {
            const double a = side == 0 ? 0.5 : -0.5;
            const double b[3] = {c.px, c.py, c.pz - 4.0};  // the pivot from the last vertex
            build("TLT 0", c.s);
            run_all({"LEN",
                     "INS 3",
                     "TH 0",
                     "DCX " + n(c.px),
                     "DCY " + n(c.py),
                     "DCZ " + n(c.pz),
                     std::string(c.tilt) + " " + n(a),
                     "GTO 4",
                     "DCX " + n(-c.px),
                     "DCY " + n(-c.py),
                     "DCZ " + n(-c.pz),
                     "GTO 5",
                     "TH 0",
                     "INS 6",
                     "TH 0",
                     "DCX " + n(b[0]),
                     "DCY " + n(b[1]),
                     "DCZ " + n(b[2]),
                     std::string(c.tilt) + " " + n(-a),
                     "INS 7",
                     "TH 30",
                     "DCX " + n(-b[0]),
                     "DCY " + n(-b[1]),
                     "DCZ " + n(-b[2]),
                     "END"});
            operands();
            compute_error_function(0);
            for (int k = 0; k < 8; ++k) {
                EXPECT_NEAR(nominal[k] + r.operand_changes[k][side],
                            optimise_tables().operands[k].value, 1e-10)
                    << "side " << side << " operand " << k + 1;
            }
        }
    }
}

}  // namespace
