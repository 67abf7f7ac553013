// The resample draws at their edges: counts at their width, the stops of a
// simulated mixture and uniforms of exactly 0. (Whole resampling runs against
// their checked reports in simltr_test pin every draw's values.)
#include "resample/draws.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "numeric/random.hpp"
#include "support/arrays.hpp"
#include "support/baseline.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

using test::SetBaseline;
using test::SetCounts;
using test::StepRun;
using test::VecOf;

// A run as the maximisation steps see it, and the draws' storage.
class DrawsTest : public testing::Test {
 protected:
  StepRun r;
  velk::Run& run = r.run;
  DrawWork work;
};

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

TEST_F(DrawsTest, MixsimJRProportionsShortOfOneNeverDrawAPopulationOfProportionZero) {
  SimulationRun(run);
  run.par.max_genotypes = 500;
  AllocateDraws(run, work);
  std::int32_t seed = -31;
  for (int rep = 0; rep < 30; ++rep) {
    MixsimJR(run, run.input.base_counts, VecOf({0.7, 0.29, 0.0}), 500, Frequencies::kBaseline, seed,
             work);
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
  MixsimJR(run, run.input.base_counts, VecOf({0.5, 0.5, 0.0}), 200, Frequencies::kBaseline, seed,
           work);
  EXPECT_EQ(run.error.stop, 0);
  MixsimJR(run, run.input.base_counts, VecOf({0.5, 0.3, 0.2}), 200, Frequencies::kBaseline, seed,
           work);
  EXPECT_EQ(std::vector<int>({run.error.stop, r.Last()}), std::vector<int>({1, 3032}));

  StepRun s;
  SimulationRun(s.run);
  s.run.par.max_genotypes = 5;
  s.run.par.genotypes_given = true;
  AllocateDraws(s.run, work);
  MixsimJR(s.run, s.run.input.base_counts, VecOf({0.4, 0.3, 0.3}), 60, Frequencies::kBaseline, seed,
           work);
  EXPECT_EQ(std::vector<int>({s.run.error.stop, s.Last()}), std::vector<int>({1, 3023}));
  ASSERT_FALSE(s.run.messages.empty());
  EXPECT_NE(s.run.messages.back().text.find("geneotypes =    5."), std::string::npos);
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
  MixsimJR(run, run.input.base_counts, VecOf({0.0, 1.0}), 3, Frequencies::kBaseline, seed, work);
  EXPECT_EQ(work.composition(1), 0);
  EXPECT_EQ(work.composition(2), 3);

  // One population; the second gene copy of individual 1 takes the zero.
  StepRun r2;
  r2.run.opt.estimation = 0;
  r2.run.par.max_genotypes = 10;
  SetBaseline(r2.run, {3}, {{{0, 5, 5}}});
  AllocateDraws(r2.run, work);
  seed = kZeroThird;
  MixsimJR(r2.run, r2.run.input.base_counts, VecOf({1.0}), 3, Frequencies::kBaseline, seed, work);
  for (int g = 1; g <= work.mix.ngenotypes; ++g) EXPECT_EQ(work.mix.copies(1, 1, g), 0);
}

}  // namespace
}  // namespace velk
