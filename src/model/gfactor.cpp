#include "model/gfactor.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "core/run.hpp"
#include "model/gmatrx.hpp"
#include "model/gprob.hpp"
#include "numeric/kernels.hpp"

namespace velk {

void Gpatrn(Run& run, const Arr3<std::int8_t>& copies, int ngenotypes, GenotypePatterns& pats) {
  const int nc = run.par.nchar;
  const int maxtyp = copies.Size1();
  pats.nc = nc;
  pats.ngenotypes = ngenotypes;
  pats.index.assign(static_cast<std::size_t>(nc) * static_cast<std::size_t>(ngenotypes), -1);
  pats.pchar.clear();
  pats.pgeno.clear();
  std::vector<int> ntypes(static_cast<std::size_t>(nc));
  std::vector<int> ploidy(static_cast<std::size_t>(nc));
  for (int c = 1; c <= nc; ++c) {
    ntypes[static_cast<std::size_t>(c - 1)] = run.chars(c).ntypes;
    ploidy[static_cast<std::size_t>(c - 1)] = run.chars(c).ploidy;
  }
  // Per character: its patterns so far, searched from the latest; a pattern of
  // at most eight types is compared as one 64-bit word.
  struct Known {
    int pattern;
    std::uint64_t key;
  };
  std::vector<std::vector<Known>> known(static_cast<std::size_t>(nc));
  for (int g = 1; g <= ngenotypes; ++g) {
    const std::int8_t* xg = copies.Ptr(1, 1, g);
    int* idx = pats.index.data() + static_cast<std::ptrdiff_t>(g - 1) * nc;
    for (int c = 1; c <= nc; ++c) {
      const int t = ntypes[static_cast<std::size_t>(c - 1)];
      const std::int8_t* x = xg + static_cast<std::ptrdiff_t>(c - 1) * maxtyp;
      int n = 0;
      int positive = 0;
      std::uint64_t key = 0;
      for (int k = 0; k < t; ++k) {
        n += x[k];
        positive += x[k] > 0 ? 1 : 0;
        if (k < 8) key |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(x[k])) << (8 * k);
      }
      if (n == 0 || (ploidy[static_cast<std::size_t>(c - 1)] < 2 && positive == 0)) continue;
      const bool packed = t <= 8;
      std::vector<Known>& list = known[static_cast<std::size_t>(c - 1)];
      int found = -1;
      for (std::size_t j = list.size(); j-- > 0;) {
        const Known& kn = list[j];
        if (packed
                ? kn.key == key
                : std::memcmp(x, copies.Ptr(1, c, pats.pgeno[static_cast<std::size_t>(kn.pattern)]),
                              static_cast<std::size_t>(t)) == 0) {
          found = kn.pattern;
          break;
        }
      }
      if (found < 0) {
        found = static_cast<int>(pats.pchar.size());
        pats.pchar.push_back(c);
        pats.pgeno.push_back(g);
        list.push_back(Known{found, key});
      }
      idx[c - 1] = found;
    }
  }
}

namespace {

// The factor of every pattern in every population, computed as Gpcol computes
// it; `pp` is np doubles of scratch.
void PatternFactors(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
                    PopulationFrequencies& tables, std::vector<double>& factors) {
  const int np = run.par.npop;
  const std::ptrdiff_t stride = np;
  const std::size_t npat = pats.pchar.size();
  factors.resize(npat * static_cast<std::size_t>(np));
  double* pp = tables.p.Data();
  for (std::size_t q = 0; q < npat; ++q) {
    const int c = pats.pchar[q];
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = copies.Ptr(1, c, pats.pgeno[q]);
    const double* fc = tables.f.Ptr(1, 1, c);
    double* out = factors.data() + q * static_cast<std::size_t>(np);
    if (ch.ploidy < 2) {
      const int k = ShownType(x, t);
      const double* fk = fc + k * stride;
      for (int i = 0; i < np; ++i) out[i] = fk[i];
      continue;
    }
    int n = 0;
    for (int k = 0; k < t; ++k) n += x[k];
    double fact = 1.0;
    for (int k = 0; k < t; ++k) {
      if (x[k] > 0) fact = fact * Dfact(run, x[k]);
    }
    const double nfact = Dfact(run, n);
    if (run.error.stop != 0) return;
    for (int i = 0; i < np; ++i) pp[i] = 1.0;
    for (int k = 0; k < t; ++k) {
      if (x[k] > 0) MultiplyPower(np, pp, fc + k * stride, x[k]);
    }
    if (fact == 1.0) {
      for (int i = 0; i < np; ++i) out[i] = nfact * pp[i];
    } else if (nfact == 2.0 && fact == 2.0) {
      for (int i = 0; i < np; ++i) out[i] = pp[i];
    } else {
      for (int i = 0; i < np; ++i) out[i] = nfact * pp[i] / fact;
    }
    if (tables.mass.Rows() > 0)
      for (int i = 0; i < np; ++i)
        out[i] = out[i] * PredictiveFactor(x, t, n, fc + i, stride, tables.mass(i + 1, c));
  }
}

// The factors' logarithms, and per pattern the largest of them: their sum
// over a genotype's patterns bounds the logarithm of its largest probability.
struct FactorLogs {
  std::vector<double> logs;    // pattern x population
  std::vector<double> toplog;  // per pattern
};

FactorLogs LogsOf(const std::vector<double>& factors, std::size_t npat, std::size_t unp) {
  FactorLogs fl{std::vector<double>(npat * unp), std::vector<double>(npat)};
  for (std::size_t q = 0; q < npat; ++q) {
    double top = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < unp; ++i) {
      const double l = std::log(factors[q * unp + i]);
      fl.logs[q * unp + i] = l;
      top = std::max(top, l);
    }
    fl.toplog[q] = top;
  }
  return fl;
}

// Each column: the product of its characters' factors in character order.
// Populations go in blocks of eight kept in registers over the characters.
// Returns the columns below kScaleBound (known beforehand from the bound, or
// found after the product), to be made again as the sum of the logarithms.
std::vector<int> ProductColumns(int np, const GenotypePatterns& pats,
                                const std::vector<double>& factors, const FactorLogs& fl,
                                Mat<double>& P, Vec<double>& lscale) {
  constexpr int kBlock = 8;
  const int nc = pats.nc;
  const auto unp = static_cast<std::size_t>(np);
  const double lbound = std::log(kScaleBound);
  std::vector<const double*> rows(static_cast<std::size_t>(nc));
  std::vector<int> scaled;
  for (int g = 1; g <= pats.ngenotypes; ++g) {
    double* col = P.Ptr(1, g);
    const int* idx = pats.index.data() + static_cast<std::ptrdiff_t>(g - 1) * nc;
    int m = 0;
    double bound = 0.0;
    for (int c = 0; c < nc; ++c) {
      if (idx[c] >= 0) {
        const auto q = static_cast<std::size_t>(idx[c]);
        rows[static_cast<std::size_t>(m++)] = factors.data() + q * unp;
        bound += fl.toplog[q];
      }
    }
    lscale(g) = 0.0;
    if (bound < lbound) {
      scaled.push_back(g);
      continue;
    }
    int i0 = 0;
    for (; i0 + kBlock <= np; i0 += kBlock) {
      double acc[kBlock];
      for (int b = 0; b < kBlock; ++b) acc[b] = 1.0;
      for (int j = 0; j < m; ++j) {
        const double* f = rows[static_cast<std::size_t>(j)] + i0;
        for (int b = 0; b < kBlock; ++b) acc[b] = acc[b] * f[b];
      }
      for (int b = 0; b < kBlock; ++b) col[i0 + b] = acc[b];
    }
    for (int i = i0; i < np; ++i) {
      double acc = 1.0;
      for (int j = 0; j < m; ++j) acc = acc * rows[static_cast<std::size_t>(j)][i];
      col[i] = acc;
    }
    if (Dmax(np, col, 1) < kScaleBound) scaled.push_back(g);
  }
  return scaled;
}

// The scaled columns, kGroup genotypes at a time: each character's rows of
// logarithms are read once for the group, whose sums stay in cache.
void LogScaledColumns(int np, const GenotypePatterns& pats, const FactorLogs& fl,
                      const std::vector<int>& scaled, Mat<double>& P, Vec<double>& lscale) {
  constexpr std::size_t kGroup = 16;
  const int nc = pats.nc;
  const auto unp = static_cast<std::size_t>(np);
  std::vector<double> sums(kGroup * unp);
  for (std::size_t first = 0; first < scaled.size(); first += kGroup) {
    const std::size_t size = std::min(kGroup, scaled.size() - first);
    std::fill(sums.begin(), sums.begin() + static_cast<std::ptrdiff_t>(size * unp), 0.0);
    for (int c = 0; c < nc; ++c) {
      for (std::size_t j = 0; j < size; ++j) {
        const int g = scaled[first + j];
        const int q = pats.index[static_cast<std::size_t>(g - 1) * static_cast<std::size_t>(nc) +
                                 static_cast<std::size_t>(c)];
        if (q < 0) continue;
        const double* l = fl.logs.data() + static_cast<std::size_t>(q) * unp;
        double* acc = sums.data() + j * unp;
        for (std::size_t i = 0; i < unp; ++i) acc[i] += l[i];
      }
    }
    for (std::size_t j = 0; j < size; ++j) {
      const int g = scaled[first + j];
      ScaleColumn(np, sums.data() + j * unp, P.Ptr(1, g), lscale(g));
    }
  }
}

}  // namespace

void Gfcols(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
            PopulationFrequencies& tables, Mat<double>& P, Vec<double>& lscale,
            std::vector<double>& factors) {
  const int np = run.par.npop;
  PatternFactors(run, pats, copies, tables, factors);
  if (run.error.stop != 0) return;
  const FactorLogs fl = LogsOf(factors, pats.pchar.size(), static_cast<std::size_t>(np));
  const std::vector<int> scaled = ProductColumns(np, pats, factors, fl, P, lscale);
  LogScaledColumns(np, pats, fl, scaled, P, lscale);
}

void Gfrow(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
           const Mat<double>& freq, int i, Mat<double>& P, const Vec<double>& lscale,
           std::vector<double>& factors) {
  const int nc = pats.nc;
  const std::size_t npat = pats.pchar.size();
  factors.resize(npat);

  // The factor of every pattern, computed as Gprob computes it.
  for (std::size_t q = 0; q < npat; ++q) {
    const int c = pats.pchar[q];
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = copies.Ptr(1, c, pats.pgeno[q]);
    const double* f = freq.Ptr(1, c);
    if (ch.ploidy < 2) {
      const int k = ShownType(x, t);
      factors[q] = f[k];
      continue;
    }
    int n = 0;
    for (int k = 0; k < t; ++k) n += x[k];
    factors[q] = MultinomialTerm(run, x, t, n, f);
    if (run.error.stop != 0) return;
  }

  // The factors' logarithms serve the scaled columns.
  std::vector<double> logs;
  for (int g = 1; g <= pats.ngenotypes && logs.empty(); ++g) {
    if (lscale(g) != 0.0) {
      logs.resize(npat);
      for (std::size_t q = 0; q < npat; ++q) logs[q] = std::log(factors[q]);
    }
  }
  for (int g = 1; g <= pats.ngenotypes; ++g) {
    const int* idx = pats.index.data() + static_cast<std::ptrdiff_t>(g - 1) * nc;
    if (lscale(g) != 0.0) {
      double l = -lscale(g);
      for (int c = 0; c < nc; ++c) {
        if (idx[c] >= 0) l += logs[static_cast<std::size_t>(idx[c])];
      }
      P(i, g) = std::exp(l);
      continue;
    }
    double r = 1.0;
    for (int c = 0; c < nc; ++c) {
      if (idx[c] >= 0) r = r * factors[static_cast<std::size_t>(idx[c])];
    }
    P(i, g) = r;
  }
}

}  // namespace velk
