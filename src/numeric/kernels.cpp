#include "numeric/kernels.hpp"

#include <cmath>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk {

void Mhmult(int n, const double* a, double* b, double* work) {
  const std::ptrdiff_t ld = n;
  for (int j = 0; j < n; ++j) {
    double* col = b + static_cast<std::ptrdiff_t>(j) * ld;
    // Entry i of the new column: row i of A (increment n) with the old column.
    for (int i = 0; i < n; ++i) work[i] = Ddot(n, a + i, n, col, 1);
    for (int i = 0; i < n; ++i) col[i] = work[i];
  }
}

void Mhxint(double* a, int n, int lda, double& det, int* index) {
  const std::ptrdiff_t ld = lda;
  auto at = [a, ld](int i, int j) -> double& {
    return a[static_cast<std::ptrdiff_t>(i - 1) + static_cast<std::ptrdiff_t>(j - 1) * ld];
  };

  for (int k = 1; k <= n; ++k) index[k - 1] = k;
  det = 1.0;

  for (int k = 1; k <= n; ++k) {
    // Pivot: the largest magnitude in rows k..n of column k, the first on ties.
    int p = k;
    double big = std::fabs(at(k, k));
    for (int i = k + 1; i <= n; ++i) {
      const double v = std::fabs(at(i, k));
      if (v > big) {
        big = v;
        p = i;
      }
    }
    // `!(big > limit)` also catches a NaN column.
    if (!(big > 1.0e-20)) {
      det = 0.0;
      return;
    }

    if (p != k) {
      for (int j = 1; j <= n; ++j) {
        const double t = at(k, j);
        at(k, j) = at(p, j);
        at(p, j) = t;
      }
    }
    index[k - 1] = p;

    const double pivot = at(k, k);
    det *= pivot;
    if (std::fabs(det) > 1.0e50) det = 1.0e10;

    // Row k divided by the pivot, with 1/pivot in the pivot position.
    const double rp = 1.0 / pivot;
    at(k, k) = 1.0;
    for (int j = 1; j <= n; ++j) at(k, j) *= rp;

    // Every other row loses f times row k.
    for (int i = 1; i <= n; ++i) {
      if (i == k) continue;
      const double f = at(i, k);
      at(i, k) = 0.0;
      if (f == 0.0) continue;
      for (int j = 1; j <= n; ++j) at(i, j) -= f * at(k, j);
    }
  }

  // The row swaps come back as column swaps, in order from the last.
  for (int k = n; k >= 1; --k) {
    const int p = index[k - 1];
    if (p == k) continue;
    for (int i = 1; i <= n; ++i) {
      const double t = at(i, k);
      at(i, k) = at(i, p);
      at(i, p) = t;
    }
  }
}

double Dfact(Run& run, int n) {
  if (n < 0) {
    run.output.unit[0].Write("(/1x,a)", {"error: negative factorial"});
    Error(run, 0);
    return 0.0;
  }
  if (n > 32) {
    run.output.unit[0].Write("(/1x,a,i3,a)", {"error: factorial of ", n, " exceeds limit 32."});
    Error(run, 0);
    return 0.0;
  }
  FactorialTable& f = run.process.factorial;
  if (n > f.highest) {
    for (int k = f.highest + 1; k <= n; ++k) f.table[k] = f.table[k - 1] * k;
    f.highest = n;
  }
  return f.table[n];
}

}  // namespace velk
