#include "estimate/upgmat.hpp"

#include <algorithm>
#include <cmath>

#include "core/run.hpp"
#include "model/gfactor.hpp"
#include "estimate/likelihood.hpp"
#include "model/gprob.hpp"

namespace velk {

void Posterior(int np, int ngenotypes, const Mat<double>& P, const Vec<double>& theta,
               Mat<double>& W) {
  for (int g = 1; g <= ngenotypes; ++g) {
    double sum = 0.0;
    double top = 0.0;
    for (int i = 1; i <= np; ++i) {
      const double p = P(i, g);
      top = std::max(top, p);
      W(i, g) = theta(i) * p;
      sum += W(i, g);
    }
    if (sum > kPosteriorFloor * top) {
      for (int i = 1; i <= np; ++i) W(i, g) = W(i, g) / sum;
    }
  }
}

void BaselineWorkInit(Run& run, int np, int ngenotypes, BaselineWork& work) {
  const int maxtyp = run.par.max_types;
  const int nc = run.par.nchar;
  work.W.Resize(np, ngenotypes, 0.0);
  work.freq.Resize(maxtyp, nc, 0.0);
  work.known.Resize(maxtyp, nc, np, 0.0);
  work.ready.Resize(np, 0);
  work.indexed = false;
}

double Upgmat(Run& run, int np, int ngenotypes, const Vec<double>& theta, Mat<double>& P,
              const Vec<double>& lscale, const Vec<std::int32_t>& count,
              const Arr3<std::int8_t>& copies, const Mat<std::int32_t>& base_totals,
              const Arr3<std::int16_t>& base_counts, int draw, Vec<double>& missing_totals,
              Mat<double>& missing_freqs, BaselineWork& work) {
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  Posterior(np, ngenotypes, P, theta, work.W);

  double beta = 0.0;
  int entry = 0;
  for (int i = 1; i <= np; ++i) {
    int smallest = base_totals(1, i);
    for (int c = 2; c <= nc; ++c) smallest = std::min(smallest, base_totals(c, i));
    if (smallest >= 1) continue;

    if (work.ready(i) == 0) {
      int nmissing = 0;
      Relfrq(run, base_counts, base_totals, i, work.freq, nmissing, draw);
      std::copy(work.freq.Data(), work.freq.Data() + maxtyp * nc, work.known.Ptr(1, 1, i));
      work.ready(i) = 1;
    } else {
      std::copy(work.known.Ptr(1, 1, i), work.known.Ptr(1, 1, i) + maxtyp * nc, work.freq.Data());
    }

    for (int c = 1; c <= nc; ++c) {
      if (base_totals(c, i) >= 1) continue;
      ++entry;
      const int t = run.chars(c).ntypes;
      double total = 0.0;
      for (int k = 1; k <= t; ++k) {
        double e = 0.0;
        for (int g = 1; g <= ngenotypes; ++g) {
          const int x = copies(k, c, g);
          if (x != 0) e += work.W(i, g) * count(g) * x;
        }
        work.freq(k, c) = e;
        total += e;
      }
      const bool stored = entry <= missing_totals.Size() && entry <= missing_freqs.Cols();
      if (total >= 1.0e-10) {
        for (int k = 1; k <= t; ++k) {
          work.freq(k, c) = work.freq(k, c) / total;
          const double previous = stored ? missing_freqs(k, entry) : 0.0;
          beta = std::max(beta, std::fabs(work.freq(k, c) - previous));
        }
      } else {
        for (int k = 1; k <= t; ++k) work.freq(k, c) = 1.0 / t;
      }
      if (stored) {
        missing_totals(entry) = total;
        for (int k = 1; k <= t; ++k) missing_freqs(k, entry) = work.freq(k, c);
      }
    }

    if (!work.indexed) {
      Gpatrn(run, copies, ngenotypes, work.patterns);
      work.indexed = true;
    }
    Gfrow(run, work.patterns, copies, work.freq, i, P, lscale, work.factors);
    if (run.error.stop) return beta;
  }
  return beta;
}

}  // namespace velk
