// The baseline update and the posterior membership.
#include "estimate/upgmat.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "model/gmatrx.hpp"
#include "support/step_run.hpp"
#include "support/synthetic.hpp"

namespace velk {
namespace {

// Rows are membership probabilities whatever the scale of a column (the same
// genotype scored at many characters: every probability tiny); a genotype
// without mass keeps its products, 0; P may be overwritten.
TEST(PosteriorTest, MembershipProbabilitiesInPlace) {
  Mat<double> P(3, 3, 0.0);
  P(1, 1) = 0.2, P(2, 1) = 0.1, P(3, 3) = 0.7;
  for (int i = 1; i <= 3; ++i) P(i, 2) = P(i, 1) * 1.0e-70;
  Vec<double> theta(3, 0.5);
  theta(3) = 0.0;
  Posterior(3, 3, P, theta, P);
  const double want[3] = {2.0 / 3.0, 1.0 / 3.0, 0.0};
  for (int i = 1; i <= 3; ++i) {
    EXPECT_DOUBLE_EQ(P(i, 1), want[i - 1]);
    EXPECT_NEAR(P(i, 2), want[i - 1], 1.0e-15);
    EXPECT_EQ(P(i, 3), 0.0);
  }
}

// With the whole mixture given to population 3, its missing locus gets the
// mixture's own type frequencies; entries are numbered population by population.
TEST(UpgmatTest, AllMembershipInOnePopulationGivesTheMixtureFrequencies) {
  test::StepRun s;
  velk::Run& run = s.run;
  test::MakeSynthetic(run, test::SyntheticShape{});
  test::DropBaseline(run, 3, 2);
  test::DropBaseline(run, 1, 4);
  Mat<double> P;
  Vec<double> lscale;
  int nmissing = 0;
  Gmatrx(run, P, lscale, nmissing);
  EXPECT_EQ(nmissing, 2);
  run.input.missing_totals = Vec<double>(2);
  run.input.missing_freqs = Mat<double>(run.par.max_types, 2);
  BaselineWork work;
  BaselineWorkInit(run, run.par.npop, run.input.ngenotypes, work);
  const int np = run.par.npop, t = run.par.max_types, n = run.input.ngenotypes;
  Vec<double> theta(np, 0.0);
  theta(3) = 1.0;
  auto update = [&] {
    return Upgmat(run, np, n, theta, P, lscale, run.input.geno_count, run.input.copies,
                  run.input.base_totals, run.input.base_counts, 0, run.input.missing_totals,
                  run.input.missing_freqs, work);
  };
  const double beta = update();

  // Entry 1 is population 1, locus 4; entry 2 population 3, locus 2.
  EXPECT_NEAR(run.input.missing_totals(2), 2.0 * n, 1.0e-9);
  double largest = 0.0;
  for (int k = 1; k <= t; ++k) {
    double copies = 0.0;
    for (int g = 1; g <= n; ++g) copies += run.input.copies(k, 2, g);
    EXPECT_NEAR(run.input.missing_freqs(k, 2), copies / (2.0 * n), 1.0e-12);
    largest = std::fmax(largest, run.input.missing_freqs(k, 2));
  }
  // Population 1 has no membership: its entry falls back to uniform frequencies.
  EXPECT_EQ(run.input.missing_totals(1), 0.0);
  for (int k = 1; k <= t; ++k) EXPECT_DOUBLE_EQ(run.input.missing_freqs(k, 1), 1.0 / t);
  // The change is measured from the previous estimates (0 at the start).
  EXPECT_DOUBLE_EQ(beta, largest);
  EXPECT_EQ(update(), 0.0);
}

}  // namespace
}  // namespace velk
