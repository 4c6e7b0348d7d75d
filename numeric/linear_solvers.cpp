#include "numeric/linear_solvers.h"

#include <algorithm>
#include <cmath>

#include "numeric/memory.h"

namespace {

// The QR iteration gives up on a singular value after this many sweeps.
constexpr int kMaxSvdSweeps = 30;

// Relative threshold below which svd_solve drops singular values when asked for the default.
constexpr double kDefaultSvdThreshold = 1e-6;

struct SolverWorkspace {
    int pivot_capacity = 0;
    int* pivot_order = nullptr;
    double* row_scale = nullptr;

    // The matrix being decomposed: the private copy, or in place the caller's own matrix.
    double* const* work = nullptr;
    double** private_matrix = nullptr;
    int private_rows = 0;
    int private_cols = 0;

    int svd_capacity = 0;
    double* w = nullptr;
    double* svd_work = nullptr;
    double** v = nullptr;
    int svd_rows = 0;
    double largest_singular = 0.0;

    int lu_size = 0;
    int svd_size = 0;
    // Order of the last LU decomposition asked for: the length a solve without factors copies.
    int lu_order = 0;
};

SolverWorkspace g_ws;

void free_private_matrix() {
    free_matrix_of(g_ws.private_matrix);
    g_ws.private_matrix = nullptr;
    g_ws.private_rows = 0;
    g_ws.private_cols = 0;
}

void free_pivots() {
    mem_free(g_ws.pivot_order);
    mem_free(g_ws.row_scale);
    g_ws.pivot_order = nullptr;
    g_ws.row_scale = nullptr;
    g_ws.pivot_capacity = 0;
}

void free_svd_areas() {
    mem_free(g_ws.w);
    mem_free(g_ws.svd_work);
    free_matrix_of(g_ws.v);
    g_ws.w = nullptr;
    g_ws.svd_work = nullptr;
    g_ws.v = nullptr;
    g_ws.svd_capacity = 0;
}

// Points the work matrix at a copy of a (rows_used x cols, zero rows up to rows_needed) or, in
// place, at a itself. False when the copy cannot be had.
bool set_up_work_matrix(double* const* a, int rows_used, int rows_needed, int cols, int copy_flag) {
    if (copy_flag == 0) {
        free_private_matrix();
        g_ws.work = a;
        return true;
    }
    if (g_ws.private_rows < rows_needed || g_ws.private_cols < cols) {
        const int rows = std::max(rows_needed, g_ws.private_rows);
        const int columns = std::max(cols, g_ws.private_cols);
        free_private_matrix();
        g_ws.private_matrix = alloc_matrix_of<double>(static_cast<std::size_t>(rows),
                                                      static_cast<std::size_t>(columns));
        if (g_ws.private_matrix == nullptr) return false;
        g_ws.private_rows = rows;
        g_ws.private_cols = columns;
    }
    double** copy = g_ws.private_matrix;
    for (int i = 0; i < rows_used; ++i) std::copy(a[i], a[i] + cols, copy[i]);
    for (int i = rows_used; i < rows_needed; ++i) std::fill(copy[i], copy[i] + cols, 0.0);
    g_ws.work = copy;
    return true;
}

bool all_finite(const double* const* a, int rows, int cols) {
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            if (!std::isfinite(a[i][j])) return false;
        }
    }
    return true;
}

// Forward substitution in pivot order, then back substitution, over one right-hand side that
// is reached through get(i) as a reference, so that a strided matrix column serves as well.
template <typename Element>
void lu_substitute(double* const* lu, const int* pivot, int n, Element element) {
    int first_non_zero = -1;
    for (int i = 0; i < n; ++i) {
        const int p = pivot[i];
        double sum = element(p);
        element(p) = element(i);
        if (first_non_zero >= 0) {
            for (int j = first_non_zero; j < i; ++j) sum -= lu[i][j] * element(j);
        } else if (sum != 0.0) {
            first_non_zero = i;
        }
        element(i) = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = element(i);
        for (int j = i + 1; j < n; ++j) sum -= lu[i][j] * element(j);
        element(i) = sum / lu[i][i];
    }
}

double sign_of(double magnitude, double sign) {
    return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// A value counts as zero when adding it to the norm of the bidiagonal leaves the norm unchanged.
bool negligible(double value, double norm) {
    return std::fabs(value) + norm == norm;
}

// Householder reduction to bidiagonal form and accumulation of both transformations: a (m rows
// used) becomes U, w the diagonal, e the superdiagonal (e[0] = 0). Returns the norm used by the
// zero test of the iteration.
double bidiagonalise(double* const* a, int m, int n, double* w, double* e, double* const* v) {
    double g = 0.0;
    double scale = 0.0;
    double norm = 0.0;
    int l = 0;
    for (int i = 0; i < n; ++i) {
        l = i + 1;
        e[i] = scale * g;
        g = 0.0;
        double s = 0.0;
        scale = 0.0;
        if (i < m) {
            for (int k = i; k < m; ++k) scale += std::fabs(a[k][i]);
            if (scale != 0.0) {
                for (int k = i; k < m; ++k) {
                    a[k][i] /= scale;
                    s += a[k][i] * a[k][i];
                }
                const double f = a[i][i];
                g = -sign_of(std::sqrt(s), f);
                const double h = f * g - s;
                a[i][i] = f - g;
                for (int j = l; j < n; ++j) {
                    double sum = 0.0;
                    for (int k = i; k < m; ++k) sum += a[k][i] * a[k][j];
                    const double factor = sum / h;
                    for (int k = i; k < m; ++k) a[k][j] += factor * a[k][i];
                }
                for (int k = i; k < m; ++k) a[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        if (i < m && i != n - 1) {
            for (int k = l; k < n; ++k) scale += std::fabs(a[i][k]);
            if (scale != 0.0) {
                for (int k = l; k < n; ++k) {
                    a[i][k] /= scale;
                    s += a[i][k] * a[i][k];
                }
                const double f = a[i][l];
                g = -sign_of(std::sqrt(s), f);
                const double h = f * g - s;
                a[i][l] = f - g;
                for (int k = l; k < n; ++k) e[k] = a[i][k] / h;
                for (int j = l; j < m; ++j) {
                    double sum = 0.0;
                    for (int k = l; k < n; ++k) sum += a[j][k] * a[i][k];
                    for (int k = l; k < n; ++k) a[j][k] += sum * e[k];
                }
                for (int k = l; k < n; ++k) a[i][k] *= scale;
            }
        }
        norm = std::max(norm, std::fabs(w[i]) + std::fabs(e[i]));
    }

    // Right-hand transformations into V.
    for (int i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                // Two divisions so that a tiny a[i][l] does not underflow the product.
                for (int j = l; j < n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int j = l; j < n; ++j) {
                    double sum = 0.0;
                    for (int k = l; k < n; ++k) sum += a[i][k] * v[k][j];
                    for (int k = l; k < n; ++k) v[k][j] += sum * v[k][i];
                }
            }
            for (int j = l; j < n; ++j) {
                v[i][j] = 0.0;
                v[j][i] = 0.0;
            }
        }
        v[i][i] = 1.0;
        g = e[i];
        l = i;
    }

    // Left-hand transformations into U, over the rows that hold data only.
    for (int i = std::min(m, n) - 1; i >= 0; --i) {
        l = i + 1;
        g = w[i];
        for (int j = l; j < n; ++j) a[i][j] = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j < n; ++j) {
                double sum = 0.0;
                for (int k = l; k < m; ++k) sum += a[k][i] * a[k][j];
                const double factor = (sum / a[i][i]) * g;
                for (int k = i; k < m; ++k) a[k][j] += factor * a[k][i];
            }
            for (int j = i; j < m; ++j) a[j][i] *= g;
        } else {
            for (int j = i; j < m; ++j) a[j][i] = 0.0;
        }
        a[i][i] += 1.0;
    }
    return norm;
}

void rotate_columns(double* const* matrix, int rows, int p, int q, double c, double s) {
    for (int r = 0; r < rows; ++r) {
        const double y = matrix[r][p];
        const double z = matrix[r][q];
        matrix[r][p] = y * c + z * s;
        matrix[r][q] = z * c - y * s;
    }
}

// Implicit-shift QR sweeps on the bidiagonal until every superdiagonal element is negligible.
// False when a singular value does not converge within the sweep limit.
bool diagonalise(double* const* a, int m, int n, double* w, double* e, double* const* v,
                 double norm) {
    for (int k = n - 1; k >= 0; --k) {
        for (int sweep = 0;; ++sweep) {
            // Look for a split: a negligible e[l] (e[0] always is), or a negligible w[l - 1],
            // in which case e[l] is cancelled by rotations first.
            bool cancel = true;
            int l = k;
            for (; l >= 0; --l) {
                if (l == 0 || negligible(e[l], norm)) {
                    cancel = false;
                    break;
                }
                if (negligible(w[l - 1], norm)) break;
            }
            if (cancel) {
                const int nm = l - 1;
                double c = 0.0;
                double s = 1.0;
                for (int i = l; i <= k; ++i) {
                    const double f = s * e[i];
                    e[i] = c * e[i];
                    if (negligible(f, norm)) break;
                    const double g = w[i];
                    const double h = std::hypot(f, g);
                    w[i] = h;
                    c = g / h;
                    s = -f / h;
                    rotate_columns(a, m, nm, i, c, s);
                }
            }
            const double z = w[k];
            if (l == k) {
                if (z < 0.0) {
                    w[k] = -z;
                    for (int j = 0; j < n; ++j) v[j][k] = -v[j][k];
                }
                break;
            }
            if (sweep == kMaxSvdSweeps) return false;

            // Shift from the trailing 2 x 2 block.
            double x = w[l];
            const int nm = k - 1;
            double y = w[nm];
            double g = e[nm];
            double h = e[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = std::hypot(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + sign_of(g, f))) - h)) / x;
            double c = 1.0;
            double s = 1.0;
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = e[i];
                y = w[i];
                h = s * g;
                g = c * g;
                double r = std::hypot(f, h);
                e[j] = r;
                c = f / r;
                s = h / r;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                rotate_columns(v, n, j, i, c, s);
                r = std::hypot(f, h);
                w[j] = r;
                if (r != 0.0) {
                    c = f / r;
                    s = h / r;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                rotate_columns(a, m, j, i, c, s);
            }
            e[l] = 0.0;
            e[k] = f;
            w[k] = x;
        }
    }
    return true;
}

}  // namespace

int lu_decompose(double* const* a, int n, int copy_flag) {
    g_ws.lu_size = 0;
    g_ws.svd_size = 0;
    if (n < 1) return kSolverSingular;
    g_ws.lu_order = n;
    if (g_ws.pivot_capacity < n) {
        free_pivots();
        g_ws.pivot_order = alloc_array_of<int>(static_cast<std::size_t>(n));
        g_ws.row_scale = alloc_array_of<double>(static_cast<std::size_t>(n));
        if (g_ws.pivot_order == nullptr || g_ws.row_scale == nullptr) {
            free_pivots();
            return kSolverNoMemory;
        }
        g_ws.pivot_capacity = n;
    }
    if (!set_up_work_matrix(a, n, n, n, copy_flag)) return kSolverNoMemory;
    double* const* lu = g_ws.work;
    int* pivot = g_ws.pivot_order;
    double* scale = g_ws.row_scale;

    for (int i = 0; i < n; ++i) {
        double largest = 0.0;
        for (int j = 0; j < n; ++j) {
            if (!std::isfinite(lu[i][j])) return kSolverSingular;
            largest = std::max(largest, std::fabs(lu[i][j]));
        }
        if (largest == 0.0) return kSolverSingular;
        scale[i] = 1.0 / largest;
    }

    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = lu[i][j];
            for (int k = 0; k < i; ++k) sum -= lu[i][k] * lu[k][j];
            lu[i][j] = sum;
        }
        double best = 0.0;
        int pivot_row = j;
        for (int i = j; i < n; ++i) {
            double sum = lu[i][j];
            for (int k = 0; k < j; ++k) sum -= lu[i][k] * lu[k][j];
            lu[i][j] = sum;
            // Greater-or-equal: among equal candidates the last row wins.
            const double merit = scale[i] * std::fabs(sum);
            if (merit >= best) {
                best = merit;
                pivot_row = i;
            }
        }
        if (pivot_row != j) {
            std::swap_ranges(lu[pivot_row], lu[pivot_row] + n, lu[j]);
            scale[pivot_row] = scale[j];
        }
        pivot[j] = pivot_row;
        const double diagonal = lu[j][j];
        if (diagonal == 0.0) return kSolverSingular;
        for (int i = j + 1; i < n; ++i) lu[i][j] /= diagonal;
    }
    g_ws.lu_size = n;
    return kSolverDone;
}

void lu_solve(const double* b, double* x) {
    const int n = g_ws.lu_size;
    if (x != b) std::copy(b, b + (n > 0 ? n : g_ws.lu_order), x);
    if (n == 0) return;
    lu_substitute(g_ws.work, g_ws.pivot_order, n, [x](int i) -> double& { return x[i]; });
}

int lu_invert(double* const* result) {
    const int n = g_ws.lu_size;
    if (n == 0) return kSolverSingular;
    for (int column = 0; column < n; ++column) {
        for (int i = 0; i < n; ++i) result[i][column] = i == column ? 1.0 : 0.0;
        lu_substitute(g_ws.work, g_ws.pivot_order, n,
                      [result, column](int i) -> double& { return result[i][column]; });
    }
    return kSolverDone;
}

int svd_decompose(double* const* a, int m, int n, int copy_flag) {
    g_ws.lu_size = 0;
    g_ws.svd_size = 0;
    if (m < 1 || n < 1) return kSolverSingular;
    g_ws.svd_rows = m;
    if (g_ws.svd_capacity < n) {
        free_svd_areas();
        const auto count = static_cast<std::size_t>(n);
        g_ws.w = alloc_array_of<double>(count);
        g_ws.svd_work = alloc_array_of<double>(count);
        g_ws.v = alloc_matrix_of<double>(count, count);
        if (g_ws.w == nullptr || g_ws.svd_work == nullptr || g_ws.v == nullptr) {
            free_svd_areas();
            return kSolverNoMemory;
        }
        g_ws.svd_capacity = n;
    }
    if (!all_finite(a, m, n)) return kSolverSingular;
    if (!set_up_work_matrix(a, m, std::max(m, n), n, copy_flag)) return kSolverNoMemory;

    const double norm = bidiagonalise(g_ws.work, m, n, g_ws.w, g_ws.svd_work, g_ws.v);
    if (!diagonalise(g_ws.work, m, n, g_ws.w, g_ws.svd_work, g_ws.v, norm)) {
        return kSolverSingular;
    }
    double largest = 0.0;
    for (int j = 0; j < n; ++j) {
        if (g_ws.w[j] > largest) largest = g_ws.w[j];
    }
    g_ws.largest_singular = largest;
    g_ws.svd_size = n;
    return kSolverDone;
}

double svd_solve(double threshold, const double* b, double* x) {
    const int n = g_ws.svd_size;
    if (n == 0) return 0.0;
    const int m = g_ws.svd_rows;
    double* const* u = g_ws.work;
    const double* w = g_ws.w;
    double* t = g_ws.svd_work;
    const double limit =
        threshold == 0.0 ? kDefaultSvdThreshold * g_ws.largest_singular : threshold;
    double smallest_used = g_ws.largest_singular;
    for (int j = 0; j < n; ++j) {
        t[j] = 0.0;
        // A zero singular value is never divided by, whatever threshold the caller gives.
        if (w[j] > limit && w[j] > 0.0) {
            double sum = 0.0;
            for (int i = 0; i < m; ++i) sum += u[i][j] * b[i];
            t[j] = sum / w[j];
            smallest_used = std::min(smallest_used, w[j]);
        }
    }
    for (int j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += g_ws.v[j][k] * t[k];
        x[j] = sum;
    }
    return smallest_used;
}

void free_solver_workspace() {
    g_ws.lu_size = 0;
    g_ws.svd_size = 0;
    g_ws.lu_order = 0;
    free_pivots();
    free_svd_areas();
    free_private_matrix();
    g_ws.work = nullptr;
    g_ws.svd_rows = 0;
    g_ws.largest_singular = 0.0;
}
