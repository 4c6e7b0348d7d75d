// Dense products of matrices and vectors of doubles. Matrices are row-pointer tables
// (RowMatrix over doubles, as alloc_matrix_of<double> makes them) with their sizes passed
// alongside; vectors are plain arrays. None of these can fail: callers check the shapes, and an
// output must not share storage with an input.
#pragma once

// y[i] = sum over j of a[i][j] x[j], i < rows.
void mat_vec_mul(const double* const* a, const double* x, double* y, int rows, int cols);

// y[j] = sum over i of a[i][j] x[i], j < cols; x has rows entries, y has cols.
void mat_t_vec_mul(const double* const* a, const double* x, double* y, int rows, int cols);

void mat_copy(const double* const* source, double* const* destination, int rows, int cols);

// c (n x p) = a (n x m) times b (m x p).
void mat_mul(const double* const* a, const double* const* b, double* const* c, int n, int m, int p);

// c (cols x cols) = transpose(a) a.
void mat_ata(const double* const* a, double* const* c, int rows, int cols);

// c (rows x rows) = a transpose(a).
void mat_aat(const double* const* a, double* const* c, int rows, int cols);
