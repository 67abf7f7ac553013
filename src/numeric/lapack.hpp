#pragma once
// The few dense linear-algebra routines taken from the system's LAPACK and BLAS
// (column-major, leading dimensions as in Fortran) for the matrices of many
// populations, where the hand-written kernels would take minutes.
namespace velk {

// The lower triangle of C (n x n) = A A^T, A being n x k.
void SyrkLower(int n, int k, const double* a, int lda, double* c, int ldc);

// LU factorisation of the n x n matrix A in place, with row interchanges in
// `pivots` (n entries). False when a pivot is exactly zero (A singular).
[[nodiscard]] bool LuFactor(int n, double* a, int lda, int* pivots);

// Solves A X = B for the nrhs columns of B (n x nrhs), in place, with A as
// LuFactor left it.
void LuSolve(int n, int nrhs, const double* a, int lda, const int* pivots, double* b, int ldb);

}  // namespace velk
