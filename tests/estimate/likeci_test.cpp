// Profile intervals: each bound brackets the estimate at the level (constrained plain EM).
#include "estimate/likeci.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/layout/unit.hpp"
#include "model/gmatrx.hpp"
#include "estimate/ijack.hpp"
#include "estimate/likelihood.hpp"
#include "numeric/distributions.hpp"
#include "support/files.hpp"
#include "support/groups.hpp"
#include "support/mixture.hpp"
#include "support/step_run.hpp"
#include "support/synthetic.hpp"

namespace velk {
namespace {

// The largest log-likelihood with the proportions of `group` summing to t and
// the others to 1 - t.
double ProfileLikelihood(const test::Mixture& m, const std::vector<int>& group, double t) {
  std::vector<int> rest;
  for (int i = 1; i <= m.np; ++i)
    if (std::find(group.begin(), group.end(), i) == group.end()) rest.push_back(i);
  const Vec<double> theta =
      test::GroupEm(m, test::MakeGroups({group, rest}, {t, 1.0 - t}), {}, 1.0e-13);
  double L = 0.0;
  for (int g = 1; g <= m.ngenotypes; ++g) {
    double q = 0.0;
    for (int i = 1; i <= m.np; ++i) q += theta(i) * m.P(i, g);
    L += m.count(g) * std::log(q);
  }
  return L;
}

// Searches that go on to the maximum, and a 90 % confidence level.
void TightSearch(velk::Run& run) {
  run.par.eps = 1.0e-10;
  run.par.ftol = 1.0e-15;
  run.par.gpa = 100.5;
  run.par.geno_tol = 0.0;
  run.par.max_iterations = 5000;
  run.par.confidence = 90;
}

class LikeciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakeSynthetic(
        run, {.np = 5, .nc = 5, .individuals = 200, .theta = {0.4, 0.25, 0.2, 0.15, 0.0}});
    TightSearch(run);
    int nmissing = 0;
    Gmatrx(run, P, lscale, nmissing);
    possible = Vec<std::int32_t>(run.input.ngenotypes, 1);
    theta = test::PlainEm(test::AsMixture(run, P, possible));
    L = Hood(5, run.input.ngenotypes, P, lscale, theta, possible, run.input.geno_count);
    regions = test::MakeGroups(lists, {0, 0, 0, 0});
    regional = Mat<double>(4, 2);
    Clsum(Members(), theta, regional.Ptr(1, 1));
    Jackknife jack;
    ASSERT_TRUE(Ijack(run, JackknifePoint{P, run.input.geno_count, possible, theta, run.input.ngenotypes, 200}, Members(), jack));
    for (int r = 1; r <= 4; ++r) regional(r, 2) = jack.regional_sd(r);
    names = test::VecOf<std::string>({"North", "South", "Islands", "Second"});
  }
  RegionMembers Members() const { return RegionMembers{4, regions.size, regions.members}; }
  ProfileEstimate Estimate(bool jackknife) {
    return ProfileEstimate{theta, L, 200, 200, possible, regional, jackknife};
  }
  test::StepRun s;
  velk::Run& run = s.run;
  Mat<double> P;
  Vec<double> lscale;
  Vec<std::int32_t> possible;
  Vec<double> theta;
  double L = 0.0;
  const std::vector<std::vector<int>> lists = {{1, 2}, {3, 4, 5}, {5}, {2}};  // the regions
  Groups regions;
  Mat<double> regional;
  Vec<std::string> names;
};

// Every bound is found, and an independent profile (plain EM with the unit's
// share fixed) at the bound is the maximum less half the chi-square
// threshold; a bound at the edge has its profile still above that. Region 3
// (population 5) is absent from the mixture: lower bound 0, upper above 0.
TEST_F(LikeciTest, EveryBoundIsWhereTheProfileCrossesTheThreshold) {
  const test::Mixture m = test::AsMixture(run, P, possible);
  const double z = DNORIN(0.95);
  for (bool jackknife : {true, false}) {
    const ProfileEstimate est = Estimate(jackknife);
    OptimSwitches sw;
    sw.screen = 0;
    for (int r = 1; r <= 4; ++r) {
      const double ehat = regional(r, 1);
      const double h = jackknife ? regional(r, 2) : std::sqrt(ehat * (1 - ehat) / 200);
      const std::vector<int>& g = lists[static_cast<std::size_t>(r - 1)];
      Vec<int> group(static_cast<int>(g.size()));
      std::copy(g.begin(), g.end(), group.begin());
      for (bool lower : {true, false}) {
        SCOPED_TRACE(testing::Message() << "region " << r << (lower ? " lower" : " upper")
                                        << (jackknife ? ", jackknife step" : ""));
        const BoundSearch search{.group = group,
                                 .region = r,
                                 .name = names(r),
                                 .h = h > 0.0 ? h : 0.01,
                                 .z = z,
                                 .lower = lower};
        const double b = ProfileBound(run, RunOptimData(run, P, lscale), sw, est, search).bound;
        ASSERT_EQ(run.error.stop, 0);
        ASSERT_NE(b, -1.0);
        EXPECT_TRUE(lower ? b <= ehat : b > ehat) << b;
        if (r == 3 && lower) {
          EXPECT_EQ(b, 0.0);
        }
        const double drop = L - ProfileLikelihood(m, g, b);
        if ((lower && b == 0.0) || (!lower && b == 1.0)) {
          EXPECT_LE(drop, z * z / 2) << b;
        } else {
          EXPECT_NEAR(drop, z * z / 2, 1.0e-3) << b;
        }
      }
    }
  }
  EXPECT_LT(regional(3, 1), 0.01);
}

TEST_F(LikeciTest, OneLinePerRegionFromTheSinglePrecisionThresholdAndTheSwitchRestored) {
  regional(3, 1) = 0.01;    // at 0.01: a line
  regional(4, 1) = 0.0099;  // below: none
  test::TempDir dir;
  Unit out;
  ASSERT_TRUE(out.Open(dir / "ci.txt"));
  OptimSwitches sw;
  run.par.irls_switch = 0.02;
  Likeci(run, RunOptimData(run, P, lscale), sw, Estimate(true),
         ProfileUnits{.members = Members(), .names = names}, out);
  out.Close();
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.par.irls_switch, 0.02);
  EXPECT_EQ(run.errstk.depth, 0);
  const std::string text = test::ReadFile(dir / "ci.txt");
  for (const char* name : {"North", "South", "Islands"})
    EXPECT_NE(text.find(name), std::string::npos) << name << text;
  EXPECT_EQ(text.find("Second"), std::string::npos) << text;
}

// Nine microsatellites of twelve alleles, eight populations and no regions,
// three absent from the mixture: every population gets both bounds, an
// absent one a lower bound of 0 and an upper bound above it.
TEST(LikeciPopulationsTest, NineMicrosatellitesEveryPopulationBothBounds) {
  test::StepRun s;
  velk::Run& run = s.run;
  test::MakeSynthetic(run, {.np = 8,
                            .nc = 9,
                            .t = 12,
                            .copies_per_population = 100,
                            .individuals = 300,
                            .theta = {0.3, 0.25, 0.2, 0.15, 0.1, 0.0, 0.0, 0.0}});
  TightSearch(run);
  Mat<double> P;
  Vec<double> lscale;
  int nmissing = 0;
  Gmatrx(run, P, lscale, nmissing);
  const Vec<std::int32_t> possible(run.input.ngenotypes, 1);
  const Vec<double> theta = test::PlainEm(test::AsMixture(run, P, possible));
  const double L = Hood(8, run.input.ngenotypes, P, lscale, theta, possible, run.input.geno_count);
  Mat<double> units(8, 2, 0.0);
  Vec<int> one(8, 1), each(8);
  Vec<std::string> names(8);
  for (int i = 1; i <= 8; ++i) {
    units(i, 1) = theta(i);
    each(i) = i;
    names(i) = std::to_string(i);
  }
  test::TempDir dir;
  Unit out;
  ASSERT_TRUE(out.Open(dir / "ci.txt"));
  const std::vector<ProfileInterval> found =
      Likeci(run, RunOptimData(run, P, lscale), OptimSwitches{},
             ProfileEstimate{theta, L, 300, 300, possible, units, false},
             ProfileUnits{.members = RegionMembers{8, one, each}, .names = names, .every = true},
             out);
  ASSERT_EQ(found.size(), 8u);
  int absent = 0;
  for (const ProfileInterval& f : found) {
    SCOPED_TRACE(f.unit);
    EXPECT_GE(f.lo, 0.0);
    EXPECT_GT(f.hi, std::max(f.lo, theta(f.unit)));
    if (theta(f.unit) < 1.0e-3) {
      ++absent;
      EXPECT_EQ(f.lo, 0.0);
    }
  }
  EXPECT_GE(absent, 2);
}

TEST(LikeciTrialTest, ATrialKeepsItsTotalsWhenTheBaselineUpdateScreensAgain) {
  // Missing baseline and impossible genotypes: the trial's baseline update screens
  // again, finds what the estimate found and leaves the trial's totals alone.
  test::StepRun s;
  velk::Run& run = s.run;
  test::MakeSynthetic(run, test::SyntheticShape{});
  test::DropBaseline(run, 2, 3);
  run.par.eps = 1.0e-10;
  run.par.ftol = 1.0e-15;
  run.par.gpa = 100.5;
  run.par.max_iterations = 5000;
  Mat<double> P;
  Vec<double> lscale;
  int nmissing = 0;
  Gmatrx(run, P, lscale, nmissing);
  run.par.geno_tol = test::ScreeningBound(run, P, 5);

  Vec<double> theta(4, 0.25);
  Groups one = OneGroup(4);
  Vec<std::int32_t> possible(run.input.ngenotypes, 1);
  OptimResult res;
  res.nposs = run.input.sample_size;
  OptimSwitches sw;
  Optim(run, RunOptimData(run, P, lscale), sw, one, theta, possible, res);
  ASSERT_EQ(run.error.stop, 0);
  ASSERT_LT(res.nposs, run.input.sample_size);
  const double rho = static_cast<double>(res.nposs) / run.input.sample_size;

  const double t = theta(1) + theta(2) - 0.05;
  Groups two = test::MakeGroups({{1, 2}, {3, 4}}, {t, rho - t});
  const double region = theta(1) + theta(2), other = theta(3) + theta(4);
  for (int i = 1; i <= 4; ++i) theta(i) *= i <= 2 ? t / region : (rho - t) / other;
  OptimResult trial;
  trial.nposs = res.nposs;
  sw.screen = 0;
  Optim(run, RunOptimData(run, P, lscale), sw, two, theta, possible, trial);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(trial.nposs, res.nposs);
  EXPECT_NEAR(theta(1) + theta(2), t, 1e-9);
  EXPECT_NEAR(theta(3) + theta(4), rho - t, 1e-9);
  EXPECT_NEAR(two.total(1), t, 1e-12);
}

}  // namespace
}  // namespace velk
