#include "estimate/upgmat.hpp"

#include <algorithm>
#include <cmath>

#include "core/run.hpp"
#include "estimate/likelihood.hpp"
#include "model/gfactor.hpp"
#include "model/gmatrx.hpp"
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

void BaselineWorkInit(const Run& run, const OptimData& data, int np, BaselineWork& work) {
  const int maxtyp = run.par.max_types;
  const int nc = run.par.nchar;
  work.W.Resize(np, data.Genotypes(), 0.0);
  work.freq.Resize(maxtyp, nc, 0.0);
  work.known.Resize(maxtyp, nc, np, 0.0);
  work.ready.Resize(np, 0);
  work.indexed = false;
  work.missing = NumberMissingBaseline(data.base_totals, nc, np);
}

namespace {

// Population i's frequency table (type, character) into work.freq: from its
// baseline data, made once per work (and then kept, so that a drawn baseline
// stays the same draw).
void KnownFrequencies(Run& run, const OptimData& data, int i, bool draw, BaselineWork& work) {
  const int size = run.par.max_types * run.par.nchar;
  if (work.ready(i) == 0) {
    int nmissing = 0;
    Relfrq(run, data.base_counts, data.base_totals, i, work.freq, nmissing, draw ? 1 : 0);
    std::copy(work.freq.Data(), work.freq.Data() + size, work.known.Ptr(1, 1, i));
    work.ready(i) = 1;
  } else {
    std::copy(work.known.Ptr(1, 1, i), work.known.Ptr(1, 1, i) + size, work.freq.Data());
  }
}

// The estimate of `entry`, character c of population i: the expected copies of
// each type in the population's share of the mixture, normalised, into
// work.freq(., c) and the data's missing-baseline arrays. Returns the largest
// change of a frequency from the one stored before.
double EstimateEntry(const Run& run, const OptimData& data, int i, int c, int entry,
                     BaselineWork& work) {
  const int ngenotypes = data.Genotypes();
  const int t = run.chars(c).ntypes;
  double beta = 0.0;
  double total = 0.0;
  for (int k = 1; k <= t; ++k) {
    double e = 0.0;
    for (int g = 1; g <= ngenotypes; ++g) {
      const int x = data.copies(k, c, g);
      if (x != 0) e += work.W(i, g) * data.count(g) * x;
    }
    work.freq(k, c) = e;
    total += e;
  }
  const bool stored = entry <= data.missing_totals.Size() && entry <= data.missing_freqs.Cols();
  if (total >= 1.0e-10) {
    for (int k = 1; k <= t; ++k) {
      work.freq(k, c) = work.freq(k, c) / total;
      const double previous = stored ? data.missing_freqs(k, entry) : 0.0;
      beta = std::max(beta, std::fabs(work.freq(k, c) - previous));
    }
  } else {
    for (int k = 1; k <= t; ++k) work.freq(k, c) = 1.0 / t;
  }
  if (stored) {
    data.missing_totals(entry) = total;
    for (int k = 1; k <= t; ++k) data.missing_freqs(k, entry) = work.freq(k, c);
  }
  return beta;
}

}  // namespace

double Upgmat(Run& run, const OptimData& data, const Vec<double>& theta, bool draw,
              BaselineWork& work) {
  const int np = theta.Size();
  const int ngenotypes = data.Genotypes();
  const int nc = run.par.nchar;
  Posterior(np, ngenotypes, data.P, theta, work.W);

  double beta = 0.0;
  for (int i = 1; i <= np; ++i) {
    if (!work.missing.Lacks(i)) continue;
    KnownFrequencies(run, data, i, draw, work);
    for (int c = 1; c <= nc; ++c) {
      const int entry = work.missing.entry(c, i);
      if (entry == 0) continue;
      beta = std::max(beta, EstimateEntry(run, data, i, c, entry, work));
    }
    if (!work.indexed) {
      Gpatrn(run, data.copies, ngenotypes, work.patterns);
      work.indexed = true;
    }
    Gfrow(run, work.patterns, data.copies, work.freq, i, data.P, data.lscale, work.factors);
    if (run.error.stop) return beta;
    if (data.known != nullptr) KnownColumns(*data.known, ngenotypes, data.P, data.lscale, i);
  }
  return beta;
}

}  // namespace velk
