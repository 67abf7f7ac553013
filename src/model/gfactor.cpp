#include "model/gfactor.hpp"

#include <cstddef>
#include <cstring>

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

void Gfcols(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
            PopulationFrequencies& tables, Mat<double>& P, std::vector<double>& factors) {
  const int np = run.par.npop;
  const int nc = pats.nc;
  const std::ptrdiff_t stride = np;
  const std::size_t npat = pats.pchar.size();
  factors.resize(npat * static_cast<std::size_t>(np));
  double* pp = tables.p.Data();

  // The factor of every pattern, computed as Gpcol computes it.
  for (std::size_t q = 0; q < npat; ++q) {
    const int c = pats.pchar[q];
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = copies.Ptr(1, c, pats.pgeno[q]);
    const double* fc = tables.f.Ptr(1, 1, c);
    double* out = factors.data() + q * static_cast<std::size_t>(np);
    if (ch.ploidy < 2) {
      int k = 0;
      while (k < t && x[k] <= 0) ++k;
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
  }

  // Each column: the product of its characters' factors in character order.
  // Populations go in blocks of eight kept in registers over the characters.
  constexpr int kBlock = 8;
  std::vector<const double*> rows(static_cast<std::size_t>(nc));
  for (int g = 1; g <= pats.ngenotypes; ++g) {
    double* col = P.Ptr(1, g);
    const int* idx = pats.index.data() + static_cast<std::ptrdiff_t>(g - 1) * nc;
    int m = 0;
    for (int c = 0; c < nc; ++c) {
      if (idx[c] >= 0)
        rows[static_cast<std::size_t>(m++)] =
            factors.data() + static_cast<std::size_t>(idx[c]) * static_cast<std::size_t>(np);
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
  }
}

void Gfrow(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
           const Mat<double>& freq, int i, Mat<double>& P, std::vector<double>& factors) {
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
      int k = 0;
      while (k < t && x[k] <= 0) ++k;
      factors[q] = f[k];
      continue;
    }
    int n = 0;
    for (int k = 0; k < t; ++k) n += x[k];
    factors[q] = MultinomialTerm(run, x, t, n, f);
    if (run.error.stop != 0) return;
  }

  for (int g = 1; g <= pats.ngenotypes; ++g) {
    const int* idx = pats.index.data() + static_cast<std::ptrdiff_t>(g - 1) * nc;
    double r = 1.0;
    for (int c = 0; c < nc; ++c) {
      if (idx[c] >= 0) r = r * factors[static_cast<std::size_t>(idx[c])];
    }
    P(i, g) = r;
  }
}

}  // namespace velk
