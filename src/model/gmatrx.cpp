#include "model/gmatrx.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "model/gfactor.hpp"
#include "model/gprob.hpp"
#include "numeric/kernels.hpp"

namespace velk {

void Popfrq(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals, int draw,
            PopulationFrequencies& tables, int& nmissing) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  nmissing = 0;
  Mat<double> freq;  // one population's table (type, character)
  try {
    freq.Resize(maxtyp, nc);
    if (tables.f.Size1() != np || tables.f.Size2() != maxtyp || tables.f.Size3() != nc)
      tables.f.Resize(np, maxtyp, nc);
    if (tables.p.Size() != np) tables.p.Resize(np);
    if (tables.lp.Size() != np) tables.lp.Resize(np);
    if (tables.types.Size() != maxtyp) tables.types.Resize(maxtyp);
    if (tables.nums.Size() != maxtyp) tables.nums.Resize(maxtyp);
    if (run.opt.predictive != 0) tables.mass.Resize(np, nc);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  }
  for (int i = 1; i <= np; ++i) {
    int missing = 0;
    Relfrq(run, counts, totals, i, freq, missing, draw);
    nmissing += missing;
    for (int c = 1; c <= nc; ++c) {
      for (int k = 1; k <= maxtyp; ++k) tables.f(i, k, c) = freq(k, c);
      if (run.opt.predictive != 0) tables.mass(i, c) = totals(c, i) + 1.0;
    }
  }
}

void ScaleColumn(int np, const double* lp, double* col, double& lscale) {
  double top = -std::numeric_limits<double>::infinity();
  for (int i = 0; i < np; ++i) top = std::max(top, lp[i]);
  if (!std::isfinite(top)) {
    for (int i = 0; i < np; ++i) col[i] = 0.0;
    lscale = 0.0;
    return;
  }
  for (int i = 0; i < np; ++i) col[i] = std::exp(lp[i] - top);
  lscale = top;
}

Mat<double> Unscaled(const Mat<double>& P, const Vec<double>& lscale, int ngenotypes) {
  Mat<double> out = P;
  for (int g = 1; g <= ngenotypes; ++g) {
    if (lscale(g) == 0.0) continue;
    const double s = std::exp(lscale(g));
    double* col = out.Ptr(1, g);
    for (int i = 0; i < P.Rows(); ++i) col[i] = col[i] * s;
  }
  return out;
}

namespace {

// The logarithm of one genotype's probability in every population, into lp:
// the same factors as Gpcol, added as logarithms (minus infinity for a zero).
void LogColumn(Run& run, PopulationFrequencies& tables, const std::int8_t* copies, double* lp) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const std::ptrdiff_t stride = np;
  for (int i = 0; i < np; ++i) lp[i] = 0.0;
  for (int c = 1; c <= nc; ++c) {
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = nullptr;
    const int n = CharacterCopies(run, copies, c, x);
    if (n == 0) continue;
    const double* fc = tables.f.Ptr(1, 1, c);
    if (ch.ploidy < 2) {
      const int k = ShownType(x, t);
      if (k == t) continue;
      const double* fk = fc + k * stride;
      for (int i = 0; i < np; ++i) lp[i] += std::log(fk[i]);
      continue;
    }
    double fact = 1.0;
    for (int k = 0; k < t; ++k) {
      if (x[k] > 0) fact = fact * Dfact(run, x[k]);
    }
    const double lconst = std::log(Dfact(run, n) / fact);
    if (run.error.stop != 0) return;
    for (int i = 0; i < np; ++i) lp[i] += lconst;
    for (int k = 0; k < t; ++k) {
      if (x[k] <= 0) continue;
      const double* fk = fc + k * stride;
      const double e = x[k];
      for (int i = 0; i < np; ++i) lp[i] += e * std::log(fk[i]);
    }
    if (tables.mass.Rows() > 0)
      for (int i = 0; i < np; ++i)
        lp[i] += std::log(PredictiveFactor(x, t, n, fc + i, stride, tables.mass(i + 1, c)));
  }
}

}  // namespace

// Each factor is applied to the whole column at once; per population the
// operations and their order are exactly those of Gprob on that population's
// table, so the results are the same to the last bit.
void Gpcol(Run& run, PopulationFrequencies& tables, const std::int8_t* copies, double* col,
           double& lscale) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const std::ptrdiff_t stride = np;  // from one type to the next in tables.f
  double* pp = tables.p.Data();
  int* types = tables.types.Data();
  int* nums = tables.nums.Data();
  lscale = 0.0;

  for (int i = 0; i < np; ++i) col[i] = 1.0;
  for (int c = 1; c <= nc; ++c) {
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = nullptr;
    const int n = CharacterCopies(run, copies, c, x);
    if (n == 0) continue;  // not scored
    const double* fc = tables.f.Ptr(1, 1, c);

    if (ch.ploidy < 2) {
      const int k = ShownType(x, t);
      if (k == t) continue;
      const double* fk = fc + k * stride;
      for (int i = 0; i < np; ++i) col[i] = col[i] * fk[i];
      continue;
    }

    // Multinomial factor n! p / f, f the product of the copies' factorials.
    int m = 0;
    double fact = 1.0;
    for (int k = 0; k < t; ++k) {
      if (x[k] <= 0) continue;
      types[m] = k;
      nums[m] = x[k];
      ++m;
      fact = fact * Dfact(run, x[k]);
    }
    const double nfact = Dfact(run, n);
    if (run.error.stop != 0) return;

    for (int i = 0; i < np; ++i) pp[i] = 1.0;
    for (int j = 0; j < m; ++j) MultiplyPower(np, pp, fc + types[j] * stride, nums[j]);
    if (fact == 1.0) {
      // n! p / 1 is n! p exactly.
      for (int i = 0; i < np; ++i) col[i] = col[i] * (nfact * pp[i]);
    } else if (nfact == 2.0 && fact == 2.0) {
      // A diploid homozygote: 2 p / 2 is p exactly.
      for (int i = 0; i < np; ++i) col[i] = col[i] * pp[i];
    } else {
      for (int i = 0; i < np; ++i) col[i] = col[i] * (nfact * pp[i] / fact);
    }
    if (tables.mass.Rows() > 0)
      for (int i = 0; i < np; ++i)
        col[i] = col[i] * PredictiveFactor(x, t, n, fc + i, stride, tables.mass(i + 1, c));
  }

  double top = 0.0;
  for (int i = 0; i < np; ++i) top = std::max(top, col[i]);
  if (top >= kScaleBound) return;
  // Below the bound (or lost below the range of a double) the column is made
  // again from logarithms and scaled.
  LogColumn(run, tables, copies, tables.lp.Data());
  if (run.error.stop != 0) return;
  ScaleColumn(np, tables.lp.Data(), col, lscale);
}

void Gmatrx(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals,
            const Arr3<std::int8_t>& copies, int ngenotypes, Mat<double>& P, Vec<double>& lscale,
            int& nmissing, int draw) {
  const int np = run.par.npop;
  PopulationFrequencies tables;
  try {
    if (P.Rows() != np || P.Cols() < ngenotypes) P.Resize(np, ngenotypes);
    if (lscale.Size() < ngenotypes) lscale.Resize(ngenotypes);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  }
  Popfrq(run, counts, totals, draw, tables, nmissing);
  if (run.error.stop != 0) return;
  // Genotypes share their characters' copy patterns: each pattern's factors
  // are computed once and the columns are their products.
  GenotypePatterns pats;
  std::vector<double> factors;
  Gpatrn(run, copies, ngenotypes, pats);
  Gfcols(run, pats, copies, tables, P, lscale, factors);
}

void Gmatrx(Run& run, Mat<double>& P, Vec<double>& lscale, int& nmissing) {
  Gmatrx(run, run.input.base_counts, run.input.base_totals, run.input.copies, run.input.ngenotypes,
         P, lscale, nmissing, 0);
  if (run.error.stop == 0) KnownColumns(run.input.geno_known, run.input.ngenotypes, P, lscale);
}

void KnownColumn(int np, int pop, double* col, double& lscale) {
  for (int i = 1; i <= np; ++i) col[i - 1] = i == pop ? 1.0 : 0.0;
  lscale = 0.0;
}

void KnownColumnOf(const Vec<std::int32_t>& known, int g, Mat<double>& P, Vec<double>& lscale) {
  if (g <= known.Size() && known(g) > 0) KnownColumn(P.Rows(), known(g), P.Ptr(1, g), lscale(g));
}

void KnownColumns(const Vec<std::int32_t>& known, int ngenotypes, Mat<double>& P,
                  Vec<double>& lscale, int row) {
  const int last = std::min(ngenotypes, known.Size());
  for (int g = 1; g <= last; ++g) {
    if (known(g) <= 0) continue;
    if (row == 0)
      KnownColumn(P.Rows(), known(g), P.Ptr(1, g), lscale(g));
    else
      P(row, g) = row == known(g) ? 1.0 : 0.0;
  }
}

}  // namespace velk
