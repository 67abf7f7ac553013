#pragma once
// Strided vector kernels for the engine's inner loops. Vectors are 1-based:
// element k of x with increment inc is x[(k - 1) * inc], x pointing at element 1
// (pass Vec::Data() or Mat::Ptr(i, j)). Lengths n < 1 do nothing (sums give 0,
// extremes give element 1 as passed). Nothing here allocates or checks bounds.
#include <cstddef>
#include <cstdint>

#include "core/array.hpp"

namespace velk {

struct Run;

namespace kernel_detail {
inline std::ptrdiff_t At(int k, int inc) {
  return static_cast<std::ptrdiff_t>(k) * static_cast<std::ptrdiff_t>(inc);
}
}  // namespace kernel_detail

// ------------------------------------------------------------ dot products

// Sum of x_k * y_k over doubles; 0.0 when n < 1.
inline double Ddot(int n, const double* x, int incx, const double* y, int incy) {
  double s = 0.0;
  if (incx == 1 && incy == 1) {
    for (int k = 0; k < n; ++k) s += x[k] * y[k];
  } else {
    for (int k = 0; k < n; ++k) s += x[kernel_detail::At(k, incx)] * y[kernel_detail::At(k, incy)];
  }
  return s;
}
inline double Dhdot2(int n, const double* x, int incx, const double* y, int incy) {
  return Ddot(n, x, incx, y, incy);
}

// Sum of x_k * y_k over 32-bit integers.
inline std::int32_t Idot(int n, const std::int32_t* x, int incx, const std::int32_t* y, int incy) {
  std::int32_t s = 0;
  for (int k = 0; k < n; ++k) s += x[kernel_detail::At(k, incx)] * y[kernel_detail::At(k, incy)];
  return s;
}

// -------------------------------------------------------------------- sums

inline double Dhsum(int n, const double* x, int inc) {
  double s = 0.0;
  for (int k = 0; k < n; ++k) s += x[kernel_detail::At(k, inc)];
  return s;
}

// Sum of an 8-bit vector as a 32-bit integer.
inline std::int32_t I1sum(int n, const std::int8_t* x, int inc) {
  std::int32_t s = 0;
  for (int k = 0; k < n; ++k) s += x[kernel_detail::At(k, inc)];
  return s;
}
inline std::int32_t Ih1sum(int n, const std::int8_t* x, int inc) {
  return I1sum(n, x, inc);
}

// Sum of a 16-bit vector as a 32-bit integer.
inline std::int32_t Ih2sum(int n, const std::int16_t* x, int inc) {
  std::int32_t s = 0;
  for (int k = 0; k < n; ++k) s += x[kernel_detail::At(k, inc)];
  return s;
}

// ---------------------------------------------------------------- extremes
// Each starts at element 1 and is replaced only by a strictly larger (smaller)
// value; n < 1 gives element 1 as passed (0 for a null pointer).

inline double Dmax(int n, const double* x, int inc) {
  if (x == nullptr) return 0.0;
  double m = x[0];
  for (int k = 1; k < n; ++k) {
    const double v = x[kernel_detail::At(k, inc)];
    if (v > m) m = v;
  }
  return m;
}
inline double Dhmax(int n, const double* x, int inc) {
  return Dmax(n, x, inc);
}

inline std::int32_t Imax(int n, const std::int32_t* x, int inc) {
  if (x == nullptr) return 0;
  std::int32_t m = x[0];
  for (int k = 1; k < n; ++k) {
    const std::int32_t v = x[kernel_detail::At(k, inc)];
    if (v > m) m = v;
  }
  return m;
}

inline std::int32_t Imin(int n, const std::int32_t* x, int inc) {
  if (x == nullptr) return 0;
  std::int32_t m = x[0];
  for (int k = 1; k < n; ++k) {
    const std::int32_t v = x[kernel_detail::At(k, inc)];
    if (v < m) m = v;
  }
  return m;
}

// ------------------------------------------------------------------- fills

inline void Dhset(int n, double value, double* x, int inc) {
  for (int k = 0; k < n; ++k) x[kernel_detail::At(k, inc)] = value;
}

inline void Ih1set(int n, std::int8_t value, std::int8_t* x, int inc) {
  for (int k = 0; k < n; ++k) x[kernel_detail::At(k, inc)] = value;
}
inline void I1set(int n, std::int8_t value, std::int8_t* x, int inc) {
  Ih1set(n, value, x, inc);
}

inline void Ih2set(int n, std::int16_t value, std::int16_t* x, int inc) {
  for (int k = 0; k < n; ++k) x[kernel_detail::At(k, inc)] = value;
}

// ------------------------------------------------------------------ copies

inline void Ih1cpy(int n, const std::int8_t* x, int incx, std::int8_t* y, int incy) {
  for (int k = 0; k < n; ++k) y[kernel_detail::At(k, incy)] = x[kernel_detail::At(k, incx)];
}
inline void Ih1cpy2(int n, const std::int8_t* x, int incx, std::int8_t* y, int incy) {
  Ih1cpy(n, x, incx, y, incy);
}

inline void Ih2copy(int n, const std::int16_t* x, int incx, std::int16_t* y, int incy) {
  for (int k = 0; k < n; ++k) y[kernel_detail::At(k, incy)] = x[kernel_detail::At(k, incx)];
}

// ------------------------------------------------------------ scale, axpy

// x_k = a * x_k; nothing at all is done when a == 1.0.
inline void Dhscal(int n, double a, double* x, int inc) {
  if (a == 1.0) return;
  for (int k = 0; k < n; ++k) x[kernel_detail::At(k, inc)] *= a;
}

// y_k = y_k + a * x_k; nothing at all is done when a == 0.0.
inline void Dhaxpy(int n, double a, const double* x, int incx, double* y, int incy) {
  if (a == 0.0) return;
  if (incx == 1 && incy == 1) {
    for (int k = 0; k < n; ++k) y[k] += a * x[k];
  } else {
    for (int k = 0; k < n; ++k) y[kernel_detail::At(k, incy)] += a * x[kernel_detail::At(k, incx)];
  }
}
inline void Dhaxpy1(int n, double a, const double* x, int incx, double* y, int incy) {
  Dhaxpy(n, a, x, incx, y, incy);
}
inline void Dhaxpy2(int n, double a, const double* x, int incx, double* y, int incy) {
  Dhaxpy(n, a, x, incx, y, incy);
}

// --------------------------------------------------------- general kernels
// Summation runs from element 1 to element n in order, so results do not depend
// on the increment or on unrolling.

// y_k = x_k over doubles.
inline void Dcopy(int n, const double* x, int incx, double* y, int incy) {
  for (int k = 0; k < n; ++k) y[kernel_detail::At(k, incy)] = x[kernel_detail::At(k, incx)];
}

// x_k = a * x_k (always multiplies).
inline void Dscal(int n, double a, double* x, int inc) {
  for (int k = 0; k < n; ++k) x[kernel_detail::At(k, inc)] *= a;
}

inline double Dsum(int n, const double* x, int inc) {
  return Dhsum(n, x, inc);
}

inline void Dfill(int n, double value, double* x, int inc) {
  Dhset(n, value, x, inc);
}

// y_k = x_k over 32-bit integers.
inline void Icopy(int n, const std::int32_t* x, int incx, std::int32_t* y, int incy) {
  for (int k = 0; k < n; ++k) y[kernel_detail::At(k, incy)] = x[kernel_detail::At(k, incx)];
}

inline void Ifill(int n, std::int32_t value, std::int32_t* x, int inc) {
  for (int k = 0; k < n; ++k) x[kernel_detail::At(k, inc)] = value;
}

// Sum over 32-bit integers; 0 when n < 1.
inline std::int32_t Isum(int n, const std::int32_t* x, int inc) {
  std::int32_t s = 0;
  for (int k = 0; k < n; ++k) s += x[kernel_detail::At(k, inc)];
  return s;
}

// Index k (1-based) of the largest element (signed, not absolute); the first
// index on ties; 0 when n < 1. NaN elements are never taken as larger.
inline int Idmax(int n, const double* x, int inc) {
  if (n < 1) return 0;
  int best = 1;
  double m = x[0];
  for (int k = 1; k < n; ++k) {
    const double v = x[kernel_detail::At(k, inc)];
    if (v > m) {
      m = v;
      best = k + 1;
    }
  }
  return best;
}

// ----------------------------------------------------------------- matrices

// B = A * B for n x n column-major matrices with leading dimension n; `work`
// holds n doubles. A and B must not share storage.
void Mhmult(int n, const double* a, double* b, double* work);

// Inverts the n x n matrix at `a` (leading dimension lda) in place by
// Gauss-Jordan elimination with partial pivoting; `index` holds n integers of
// work. `det` receives the determinant (with magnitudes above 1e50 clamped to
// 1e10 as it builds up), or 0.0 when a pivot is not above 1.0e-20, in which case
// the matrix is left partly transformed.
void Mhxint(double* a, int n, int lda, double& det, int* index);
inline void Mhxint(Mat<double>& a, int n, double& det, int* index) {
  Mhxint(a.Data(), n, a.Rows(), det, index);
}

// n! from the process's factorial table, filled on demand. For n < 0 or n > 32
// it writes its error line to the run log, stops the run and returns 0.0.
double Dfact(Run& run, int n);

}  // namespace velk
