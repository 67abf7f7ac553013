#pragma once
// A small synthetic baseline and mixture in a run: np populations, nc diploid
// loci of t types each, baseline counts from random frequencies, and a mixture
// drawn from known proportions, one genotype per individual in one class.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/run.hpp"
#include "data/gmatrx.hpp"
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

// Fills run.par, run.chars and run.input with the data set; every (population,
// locus) has baseline data.
inline void MakeSynthetic(Run& run, const SyntheticShape& s) {
  Uniform u(s.seed);
  run.par.npop = s.np;
  run.par.nchar = s.nc;
  run.par.max_types = s.t;
  run.chars = Vec<Character>(s.nc);
  for (int c = 1; c <= s.nc; ++c) {
    run.chars(c).ntypes = s.t;
    run.chars(c).ploidy = 2;
  }
  // True frequencies: uneven, so that the populations differ.
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
  auto draw_type = [&](int c, int i) {
    double x = u.Next();
    for (int k = 1; k < s.t; ++k) {
      x -= f(k, c, i);
      if (x <= 0.0) return k;
    }
    return s.t;
  };
  Input& in = run.input;
  in.base_counts = Arr3<std::int16_t>(s.t, s.nc, s.np);
  in.base_totals = Mat<std::int32_t>(s.nc, s.np);
  for (int i = 1; i <= s.np; ++i) {
    for (int c = 1; c <= s.nc; ++c) {
      for (int n = 0; n < s.copies_per_population; ++n) ++in.base_counts(draw_type(c, i), c, i);
      in.base_totals(c, i) = s.copies_per_population;
    }
  }
  const int n = s.individuals;
  in.copies = Arr3<std::int8_t>(s.t, s.nc, n);
  in.geno_count = Vec<std::int32_t>(n, 1);
  for (int g = 1; g <= n; ++g) {
    double x = u.Next();
    int i = 1;
    while (i < s.np && (x -= s.theta[static_cast<std::size_t>(i - 1)]) > 0.0) ++i;
    for (int c = 1; c <= s.nc; ++c) {
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
  in.missing_freqs = Mat<double>(s.t, 1);
  run.par.sample_size = n;
  run.par.nclasses = 1;
}

// Removes the baseline data of (population, locus) pairs, counting them as
// missing-baseline entries.
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
  m.count = run.input.geno_count;
  m.possible = possible;
  m.class_genotypes = run.input.class_genotypes;
  m.class_individuals = run.input.class_individuals;
  for (int g = 1; g <= m.ngenotypes; ++g) m.n += m.count(g);
  return m;
}

// A bound that screens out the `n` genotypes whose best probability over the
// populations is smallest.
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

}  // namespace velk::test
