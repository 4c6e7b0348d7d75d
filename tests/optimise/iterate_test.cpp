// The damped-least-squares iteration on residuals that a script entry writes as known linear
// functions of the curvatures of air-spaced dummy surfaces: the steps are checked against a
// least-squares solution computed here by Householder QR, and the constrained cases against
// their closed forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "optimise/error_function.h"
#include "optimise/variables.h"
#include "platform/ui.h"
#include "runtime/settings.h"
#include "tests/optimise/optimise_fixture.h"

namespace {

using optimise_test::Optimise;
using Matrix = std::vector<std::vector<double>>;

// The x minimising |A x - b| by Householder QR (A has at least as many rows as columns).
std::vector<double> householder_least_squares(Matrix a, std::vector<double> b) {
    const std::size_t m = a.size();
    const std::size_t n = a[0].size();
    for (std::size_t k = 0; k < n; ++k) {
        double norm = 0.0;
        for (std::size_t i = k; i < m; ++i) norm += a[i][k] * a[i][k];
        norm = std::sqrt(norm);
        const double alpha = a[k][k] > 0 ? -norm : norm;
        std::vector<double> v(m, 0.0);
        for (std::size_t i = k; i < m; ++i) v[i] = a[i][k];
        v[k] -= alpha;
        double vv = 0.0;
        for (std::size_t i = k; i < m; ++i) vv += v[i] * v[i];
        if (vv == 0.0) continue;
        for (std::size_t j = k; j < n; ++j) {
            double dot = 0.0;
            for (std::size_t i = k; i < m; ++i) dot += v[i] * a[i][j];
            for (std::size_t i = k; i < m; ++i) a[i][j] -= 2.0 * dot / vv * v[i];
        }
        double dot = 0.0;
        for (std::size_t i = k; i < m; ++i) dot += v[i] * b[i];
        for (std::size_t i = k; i < m; ++i) b[i] -= 2.0 * dot / vv * v[i];
    }
    std::vector<double> x(n, 0.0);
    for (std::size_t k = n; k-- > 0;) {
        double sum = b[k];
        for (std::size_t j = k + 1; j < n; ++j) sum -= a[k][j] * x[j];
        x[k] = sum / a[k][k];
    }
    return x;
}

// Residuals r = A c + f0 of three curvatures, with weights.
const Matrix kA = {{1.0, 2.0, 0.0}, {3.0, 0.0, -1.0}, {0.0, 1.0, 1.0}, {1.0, -1.0, 1.0}};
const std::vector<double> kF0 = {-0.01, 0.02, -0.005, 0.003};
const std::vector<double> kWeights = {1.0, 2.0, 0.5, 1.0};

class Linear : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        dummies(3);
        residuals({"oprd[1] = cv[1] + 2 * cv[2] - 0.01", "oprd[2] = 3 * cv[1] - cv[3] + 0.02",
                   "oprd[3] = cv[2] + cv[3] - 0.005", "oprd[4] = cv[1] - cv[2] + cv[3] + 0.003"});
        run_all({"OPE NEW", "O 1 \"OP1\" 1 \"a\"", "O 2 \"OP2\" 2 \"b\"", "O 3 \"OP3\" 0.5 \"c\"",
                 "O 4 \"OP4\" 1 \"d\"", "END", "VAR NEW", "V 1 1 0 CV 0 0 1 0.001",
                 "V 2 2 0 CV 0 0 2 0.001", "V 3 3 0 CV 0 0 0.5 0.001", "END"});
    }
    // The damped problem as rows: sqrt(w) A and, per variable, sqrt(D d_j H_jj).
    std::vector<double> expected_step(double damping, const std::vector<double>& d) const {
        Matrix rows;
        std::vector<double> rhs;
        for (std::size_t i = 0; i < kA.size(); ++i) {
            std::vector<double> row;
            for (double v : kA[i]) row.push_back(std::sqrt(kWeights[i]) * v);
            rows.push_back(row);
            rhs.push_back(-std::sqrt(kWeights[i]) * kF0[i]);
        }
        for (std::size_t j = 0; j < 3; ++j) {
            double hjj = 0.0;
            for (std::size_t i = 0; i < kA.size(); ++i) hjj += kWeights[i] * kA[i][j] * kA[i][j];
            std::vector<double> row(3, 0.0);
            row[j] = std::sqrt(damping * d[j] * hjj);
            rows.push_back(row);
            rhs.push_back(0.0);
        }
        return householder_least_squares(rows, rhs);
    }
};

TEST_F(Linear, OneStepWithoutDampingLandsOnTheLeastSquaresSolution) {
    params().damping = 1e-12;
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    const std::vector<double> x = expected_step(0.0, {1, 1, 1});
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(cv(j + 1), x[j], 1e-9) << j;
}

TEST_F(Linear, DampedStepSolvesTheDampedEquations) {
    params().damping = 0.1;
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    const std::vector<double> x = expected_step(0.1, {1, 2, 0.5});
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(cv(j + 1), x[j], 1e-9) << j;
    // The damping weights matter: without them the step differs.
    const std::vector<double> plain = expected_step(0.1, {1, 1, 1});
    EXPECT_GT(std::fabs(plain[0] - x[0]) + std::fabs(plain[1] - x[1]), 1e-6);
}

TEST_F(Linear, DampingSearchConvergesToTheSameSolution) {
    ASSERT_EQ(run("iterate 3 30"), 0) << error_text();
    const std::vector<double> x = expected_step(0.0, {1, 1, 1});
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(cv(j + 1), x[j], 1e-8) << j;
}

TEST_F(Linear, ConstraintsOnlyTakeTheMinimumNormStep) {
    // Two constraints on three curvatures: OP1 = 0 and OP3 = 0, rows (1, 2, 0) and (0, 1, 1).
    run_all({"OPE NEW", "O 1 \"OP1\" CON 0 \"a\"", "O 2 \"OP3\" CON 0 \"c\"", "END"});
    // With damping weights d the step is the least in the norm sum s_j^2 d_j:
    // s = R C^T (C R C^T)^-1 (-f0), R = diag(1 / d) = (1, 0.5, 2).
    ASSERT_EQ(run("iterate 1 1"), 0) << error_text();
    const double r[3] = {1.0, 0.5, 2.0};
    const auto check = [&](const double* r, double tolerance) {
        const double g11 = r[0] + 4 * r[1];
        const double g12 = 2 * r[1];
        const double g22 = r[1] + r[2];
        const double f1 = 0.01, f2 = 0.005;
        const double det = g11 * g22 - g12 * g12;
        const double l1 = (f1 * g22 - g12 * f2) / det;
        const double l2 = (g11 * f2 - g12 * f1) / det;
        EXPECT_NEAR(cv(1), r[0] * l1, tolerance);
        EXPECT_NEAR(cv(2), r[1] * (2 * l1 + l2), tolerance);
        EXPECT_NEAR(cv(3), r[2] * l2, tolerance);
    };
    check(r, 1e-12);
    // With equal weights: the plain minimum-norm step.
    run_all({"VAR", "V 1 VAL 0 0 0 0 0 0 0 0", "V 2 VAL 0 0 0 0 0 0 0 0", "V 3 VAL 0 0 0 0 0 0 0 0",
             "V 2 DMP 0 0 0 0 0 1", "V 3 DMP 0 0 0 0 0 1", "END"});
    ASSERT_EQ(run("iterate 1 1"), 0) << error_text();
    const double equal[3] = {1.0, 1.0, 1.0};
    check(equal, 1e-12);
}

TEST_F(Linear, EscapeStopsTheRunWithTheIterationsStartValues) {
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    const double after_first[3] = {cv(1), cv(2), cv(3)};
    set_setting_flag(kSetCheckEscape, 1);
    platform::KeyEvent escape;
    escape.key = platform::key_escape;
    escape.pressed = false;
    // Whether the operand command's script or the step takes the key, the run stops (the step
    // asks first, and OK stops).
    ui().post_key(0, escape);
    ui().queue_message_box_answer(platform::MessageAnswer::ok);
    EXPECT_EQ(run("iterate 0 3"), -9999);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(cv(j + 1), after_first[j]) << j;
    // Without a script in the way the step asks; answered to go on, the run ends as it would.
    run_all({"OPE NEW", "O 1 \"3\" 1 \"constant\"", "END"});
    const std::size_t boxes = ui().message_boxes_shown().size();
    ui().post_key(0, escape);
    ui().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_EQ(run("iterate 0 1"), 0) << error_text();
    ASSERT_EQ(ui().message_boxes_shown().size(), boxes + 1);
    EXPECT_NE(ui().message_boxes_shown().back().text.find("Escape"), std::string::npos);
    set_setting_flag(kSetCheckEscape, 0);
}

TEST_F(Linear, WhenTheErrorCannotFallTheDampingRisesTenfoldToItsLimitAndTheValuesStay) {
    // An operand no variable moves: every trial step leaves the error as it was.
    run_all({"OPE NEW", "O 1 \"3\" 1 \"constant\"", "END"});
    surface(1).curvature = 0.125;
    const double start[3] = {cv(1), cv(2), cv(3)};
    params().small_damping = 0.001;
    take_output();
    ASSERT_EQ(run("iterate 3 1 2"), 0) << error_text();
    // Report mode 2 shows each trial step: its damping and both errors (an iteration's row
    // begins with its number and has more cells).
    std::vector<double> tried;
    std::istringstream lines(take_output());
    for (std::string line; std::getline(lines, line);) {
        std::istringstream cells(line);
        std::vector<std::string> words;
        for (std::string w; cells >> w;) words.push_back(w);
        if (words.size() == 3 && words[0].find('.') != std::string::npos) {
            tried.push_back(std::strtod(words[0].c_str(), nullptr));
        }
    }
    ASSERT_EQ(tried.size(), 9u);
    for (std::size_t k = 0; k < tried.size(); ++k) {
        EXPECT_NEAR(tried[k], 0.001 * std::pow(10.0, static_cast<double>(k)), 1e-9 * tried[k]);
    }
    for (int j = 0; j < 3; ++j) EXPECT_EQ(cv(j + 1), start[j]) << j;
    EXPECT_EQ(params().damping, 0.001);
}

TEST(DerivativeStep, IncrementOrAThousandthOfTheValueOrTheSmallestStep) {
    struct Case {
        double increment, value, step;
    } cases[] = {{0.0, 0.0, 1e-9},  {0.0, 50.0, 0.05},  {0.0, -2.0, 0.002},
                 {0.0, 1e-7, 1e-9}, {-0.01, 3.0, 0.01}, {1e-4, 3.0, 1e-4}};
    for (const Case& c : cases) {
        EXPECT_EQ(derivative_step(c.increment, c.value), c.step) << c.increment << " " << c.value;
    }
}

class Constrained : public Optimise {
protected:
    void SetUp() override {
        Optimise::SetUp();
        dummies(2);
        run_all({"VAR NEW", "V 1 1 0 CV 0 0 1 0.001", "V 2 2 0 CV 0 0 1 0.001", "END"});
    }
};

TEST_F(Constrained, LeastSquaresOnALineIsItsPointNearestTheOrigin) {
    residuals({"oprd[1] = cv[1]", "oprd[2] = cv[2]", "oprd[3] = cv[1] + cv[2]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"x\"", "O 2 \"OP2\" 1 \"y\"", "O 3 \"OP3\" CON 1 \"sum\"",
             "END"});
    params().damping = 1e-12;
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    EXPECT_NEAR(cv(1), 0.5, 1e-8);
    EXPECT_NEAR(cv(2), 0.5, 1e-8);
    // The damping search gets there as well.
    run_all({"VAR", "V 1 VAL 0 0 0 0 0 0 0 0", "V 2 VAL 0 0 0 0 0 0 0 0.3", "END"});
    ASSERT_EQ(run("iterate 3 20"), 0) << error_text();
    EXPECT_NEAR(cv(1), 0.5, 1e-8);
    EXPECT_NEAR(cv(2), 0.5, 1e-8);
}

TEST_F(Constrained, ASatisfiedInequalityChangesNothingAndAViolatedOneEndsInsideItsTolerance) {
    residuals({"oprd[1] = cv[1] - 0.2", "oprd[2] = cv[2] - 0.2", "oprd[3] = cv[1] + cv[2]"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"x\"", "O 2 \"OP2\" 1 \"y\"", "O 3 \"OP3<1\" CON 0 \"sum\"",
             "END"});
    params().damping = 1e-12;
    ASSERT_EQ(run("iterate 0 3"), 0) << error_text();
    // The unconstrained optimum (0.2, 0.2) satisfies the inequality.
    EXPECT_NEAR(cv(1), 0.2, 1e-8);
    EXPECT_NEAR(cv(2), 0.2, 1e-8);

    residuals({"oprd[1] = cv[1] - 1", "oprd[2] = cv[2] - 1", "oprd[3] = cv[1] + cv[2]"});
    // From (1, 1), where x + y < 1 is violated: one step onto the line.
    run_all({"VAR", "V 1 VAL 0 0 0 0 0 0 0 1", "V 2 VAL 0 0 0 0 0 0 0 1", "END"});
    ASSERT_EQ(run("iterate 0 1"), 0) << error_text();
    EXPECT_LT(cv(1) + cv(2) - 1.0, params().constraint_tolerance);
    EXPECT_NEAR(cv(1), 0.5, 1e-6);
    EXPECT_NEAR(cv(2), 0.5, 1e-6);
}

TEST_F(Constrained, OnlySatisfiedInequalitiesTakeAZeroStep) {
    residuals({"oprd[3] = cv[1] + cv[2]"});
    run_all({"OPE NEW", "O 1 \"OP3<1\" CON 0 \"sum\"", "END"});
    surface(1).curvature = 0.25;
    take_output();
    ASSERT_EQ(run("iterate 1 2"), 0) << error_text();
    EXPECT_NE(take_output().find("No constraint is active"), std::string::npos);
    EXPECT_EQ(cv(1), 0.25);
    EXPECT_EQ(cv(2), 0.0);
}

TEST_F(Constrained, NothingToOptimiseIsRefused) {
    EXPECT_EQ(run("iterate"), kMsgNoOperands);
    run_all({"VAR NEW", "END"});
    run_all({"OPE NEW", "O 1 \"1\" 1 \"one\"", "END"});
    EXPECT_EQ(run("iterate"), kMsgNoVariables);
}

TEST_F(Constrained, AFailingOperandCommandStopsTheIteration) {
    residuals({"oprd[1] = cv[1]", "no_such_command_here 3"});
    run_all({"OPE NEW", "O 1 \"OP1\" 1 \"x\"", "END"});
    surface(1).curvature = 0.25;
    EXPECT_NE(run("iterate 0 3"), 0);
    EXPECT_EQ(cv(1), 0.25);
}

}  // namespace

namespace {

// A thin-lens bending: the focal length of a lens of index 1.5 and thickness 0.5 held at 100 by
// a constraint, and a third-order spherical aberration of the thin-lens form: the cube of the
// power times a quadratic in the shape factor X = (c1 + c2) / (c1 - c2), 28/3 X^2 - 40/3 X + C,
// whose minimum at fixed power is Coddington's 2 (n^2 - 1) / (n + 2) = 5/7 for an object at
// infinity.
TEST_F(Constrained, BendingFindsCoddingtonsShapeFactorAtTheFocalLength) {
    residuals({"a = cv[1]", "b = cv[2]", "p = 0.5 * (a - b) + 0.25 * 0.5 * a * b / 1.5",
               "oprd[1] = 1.0 / p", "x = (a + b) / (a - b)",
               "oprd[5] = 1000.0 * p * p * p * (28.0 / 3.0 * x * x - 40.0 / 3.0 * x + 6.0)"});
    run_all({"OPE NEW", "O 1 \"OP1\" CON 100 \"efl\"", "O 2 \"OP5\" 1 \"sa3\"", "END", "VAR NEW",
             "V 1 1 0 CV 0 0 1 1e-9", "V 2 2 0 CV 0 0 1 1e-9", "END"});
    surface(1).curvature = 0.01;
    surface(2).curvature = -0.01;
    params().stop_threshold = 1e-10;
    ASSERT_EQ(run("iterate 3 30"), 0) << error_text();
    const double a = cv(1);
    const double b = cv(2);
    const double efl = 1.0 / (0.5 * (a - b) + 0.25 * 0.5 * a * b / 1.5);
    EXPECT_NEAR(efl, 100.0, 1e-8);
    EXPECT_NEAR((a + b) / (a - b), 5.0 / 7.0, 1e-5);
}

}  // namespace
