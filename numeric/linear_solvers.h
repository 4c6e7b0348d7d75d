// LU and singular-value decompositions with their solves, over one shared workspace.
//
// The workspace is a single static record kept between calls and grown, never shrunk, so that
// an optimisation decomposing many systems of one size allocates nothing after the first. Only
// one decomposition is valid at a time: starting either kind invalidates the factors of the
// other, and a solve uses only the factors of its own kind.
//
// Copy flag of the decompositions: non-zero copies the matrix into the workspace and leaves the
// caller's matrix untouched; zero works in the caller's matrix, which then holds the factors
// and must stay alive and unchanged until the solves are done.
#pragma once

// Results of the decompositions.
constexpr int kSolverDone = 0;
constexpr int kSolverSingular = 1;   // singular, non-finite, bad size or no convergence
constexpr int kSolverNoMemory = -1;  // callers report message -10

// Crout LU decomposition of the n x n matrix a with implicit (row-scaled) partial pivoting.
int lu_decompose(double* const* a, int n, int copy_flag);

// x = inverse(A) b from the stored LU factors; x may be the same array as b. Without valid
// factors b is only copied into x (over the order of the last LU decomposition asked for).
void lu_solve(const double* b, double* x);

// Writes the inverse of the matrix of the stored LU factors into the n x n matrix result,
// column by column. result must not be the matrix that holds the factors. Returns 0, or 1
// with result untouched when no valid factors are held.
int lu_invert(double* const* result);

// Golub-Reinsch singular-value decomposition of the m x n matrix a. In place (copy flag 0) the
// caller's matrix is overwritten with U.
int svd_decompose(double* const* a, int m, int n, int copy_flag);

// Least-squares solution x (n) of A x = b (m) using only the singular values above the
// threshold (threshold 0: 1e-6 times the largest). Returns the smallest singular value used,
// the largest one when none was used, and 0 (x untouched) when no valid SVD is held.
double svd_solve(double threshold, const double* b, double* x);

// Frees every area of the workspace; both decompositions become invalid.
void free_solver_workspace();
