#include "numeric/kernels.hpp"

#include <cmath>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk {

void Mhmult(int n, const double* a, double* b, double* work) {
  const std::ptrdiff_t ld = n;
  for (int j = 0; j < n; ++j) {
    double* col = b + static_cast<std::ptrdiff_t>(j) * ld;
    // Entry i of the new column: row i of A with the old column, its terms
    // added in column order while A is read down its columns.
    // Four columns of A a pass, each entry still adding them one by one.
    for (int i = 0; i < n; ++i) work[i] = 0.0;
    int l = 0;
    for (; l + 4 <= n; l += 4) {
      const double c0 = col[l], c1 = col[l + 1], c2 = col[l + 2], c3 = col[l + 3];
      const double* a0 = a + static_cast<std::ptrdiff_t>(l) * ld;
      const double* a1 = a0 + ld;
      const double* a2 = a1 + ld;
      const double* a3 = a2 + ld;
      for (int i = 0; i < n; ++i) {
        double w = work[i];
        w += a0[i] * c0;
        w += a1[i] * c1;
        w += a2[i] * c2;
        w += a3[i] * c3;
        work[i] = w;
      }
    }
    for (; l < n; ++l) {
      const double c = col[l];
      const double* al = a + static_cast<std::ptrdiff_t>(l) * ld;
      for (int i = 0; i < n; ++i) work[i] += al[i] * c;
    }
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

    // Every other row i loses f(i) times row k, f being column k: column by
    // column, column k last so that it holds f until then. A row with f = 0 is
    // left alone but for the 0 in column k. (0-based: row i is f[i - 1].)
    double* f = &at(1, k);
    const int kk = k - 1;
    bool dense = true;
    for (int i = 0; i < n; ++i) dense = dense && (i == kk || f[i] != 0.0);
    for (int j = 1; j <= n; ++j) {
      if (j == k) continue;
      const double akj = at(k, j);
      double* cj = &at(1, j);
      if (dense) {
        for (int i = 0; i < kk; ++i) cj[i] -= f[i] * akj;
        for (int i = kk + 1; i < n; ++i) cj[i] -= f[i] * akj;
      } else {
        for (int i = 0; i < n; ++i)
          if (i != kk && f[i] != 0.0) cj[i] -= f[i] * akj;
      }
    }
    for (int i = 0; i < n; ++i)
      if (i != kk) f[i] = f[i] == 0.0 ? 0.0 : 0.0 - f[i] * rp;
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
