// Fish of known origin (a mixture record's KNOWN field) enter every estimate
// through their population's share alone: where the estimate has a closed
// form, the counts give it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/csv_read.hpp"
#include "support/resample_runs.hpp"

namespace velk {
namespace {

using test::kLoci;
using test::kStocks;
using test::ResampleAnalysis;
using test::ResampleControl;

constexpr const char* kNames[kStocks] = {"North", "South", "Coast"};

// A mixture of known[i] fish known to be of stock i and unknown[i] that L1
// assigns to it (stocks 1 and 2 only).
std::string KnownMixture(const int (&known)[kStocks], const int (&unknown)[2]) {
  std::ostringstream s;
  s << "* characters\nID\nKNOWN\n";
  for (int c = 1; c <= kLoci; ++c) s << 'L' << c << '\n';
  s << "* end\n";
  const std::string rest = " 1100 1100 1100 1100";
  int id = 0;
  for (int i = 0; i < kStocks; ++i)
    for (int k = 0; k < known[i]; ++k)
      s << "f" << ++id << ' ' << kNames[i] << " 0011" << rest << '\n';
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < unknown[i]; ++k)
      s << "f" << ++id << " - " << (i == 0 ? "2000" : "0200") << rest << '\n';
  return s.str();
}

// -2 log of the likelihood ratio of a share t against the estimate m/n.
double ProfileStatistic(double m, double n, double t) {
  const double p = m / n;
  return 2.0 * (m * std::log(p / t) + (n - m) * std::log((1.0 - p) / (1.0 - t)));
}

TEST(KnownOriginTest, KnownFishMoveTheEstimateByTheirCounts) {
  struct Case {
    const char* what;
    int known[kStocks];
    int unknown[2];
    bool missing = false;  // Coast without sample at L5: the searches update the baseline
  };
  const Case cases[] = {
      {"known fish alone", {6, 9, 5}, {0, 0}},
      {"known fish alone, a baseline entry without data", {6, 9, 5}, {0, 0}, true},
      {"known fish and fish that L1 assigns", {3, 2, 5}, {4, 6}}};
  const std::string options = "Compute confidence intervals: yes\nPrint tables: yes\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResampleAnalysis a;
    test::WriteFile(a.dir / "three.bse", test::PrivateL1Baseline(c.missing));
    test::WriteFile(a.dir / "three.mix", KnownMixture(c.known, c.unknown));
    const Outcome o =
        a.Go(ResampleControl(false, options, "Guaranteed percent of maximum: 99.9999999\n"));
    ASSERT_FALSE(o.aborted) << a.Log();
    const double n = 20.0;
    auto count = [&c](int i) { return c.known[i] + (i < 2 ? c.unknown[i] : 0); };
    for (const EstimateRow& row : o.estimates) {
      // Regions: Inland (North, South), Seaward (Coast).
      const double m = row.level == 0 ? count(row.id - 1)
                       : row.id == 1  ? count(0) + count(1)
                                      : count(2);
      EXPECT_NEAR(row.estimate, m / n, 1e-6) << row.name;  // as far as the search goes
      if (c.unknown[0] > 0) continue;
      // Known fish alone: binomial standard errors and profile bounds.
      EXPECT_NEAR(row.se, std::sqrt(m / n * (1 - m / n) / n), 1e-6) << row.name;
      if (row.level == 0) continue;
      EXPECT_NEAR(ProfileStatistic(m, n, row.likelihood_lo), 2.70554, 2e-3) << row.name;
      EXPECT_NEAR(ProfileStatistic(m, n, row.likelihood_hi), 2.70554, 2e-3) << row.name;
    }
    // The individuals table shows the known fish as known, each certain of its stock.
    const std::string table = a.Report(".individuals.csv");
    EXPECT_NE(table.find(",\"z_score\",\"known\"\r\n"), std::string::npos);
    const auto rows = test::ReadCsv(table);
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0].at("population_name"), "North");
    EXPECT_EQ(rows[0].at("population_posterior"), "1");
    EXPECT_EQ(rows[0].at("known"), "1");
    EXPECT_EQ(rows[19].at("known"), c.unknown[1] > 0 ? "0" : "1");
  }
}

// The bootstraps keep the known fish as known: a resampled mixture of known
// fish alone has counts for its estimate, and a redrawn baseline moves none;
// the sampler's posterior is their Dirichlet. The same bytes for any threads.
TEST(KnownOriginTest, ResamplesAndTheSamplerKeepThemKnown) {
  const int known[kStocks] = {6, 9, 5};
  const std::string options =
      "Resample mixture: yes\nResample baseline: yes\nBayesian estimate: yes\n"
      "Print tables: yes\n";
  const std::string parameters =
      "Number of resamples: 30\nNumber of sweeps: 2000\nGuaranteed percent of maximum: "
      "99.9999999\n";
  std::map<std::string, std::string> outputs[2];
  for (int threads : {1, 2}) {
    ResampleAnalysis a;
    test::WriteFile(a.dir / "three.bse", test::PrivateL1Baseline());
    test::WriteFile(a.dir / "three.mix", KnownMixture(known, {0, 0}));
    const Outcome o = a.Go(ResampleControl(false, options, parameters), threads);
    ASSERT_FALSE(o.aborted) << a.Log();
    // The sampler's averaged membership of a known fish is certain too.
    const auto fish = test::ReadCsv(a.Report(".individuals.csv"));
    EXPECT_EQ(fish[0].at("bayes_population_name"), "North");
    EXPECT_EQ(fish[0].at("bayes_posterior"), "1");
    outputs[threads - 1] = a.Outputs();
    outputs[threads - 1].erase("three.log");  // it names its folder
    for (const std::vector<double>& unit : o.resample_estimates)
      for (double share : unit) EXPECT_NEAR(share * 20.0, std::round(share * 20.0), 1e-3);
    // Posterior mean (m + 1/3) / (n + 1), within the Monte Carlo error of the
    // 4 x 1900 kept sweeps (independent draws: the memberships are fixed).
    for (const auto& row : test::ReadCsv(a.Report(".bayes.csv"))) {
      if (row.at("level") != "0") continue;
      const double m = known[std::stoi(row.at("id")) - 1] + 1.0 / 3.0;
      const double mean = m / 21.0, sd = std::sqrt(mean * (1 - mean) / 22.0);
      EXPECT_NEAR(std::stod(row.at("mean")), mean, 4.0 * sd / std::sqrt(7600.0)) << row.at("name");
      EXPECT_NEAR(std::stod(row.at("sd")), sd, 0.1 * sd) << row.at("name");
    }
  }
  EXPECT_EQ(outputs[0], outputs[1]);
}

// With a baseline entry without data the profile searches update the
// baseline too, and keep the known fish's columns: their bounds stay beside
// the normal ones on an informative sample.
TEST(KnownOriginTest, ProfileBoundsWithABaselineUpdate) {
  ResampleAnalysis a(kLoci, true);  // Coast without sample at L5
  std::istringstream fish(test::ResampleMixture(200, 11));
  std::ostringstream mix;
  mix << "* characters\nKNOWN\nL1\nL2\nL3\nL4\nL5\n* end\n";
  int k = 0;
  for (std::string line; std::getline(fish, line); ++k)
    mix << (k < 30 ? kNames[k % kStocks] : "-") << ' ' << line << '\n';
  test::WriteFile(a.dir / "three.mix", mix.str());
  const Outcome o = a.Go(ResampleControl(false, "Compute confidence intervals: yes\n",
                                         "Guaranteed percent of maximum: 99.999\n"));
  ASSERT_FALSE(o.aborted) << a.Log();
  for (const EstimateRow& row : o.estimates) {
    if (row.level != 1) continue;
    EXPECT_NEAR(row.likelihood_lo, row.normal_lo, 0.03) << row.name;
    EXPECT_NEAR(row.likelihood_hi, row.normal_hi, 0.03) << row.name;
  }
}

}  // namespace
}  // namespace velk
