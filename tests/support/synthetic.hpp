#pragma once
// Synthetic baselines and mixtures (one genotype per individual, one class) drawn
// from a seed, for the tests and benchmarks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/run.hpp"
#include "model/gmatrx.hpp"
#include "support/mixture.hpp"

namespace velk::test {

struct SyntheticShape {
  int np = 4;
  int nc = 4;
  int t = 5;
  int copies_per_population = 200;  // baseline gene copies per population and locus
  int individuals = 150;
  std::vector<double> theta{0.4, 0.3, 0.2, 0.1};
  std::uint64_t seed = 7;
};

// A standard normal, and Gamma(a, rate 1) by Marsaglia and Tsang, from u.
inline double Normal(Uniform& u) {
  const double u1 = u.Next(), u2 = u.Next();
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
}
inline double Gamma(Uniform& u, double a) {
  if (a < 1.0) return Gamma(u, a + 1.0) * std::pow(u.Next(), 1.0 / a);
  const double d = a - 1.0 / 3.0, c = 1.0 / std::sqrt(9.0 * d);
  for (;;) {
    double x, v;
    do {
      x = Normal(u);
      v = 1.0 + c * x;
    } while (v <= 0.0);
    v = v * v * v;
    if (std::log(u.Next()) < 0.5 * x * x + d - d * v + d * std::log(v)) return d * v;
  }
}

// Frequencies f(type, locus, population) of np related populations: ancestral
// ones Dirichlet(1, ..., 1), each population's Dirichlet around them (`drift`).
inline Arr3<double> RelatedFrequencies(const Run& run, Uniform& u, int np, double drift) {
  const int nc = run.par.nchar;
  Arr3<double> f(run.par.max_types, nc, np);
  std::vector<double> anc(static_cast<std::size_t>(run.par.max_types));
  for (int c = 1; c <= nc; ++c) {
    const int t = run.chars(c).ntypes;
    double sum = 0.0;
    for (int k = 0; k < t; ++k) sum += (anc[static_cast<std::size_t>(k)] = Gamma(u, 1.0));
    for (int k = 0; k < t; ++k) anc[static_cast<std::size_t>(k)] /= sum;
    for (int i = 1; i <= np; ++i) {
      double si = 0.0;
      for (int k = 1; k <= t; ++k)
        si += (f(k, c, i) = Gamma(u, drift * anc[static_cast<std::size_t>(k - 1)]) + 1e-12);
      for (int k = 1; k <= t; ++k) f(k, c, i) /= si;
    }
  }
  return f;
}

// Draws from f `copies` baseline gene copies per population and locus, and n
// diploid individuals, each from a population drawn by theta (the last takes
// what is left).
inline void DrawSynthetic(Run& run, Uniform& u, const Arr3<double>& f, int copies,
                          const double* theta, int n) {
  const int np = run.par.npop, nc = run.par.nchar, maxt = run.par.max_types;
  auto draw_type = [&](int c, int i) {
    double x = u.Next();
    const int t = run.chars(c).ntypes;
    for (int k = 1; k < t; ++k) {
      x -= f(k, c, i);
      if (x <= 0.0) return k;
    }
    return t;
  };
  Input& in = run.input;
  in.base_counts = Arr3<std::int16_t>(maxt, nc, np);
  in.base_totals = Mat<std::int32_t>(nc, np);
  for (int i = 1; i <= np; ++i) {
    for (int c = 1; c <= nc; ++c) {
      for (int k = 0; k < copies; ++k) ++in.base_counts(draw_type(c, i), c, i);
      in.base_totals(c, i) = copies;
    }
  }
  in.copies = Arr3<std::int8_t>(maxt, nc, n);
  in.geno_count = Vec<std::int32_t>(n, 1);
  for (int g = 1; g <= n; ++g) {
    double x = u.Next();
    int i = 1;
    while (i < np && (x -= theta[i - 1]) > 0.0) ++i;
    for (int c = 1; c <= nc; ++c) {
      ++in.copies(draw_type(c, i), c, g);
      ++in.copies(draw_type(c, i), c, g);
    }
  }
  in.sample_size = n;
  in.ngenotypes = n;
  in.nclasses = 1;
  in.class_genotypes = Vec<std::int32_t>(1, n);
  in.class_individuals = Vec<std::int32_t>(1, n);
  in.nmissing_base = 0;
  in.missing_totals = Vec<double>(1);
  in.missing_freqs = Mat<double>(maxt, 1);
  run.par.sample_size = n;
  run.par.nclasses = 1;
}

// The data set of shape s: nc diploid loci of t types, independent uneven
// frequencies, baseline data for every (population, locus).
inline void MakeSynthetic(Run& run, const SyntheticShape& s) {
  Uniform u(s.seed);
  run.par.npop = s.np;
  run.par.nchar = s.nc;
  run.par.max_types = s.t;
  run.chars = Vec<Character>(s.nc, Character{"", 0, s.t, 2});
  Arr3<double> f(s.t, s.nc, s.np);
  for (int i = 1; i <= s.np; ++i) {
    for (int c = 1; c <= s.nc; ++c) {
      double sum = 0.0;
      for (int k = 1; k <= s.t; ++k) {
        const double x = u.Next();
        f(k, c, i) = x * x * x + 0.02;
        sum += f(k, c, i);
      }
      for (int k = 1; k <= s.t; ++k) f(k, c, i) /= sum;
    }
  }
  DrawSynthetic(run, u, f, s.copies_per_population, s.theta.data(), s.individuals);
}

// Removes the baseline data of (pop, locus), counting it as missing.
inline void DropBaseline(Run& run, int pop, int locus) {
  for (int k = 1; k <= run.par.max_types; ++k) run.input.base_counts(k, locus, pop) = 0;
  run.input.base_totals(locus, pop) = 0;
  ++run.input.nmissing_base;
}

// The run's mixture as a Mixture for the plain EM of the tests.
inline Mixture AsMixture(const Run& run, const Mat<double>& P, const Vec<std::int32_t>& possible) {
  Mixture m;
  m.np = run.par.npop;
  m.ngenotypes = run.input.ngenotypes;
  m.P = P;
  m.lscale = Vec<double>(m.ngenotypes, 0.0);  // PlainEm needs ratios within a column only
  m.count = run.input.geno_count;
  m.possible = possible;
  m.class_genotypes = run.input.class_genotypes;
  m.class_individuals = run.input.class_individuals;
  for (int g = 1; g <= m.ngenotypes; ++g) m.n += m.count(g);
  return m;
}

// A bound that screens out the `n` genotypes of smallest best probability.
inline double ScreeningBound(const Run& run, const Mat<double>& P, int n) {
  std::vector<double> best;
  for (int g = 1; g <= run.input.ngenotypes; ++g) {
    double m = 0.0;
    for (int i = 1; i <= run.par.npop; ++i) m = std::max(m, P(i, g));
    best.push_back(m);
  }
  std::sort(best.begin(), best.end());
  return best[static_cast<std::size_t>(n - 1)] * 1.000001;
}

// A SNP panel of nc loci and np related populations (Fst about 0.03), n diploid
// individuals from proportions 0.9^(i-1) (returned), each locus missing with
// probability `missing`, one class per pattern of missing loci.
inline std::vector<double> MakeSnpPanel(Run& run, int np, int nc, int n, double missing,
                                        std::uint64_t seed, int copies = 200) {
  Uniform u(seed);
  run.par.npop = np;
  run.par.nchar = nc;
  run.par.max_types = 2;
  run.chars = Vec<Character>(nc, Character{"", 0, 2, 2});
  const Arr3<double> f = RelatedFrequencies(run, u, np, 30.0);
  std::vector<double> truth(static_cast<std::size_t>(np));
  double sum = 0.0;
  for (int i = 0; i < np; ++i) sum += truth[static_cast<std::size_t>(i)] = std::pow(0.9, i);
  for (double& x : truth) x /= sum;
  DrawSynthetic(run, u, f, copies, truth.data(), n);

  // Blank the missing loci, then order the individuals by their pattern.
  Input& in = run.input;
  std::vector<std::vector<bool>> pattern(static_cast<std::size_t>(n));
  for (int g = 1; g <= n; ++g) {
    auto& p = pattern[static_cast<std::size_t>(g - 1)];
    p.assign(static_cast<std::size_t>(nc), false);
    for (int c = 1; c <= nc; ++c) {
      if (u.Next() >= missing) continue;
      p[static_cast<std::size_t>(c - 1)] = true;
      in.copies(1, c, g) = 0;
      in.copies(2, c, g) = 0;
    }
  }
  std::vector<int> order(static_cast<std::size_t>(n));
  for (int g = 0; g < n; ++g) order[static_cast<std::size_t>(g)] = g + 1;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return pattern[static_cast<std::size_t>(a - 1)] < pattern[static_cast<std::size_t>(b - 1)];
  });
  const Arr3<std::int8_t> copies_in = in.copies;
  std::vector<int> sizes;
  for (int j = 0; j < n; ++j) {
    const int g = order[static_cast<std::size_t>(j)];
    for (int c = 1; c <= nc; ++c)
      for (int k = 1; k <= 2; ++k) in.copies(k, c, j + 1) = copies_in(k, c, g);
    if (j == 0 || pattern[static_cast<std::size_t>(g - 1)] !=
                      pattern[static_cast<std::size_t>(order[static_cast<std::size_t>(j - 1)] - 1)])
      sizes.push_back(0);
    ++sizes.back();
  }
  const int nk = static_cast<int>(sizes.size());
  in.nclasses = nk;
  run.par.nclasses = nk;
  in.class_genotypes = Vec<std::int32_t>(nk);
  in.class_individuals = Vec<std::int32_t>(nk);
  for (int k = 1; k <= nk; ++k)
    in.class_genotypes(k) = in.class_individuals(k) = sizes[static_cast<std::size_t>(k - 1)];
  run.par.max_genotypes = n;
  return truth;
}

}  // namespace velk::test
