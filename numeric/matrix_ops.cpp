#include "numeric/matrix_ops.h"

void mat_vec_mul(const double* const* a, const double* x, double* y, int rows, int cols) {
    for (int i = 0; i < rows; ++i) {
        double sum = 0.0;
        for (int j = 0; j < cols; ++j) sum += a[i][j] * x[j];
        y[i] = sum;
    }
}

void mat_t_vec_mul(const double* const* a, const double* x, double* y, int rows, int cols) {
    for (int j = 0; j < cols; ++j) {
        double sum = 0.0;
        for (int i = 0; i < rows; ++i) sum += a[i][j] * x[i];
        y[j] = sum;
    }
}

void mat_copy(const double* const* source, double* const* destination, int rows, int cols) {
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) destination[i][j] = source[i][j];
    }
}

void mat_mul(const double* const* a, const double* const* b, double* const* c, int n, int m,
             int p) {
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < p; ++k) {
            double sum = 0.0;
            for (int j = 0; j < m; ++j) sum += a[i][j] * b[j][k];
            c[i][k] = sum;
        }
    }
}

// Both products are symmetric: each sum is formed once and stored on both sides, so the result
// is exactly symmetric, which the solvers of the normal equations rely on.
void mat_ata(const double* const* a, double* const* c, int rows, int cols) {
    for (int i = 0; i < cols; ++i) {
        for (int j = 0; j <= i; ++j) {
            double sum = 0.0;
            for (int k = 0; k < rows; ++k) sum += a[k][i] * a[k][j];
            c[i][j] = sum;
            c[j][i] = sum;
        }
    }
}

void mat_aat(const double* const* a, double* const* c, int rows, int cols) {
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j <= i; ++j) {
            double sum = 0.0;
            for (int k = 0; k < cols; ++k) sum += a[i][k] * a[j][k];
            c[i][j] = sum;
            c[j][i] = sum;
        }
    }
}
