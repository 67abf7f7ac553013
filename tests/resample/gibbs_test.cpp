// The Gibbs sampler of the proportions: an exact posterior, draws that do not
// depend on the threads, the prior by region, and chinook rec1 from the
// command line.
#include "resample/gibbs.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "support/csv_read.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"
#include "support/shared_data.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Three populations; 30 fish only population 1 can have given, 10 only
// population 2, none population 3: the memberships are certain, so under the
// Dirichlet(1/3) prior theta_1 is Beta(30 + 1/3, 10 + 2/3) exactly.
struct Certain {
  Certain() {
    run.par.npop = 3;
    for (int g = 1; g <= 2; ++g) P(g, g) = 1.0;
    count(1) = 30;
    count(2) = 10;
  }
  test::RunFixture fixture;
  velk::Run& run = fixture.run;
  Mat<double> P = Mat<double>(3, 2, 0.0);
  Vec<std::int32_t> possible = Vec<std::int32_t>(2, 1), count = Vec<std::int32_t>(2, 0);
  GibbsData Data() const { return GibbsData{.P = P, .possible = possible, .count = count, .ngenotypes = 2}; }
};

TEST(GibbsTest, CertainMembershipsGiveTheBetaPosterior) {
  Certain c;
  const GibbsSettings s{.sweeps = 5100, .burn_in = 100, .thinning = 1, .chains = 4};
  const GibbsChains ch = RunGibbs(c.run, c.Data(), s, 1);
  Vec<int> none;
  const std::vector<PosteriorSummary> sums = SummariseGibbs(ch, RegionMembers{0, none, none}, 90);
  const double a = 30.0 + 1.0 / 3, b = 10.0 + 2.0 / 3;
  const double mean = a / (a + b), sd = std::sqrt(a * b / ((a + b) * (a + b) * (a + b + 1)));
  // 20,000 independent draws: Monte Carlo errors of about sd / 141.
  EXPECT_NEAR(sums[0].mean, mean, 4 * sd / 141);
  EXPECT_NEAR(sums[0].sd, sd, 0.03 * sd);
  EXPECT_NEAR(sums[0].lo, mean - 1.645 * sd, 0.01);  // nearly normal at these counts
  EXPECT_NEAR(sums[0].hi, mean + 1.645 * sd, 0.01);
  EXPECT_LT(sums[0].rhat, 1.01);
  EXPECT_GT(sums[0].ess, 10000);
  // Population 3 is Beta(1/3, 40 + 2/3): P(share < 0.001) = 0.380 (numerical integral).
  EXPECT_NEAR(sums[2].below, 0.380, 0.02);
}

// A sweep draws each fish's population from theta_i P(i, g) / q_g, and theta
// from the Dirichlet of the prior plus those counts: averaged over the sweeps,
// the memberships give the posterior means, (1/3 + sum_g n_g W(i, g)) / (n + 1).
TEST(GibbsTest, AveragedMembershipsGiveThePosteriorMeans) {
  Certain c;
  c.P(3, 1) = 0.5;
  c.P(1, 2) = 0.2;
  GibbsData data = c.Data();
  data.membership = true;
  const GibbsSettings s{.sweeps = 20100, .burn_in = 100, .thinning = 1, .chains = 4};
  const GibbsChains ch = RunGibbs(c.run, data, s, 1);
  const Mat<double> W = AveragedMembership(ch, 2);
  Vec<int> none;
  const std::vector<PosteriorSummary> sums = SummariseGibbs(ch, RegionMembers{0, none, none}, 90);
  for (int i = 1; i <= 3; ++i) {
    const double implied = (1.0 / 3 + 30 * W(i, 1) + 10 * W(i, 2)) / 41;
    EXPECT_NEAR(sums[static_cast<std::size_t>(i - 1)].mean, implied, 0.003) << i;
  }
  for (int g = 1; g <= 2; ++g) EXPECT_NEAR(W(1, g) + W(2, g) + W(3, g), 1.0, 1e-12);
  EXPECT_EQ(W(2, 1), 0.0);  // genotype 1 is impossible in population 2
}

TEST(GibbsTest, TheDrawsDoNotDependOnTheThreads) {
  Certain c;
  c.P(3, 1) = 0.5;  // memberships now uncertain
  c.P(1, 2) = 0.2;
  const GibbsSettings s{.sweeps = 300, .burn_in = 10, .thinning = 7, .chains = 5};
  GibbsData data = c.Data();
  data.membership = true;
  const GibbsChains one = RunGibbs(c.run, data, s, 1), three = RunGibbs(c.run, data, s, 3);
  EXPECT_EQ(one.kept, 41);
  EXPECT_EQ(one.draws, three.draws);
  EXPECT_EQ(one.membership, three.membership);
  EXPECT_EQ(one.seeds, three.seeds);
  EXPECT_NE(one.draws[0], one.draws[1]);  // each chain its own seed
}

TEST(GibbsTest, ThePriorByRegionSplitsEvenlyOverTheFirstLevel) {
  test::RunFixture f;
  velk::Run& run = f.run;
  run.par.npop = 4;
  run.par.nregions = 2;
  run.regions.level = Vec<int>(2, 1);
  run.regions.size = Vec<int>(2);
  run.regions.size(1) = 3;  // populations 1-3, then 4
  run.regions.size(2) = 1;
  run.regions.members = Vec<int>(4);
  for (int i = 1; i <= 4; ++i) run.regions.members(i) = i;
  const std::vector<double> want{1.0 / 6, 1.0 / 6, 1.0 / 6, 0.5};
  EXPECT_EQ(GibbsPrior(run, true), want);
  EXPECT_EQ(GibbsPrior(run, false), std::vector<double>(4, 0.25));
}

// Chinook rec1 under the predictive model: two runs of different seeds agree
// on every region within 0.005 and the regions' chains have mixed.
TEST(GibbsCommandTest, ChinookRec1RegionsAgreeAcrossSeedsAndMix) {
  const fs::path data = test::ChinookData();
  VELK_REQUIRE_SHARED_DATA(data / "chinook_rec1.ctl");
  test::TempDir dir;
  for (const char* name : {"chinook.bse", "chinook_rec1.mix"})
    fs::copy_file(data / name, dir.Path() / name);
  std::map<std::string, double> first;
  for (const char* seed : {"11", "12"}) {
    std::string ctl = test::ReadFile(data / "chinook_rec1.ctl");
    ctl.replace(ctl.find("* Options\n"), 10,
                "* Options\nBayesian estimate: yes\nPredictive genotype model: yes\n"
                "Print tables: yes\n");
    ctl.replace(ctl.find("* Parameters\n"), 13,
                std::string("* Parameters\nNumber of sweeps: 12000\nBurn-in sweeps: 2000\nSeed: ") + seed + "\n");
    test::WriteFile(dir / "b.ctl", ctl);
    ASSERT_EQ(test::RunVelk("b.ctl", dir.Path().string()).status, 0);
    for (const auto& row : test::ReadCsv(test::ReadFile(dir / "chinook_rec1.bayes.csv"))) {
      if (row.at("level") != "1") continue;
      SCOPED_TRACE(row.at("name"));
      const double mean = std::stod(row.at("mean"));
      EXPECT_LT(std::stod(row.at("rhat")), 1.01);
      if (first.count(row.at("name")) != 0) {
        EXPECT_NEAR(mean, first[row.at("name")], 0.005);
      } else {
        first[row.at("name")] = mean;
      }
    }
  }
  EXPECT_EQ(first.size(), 39u);
}

}  // namespace
}  // namespace velk
