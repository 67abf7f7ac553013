// The infinitesimal jackknife against re-solved weighted EM; regional sums; correlations.
#include "estimate/ijack.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/groups.hpp"
#include "support/mixture.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

using test::Mixture;

// Genotypes that each point to one population, so the estimate is interior
// and EM converges quickly.
Mixture Separated(int np, int ngenotypes, std::uint64_t seed) {
  test::Uniform u(seed);
  Mixture m = test::RandomMixture(np, ngenotypes, seed);
  for (int g = 1; g <= ngenotypes; ++g)
    for (int i = 1; i <= np; ++i) m.P(i, g) = 0.05 + u.Next() + (i == 1 + g % np ? 2.0 : 0.0);
  return m;
}

// Regions as groups: their sizes and one member list.
Groups Lists(const std::vector<std::vector<int>>& regions) {
  return test::MakeGroups(regions, std::vector<double>(regions.size()));
}
RegionMembers Get(const Groups& g) {
  return RegionMembers{g.k, g.size, g.members};
}

TEST(IjackTest, CovarianceIsTheSumOfSquaredInfluencesFromReweightedEstimates) {
  const Mixture m = Separated(3, 24, 11);
  std::vector<double> w(m.ngenotypes);
  for (int g = 1; g <= m.ngenotypes; ++g) w[g - 1] = m.count(g);
  auto em = [&](const std::vector<double>& weights) {
    return test::GroupEm(m, OneGroup(3), weights);
  };
  const Vec<double> theta = em(w);
  for (int i = 1; i <= 3; ++i) ASSERT_GT(theta(i), 0.05);

  // Influence of genotype g: the derivative of the estimate by its weight.
  Mat<double> expected(3, 3, 0.0);
  const double eps = 1.0e-4;
  for (int g = 1; g <= m.ngenotypes; ++g) {
    std::vector<double> up = w, down = w;
    up[g - 1] += eps;
    down[g - 1] -= eps;
    const Vec<double> a = em(up), b = em(down);
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j)
        expected(i, j) += m.count(g) * (a(i) - b(i)) / (2 * eps) * (a(j) - b(j)) / (2 * eps);
  }

  test::StepRun s;
  const Groups regions = Lists({{1, 2}, {3}, {1, 2, 3}});
  Jackknife jack;
  ASSERT_TRUE(
      Ijack(s.run, JackknifePoint{m.P, m.count, m.possible, theta, m.ngenotypes, m.n}, Get(regions), jack));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NEAR(jack.sd(i), std::sqrt(expected(i, i)), 1.0e-6 * std::sqrt(expected(i, i)) + 1e-9);
    for (int j = i + 1; j <= 3; ++j) {
      EXPECT_NEAR(jack.cov(i, j), expected(i, j), 1.0e-5 * expected(i, i));
      EXPECT_NEAR(jack.cov(j, i), expected(i, j) / std::sqrt(expected(i, i) * expected(j, j)),
                  1.0e-5);
    }
  }
  // Region {1, 2}: var 1 + var 2 + 2 cov; region {1, 2, 3} sums to 1: variance 0.
  const double v12 = expected(1, 1) + expected(2, 2) + 2 * expected(1, 2);
  EXPECT_NEAR(jack.region_cov(1, 1), v12, 1.0e-5 * v12);
  EXPECT_NEAR(jack.regional_sd(1), std::sqrt(v12), 1.0e-5 * std::sqrt(v12));
  EXPECT_NEAR(jack.region_cov(1, 2), expected(1, 3) + expected(2, 3), 1.0e-5 * v12);
  // Regions 1 and 2 make the whole: a perfect negative correlation.
  EXPECT_NEAR(jack.region_cov(2, 1), -1.0, 1.0e-6);
  EXPECT_NEAR(jack.regional_sd(3), 0.0, 1.0e-6);
}

// Scaling a genotype's column, adding a genotype flagged impossible (with any
// probabilities) or 597 populations outside the mixture (estimate 0, rarely
// the likeliest source of a genotype; the factorised path of many populations)
// changes nothing: those populations get no variance.
TEST(IjackTest, EquivalentMixturesGiveTheSameJackknife) {
  const Mixture m = Separated(3, 24, 11);
  const Vec<double> theta = test::PlainEm(m);
  const Groups regions = Lists({{1}, {2, 3}});
  test::StepRun s;
  Jackknife a;
  ASSERT_TRUE(Ijack(s.run, JackknifePoint{m.P, m.count, m.possible, theta, m.ngenotypes, m.n}, Get(regions), a));
  auto expect_same = [&](const Mixture& x, double tol) {
    const int np = x.P.Rows();
    Vec<double> wide(np, 0.0);
    for (int i = 1; i <= 3; ++i) wide(i) = theta(i);
    Jackknife b;
    ASSERT_TRUE(
        Ijack(s.run, JackknifePoint{x.P, x.count, x.possible, wide, x.P.Cols(), m.n}, Get(regions), b));
    for (int i = 1; i <= np; ++i) EXPECT_NEAR(b.sd(i), i <= 3 ? a.sd(i) : 0.0, tol) << i;
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j) EXPECT_NEAR(b.cov(i, j), a.cov(i, j), tol) << i << "," << j;
    for (int r : {1, 2}) EXPECT_NEAR(b.regional_sd(r), a.regional_sd(r), tol);
  };
  Mixture scaled = m;
  for (int i = 1; i <= 3; ++i) scaled.P(i, 4) *= 1.0e-40;
  for (int i = 1; i <= 3; ++i) scaled.P(i, 9) *= 1.0e+30;
  expect_same(scaled, 1e-12);
  Mixture more = m;
  more.P = Mat<double>(3, 25, 0.5);
  more.count = Vec<std::int32_t>(25, 5);
  more.possible = Vec<std::int32_t>(25, 1);
  more.possible(25) = 0;
  for (int g = 1; g <= 24; ++g) {
    more.count(g) = m.count(g);
    for (int i = 1; i <= 3; ++i) more.P(i, g) = m.P(i, g);
  }
  expect_same(more, 1e-15);
  Mixture big = m;
  big.P = Mat<double>(600, m.ngenotypes, 0.0);
  test::Uniform u(3);
  for (int g = 1; g <= m.ngenotypes; ++g)
    for (int i = 1; i <= 600; ++i) big.P(i, g) = i <= 3 ? m.P(i, g) : 0.01 * u.Next();
  expect_same(big, 1e-10);
}

// Population 2, outside the mixture, gives every genotype its mixture
// probability: in the small path and in the factorised one.
TEST(IjackTest, IdenticalPopulationsAreSingular) {
  for (int np : {2, 500}) {
    Mixture m = Separated(np, 10, 2);
    for (int g = 1; g <= m.ngenotypes; ++g) m.P(2, g) = m.P(1, g);
    Vec<double> theta(np, 0.0);
    theta(1) = 1.0;
    test::StepRun s;
    Jackknife jack;
    EXPECT_FALSE(Ijack(s.run, JackknifePoint{m.P, m.count, m.possible, theta, m.ngenotypes, m.n}, Get(Lists({{1}, {2}})), jack));
    EXPECT_EQ(s.Last(), 2005);
    EXPECT_EQ(s.run.error.stop, 0);
    EXPECT_EQ(jack.sd(1), 0.0);
    EXPECT_EQ(jack.sd(2), 0.0);
    EXPECT_EQ(jack.regional_sd(1), 0.0);
  }
}

// A negative regional variance is 0, not the root of a negative number.
TEST(SumcovTest, ANegativeRegionalVarianceBecomesZero) {
  Jackknife jack;
  JackknifeInit(jack, 2, 1);
  jack.cov(1, 2) = jack.cov(2, 1) = -0.2;  // not a covariance matrix
  Sumcov(2, Get(Lists({{1, 2}})), jack);
  EXPECT_EQ(jack.region_cov(1, 1), 0.0);
  EXPECT_EQ(jack.regional_sd(1), 0.0);
}

}  // namespace
}  // namespace velk
