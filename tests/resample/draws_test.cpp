// The resample draws against a second process that repeats, by hand, the
// generator calls each draw must make in the order it must make them.
#include "resample/draws.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "model/gmatrx.hpp"
#include "numeric/random.hpp"
#include "support/arrays.hpp"
#include "support/baseline.hpp"
#include "support/step_run.hpp"
#include "support/synthetic.hpp"

namespace velk {
namespace {

using test::SetBaseline;
using test::SetCounts;
using test::StepRun;
using test::VecOf;

// A run on a second process with the same generator states, characters,
// options and model prior, made before the draw it is to repeat.
struct Twin {
  explicit Twin(StepRun& r) : run(process, r.platform) {
    const velk::Run& from = r.run;
    process.random = from.process.random;
    run.par = from.par;
    run.opt = from.opt;
    run.chars = from.chars;
    run.input.pm_prior = from.input.pm_prior;
    run.input.pm_weight = from.input.pm_weight;
  }
  // work.P holds the columns of one Dirichlet draw per population from the
  // working baseline, and both processes have made the same lagged draws.
  void ExpectDrawnColumns(Run& drawn, const DrawWork& work) {
    PopulationFrequencies tables;
    int nmissing = 0;
    Popfrq(run, drawn.input.base_counts, drawn.input.base_totals, 1, tables, nmissing);
    std::vector<double> col(static_cast<std::size_t>(run.par.npop));
    ASSERT_GT(work.mix.ngenotypes, 1);
    for (int g = 1; g <= work.mix.ngenotypes; ++g) {
      double lscale = 0.0;
      Gpcol(run, tables, work.mix.copies.Ptr(1, 1, g), col.data(), lscale);
      for (int i = 1; i <= run.par.npop; ++i)
        EXPECT_EQ(work.P(i, g), col[static_cast<std::size_t>(i - 1)]);
    }
    EXPECT_EQ(ZBQLU01(drawn.process), ZBQLU01(process));
  }
  Process process;
  Run run;
};

// A run as the maximisation steps see it, and the draws' storage.
class DrawsTest : public testing::Test {
 protected:
  StepRun r;
  velk::Run& run = r.run;
  DrawWork work;
};

// Population 1: two observed types (8 trials over types 1 and 3), then one type
// (keeps its 7 copies, draws nothing); population 2: no sample, then 6 trials
// over three types. Every draw restarts from the observed counts.
TEST_F(DrawsTest, BasimDrawsInPopulationThenCharacterOrderSkippingSingleAndEmptyCharacters) {
  SetBaseline(run, {3, 3}, {{{3, 0, 5}, {0, 7, 0}}, {{0, 0, 0}, {2, 2, 2}}});
  const Arr3<std::int16_t> observed = run.input.base_counts;
  AllocateDraws(run, work);
  std::int32_t seed = -4711, hseed = -4711;
  Process h;
  for (int rep = 0; rep < 2; ++rep) {
    Basim(run, observed, run.input.base_counts, seed, work);
    Vec<std::int32_t> a(2), b(3);
    Dmtnom(h, 8, 2, VecOf({3.0 / 8.0, 5.0 / 8.0}), a, hseed);
    Dmtnom(h, 6, 3, VecOf({2.0 / 6.0, 2.0 / 6.0, 2.0 / 6.0}), b, hseed);
    EXPECT_EQ(seed, hseed);  // exactly 14 uniforms
    const Arr3<std::int16_t>& n = run.input.base_counts;
    EXPECT_EQ(std::vector<int>({n(1, 1, 1), n(2, 1, 1), n(3, 1, 1), n(2, 2, 1)}),
              std::vector<int>({a(1), 0, a(2), 7}));
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(n(k, 1, 2), 0);
      EXPECT_EQ(n(k, 2, 2), b(k));
    }
  }
  EXPECT_EQ(Dran2(run.process, seed), Dran2(h, hseed));  // generators in step
}

TEST_F(DrawsTest, BasimADrawBeyondTheWidthOfACountStopsAtTheLargestCount) {
  SetBaseline(run, {2}, {{{32767, 32767}}});  // either type draws above 32767 half the time
  const Arr3<std::int16_t> observed = run.input.base_counts;
  AllocateDraws(run, work);
  std::int32_t seed = -1;
  int full = 0;
  for (int rep = 0; rep < 6; ++rep) {
    Basim(run, observed, run.input.base_counts, seed, work);
    for (int k = 1; k <= 2; ++k) {
      EXPECT_GT(run.input.base_counts(k, 1, 1), 32000);
      full += run.input.base_counts(k, 1, 1) == 32767;
    }
  }
  EXPECT_GT(full, 0);
}

// Four populations, two loci, and a mixture of seven genotypes in three classes
// (class 2 one rare genotype, class 3 two), 20 individuals.
void SmallMixture(Run& run) {
  test::MakeSynthetic(run, {.np = 4, .nc = 2, .t = 3, .individuals = 7});
  Input& in = run.input;
  in.geno_count = VecOf<std::int32_t>({8, 4, 3, 1, 1, 2, 1});
  // Class 2 (genotype 4) misses locus 2; class 3 (genotypes 5, 6) misses locus 1.
  for (int k = 1; k <= 3; ++k) in.copies(k, 2, 4) = in.copies(k, 1, 5) = in.copies(k, 1, 6) = 0;
  in.copies(1, 1, 7) = 2;  // class 1 again, after the others in the file
  in.nclasses = 3;
  in.class_genotypes = VecOf<std::int32_t>({3, 1, 3});
  in.class_individuals = VecOf<std::int32_t>({15, 1, 4});
  in.sample_size = run.par.sample_size = 20;
}

TEST_F(DrawsTest, DistrbRedrawsAsOneMultinomialAndPacksTheDrawnGenotypesClassByClass) {
  SmallMixture(run);
  const Input& in = run.input;
  AllocateDraws(run, work);
  Mat<double> observedP;
  Vec<double> observed_lscale;
  int nmissing = 0;
  Gmatrx(run, observedP, observed_lscale, nmissing);

  Process h;
  std::int32_t seed = -321, hseed = -321;
  Vec<std::int32_t> expected_total(7), drawn(7);
  bool class_dropped = false;
  for (int rep = 0; rep < 60; ++rep) {
    Distrb(run, 0, seed, work);
    ASSERT_EQ(run.error.stop, 0);
    Dmtnom(h, 20, 7, work.proportions, drawn, hseed);
    EXPECT_EQ(seed, hseed);  // one uniform per individual, nothing else

    int g = 0, kept = 0, classes = 0;
    for (int k = 1; k <= 3; ++k) {
      int genotypes = 0, individuals = 0;
      for (int m = 1; m <= in.class_genotypes(k); ++m) {
        ++g;
        expected_total(g) += drawn(g);
        if (drawn(g) == 0) continue;
        ++genotypes, individuals += drawn(g);
        ASSERT_LE(++kept, work.mix.ngenotypes);
        EXPECT_EQ(std::vector<int>({work.mix.origin(kept), work.mix.count(kept)}),
                  std::vector<int>({g, drawn(g)}));
        EXPECT_EQ(std::memcmp(work.mix.copies.Ptr(1, 1, kept), in.copies.Ptr(1, 1, g), 3 * 2), 0);
        for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.P(i, kept), observedP(i, g));
      }
      class_dropped = class_dropped || individuals == 0;
      if (individuals == 0) continue;
      ++classes;
      EXPECT_EQ(std::vector<int>(
                    {work.mix.class_genotypes(classes), work.mix.class_individuals(classes)}),
                std::vector<int>({genotypes, individuals}));
    }
    EXPECT_EQ(std::vector<int>({work.mix.ngenotypes, work.mix.nclasses, work.mix.sample_size}),
              std::vector<int>({kept, classes, 20}));
  }
  for (int g = 1; g <= 7; ++g) EXPECT_EQ(work.genotype_total(g), expected_total(g));
  EXPECT_TRUE(class_dropped);      // class 2's one individual is missed in about 36% of draws
  EXPECT_EQ(in.geno_count(1), 8);  // the observed mixture is untouched
  EXPECT_EQ(in.ngenotypes, 7);
}

// Three populations; a locus, an isolocus and a haploid character.
void SimulationRun(Run& run) {
  SetBaseline(run, {4, 3, 2},
              {{{10, 5, 0, 5}, {6, 6, 0}, {9, 1}},
               {{1, 1, 10, 8}, {0, 4, 8}, {1, 9}},
               {{0, 0, 3, 3}, {5, 5, 2}, {5, 5}}},
              {2, 4, 1});
  run.opt.estimation = 0;
  run.par.sample_size = 60;
  run.par.max_genotypes = 100;
}

TEST_F(DrawsTest, MixsimJRDrawsPopulationThenEveryCopyKeepingGenotypesInFirstOccurrence) {
  SimulationRun(run);
  const Arr3<std::int16_t> drawing = run.input.base_counts;
  // Probabilities come from another baseline than the drawing one.
  run.input.base_counts(1, 1, 1) = 2;
  run.input.base_counts(2, 1, 1) = 13;
  const Vec<double> theta = VecOf({0.5, 0.3, 0.2});
  AllocateDraws(run, work);
  std::int32_t seed = -2024, hseed = -2024;
  MixsimJR(run, drawing, theta, 60, 0, seed, work);
  ASSERT_EQ(run.error.stop, 0);

  // By hand: per individual its population, then per character one type per copy.
  Process h;
  std::vector<std::vector<std::int8_t>> genotypes;  // in order of first occurrence
  std::vector<int> count, composition(3, 0);
  for (int ind = 0; ind < 60; ++ind) {
    int j = 0;
    Mtnom1(h, 3, theta, j, hseed);
    ++composition[static_cast<std::size_t>(j - 1)];
    std::vector<std::int8_t> x(4 * 3, 0);
    for (int c = 1; c <= 3; ++c) {
      const int t = run.chars(c).ntypes;
      Vec<double> f(t);
      for (int k = 1; k <= t; ++k) f(k) = drawing(k, c, j) / double(run.input.base_totals(c, j));
      for (int copy = 0, k = 0; copy < run.chars(c).ploidy; ++copy) {
        Mtnom1(h, t, f, k, hseed);
        ++x[static_cast<std::size_t>((c - 1) * 4 + k - 1)];
      }
    }
    const auto at = std::find(genotypes.begin(), genotypes.end(), x) - genotypes.begin();
    if (at == std::ssize(genotypes)) {
      genotypes.push_back(x);
      count.push_back(0);
    }
    ++count[static_cast<std::size_t>(at)];
  }
  EXPECT_EQ(seed, hseed);  // 1 + 2 + 4 + 1 uniforms per individual

  const DrawnMixture& mix = work.mix;
  ASSERT_EQ(mix.ngenotypes, static_cast<int>(genotypes.size()));
  EXPECT_EQ(std::vector<int>({mix.sample_size, mix.nclasses, mix.class_genotypes(1),
                              mix.class_individuals(1), work.composition(1), work.composition(2),
                              work.composition(3)}),
            std::vector<int>(
                {60, 1, mix.ngenotypes, 60, composition[0], composition[1], composition[2]}));
  Mat<double> P;
  Vec<double> lscale;
  int nmissing = 0;
  Gmatrx(run, run.input.base_counts, run.input.base_totals, mix.copies, mix.ngenotypes, P, lscale,
         nmissing);
  for (int g = 1; g <= mix.ngenotypes; ++g) {
    const auto& x = genotypes[static_cast<std::size_t>(g - 1)];
    EXPECT_EQ(std::memcmp(mix.copies.Ptr(1, 1, g), x.data(), x.size()), 0) << "genotype " << g;
    EXPECT_EQ(mix.count(g), count[static_cast<std::size_t>(g - 1)]);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(work.P(i, g), P(i, g));
  }
}

TEST_F(DrawsTest, MixsimJRProportionsShortOfOneNeverDrawAPopulationOfProportionZero) {
  SimulationRun(run);
  run.par.max_genotypes = 500;
  AllocateDraws(run, work);
  std::int32_t seed = -31;
  for (int rep = 0; rep < 30; ++rep) {
    MixsimJR(run, run.input.base_counts, VecOf({0.7, 0.29, 0.0}), 500, 0, seed, work);
    ASSERT_EQ(run.error.stop, 0);
    EXPECT_EQ(work.composition(3), 0);
    EXPECT_GT(work.composition(2), 0);
  }
}

TEST_F(DrawsTest, MixsimJRStopsForAnUnsampledPopulationDrawnFromOrTooManyGenotypes) {
  SimulationRun(run);
  SetCounts(run, 3, 2, {0, 0, 0});
  AllocateDraws(run, work);
  std::int32_t seed = -3;
  MixsimJR(run, run.input.base_counts, VecOf({0.5, 0.5, 0.0}), 200, 0, seed, work);
  EXPECT_EQ(run.error.stop, 0);
  MixsimJR(run, run.input.base_counts, VecOf({0.5, 0.3, 0.2}), 200, 0, seed, work);
  EXPECT_EQ(std::vector<int>({run.error.stop, r.Last()}), std::vector<int>({1, 3032}));

  StepRun s;
  SimulationRun(s.run);
  s.run.par.max_genotypes = 5;
  s.run.par.genotypes_given = true;
  AllocateDraws(s.run, work);
  MixsimJR(s.run, s.run.input.base_counts, VecOf({0.4, 0.3, 0.3}), 60, 0, seed, work);
  EXPECT_EQ(std::vector<int>({s.run.error.stop, s.Last(), s.run.error.n1}),
            std::vector<int>({1, 3023, 5}));
}

TEST_F(DrawsTest, MixsimJRRannalaMountainDrawsFromThePriorAndADirichletDraw) {
  SimulationRun(run);
  run.opt.rannala_mountain = 1;
  SetCounts(run, 3, 2, {0, 0, 0});  // drawn from (1/3, 1/3, 1/3)
  run.par.max_genotypes = 300;
  AllocateDraws(run, work);
  ZBQLINI(run.process, 9);
  Twin twin(r);
  std::int32_t seed = -3;
  MixsimJR(run, run.input.base_counts, VecOf({0.2, 0.2, 0.6}), 300, 1, seed, work);
  ASSERT_EQ(run.error.stop, 0);
  twin.ExpectDrawnColumns(run, work);
}

// From this seed the third uniform of the shuffled generator is exactly 0.0,
// which the running sum of probabilities reaches at the first category even
// when that category cannot occur.
TEST_F(DrawsTest, MixsimJRAUniformOfZeroNeverPicksAPopulationOrTypeThatCannotOccur) {
  constexpr std::int32_t kZeroThird = -283412;
  Process p;
  std::int32_t seed = kZeroThird;
  for (int k = 0; k < 2; ++k) Dran2(p, seed);
  ASSERT_EQ(Dran2(p, seed), 0.0);
  // Individual 1: population, one haploid type; individual 2: its population.
  run.opt.estimation = 0;
  run.par.max_genotypes = 10;
  SetBaseline(run, {2}, {{{5, 5}}, {{5, 5}}}, {1});
  AllocateDraws(run, work);
  seed = kZeroThird;
  MixsimJR(run, run.input.base_counts, VecOf({0.0, 1.0}), 3, 0, seed, work);
  EXPECT_EQ(work.composition(1), 0);
  EXPECT_EQ(work.composition(2), 3);

  // One population; the second gene copy of individual 1 takes the zero.
  StepRun r2;
  r2.run.opt.estimation = 0;
  r2.run.par.max_genotypes = 10;
  SetBaseline(r2.run, {3}, {{{0, 5, 5}}});
  AllocateDraws(r2.run, work);
  seed = kZeroThird;
  MixsimJR(r2.run, r2.run.input.base_counts, VecOf({1.0}), 3, 0, seed, work);
  for (int g = 1; g <= work.mix.ngenotypes; ++g) EXPECT_EQ(work.mix.copies(1, 1, g), 0);

  // No individuals draw nothing.
  const std::int32_t before = seed;
  MixsimJR(r2.run, r2.run.input.base_counts, VecOf({1.0}), 0, 0, seed, work);
  EXPECT_EQ(std::vector<int>({seed, work.mix.ngenotypes, work.mix.nclasses}),
            std::vector<int>({before, 0, 0}));
}

}  // namespace
}  // namespace velk
