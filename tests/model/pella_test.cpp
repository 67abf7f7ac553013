#include "model/pella.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "estimate/likelihood.hpp"
#include "model/gprob.hpp"
#include "support/baseline.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

// A run with an open log and a baseline given population by population.
class PellaTest : public ::testing::Test, public test::LoggedRun {
 protected:
  using Counts = test::PopulationCounts;

  void Baseline(const std::vector<int>& ntypes, const std::vector<Counts>& pops) {
    test::SetBaseline(run, ntypes, pops);
    run.input.pm_prior.Resize(run.par.max_types, run.par.nchar);
    run.input.pm_weight.Resize(run.par.nchar);
  }
};

// Unequal samples: the weight iteration to its fixed point, computed on its own.
TEST_F(PellaTest, WeightsOfEqualAndUnequalSamplesAndTheLowerBound) {
  // (0.5, 0.5) and (0.7, 0.3): A / B = 23 whatever the weight; 2 x 30000
  // copies square beyond 32 bits and stay 23. Very different populations give
  // 0.5625 and fixed types 0, both raised to 1.
  struct Case {
    std::vector<Counts> pops;
    std::vector<double> weights;
  };
  const Case cases[] = {
      {{{{50, 50}}, {{70, 30}}}, {23.0}},
      {{{{15000, 15000}}, {{21000, 9000}}}, {23.0}},
      {{{{90, 10}, {10, 0}}, {{10, 90}, {0, 10}}}, {1.0, 1.0}},
      {{{{3, 9}}, {{20, 20}}, {{70, 30}}}, {6.031219464824789}},
      {{{{12, 4, 0}}, {{30, 50, 20}}, {{5, 1, 2}}, {{40, 10, 10}}}, {9.375721086344562}},
  };
  for (const Case& c : cases) {
    Baseline(std::vector<int>(c.weights.size(), static_cast<int>(c.pops[0][0].size())), c.pops);
    Pella(run);
    ASSERT_EQ(run.error.stop, 0);
    for (std::size_t k = 0; k < c.weights.size(); ++k)
      EXPECT_NEAR(run.input.pm_weight(static_cast<int>(k) + 1), c.weights[k], 1e-9);
  }
}

// The prior mean is the mean of the proportions of the populations with data
// (0.6, not the pooled 75 / 110).
TEST_F(PellaTest, ModelFrequenciesOfAPopulationWithoutDataAreThePriorMeans) {
  Baseline({2}, {{{5, 5}}, {{70, 30}}, {{}}});
  run.opt.pella_masuda = 1;
  Pella(run);
  ASSERT_EQ(run.error.stop, 0);
  Mat<double> freq(2, 1);
  int missing = -1;
  Relfrq(run, run.input.base_counts, run.input.base_totals, 3, freq, missing, 0);
  EXPECT_NEAR(freq(1, 1), 0.6, 1e-15);
  EXPECT_EQ(missing, 0);
  Relfrq(run, run.input.base_counts, run.input.base_totals, 1, freq, missing, 0);
  const double w = run.input.pm_weight(1);
  EXPECT_NEAR(freq(1, 1), (5 + w * 0.6) / (10 + w), 1e-12);
}

// Each case's log holds its block (the fatal headings of the two checks differ);
// characters without data anywhere are found before any weight is computed.
TEST_F(PellaTest, CharactersTheModelCannotTakeEndTheRun) {
  const std::string sod =
      "     Sod-1      is not observed in any of the stocks.\n"
      "     You should exclude this character.\n\n \n";
  const std::string ldh =
      "*** Fatal Error: Computing the Pella-Masuda model of baseline allele frequency "
      "distributions.\n    Loc2       may be invariant.\n    You should exclude this "
      "character.\n\n \n";
  struct Case {
    std::vector<int> types;
    std::vector<Counts> pops;
    std::string message;
  };
  const Case cases[] = {
      {{2, 3, 2},
       {{{5, 5}, {}, {}}, {{3, 7}, {}, {}}},
       "\n *** Fatal Error: Reading baseline frequencies.\n" + sod},
      // Scored in one population only.
      {{2, 2}, {{{5, 5}, {}}, {{3, 7}, {4, 6}}}, "\n" + ldh},
      // A small sample beside large ones: the steps settle into a cycle between
      // two values (near 128.8 and 799.1) and never meet the tolerance.
      {{2}, {{{3, 2}}, {{10021, 9979}}, {{27, 23}}}, "Loc1       has no converging weight."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const std::string log = dir / ("case" + std::to_string(&c - cases) + ".log");
    run.output.unit[0].Close();
    ASSERT_TRUE(run.output.unit[0].Open(log));
    run.error.stop = 0;
    Baseline(c.types, c.pops);
    if (c.types.size() == 3) run.chars(2).name = "Sod-1";
    Pella(run);
    EXPECT_EQ(run.error.stop, 1);
    EXPECT_EQ(run.input.pm_weight(1) == 0.0, &c != &cases[1]);  // none computed before it
    run.output.unit[0].Close();
    EXPECT_NE(test::ReadFile(log).find(c.message), std::string::npos) << test::ReadFile(log);
  }
}

}  // namespace
}  // namespace velk
