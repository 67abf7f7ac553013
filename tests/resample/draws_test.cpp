#include "resample/draws.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "data/gmatrx.hpp"
#include "resample/random.hpp"
#include "support/step_run.hpp"
#include "support/synthetic.hpp"

namespace velk {
namespace {

using test::StepRun;

// A second process whose shuffled generator is driven by hand: it repeats the
// generator calls a draw routine must make, in the order it must make them.
struct HandDriven {
  Process process;
};

// Characters (types, ploidy) and empty baseline counts for np populations.
void Shape(Run& run, int np, const std::vector<std::pair<int, int>>& chars) {
  run.par.npop = np;
  run.par.nchar = static_cast<int>(chars.size());
  run.chars.Resize(run.par.nchar);
  int maxtyp = 1;
  for (int c = 1; c <= run.par.nchar; ++c) {
    run.chars(c).ntypes = chars[static_cast<std::size_t>(c - 1)].first;
    run.chars(c).ploidy = chars[static_cast<std::size_t>(c - 1)].second;
    maxtyp = std::max(maxtyp, run.chars(c).ntypes);
  }
  run.par.max_types = maxtyp;
  run.input.base_counts.Resize(maxtyp, run.par.nchar, np);
  run.input.base_totals.Resize(run.par.nchar, np);
}

void SetCounts(Run& run, int pop, int c, const std::vector<int>& counts) {
  int total = 0;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    run.input.base_counts(static_cast<int>(k) + 1, c, pop) = static_cast<std::int16_t>(counts[k]);
    total += counts[k];
  }
  run.input.base_totals(c, pop) = total;
}

Vec<double> Probs(const std::vector<double>& p) {
  Vec<double> v(static_cast<int>(p.size()));
  for (std::size_t i = 0; i < p.size(); ++i) v(static_cast<int>(i) + 1) = p[i];
  return v;
}

// ------------------------------------------------------------ baseline bootstrap

TEST(Basim, DrawsInPopulationThenCharacterOrderSkippingSingleAndEmptyCharacters) {
  StepRun r;
  velk::Run& run = r.run;
  Shape(run, 2, {{3, 2}, {3, 2}});
  SetCounts(run, 1, 1, {3, 0, 5});  // two observed types: 8 trials over types 1 and 3
  SetCounts(run, 1, 2, {0, 7, 0});  // one type: keeps its 7 copies, draws nothing
  SetCounts(run, 2, 1, {0, 0, 0});  // no sample: nothing
  SetCounts(run, 2, 2, {2, 2, 2});  // 6 trials over three types
  const Arr3<std::int16_t> observed = run.input.base_counts;
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -4711;
  Basim(run, observed, run.input.base_counts, seed, work);

  HandDriven h;
  std::int32_t hseed = -4711;
  Vec<std::int32_t> a(2), b(3);
  Dmtnom(h.process, 8, 2, Probs({3.0 / 8.0, 5.0 / 8.0}), a, hseed);
  Dmtnom(h.process, 6, 3, Probs({2.0 / 6.0, 2.0 / 6.0, 2.0 / 6.0}), b, hseed);
  EXPECT_EQ(seed, hseed);  // exactly 14 uniforms
  EXPECT_EQ(run.input.base_counts(1, 1, 1), a(1));
  EXPECT_EQ(run.input.base_counts(2, 1, 1), 0);
  EXPECT_EQ(run.input.base_counts(3, 1, 1), a(2));
  EXPECT_EQ(run.input.base_counts(2, 2, 1), 7);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(run.input.base_counts(k, 1, 2), 0);
    EXPECT_EQ(run.input.base_counts(k, 2, 2), b(k));
  }
  EXPECT_EQ(Dran2(run.process, seed), Dran2(h.process, hseed));  // generators in step
}

TEST(Basim, KeepsEverySampleSizeAndUnobservedTypesAndRestartsFromTheObservedCounts) {
  StepRun r;
  velk::Run& run = r.run;
  test::MakeSynthetic(run, {.np = 3, .nc = 3, .t = 6, .copies_per_population = 40});
  // Unobserved types.
  run.input.base_counts(2, 1, 1) = 0;
  run.input.base_counts(5, 3, 2) = 0;
  for (int i = 1; i <= 3; ++i) {
    for (int c = 1; c <= 3; ++c) {
      int total = 0;
      for (int k = 1; k <= 6; ++k) total += run.input.base_counts(k, c, i);
      run.input.base_totals(c, i) = total;
    }
  }
  const Arr3<std::int16_t> observed = run.input.base_counts;
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -99;
  bool changed = false;
  for (int rep = 0; rep < 50; ++rep) {
    Basim(run, observed, run.input.base_counts, seed, work);
    for (int i = 1; i <= 3; ++i) {
      for (int c = 1; c <= 3; ++c) {
        int sum = 0;
        for (int k = 1; k <= 6; ++k) {
          const int n = run.input.base_counts(k, c, i);
          EXPECT_GE(n, 0);
          if (observed(k, c, i) == 0) {
            EXPECT_EQ(n, 0);
          }
          if (n != observed(k, c, i)) changed = true;
          sum += n;
        }
        EXPECT_EQ(sum, run.input.base_totals(c, i));
      }
    }
  }
  EXPECT_TRUE(changed);
}

TEST(Basim, MeansMatchTheObservedCounts) {
  StepRun r;
  velk::Run& run = r.run;
  Shape(run, 1, {{3, 2}});
  SetCounts(run, 1, 1, {100, 300, 600});
  const Arr3<std::int16_t> observed = run.input.base_counts;
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -1;
  const int reps = 400;
  double sum[3] = {0, 0, 0};
  for (int rep = 0; rep < reps; ++rep) {
    Basim(run, observed, run.input.base_counts, seed, work);
    for (int k = 1; k <= 3; ++k) sum[k - 1] += run.input.base_counts(k, 1, 1);
  }
  // Binomial(1000, p): the mean of 400 draws has sd sqrt(1000 p (1-p) / 400).
  const double p[3] = {0.1, 0.3, 0.6};
  for (int k = 0; k < 3; ++k) {
    const double sd = std::sqrt(1000.0 * p[k] * (1.0 - p[k]) / reps);
    EXPECT_NEAR(sum[k] / reps, 1000.0 * p[k], 4.0 * sd) << "type " << k + 1;
  }
}

TEST(Basim, ADrawBeyondTheWidthOfACountStopsAtTheLargestCount) {
  StepRun r;
  velk::Run& run = r.run;
  Shape(run, 1, {{2, 2}});
  SetCounts(run, 1, 1, {32767, 32767});  // either type draws above 32767 half the time
  const Arr3<std::int16_t> observed = run.input.base_counts;
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -1;
  int full = 0;
  for (int rep = 0; rep < 6; ++rep) {
    Basim(run, observed, run.input.base_counts, seed, work);
    for (int k = 1; k <= 2; ++k) {
      EXPECT_GT(run.input.base_counts(k, 1, 1), 32000);
      if (run.input.base_counts(k, 1, 1) == 32767) ++full;
    }
  }
  EXPECT_GT(full, 0);
}

// ------------------------------------------------------------- mixture bootstrap

// Four populations, two loci, and a mixture of seven genotypes in three classes
// (class 2 one rare genotype, class 3 two), 20 individuals.
void SmallMixture(Run& run) {
  test::MakeSynthetic(run, {.np = 4, .nc = 2, .t = 3, .individuals = 7});
  Input& in = run.input;
  const std::int32_t counts[7] = {8, 4, 3, 1, 1, 2, 1};
  for (int g = 1; g <= 7; ++g) in.geno_count(g) = counts[g - 1];
  // Class 2 (genotype 4) misses locus 2; class 3 (genotypes 5, 6) misses locus 1.
  for (int k = 1; k <= 3; ++k) {
    in.copies(k, 2, 4) = 0;
    in.copies(k, 1, 5) = 0;
    in.copies(k, 1, 6) = 0;
  }
  in.copies(1, 1, 7) = 2;  // class 1 again, after the others in the file
  in.nclasses = 3;
  in.class_genotypes = Vec<std::int32_t>(3);
  in.class_individuals = Vec<std::int32_t>(3);
  in.class_genotypes(1) = 3;
  in.class_individuals(1) = 15;
  in.class_genotypes(2) = 1;
  in.class_individuals(2) = 1;
  in.class_genotypes(3) = 3;
  in.class_individuals(3) = 4;
  in.sample_size = 20;
  run.par.sample_size = 20;
}

TEST(Distrb, RedrawsAsOneMultinomialAndPacksTheDrawnGenotypesClassByClass) {
  StepRun r;
  velk::Run& run = r.run;
  SmallMixture(run);
  const Input& in = run.input;
  DrawWork work;
  AllocateDraws(run, work);
  ASSERT_EQ(run.error.stop, 0);
  Mat<double> observedP;
  int nmissing = 0;
  Gmatrx(run, observedP, nmissing);

  HandDriven h;
  std::int32_t seed = -321;
  std::int32_t hseed = seed;
  Vec<std::int32_t> expected_total(7);
  bool class_dropped = false;
  bool genotype_dropped = false;
  Vec<std::int32_t> drawn(7);
  for (int rep = 0; rep < 60; ++rep) {
    Distrb(run, 0, seed, work);
    ASSERT_EQ(run.error.stop, 0);
    Dmtnom(h.process, 20, 7, work.proportions, drawn, hseed);
    EXPECT_EQ(seed, hseed);  // one uniform per individual, nothing else

    // The expected packing.
    int g = 0, kept = 0, classes = 0, sample = 0;
    for (int k = 1; k <= 3; ++k) {
      int genotypes = 0, individuals = 0;
      for (int m = 1; m <= in.class_genotypes(k); ++m) {
        ++g;
        expected_total(g) += drawn(g);
        if (drawn(g) == 0) {
          genotype_dropped = true;
          continue;
        }
        ++kept;
        ++genotypes;
        individuals += drawn(g);
        ASSERT_LE(kept, work.mix.ngenotypes);
        EXPECT_EQ(work.mix.origin(kept), g);
        EXPECT_EQ(work.mix.count(kept), drawn(g));
        EXPECT_EQ(std::memcmp(work.mix.copies.Ptr(1, 1, kept), in.copies.Ptr(1, 1, g), 3 * 2), 0);
        for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.P(i, kept), observedP(i, g));
      }
      if (individuals == 0) {
        class_dropped = true;
        continue;
      }
      ++classes;
      EXPECT_EQ(work.mix.class_genotypes(classes), genotypes);
      EXPECT_EQ(work.mix.class_individuals(classes), individuals);
      sample += individuals;
    }
    EXPECT_EQ(work.mix.ngenotypes, kept);
    EXPECT_EQ(work.mix.nclasses, classes);
    EXPECT_EQ(work.mix.sample_size, 20);
    EXPECT_EQ(sample, 20);
  }
  for (int g = 1; g <= 7; ++g) EXPECT_EQ(work.genotype_total(g), expected_total(g));
  EXPECT_TRUE(genotype_dropped);
  EXPECT_TRUE(class_dropped);  // class 2's one individual is missed in about 36% of draws
  // The observed mixture is untouched.
  EXPECT_EQ(in.geno_count(1), 8);
  EXPECT_EQ(in.ngenotypes, 7);
}

TEST(Distrb, MeanCountsMatchTheObservedCounts) {
  StepRun r;
  velk::Run& run = r.run;
  SmallMixture(run);
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -5;
  const int reps = 2000;
  for (int rep = 0; rep < reps; ++rep) Distrb(run, 0, seed, work);
  for (int g = 1; g <= 7; ++g) {
    const double p = work.proportions(g);
    const double sd = std::sqrt(20.0 * p * (1.0 - p) / reps);
    EXPECT_NEAR(static_cast<double>(work.genotype_total(g)) / reps, 20.0 * p, 4.0 * sd);
  }
}

// A run on the hand-driven process with the same characters, options and data.
struct Twin {
  explicit Twin(StepRun& r) : run(h.process, r.platform) {
    h.process.random = r.run.process.random;  // the same generator states
    run.par = r.run.par;
    run.opt = r.run.opt;
    run.chars = r.run.chars;
    run.input.pm_prior = r.run.input.pm_prior;
    run.input.pm_weight = r.run.input.pm_weight;
  }
  HandDriven h;
  Run run;
};

TEST(Distrb, DirichletFrequenciesAreOneDrawPerPopulationPerCall) {
  StepRun r;
  velk::Run& run = r.run;
  SmallMixture(run);
  run.opt.rannala_mountain = 1;
  DrawWork work;
  AllocateDraws(run, work);
  ZBQLINI(run.process, 77);
  Twin twin(r);

  std::int32_t seed = -8;
  Distrb(run, 1, seed, work);
  ASSERT_EQ(run.error.stop, 0);
  PopulationFrequencies tables;
  int nmissing = 0;
  Popfrq(twin.run, run.input.base_counts, run.input.base_totals, 1, tables, nmissing);
  std::vector<double> col(4);
  ASSERT_GT(work.mix.ngenotypes, 1);
  for (int j = 1; j <= work.mix.ngenotypes; ++j) {
    Gpcol(twin.run, tables, work.mix.copies.Ptr(1, 1, j), col.data());
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.P(i, j), col[static_cast<std::size_t>(i - 1)]);
  }
  // Both processes have made the same lagged draws.
  EXPECT_EQ(ZBQLU01(run.process), ZBQLU01(twin.h.process));
}

// ---------------------------------------------------------- probabilities only

TEST(Clprob, MatchesTheGenotypeMatrixWithAndWithoutTheDirichletDraw) {
  StepRun r;
  velk::Run& run = r.run;
  SmallMixture(run);
  DrawWork work;
  AllocateDraws(run, work);
  Mat<double> P;
  int nmissing = 0;
  Clprob(run, 0, work);
  Gmatrx(run, P, nmissing);
  for (int g = 1; g <= 7; ++g) {
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.P(i, g), P(i, g));
  }

  run.opt.pella_masuda = 1;
  run.input.pm_weight = Vec<double>(2, 3.0);
  run.input.pm_prior = Mat<double>(3, 2, 1.0 / 3.0);
  ZBQLINI(run.process, 5);
  Twin twin(r);
  Clprob(run, 1, work);
  Gmatrx(twin.run, run.input.base_counts, run.input.base_totals, run.input.copies, 7, P, nmissing,
         1);
  for (int g = 1; g <= 7; ++g) {
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.P(i, g), P(i, g));
  }
  EXPECT_EQ(ZBQLU01(run.process), ZBQLU01(twin.h.process));
}

// ----------------------------------------------------------- simulated mixture

// The simulated mixture a hand-driven generator gives: per individual its
// population, then per character in order one type per gene copy.
struct Expected {
  std::vector<std::vector<std::int8_t>> genotypes;  // in order of first occurrence
  std::vector<int> count;
  std::vector<int> composition;
};

Expected SimulateByHand(Run& run, Process& process, const Arr3<std::int16_t>& drawing,
                        const Vec<double>& theta, int n, std::int32_t& seed) {
  const int np = run.par.npop, nc = run.par.nchar, maxtyp = run.par.max_types;
  Expected e;
  e.composition.assign(static_cast<std::size_t>(np), 0);
  std::map<std::vector<std::int8_t>, int> index;
  for (int ind = 0; ind < n; ++ind) {
    int j = 0;
    Mtnom1(process, np, theta, j, seed);
    ++e.composition[static_cast<std::size_t>(j - 1)];
    std::vector<std::int8_t> x(static_cast<std::size_t>(maxtyp * nc), 0);
    for (int c = 1; c <= nc; ++c) {
      const int t = run.chars(c).ntypes;
      int total = 0;
      for (int k = 1; k <= t; ++k) total += drawing(k, c, j);
      Vec<double> f(t);
      for (int k = 1; k <= t; ++k) f(k) = static_cast<double>(drawing(k, c, j)) / total;
      for (int copy = 0; copy < run.chars(c).ploidy; ++copy) {
        int k = 0;
        Mtnom1(process, t, f, k, seed);
        ++x[static_cast<std::size_t>((c - 1) * maxtyp + k - 1)];
      }
    }
    auto [it, fresh] = index.emplace(x, static_cast<int>(e.genotypes.size()));
    if (fresh) {
      e.genotypes.push_back(x);
      e.count.push_back(0);
    }
    ++e.count[static_cast<std::size_t>(it->second)];
  }
  return e;
}

// Three populations; a locus, an isolocus and a haploid character.
void SimulationRun(Run& run) {
  Shape(run, 3, {{4, 2}, {3, 4}, {2, 1}});
  run.opt.estimation = 0;
  run.par.sample_size = 60;
  run.par.max_genotypes = 100;
  SetCounts(run, 1, 1, {10, 5, 0, 5});
  SetCounts(run, 2, 1, {1, 1, 10, 8});
  SetCounts(run, 3, 1, {0, 0, 3, 3});
  SetCounts(run, 1, 2, {6, 6, 0});
  SetCounts(run, 2, 2, {0, 4, 8});
  SetCounts(run, 3, 2, {5, 5, 2});
  SetCounts(run, 1, 3, {9, 1});
  SetCounts(run, 2, 3, {1, 9});
  SetCounts(run, 3, 3, {5, 5});
}

TEST(MixsimJR, DrawsPopulationThenEveryGeneCopyAndKeepsGenotypesInFirstOccurrence) {
  StepRun r;
  velk::Run& run = r.run;
  SimulationRun(run);
  const Arr3<std::int16_t> drawing = run.input.base_counts;
  // Probabilities come from another baseline than the drawing one.
  run.input.base_counts(1, 1, 1) = 2;
  run.input.base_counts(2, 1, 1) = 13;
  const Vec<double> theta = Probs({0.5, 0.3, 0.2});
  DrawWork work;
  AllocateDraws(run, work);
  HandDriven h;
  std::int32_t seed = -2024, hseed = -2024;
  MixsimJR(run, drawing, theta, 60, 0, seed, work);
  ASSERT_EQ(run.error.stop, 0);
  const Expected e = SimulateByHand(run, h.process, drawing, theta, 60, hseed);
  EXPECT_EQ(seed, hseed);  // 1 + 2 + 4 + 1 uniforms per individual

  const DrawnMixture& mix = work.mix;
  ASSERT_EQ(mix.ngenotypes, static_cast<int>(e.genotypes.size()));
  EXPECT_EQ(mix.sample_size, 60);
  EXPECT_EQ(mix.nclasses, 1);
  EXPECT_EQ(mix.class_genotypes(1), mix.ngenotypes);
  EXPECT_EQ(mix.class_individuals(1), 60);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(work.composition(i), e.composition[i - 1]);
  Mat<double> P;
  int nmissing = 0;
  Gmatrx(run, run.input.base_counts, run.input.base_totals, mix.copies, mix.ngenotypes, P,
         nmissing);
  for (int g = 1; g <= mix.ngenotypes; ++g) {
    const auto& x = e.genotypes[static_cast<std::size_t>(g - 1)];
    EXPECT_EQ(std::memcmp(mix.copies.Ptr(1, 1, g), x.data(), x.size()), 0) << "genotype " << g;
    EXPECT_EQ(mix.count(g), e.count[static_cast<std::size_t>(g - 1)]);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(work.P(i, g), P(i, g));
  }
}

TEST(MixsimJR, SameSeedSameMixtureAndAZeroProportionIsNeverDrawn) {
  StepRun a, b;
  SimulationRun(a.run);
  SimulationRun(b.run);
  // Proportions that fall short of 1 with a last population of proportion 0.
  const Vec<double> theta = Probs({0.7, 0.29, 0.0});
  DrawWork wa, wb;
  AllocateDraws(a.run, wa);
  AllocateDraws(b.run, wb);
  a.run.par.max_genotypes = b.run.par.max_genotypes = 500;
  std::int32_t sa = -31, sb = -31;
  for (int rep = 0; rep < 30; ++rep) {
    MixsimJR(a.run, a.run.input.base_counts, theta, 500, 0, sa, wa);
    MixsimJR(b.run, b.run.input.base_counts, theta, 500, 0, sb, wb);
    ASSERT_EQ(sa, sb);
    EXPECT_EQ(wa.composition(3), 0);
    EXPECT_GT(wa.composition(2), 0);
    ASSERT_EQ(wa.mix.ngenotypes, wb.mix.ngenotypes);
    for (int g = 1; g <= wa.mix.ngenotypes; ++g) {
      EXPECT_EQ(wa.mix.count(g), wb.mix.count(g));
      EXPECT_EQ(std::memcmp(wa.mix.copies.Ptr(1, 1, g), wb.mix.copies.Ptr(1, 1, g), 4 * 3), 0);
    }
  }
}

TEST(MixsimJR, CompositionAndTypeFrequenciesMatchTheTruthWithinSamplingError) {
  StepRun r;
  velk::Run& run = r.run;
  SimulationRun(run);
  run.par.max_genotypes = 3000;
  const Vec<double> theta = Probs({0.6, 0.1, 0.3});
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -7;
  const int n = 3000, reps = 10;
  double comp[3] = {0, 0, 0};
  double type1 = 0.0;  // copies of type 1 of the haploid character
  for (int rep = 0; rep < reps; ++rep) {
    MixsimJR(run, run.input.base_counts, theta, n, 0, seed, work);
    for (int i = 1; i <= 3; ++i) comp[i - 1] += work.composition(i);
    for (int g = 1; g <= work.mix.ngenotypes; ++g)
      type1 += work.mix.copies(1, 3, g) * work.mix.count(g);
  }
  const double total = static_cast<double>(n) * reps;
  for (int i = 0; i < 3; ++i) {
    const double p = theta(i + 1);
    EXPECT_NEAR(comp[i] / total, p, 4.0 * std::sqrt(p * (1 - p) / total));
  }
  const double q = 0.6 * 0.9 + 0.1 * 0.1 + 0.3 * 0.5;  // type 1 in the mixture
  EXPECT_NEAR(type1 / total, q, 4.0 * std::sqrt(q * (1 - q) / total));
}

TEST(MixsimJR, APopulationWithoutSampleStopsThePlainModelOnlyWhenDrawnFrom) {
  StepRun r;
  velk::Run& run = r.run;
  SimulationRun(run);
  SetCounts(run, 3, 2, {0, 0, 0});
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -3;
  MixsimJR(run, run.input.base_counts, Probs({0.5, 0.5, 0.0}), 200, 0, seed, work);
  EXPECT_EQ(run.error.stop, 0);
  MixsimJR(run, run.input.base_counts, Probs({0.5, 0.3, 0.2}), 200, 0, seed, work);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(r.Last(), 3032);
}

TEST(MixsimJR, RannalaMountainDrawsFromThePriorAndItsProbabilitiesFromADirichletDraw) {
  StepRun r;
  velk::Run& run = r.run;
  SimulationRun(run);
  run.opt.rannala_mountain = 1;
  SetCounts(run, 3, 2, {0, 0, 0});  // drawn from (1/3, 1/3, 1/3)
  run.par.max_genotypes = 300;
  DrawWork work;
  AllocateDraws(run, work);
  ZBQLINI(run.process, 9);
  Twin twin(r);
  std::int32_t seed = -3;
  MixsimJR(run, run.input.base_counts, Probs({0.2, 0.2, 0.6}), 300, 1, seed, work);
  ASSERT_EQ(run.error.stop, 0);
  PopulationFrequencies tables;
  int nmissing = 0;
  Popfrq(twin.run, run.input.base_counts, run.input.base_totals, 1, tables, nmissing);
  std::vector<double> col(3);
  for (int g = 1; g <= work.mix.ngenotypes; ++g) {
    Gpcol(twin.run, tables, work.mix.copies.Ptr(1, 1, g), col.data());
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(work.P(i, g), col[static_cast<std::size_t>(i - 1)]);
  }
  EXPECT_EQ(ZBQLU01(run.process), ZBQLU01(twin.h.process));
}

TEST(MixsimJR, MoreDistinctGenotypesThanTheMaximumStopTheRun) {
  StepRun r;
  velk::Run& run = r.run;
  SimulationRun(run);
  run.par.max_genotypes = 5;
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -3;
  MixsimJR(run, run.input.base_counts, Probs({0.4, 0.3, 0.3}), 60, 0, seed, work);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(r.Last(), 3023);
  EXPECT_EQ(run.error.n1, 5);
  EXPECT_EQ(run.error.a1, "geneotypes");
}

// From this seed the third uniform of the shuffled generator is exactly 0.0,
// which the running sum of probabilities reaches at the first category even
// when that category cannot occur.
constexpr std::int32_t kZeroThird = -283412;

TEST(MixsimJR, AUniformOfZeroNeverPicksAPopulationOrTypeThatCannotOccur) {
  {
    Process p;
    std::int32_t seed = kZeroThird;
    Dran2(p, seed);
    Dran2(p, seed);
    ASSERT_EQ(Dran2(p, seed), 0.0);
  }
  StepRun r;
  velk::Run& run = r.run;
  // Individual 1: population, one haploid type; individual 2: its population.
  Shape(run, 2, {{2, 1}});
  run.opt.estimation = 0;
  run.par.max_genotypes = 10;
  SetCounts(run, 1, 1, {5, 5});
  SetCounts(run, 2, 1, {5, 5});
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = kZeroThird;
  MixsimJR(run, run.input.base_counts, Probs({0.0, 1.0}), 3, 0, seed, work);
  EXPECT_EQ(work.composition(1), 0);
  EXPECT_EQ(work.composition(2), 3);

  // One population; the second gene copy of individual 1 takes the zero.
  StepRun r2;
  velk::Run& run2 = r2.run;
  Shape(run2, 1, {{3, 2}});
  run2.opt.estimation = 0;
  run2.par.max_genotypes = 10;
  SetCounts(run2, 1, 1, {0, 5, 5});
  AllocateDraws(run2, work);
  seed = kZeroThird;
  MixsimJR(run2, run2.input.base_counts, Probs({1.0}), 3, 0, seed, work);
  for (int g = 1; g <= work.mix.ngenotypes; ++g) EXPECT_EQ(work.mix.copies(1, 1, g), 0);
}

TEST(MixsimJR, NoIndividualsDrawNothing) {
  StepRun r;
  velk::Run& run = r.run;
  SimulationRun(run);
  DrawWork work;
  AllocateDraws(run, work);
  std::int32_t seed = -3;
  Dran2(run.process, seed);
  const std::int32_t before = seed;
  MixsimJR(run, run.input.base_counts, Probs({0.4, 0.3, 0.3}), 0, 0, seed, work);
  EXPECT_EQ(seed, before);
  EXPECT_EQ(work.mix.ngenotypes, 0);
  EXPECT_EQ(work.mix.nclasses, 0);
}

}  // namespace
}  // namespace velk
