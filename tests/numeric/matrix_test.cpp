#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "numeric/linear_solvers.h"
#include "numeric/matrix_ops.h"
#include "numeric/memory.h"

namespace {

// A heap matrix from the allocation wrappers, filled row by row.
class Matrix {
public:
    Matrix(int rows, int cols, std::initializer_list<double> values = {})
        : rows_(rows), cols_(cols), m_(alloc_matrix_of<double>(rows, cols)) {
        int k = 0;
        for (double v : values) {
            m_[k / cols][k % cols] = v;
            ++k;
        }
    }
    Matrix(const Matrix&) = delete;
    Matrix& operator=(const Matrix&) = delete;
    ~Matrix() { free_matrix_of(m_); }
    double** get() const { return m_; }
    double* operator[](int i) const { return m_[i]; }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

private:
    int rows_;
    int cols_;
    double** m_;
};

void expect_matrix(const Matrix& m, std::initializer_list<double> expected, double tol = 0.0) {
    int k = 0;
    for (double v : expected) {
        EXPECT_NEAR(m[k / m.cols()][k % m.cols()], v, tol) << "entry " << k;
        ++k;
    }
}

// Solver tests share one static workspace; each starts from an empty one.
class Solvers : public ::testing::Test {
protected:
    void SetUp() override { free_solver_workspace(); }
    void TearDown() override { free_solver_workspace(); }
};

TEST(MatrixOps, ProductsAgainstHandComputedValues) {
    const Matrix a(2, 3, {1, 2, 3, 4, 5, 6});
    const Matrix b(3, 2, {7, 8, 9, 10, 11, 12});
    Matrix c(2, 2);
    mat_mul(a.get(), b.get(), c.get(), 2, 3, 2);
    expect_matrix(c, {58, 64, 139, 154});

    const double x3[] = {1, 0, -1};
    double y2[2] = {};
    mat_vec_mul(a.get(), x3, y2, 2, 3);
    EXPECT_EQ(y2[0], -2);
    EXPECT_EQ(y2[1], -2);

    const double x2[] = {1, -1};
    double y3[3] = {};
    mat_t_vec_mul(a.get(), x2, y3, 2, 3);
    EXPECT_EQ(y3[0], -3);
    EXPECT_EQ(y3[1], -3);
    EXPECT_EQ(y3[2], -3);

    Matrix ata(3, 3);
    mat_ata(a.get(), ata.get(), 2, 3);
    expect_matrix(ata, {17, 22, 27, 22, 29, 36, 27, 36, 45});

    Matrix aat(2, 2);
    mat_aat(a.get(), aat.get(), 2, 3);
    expect_matrix(aat, {14, 32, 32, 77});

    Matrix copy(2, 3);
    mat_copy(a.get(), copy.get(), 2, 3);
    expect_matrix(copy, {1, 2, 3, 4, 5, 6});
}

TEST_F(Solvers, LuSolvesASystemWithKnownSolutionAndKeepsTheCallersMatrix) {
    // x = (1, -2, 3) chosen; b = A x by hand. The zero leading element forces a row exchange.
    const Matrix a(3, 3, {0, 2, 1, 1, 1, 1, 4, -1, 2});
    const double b[] = {-1, 2, 12};
    ASSERT_EQ(lu_decompose(a.get(), 3, 1), 0);
    expect_matrix(a, {0, 2, 1, 1, 1, 1, 4, -1, 2});
    double x[3] = {};
    lu_solve(b, x);
    EXPECT_NEAR(x[0], 1, 1e-14);
    EXPECT_NEAR(x[1], -2, 1e-14);
    EXPECT_NEAR(x[2], 3, 1e-14);

    // The solve may overwrite its right-hand side, and the factors serve any number of solves.
    double bx[] = {3, 3, 5};  // A (1, 1, 1)
    lu_solve(bx, bx);
    for (double v : bx) EXPECT_NEAR(v, 1, 1e-14);
}

TEST_F(Solvers, LuInvertTimesTheMatrixIsTheIdentity) {
    // The 5 x 5 Hilbert matrix: badly conditioned, so a sloppy elimination shows.
    const int n = 5;
    Matrix a(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) a[i][j] = 1.0 / (i + j + 1);
    }
    ASSERT_EQ(lu_decompose(a.get(), n, 1), 0);
    Matrix inverse(n, n);
    ASSERT_EQ(lu_invert(inverse.get()), 0);
    // The inverse of the Hilbert matrix has integer entries; (0, 0) is 25 and (4, 4) 44100.
    EXPECT_NEAR(inverse[0][0], 25, 1e-8);
    EXPECT_NEAR(inverse[4][4], 44100, 1e-5);
    Matrix product(n, n);
    mat_mul(inverse.get(), a.get(), product.get(), n, n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) EXPECT_NEAR(product[i][j], i == j ? 1 : 0, 1e-9) << i << j;
    }
    mat_mul(a.get(), inverse.get(), product.get(), n, n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) EXPECT_NEAR(product[i][j], i == j ? 1 : 0, 1e-9) << i << j;
    }
}

TEST_F(Solvers, LuInPlaceLeavesTheFactorsInTheCallersMatrix) {
    // Both rows have the same scaled pivot merit; the later row wins, so row 1 moves up:
    // U = [1 -1; 0 2], L below the diagonal = 1. Had row 0 been kept, U would end in -2.
    Matrix a(2, 2, {1, 1, 1, -1});
    ASSERT_EQ(lu_decompose(a.get(), 2, 0), 0);
    expect_matrix(a, {1, -1, 1, 2});
    Matrix inverse(2, 2);
    ASSERT_EQ(lu_invert(inverse.get()), 0);
    expect_matrix(inverse, {0.5, 0.5, 0.5, -0.5}, 1e-15);
}

TEST_F(Solvers, LuRefusesSingularAndBadMatrices) {
    // In place, so that an elimination begun before the refusal would show in the matrix.
    const Matrix zero_row(3, 3, {1, 2, 3, 0, 0, 0, 4, 5, 6});
    EXPECT_EQ(lu_decompose(zero_row.get(), 3, 0), 1);
    expect_matrix(zero_row, {1, 2, 3, 0, 0, 0, 4, 5, 6});
    // No all-zero row, but the elimination meets an exact zero pivot.
    const Matrix rank_one(2, 2, {1, 2, 2, 4});
    EXPECT_EQ(lu_decompose(rank_one.get(), 2, 1), 1);
    const Matrix one(1, 1, {3});
    EXPECT_EQ(lu_decompose(one.get(), 0, 1), 1);
    EXPECT_EQ(lu_decompose(one.get(), -3, 1), 1);
    const Matrix with_nan(2, 2, {1, NAN, 0, 1});
    EXPECT_EQ(lu_decompose(with_nan.get(), 2, 1), 1);
    const Matrix with_inf(2, 2, {1, 0, INFINITY, 1});
    EXPECT_EQ(lu_decompose(with_inf.get(), 2, 1), 1);
    // A failed decomposition leaves no factors to invert.
    Matrix inverse(2, 2, {7, 7, 7, 7});
    EXPECT_EQ(lu_invert(inverse.get()), 1);
    expect_matrix(inverse, {7, 7, 7, 7});
}

TEST_F(Solvers, ANewDecompositionInvalidatesTheOther) {
    const Matrix a(2, 2, {2, 0, 0, 4});
    ASSERT_EQ(lu_decompose(a.get(), 2, 1), 0);
    ASSERT_EQ(svd_decompose(a.get(), 2, 2, 1), 0);
    // The LU factors are gone: the solve only copies.
    const double b[] = {6, 8};
    double x[2] = {};
    lu_solve(b, x);
    EXPECT_EQ(x[0], 6);
    EXPECT_EQ(x[1], 8);

    ASSERT_EQ(lu_decompose(a.get(), 2, 1), 0);
    double untouched[2] = {-5, -5};
    EXPECT_EQ(svd_solve(0.0, b, untouched), 0.0);
    EXPECT_EQ(untouched[0], -5);
    EXPECT_EQ(untouched[1], -5);

    free_solver_workspace();
    EXPECT_EQ(svd_solve(0.0, b, untouched), 0.0);
    Matrix inverse(2, 2);
    EXPECT_EQ(lu_invert(inverse.get()), 1);
}

TEST_F(Solvers, SvdLeastSquaresLineFit) {
    // y = a + b t through (0, 1), (1, 3), (2, 4), (3, 8): normal equations by hand give
    // b = (4 * 35 - 6 * 16) / (4 * 14 - 6 * 6) = 2.2 and a = (16 - 6 b) / 4 = 0.7.
    const Matrix a(4, 2, {1, 0, 1, 1, 1, 2, 1, 3});
    const double y[] = {1, 3, 4, 8};
    ASSERT_EQ(svd_decompose(a.get(), 4, 2, 1), 0);
    expect_matrix(a, {1, 0, 1, 1, 1, 2, 1, 3});
    double x[2] = {};
    const double smallest = svd_solve(0.0, y, x);
    EXPECT_NEAR(x[0], 0.7, 1e-13);
    EXPECT_NEAR(x[1], 2.2, 1e-13);
    // Singular values of A: square roots of the eigenvalues of A'A = [4 6; 6 14],
    // 9 +- sqrt(61); the smaller one was used.
    EXPECT_NEAR(smallest, std::sqrt(9 - std::sqrt(61.0)), 1e-13);
}

TEST_F(Solvers, SvdLeastSquaresResidualIsOrthogonalToTheColumns) {
    // A 50 x 20 system of the size the optimiser meets, with deterministic pseudo-random
    // entries: at the least-squares solution A'(A x - b) vanishes.
    const int m = 50;
    const int n = 20;
    Matrix a(m, n);
    std::vector<double> b(m);
    unsigned state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 8) & 0xFFFF) / 65536.0 - 0.5;
    };
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < n; ++j) a[i][j] = next();
        b[i] = next();
    }
    ASSERT_EQ(svd_decompose(a.get(), m, n, 1), 0);
    std::vector<double> x(n);
    svd_solve(0.0, b.data(), x.data());
    std::vector<double> residual(m);
    mat_vec_mul(a.get(), x.data(), residual.data(), m, n);
    for (int i = 0; i < m; ++i) residual[i] -= b[i];
    std::vector<double> gradient(n);
    mat_t_vec_mul(a.get(), residual.data(), gradient.data(), m, n);
    for (int j = 0; j < n; ++j) EXPECT_NEAR(gradient[j], 0, 1e-12) << j;
}

TEST_F(Solvers, SvdOfASingularSystemGivesTheMinimumNormSolution) {
    // Singular for LU (exact zero pivot); A = (1, 2)' (1, 2), so the pseudo-inverse is
    // A / 25 and x = A b / 25 = (0.2, 0.4).
    const Matrix a(2, 2, {1, 2, 2, 4});
    const double b[] = {1, 2};
    ASSERT_EQ(lu_decompose(a.get(), 2, 1), 1);
    ASSERT_EQ(svd_decompose(a.get(), 2, 2, 1), 0);
    double x[2] = {};
    const double smallest = svd_solve(0.0, b, x);
    EXPECT_NEAR(x[0], 0.2, 1e-14);
    EXPECT_NEAR(x[1], 0.4, 1e-14);
    EXPECT_NEAR(smallest, 5.0, 1e-14);  // the only singular value, |(1,2)|^2

    // Two equal columns of ones: singular values sqrt(6) and 0; the least-squares solutions
    // have x0 + x1 = mean(b) = 2, the shortest is (1, 1).
    const Matrix twin(3, 2, {1, 1, 1, 1, 1, 1});
    const double c[] = {1, 2, 3};
    ASSERT_EQ(svd_decompose(twin.get(), 3, 2, 1), 0);
    EXPECT_NEAR(svd_solve(0.0, c, x), std::sqrt(6.0), 1e-14);
    EXPECT_NEAR(x[0], 1, 1e-14);
    EXPECT_NEAR(x[1], 1, 1e-14);

    // A zero column gives an exactly zero singular value; even a negative threshold never
    // divides by it.
    const Matrix zero_column(2, 2, {1, 0, 2, 0});
    const double d[] = {1, 2};
    ASSERT_EQ(svd_decompose(zero_column.get(), 2, 2, 1), 0);
    EXPECT_NEAR(svd_solve(-1.0, d, x), std::sqrt(5.0), 1e-14);
    EXPECT_NEAR(x[0], 1, 1e-14);
    EXPECT_EQ(x[1], 0);
}

TEST_F(Solvers, SvdThresholdDropsSmallSingularValues) {
    const Matrix a(2, 2, {0, 3, 1e-3, 0});
    const double b[] = {3, 1};
    ASSERT_EQ(svd_decompose(a.get(), 2, 2, 1), 0);
    double x[2] = {};
    // Default threshold 1e-6 x 3 keeps both: the exact solution.
    EXPECT_NEAR(svd_solve(0.0, b, x), 1e-3, 1e-17);
    EXPECT_NEAR(x[0], 1000, 1e-9);
    EXPECT_NEAR(x[1], 1, 1e-14);
    // 0.01 drops 1e-3: the component along it is zero.
    EXPECT_NEAR(svd_solve(0.01, b, x), 3, 1e-14);
    EXPECT_NEAR(x[0], 0, 1e-14);
    EXPECT_NEAR(x[1], 1, 1e-14);
    // A threshold above every singular value uses none and reports the largest.
    EXPECT_NEAR(svd_solve(10.0, b, x), 3, 1e-14);
    EXPECT_EQ(x[0], 0);
    EXPECT_EQ(x[1], 0);
    // Exactly at the threshold is not above it.
    EXPECT_NEAR(svd_solve(3.0, b, x), 3, 1e-14);
    EXPECT_EQ(x[1], 0);
}

TEST_F(Solvers, SvdOfAWideMatrix) {
    // One equation, three unknowns: the shortest solution of x0 + 2 x1 + 2 x2 = 9 is
    // (1, 2, 2). Copy mode pads the copy; the caller's single row is not touched.
    const Matrix a(1, 3, {1, 2, 2});
    const double b[] = {9};
    ASSERT_EQ(svd_decompose(a.get(), 1, 3, 1), 0);
    expect_matrix(a, {1, 2, 2});
    double x[3] = {};
    EXPECT_NEAR(svd_solve(0.0, b, x), 3, 1e-14);
    EXPECT_NEAR(x[0], 1, 1e-14);
    EXPECT_NEAR(x[1], 2, 1e-14);
    EXPECT_NEAR(x[2], 2, 1e-14);

    // In place, with the zero rows up to max(m, n) the caller provides: the same solution,
    // and the caller's matrix now holds U.
    Matrix wide(3, 3, {1, 2, 2});
    ASSERT_EQ(svd_decompose(wide.get(), 1, 3, 0), 0);
    EXPECT_NEAR(svd_solve(0.0, b, x), 3, 1e-14);
    EXPECT_NEAR(x[0], 1, 1e-14);
    EXPECT_NEAR(x[1], 2, 1e-14);
    EXPECT_NEAR(x[2], 2, 1e-14);
    EXPECT_NE(wide[0][1], 2.0);
}

TEST_F(Solvers, SvdRefusesBadSizesAndNonFiniteEntries) {
    const Matrix a(2, 2, {1, 0, 0, 1});
    EXPECT_EQ(svd_decompose(a.get(), 0, 2, 1), 1);
    EXPECT_EQ(svd_decompose(a.get(), 2, 0, 1), 1);
    const Matrix with_nan(2, 2, {1, 0, 0, NAN});
    EXPECT_EQ(svd_decompose(with_nan.get(), 2, 2, 1), 1);
    const double b[] = {1, 1};
    double x[2] = {4, 4};
    EXPECT_EQ(svd_solve(0.0, b, x), 0.0);
    EXPECT_EQ(x[0], 4);
}

TEST_F(Solvers, WorkspaceGrowsAcrossSizesAndStaysCorrect) {
    // Small, larger, then small again: the kept areas are wider than the system.
    for (int n : {2, 6, 3}) {
        Matrix a(n, n);
        std::vector<double> b(n);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) a[i][j] = (i == j) ? n + 1.0 : 1.0;
            b[i] = 2.0 * n;  // A times the vector of ones
        }
        std::vector<double> x(n);
        ASSERT_EQ(lu_decompose(a.get(), n, 1), 0);
        lu_solve(b.data(), x.data());
        for (double v : x) EXPECT_NEAR(v, 1, 1e-14) << n;
        ASSERT_EQ(svd_decompose(a.get(), n, n, 1), 0);
        svd_solve(0.0, b.data(), x.data());
        for (double v : x) EXPECT_NEAR(v, 1, 1e-13) << n;
    }
}

}  // namespace
