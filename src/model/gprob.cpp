#include "model/gprob.hpp"

#include <cmath>

#include "core/run.hpp"
#include "model/dirich.hpp"
#include "numeric/kernels.hpp"

namespace velk {

void Relfrq(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals, int pop,
            Mat<double>& freq, int& nmissing, int draw) {
  const int nc = run.par.nchar;
  freq.Fill(0.0);
  nmissing = 0;
  const bool rannala = run.opt.rannala_mountain != 0 || run.opt.predictive != 0;
  const bool pella = run.opt.pella_masuda != 0;

  for (int c = 1; c <= nc; ++c) {
    const int t = run.chars(c).ntypes;
    double* f = freq.Ptr(1, c);
    const std::int16_t* n = counts.Ptr(1, c, pop);
    const std::int32_t total = totals(c, pop);

    if (!rannala && !pella) {
      if (total < 1) {
        const double uniform = 1.0 / t;
        for (int k = 0; k < t; ++k) f[k] = uniform;
        ++nmissing;
      } else {
        const double divisor = total;
        for (int k = 0; k < t; ++k) f[k] = static_cast<double>(n[k]) / divisor;
      }
      continue;
    }

    // Dirichlet parameters: the counts plus the prior's gene copies.
    if (rannala) {
      const double prior = 1.0 / t;
      for (int k = 0; k < t; ++k) f[k] = static_cast<double>(n[k]) + prior;
    } else {
      const double w = run.input.pm_weight(c);
      const double* prior = run.input.pm_prior.Ptr(1, c);
      for (int k = 0; k < t; ++k) f[k] = static_cast<double>(n[k]) + w * prior[k];
    }
    if (draw != 0) {
      Dirich(run.process, t, f, f);
    } else {
      double s = 0.0;
      for (int k = 0; k < t; ++k) s += f[k];
      for (int k = 0; k < t; ++k) f[k] = f[k] / s;
    }
  }
}

double PredictiveFactor(const std::int8_t* x, int t, int n, const double* f, std::ptrdiff_t stride,
                        double mass) {
  double r = 1.0;
  for (int k = 0; k < t; ++k) {
    const double a = mass * f[k * stride];
    for (int j = 1; j < x[k]; ++j) r = r * (1.0 + j / a);
  }
  for (int j = 1; j < n; ++j) r = r / (1.0 + j / mass);
  return r;
}

double MultinomialTerm(Run& run, const std::int8_t* x, int t, int n, const double* f) {
  double fact = 1.0;
  double p = 1.0;
  for (int k = 0; k < t; ++k) {
    if (x[k] <= 0) continue;
    fact = fact * Dfact(run, x[k]);
    p = p * Ipow(f[k], x[k]);
  }
  const double nfact = Dfact(run, n);
  if (run.error.stop != 0) return 0.0;
  return nfact * p / fact;
}

double Gprob(Run& run, const std::int8_t* copies, const Mat<double>& freq) {
  const int maxtyp = freq.Rows();
  const int nc = freq.Cols();
  double r = 1.0;
  for (int c = 1; c <= nc; ++c) {
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = copies + static_cast<std::ptrdiff_t>(c - 1) * maxtyp;
    const double* f = freq.Ptr(1, c);
    int n = 0;
    for (int k = 0; k < t; ++k) n += x[k];
    if (n == 0) continue;  // not scored

    if (ch.ploidy < 2) {
      const int k = ShownType(x, t);
      if (k < t) r = r * f[k];
      continue;
    }
    const double term = MultinomialTerm(run, x, t, n, f);
    if (run.error.stop != 0) return 0.0;
    r = r * term;
  }
  return r;
}

}  // namespace velk
