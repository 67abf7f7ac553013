#include "estimate/selfassign.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "model/gprob.hpp"
#include "model/groups.hpp"

namespace velk {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMinusInf = -std::numeric_limits<double>::infinity();

double LogOf(double f) {
  return f > 0.0 ? std::log(f) : kMinusInf;
}

// ln of n! / prod x(k)!, the multinomial coefficient of a scored character.
double LogCoefficient(const std::int8_t* x, int t, int n) {
  double v = std::lgamma(n + 1.0);
  for (int k = 0; k < t; ++k)
    if (x[k] > 0) v -= std::lgamma(x[k] + 1.0);
  return v;
}

// ln P of the copies x (n of them) of one character under frequencies f, as
// Gprob takes it: the first scored type's frequency below ploidy 2, the
// multinomial term otherwise.
double LogTerm(const std::int8_t* x, int t, int n, int ploidy, const double* f) {
  if (ploidy < 2) {
    for (int k = 0; k < t; ++k)
      if (x[k] > 0) return LogOf(f[k]);
    return 0.0;
  }
  double v = LogCoefficient(x, t, n);
  for (int k = 0; k < t; ++k)
    if (x[k] > 0) v += x[k] * LogOf(f[k]);
  return v;
}

// Frequencies of character c in population j with the copies x taken out of
// its `counts` (type, character, population) and `totals` (character,
// population), by the run's model. A type of a redrawn baseline may hold fewer
// copies than the individual: it counts 0, and the total is then their sum.
void LeftOut(const Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals,
             int c, int j, const std::int8_t* x, double* f) {
  const int t = run.chars(c).ntypes;
  const std::int16_t* n = counts.Ptr(1, c, j);
  const bool rannala = run.opt.rannala_mountain != 0;
  const bool pella = run.opt.pella_masuda != 0;
  if (!rannala && !pella) {
    std::int32_t total = totals(c, j);
    bool short_type = false;
    for (int k = 0; k < t; ++k) {
      total -= x[k];
      short_type = short_type || n[k] < x[k];
    }
    if (short_type) {
      total = 0;
      for (int k = 0; k < t; ++k) total += std::max(n[k] - x[k], 0);
    }
    for (int k = 0; k < t; ++k)
      f[k] = total < 1 ? 1.0 / t
                       : static_cast<double>(std::max(n[k] - x[k], 0)) / static_cast<double>(total);
    return;
  }
  double s = 0.0;
  for (int k = 0; k < t; ++k) {
    const double prior = rannala ? 1.0 / t : run.input.pm_weight(c) * run.input.pm_prior(k + 1, c);
    f[k] = static_cast<double>(std::max(n[k] - x[k], 0)) + prior;
    s += f[k];
  }
  for (int k = 0; k < t; ++k) f[k] = f[k] / s;
}

// Under the predictive genotype model, the logarithm of its factor over the
// multinomial term (`PredictiveFactor`) for the m copies x of character c in
// population i, whose frequencies there are f: its Dirichlet total is i's
// copies plus the prior's one, less x when `own` (f then the frequencies
// without them). 0 under the other models.
double PredictiveLog(const Run& run, const Arr3<std::int16_t>& counts,
                     const Mat<std::int32_t>& totals, int c, int i, const std::int8_t* x, int m,
                     const double* f, bool own) {
  if (run.opt.predictive == 0 || run.chars(c).ploidy < 2 || m < 2) return 0.0;
  const int t = run.chars(c).ntypes;
  double mass = 1.0 + totals(c, i);
  if (own) {
    const std::int16_t* n = counts.Ptr(1, c, i);
    mass = 1.0;
    for (int k = 0; k < t; ++k) mass += std::max(n[k] - x[k], 0);
  }
  return std::log(PredictiveFactor(x, t, m, f, 1, mass));
}

// The copies of one character in an individual.
int CopiesOf(const std::int8_t* x, int t) {
  int m = 0;
  for (int k = 0; k < t; ++k) m += x[k];
  return m;
}

// The sums of p ln p and p (ln p)^2 over the genotypes of one character.
struct MomentSums {
  double s1 = 0.0;
  double s2 = 0.0;
};

// Every composition of `left` copies over types k..t-1, with the running log
// probability, into the moments' sums.
void Compositions(const double* logf, int t, int k, int left, double logp, MomentSums& sums) {
  if (k == t - 1) {
    double v = logp - std::lgamma(left + 1.0);
    if (left > 0) v += left * logf[k];
    if (v == kMinusInf) return;
    const double p = std::exp(v);
    sums.s1 += p * v;
    sums.s2 += p * v * v;
    return;
  }
  for (int c = 0; c <= left; ++c) {
    if (c > 0 && logf[k] == kMinusInf) break;
    const double v = logp - std::lgamma(c + 1.0) + (c > 0 ? c * logf[k] : 0.0);
    Compositions(logf, t, k + 1, left - c, v, sums);
  }
}

// The same sums over the genotypes of two copies in closed form, the
// frequencies' sums taken once: with S = sum f, Q = sum f^2, A = sum f ln f,
// B = sum f^2 ln f, C = sum f (ln f)^2 and c = ln 2 (a heterozygote's
// coefficient), s1 = c (S^2 - Q) + 2 S A and
// s2 = c^2 (S^2 - Q) + 4 c (S A - B) + 2 S C + 2 A^2.
MomentSums TwoCopySums(const double* f, int t) {
  double S = 0.0, Q = 0.0, A = 0.0, B = 0.0, C = 0.0;
  for (int k = 0; k < t; ++k) {
    if (!(f[k] > 0.0)) continue;
    const double a = std::log(f[k]);
    S += f[k];
    Q += f[k] * f[k];
    A += f[k] * a;
    B += f[k] * f[k] * a;
    C += f[k] * a * a;
  }
  const double c = std::log(2.0);
  const double het = S * S - Q;
  return {.s1 = c * het + 2.0 * S * A,
          .s2 = c * c * het + 4.0 * c * (S * A - B) + 2.0 * S * C + 2.0 * A * A};
}

}  // namespace

void LogMoments(const double* f, int t, int ploidy, int n, double& mean, double& var) {
  MomentSums sums;
  if (ploidy < 2) {
    for (int k = 0; k < t; ++k)
      if (f[k] > 0.0) {
        const double v = std::log(f[k]);
        sums.s1 += f[k] * v;
        sums.s2 += f[k] * v * v;
      }
  } else if (n == 2) {
    sums = TwoCopySums(f, t);
  } else {
    std::vector<double> logf(static_cast<std::size_t>(t));
    for (int k = 0; k < t; ++k) logf[static_cast<std::size_t>(k)] = LogOf(f[k]);
    Compositions(logf.data(), t, 0, n, std::lgamma(n + 1.0), sums);
  }
  mean = sums.s1;
  var = std::max(0.0, sums.s2 - sums.s1 * sums.s1);
}

double OwnLogLikelihood(const Run& run, const Arr3<std::int16_t>& counts,
                        const Mat<std::int32_t>& totals, const std::int8_t* copies, int j,
                        double* left) {
  const int maxtyp = run.par.max_types;
  double own_log = 0.0;
  for (int c = 1; c <= run.par.nchar; ++c) {
    const Character& ch = run.chars(c);
    const std::int8_t* x = copies + static_cast<std::ptrdiff_t>(c - 1) * maxtyp;
    const int m = CopiesOf(x, ch.ntypes);
    if (m == 0) continue;
    LeftOut(run, counts, totals, c, j, x, left);
    own_log += LogTerm(x, ch.ntypes, m, ch.ploidy, left) +
               PredictiveLog(run, counts, totals, c, j, x, m, left, true);
  }
  return own_log;
}

namespace {

// Every population's frequencies by the run's model (freq, one table each) and
// their logarithms, population fastest (logf(i, type, character)).
void ModelFrequencies(Run& run, Arr3<double>& logf, std::vector<Mat<double>>& freq) {
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  for (int i = 1; i <= run.par.npop; ++i) {
    Mat<double>& f = freq[static_cast<std::size_t>(i) - 1];
    int missing = 0;
    Relfrq(run, run.input.base_counts, run.input.base_totals, i, f, missing, 0);
    for (int c = 1; c <= nc; ++c)
      for (int k = 1; k <= maxtyp; ++k) logf(i, k, c) = LogOf(f(k, c));
  }
}

// The regions of the first level and the one of them that holds each population.
void FirstLevelRegions(const Run& run, SelfAssignment& out) {
  const Regions& reg = run.regions;
  out.nregions1 = 0;
  for (int r = 1; r <= std::min(run.par.nregions, reg.level.Size()); ++r)
    if (reg.level(r) == 1) ++out.nregions1;
  out.region_of = Vec<int>(run.par.npop, 0);
  ForEachList(out.nregions1, reg.size, [&](int r, int first, int size) {
    for (int m = first; m < first + size; ++m) out.region_of(reg.members(m)) = r;
  });
}

// ln P of fish n's genotype in every population (frequencies freq, their
// logarithms logf) into L, in its own population
// j from the frequencies without its copies, which go into `left`.
void LogLikelihoods(const Run& run, const ReferenceFish& fish, int n, const Arr3<double>& logf,
                    const std::vector<Mat<double>>& freq, Vec<double>& L, Mat<double>& left) {
  const int np = run.par.npop;
  const int j = fish.pop(n);
  L.Fill(0.0);
  double own_log = 0.0;
  for (int c = 1; c <= run.par.nchar; ++c) {
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = fish.copies.Ptr(1, c, n);
    const int m = CopiesOf(x, t);
    LeftOut(run, run.input.base_counts, run.input.base_totals, c, j, x, left.Ptr(1, c));
    if (m == 0) continue;
    own_log += LogTerm(x, t, m, ch.ploidy, left.Ptr(1, c)) +
               PredictiveLog(run, run.input.base_counts, run.input.base_totals, c, j, x, m,
                             left.Ptr(1, c), true);
    if (ch.ploidy < 2) {
      int first = 0;
      while (x[first] <= 0) ++first;
      const double* lf = logf.Ptr(1, first + 1, c);
      for (int i = 1; i <= np; ++i) L(i) += lf[i - 1];
      continue;
    }
    const double coefficient = LogCoefficient(x, t, m);
    for (int i = 1; i <= np; ++i) L(i) += coefficient;
    for (int k = 0; k < t; ++k) {
      if (x[k] <= 0) continue;
      const double* lf = logf.Ptr(1, k + 1, c);
      const double e = x[k];
      for (int i = 1; i <= np; ++i) L(i) += e * lf[i - 1];
    }
    if (run.opt.predictive != 0)
      for (int i = 1; i <= np; ++i)
        L(i) += PredictiveLog(run, run.input.base_counts, run.input.base_totals, c, i, x, m,
                              freq[static_cast<std::size_t>(i - 1)].Ptr(1, c), false);
  }
  L(j) = own_log;
}

// Fish n's posteriors from its log-likelihoods L, its most probable population
// and first-level region (sums is scratch of the regions). The population, 0
// when the genotype has probability 0 everywhere (not assigned).
int Assign(int n, const Vec<double>& L, Vec<double>& sums, SelfAssignment& out) {
  const int np = L.Size();
  double top = kMinusInf;
  int best = 0;
  for (int i = 1; i <= np; ++i)
    if (L(i) > top) {
      top = L(i);
      best = i;
    }
  if (best == 0) return 0;
  double s = 0.0;
  for (int i = 1; i <= np; ++i) s += std::exp(L(i) - top);
  for (int i = 1; i <= np; ++i) out.posterior(i, n) = std::exp(L(i) - top) / s;
  out.assigned(n) = best;
  out.log_likelihood(n) = L(best);
  if (out.nregions1 > 0) {
    sums.Fill(0.0);
    for (int i = 1; i <= np; ++i)
      if (out.region_of(i) > 0) sums(out.region_of(i)) += out.posterior(i, n);
    int r = 1;
    for (int g = 2; g <= out.nregions1; ++g)
      if (sums(g) > sums(r)) r = g;
    out.region(n) = r;
    out.region_posterior(n) = sums(r);
  }
  return best;
}

// The z-score of fish n: its log-likelihood logl against the moments that
// individuals with frequencies f give at the same characters; NaN when their
// variance is 0.
double ZScore(const Run& run, const ReferenceFish& fish, int n, const Mat<double>& f,
              double logl) {
  double mean = 0.0, var = 0.0;
  for (int c = 1; c <= run.par.nchar; ++c) {
    const Character& ch = run.chars(c);
    const std::int8_t* x = fish.copies.Ptr(1, c, n);
    int m = 0;
    for (int k = 0; k < ch.ntypes; ++k) m += x[k];
    if (m == 0) continue;
    double mc = 0.0, vc = 0.0;
    LogMoments(f.Ptr(1, c), ch.ntypes, ch.ploidy, m, mc, vc);
    mean += mc;
    var += vc;
  }
  return var > 0.0 ? (logl - mean) / std::sqrt(var) : kNaN;
}

}  // namespace

void SelfAssign(Run& run, const ReferenceFish& fish, SelfAssignment& out) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  const int nfish = fish.count;
  try {
    Arr3<double> logf(np, maxtyp, nc, 0.0);
    std::vector<Mat<double>> freq(static_cast<std::size_t>(np), Mat<double>(maxtyp, nc));
    ModelFrequencies(run, logf, freq);
    FirstLevelRegions(run, out);

    out.posterior = Mat<double>(np, std::max(nfish, 1), kNaN);
    out.assigned = Vec<int>(nfish, 0);
    out.region = Vec<int>(nfish, 0);
    out.region_posterior = Vec<double>(nfish, kNaN);
    out.log_likelihood = Vec<double>(nfish, kNaN);
    out.z = Vec<double>(nfish, kNaN);

    Vec<double> L(np), sums(std::max(out.nregions1, 1));
    Mat<double> left(maxtyp, nc);  // the individual's population without it
    for (int n = 1; n <= nfish; ++n) {
      LogLikelihoods(run, fish, n, logf, freq, L, left);
      const int best = Assign(n, L, sums, out);
      if (best == 0) continue;
      // The moments of the assigned population, the own one without the fish.
      const Mat<double>& f = best == fish.pop(n) ? left : freq[static_cast<std::size_t>(best) - 1];
      out.z(n) = ZScore(run, fish, n, f, L(best));
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000, {});
  }
}

}  // namespace velk
