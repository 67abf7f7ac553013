// The simulation and bootstrap driver through whole runs, and the statistics of
// its estimates against known true proportions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/resample_runs.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;
using test::kStocks;
using test::kTruth;
using test::ReadLines;
using Analysis = test::ResampleAnalysis;
std::string Control(bool simulation, const std::string& options, const std::string& parameters) {
  return test::ResampleControl(simulation, options, parameters);
}

// The five numbers of every .rlk line.
struct RlkLine {
  double l1 = 0, l2 = 0;
  long long seed_baseline = 0, seed_mixture = 0, seed_after = 0;
};
std::vector<RlkLine> ReadRlk(const fs::path& path) {
  std::vector<RlkLine> out;
  for (const std::string& line : ReadLines(path)) {
    std::istringstream in(line);
    RlkLine r;
    in >> r.l1 >> r.l2 >> r.seed_baseline >> r.seed_mixture >> r.seed_after;
    if (in) out.push_back(r);
  }
  return out;
}

// The last `n` rows (lower, upper) of the table after `heading`.
std::vector<std::pair<double, double>> Intervals(const std::string& report,
                                                 const std::string& heading, std::size_t n) {
  std::vector<std::pair<double, double>> all;
  std::istringstream in(report.substr(std::min(report.find(heading), report.size())));
  std::string line;
  bool table = false;
  while (std::getline(in, line)) {
    if (table && (line.find("Conf") != std::string::npos || line.starts_with("_"))) break;
    if (table && !line.empty()) {
      std::istringstream v(line.substr(40));
      v >> all.emplace_back().first >> all.back().second;
    }
    table = table || line.find("Lower") != std::string::npos;
  }
  if (all.size() < n) return {};
  return {all.end() - static_cast<std::ptrdiff_t>(n), all.end()};
}

const std::string kSimulationOptions =
    "Resample baseline: yes\nPrint bootstrap estimates: yes\nPrint likelihoods: yes\n";

// A run repeated in the same process writes the same files; seed 0 restarts
// the generator as any other seed does.
TEST(Simltr, SameSeedsWriteIdenticalFiles) {
  Analysis a;
  a.Mixture(120, 5);
  for (bool sim : {true, false}) {
    for (const char* seed : {"Random seed: 4711\n", "Random seed: 0\n"}) {
      const std::string control =
          Control(sim, (sim ? "" : "Resample mixture: yes\n") + kSimulationOptions,
                  std::string("Mixture sample size: 80\nNumber of resamples: 25\n") + seed);
      std::vector<std::string> files[2];
      for (std::vector<std::string>& now : files) {
        ASSERT_FALSE(a.Go(control).aborted) << a.Log();
        now = {a.Report(".rsm"), a.Report(".rlk"), a.Report(sim ? ".sim" : ".bot")};
        for (const std::string& text : now) ASSERT_FALSE(text.empty());
      }
      EXPECT_EQ(files[0], files[1]) << seed;
      EXPECT_EQ(ReadRlk(a.dir / "out/three.rlk").size(), 25u);
    }
  }
}

TEST(Simltr, LikelihoodFileSeedColumns) {
  Analysis a;
  a.Mixture(100, 9);
  auto rlk = [&](bool simulation, const std::string& options) {
    EXPECT_FALSE(a.Go(Control(simulation, options,
                              "Mixture sample size: 60\nNumber of resamples: 6\nSeed: 321\n"))
                     .aborted)
        << a.Log();
    std::vector<RlkLine> lines = ReadRlk(a.dir / "out/three.rlk");
    EXPECT_EQ(lines.size(), 6u) << options;
    lines.resize(6);
    return lines;
  };

  // Simulation with baseline resampling: the baseline seed starts at -|seed|,
  // each resample's draws continue where the last one ended.
  std::vector<RlkLine> sim = rlk(true, kSimulationOptions);
  EXPECT_EQ(sim[0].seed_baseline, -321);
  for (std::size_t r = 0; r < 6; ++r) {
    EXPECT_NE(sim[r].seed_mixture, 0);
    EXPECT_NE(sim[r].seed_mixture, sim[r].seed_after);
    EXPECT_LE(sim[r].l1, 0.0);
    EXPECT_GE(sim[r].l1 + 1e-3 * std::fabs(sim[r].l1), sim[r].l2) << "the estimate maximises";
  }
  for (std::size_t r = 1; r < 6; ++r) EXPECT_EQ(sim[r].seed_baseline, sim[r - 1].seed_after);

  // Without baseline resampling its column is 0; the first mixture draw starts
  // from the seed.
  sim = rlk(true, "Print likelihoods: yes\n");
  EXPECT_EQ(sim[0].seed_mixture, -321);
  for (std::size_t r = 0; r < 6; ++r) EXPECT_EQ(sim[r].seed_baseline, 0);
  for (std::size_t r = 1; r < 6; ++r) EXPECT_EQ(sim[r].seed_mixture, sim[r - 1].seed_after);

  // Bootstrap: the mixture columns stay 0; the baseline column is 0 unless the
  // baseline is resampled, and then starts at -|seed|.
  for (bool baseline : {false, true}) {
    const std::vector<RlkLine> boot =
        rlk(false, (baseline ? "Resample baseline: yes\n" : "Resample mixture: yes\n") +
                       std::string("Print likelihoods: yes\n"));
    EXPECT_EQ(boot[0].seed_baseline, baseline ? -321 : 0);
    for (const RlkLine& r : boot) {
      EXPECT_EQ(r.seed_baseline != 0, baseline);
      EXPECT_EQ(r.seed_mixture, 0);
      EXPECT_EQ(r.seed_after, 0);
    }
  }
}

TEST(Simltr, FilesHeadersCounterAndIterationLimit) {
  for (int R : {10, 11}) {
    Analysis a;
    const Outcome out = a.Go(Control(
        true,
        "Print iteration history: yes\nPrint bootstrap estimates: yes\n"
        "Compute studentized: yes\n",
        "Mixture sample size: 50\nNumber of resamples: " + std::to_string(R) + "\nSeed: 8\n"));
    ASSERT_FALSE(out.aborted) << a.Log();
    EXPECT_EQ(fs::exists(a.dir / "out/three.itr"), R <= 10) << R;
    EXPECT_EQ(std::vector<int>({out.flags[4], out.flags[6], out.flags[9], out.flags[11]}),
              std::vector<int>({R <= 10, 1, 1, 1}));

    const std::vector<std::string> rsm = ReadLines(a.dir / "out/three.rsm");
    ASSERT_EQ(rsm.size(), 5u + R);
    const std::string count = "   " + std::to_string(R);  // i5
    EXPECT_EQ(
        std::vector<std::string>(rsm.begin(), rsm.begin() + 3),
        (std::vector<std::string>{"Number of populations:   3", "Number of resamples: " + count,
                                  "North                         "}));
    EXPECT_EQ(rsm[5].size(), 20u) << "three f6.4 with blanks between";
    EXPECT_EQ(ReadLines(a.dir / "out/three.rst").size(), 5u + R);

    // The final status keeps the counter's last value.
    for (const std::string& label :
         {"\tResampling: " + count + "\r", std::string("\tBootstrap Contribution Estimates in "),
          std::string("\tBootstrap Regional Studentized Estimates in "),
          std::string("\tSimulation output to ")})
      EXPECT_NE(out.status.find(label), std::string::npos) << label;
  }
}

// The files so far are kept, with no summary; the next run goes on as usual.
TEST(Simltr, StopRequestEndsTheRunWithFilesKept) {
  Analysis a;
  a.platform.counter = "Resampling:     3";
  const Outcome out =
      a.Go(Control(true, kSimulationOptions, "Mixture sample size: 50\nNumber of resamples: 40\n"));
  EXPECT_TRUE(out.aborted);
  EXPECT_NE(out.status.find("\tResampling:     3\r"), std::string::npos) << out.status;
  EXPECT_NE(a.Log().find("*** Fatal Error: Executing Simulation.\n     Analysis stopped at the "
                         "user's request after resample 3."),
            std::string::npos)
      << a.Log();
  EXPECT_EQ(std::vector<int>({out.flags[9], out.flags[12], out.flags[6]}),
            std::vector<int>({1, 1, 0}));
  EXPECT_EQ(ReadLines(a.dir / "out/three.rsm").size(), 5u + 3u);
  EXPECT_EQ(ReadRlk(a.dir / "out/three.rlk").size(), 3u);
  a.platform.counter.clear();
  a.platform.stop = false;
  EXPECT_FALSE(
      a.Go(Control(true, "", "Mixture sample size: 30\nNumber of resamples: 3\n")).aborted);
}

// After a bootstrap that redraws the baseline, the baseline summary shows the
// observed baseline, as the estimation alone writes it.
TEST(Simltr, BaselineSummaryAfterResamplingShowsTheObservedBaseline) {
  Analysis a;
  a.Mixture(80, 3);
  ASSERT_FALSE(a.Go(Control(false, "Print baseline summary: yes\n", "")).aborted) << a.Log();
  const std::string alone = a.Report(".bsl");
  ASSERT_FALSE(alone.empty());
  const Outcome out = a.Go(Control(false, "Print baseline summary: yes\nResample baseline: yes\n",
                                   "Number of resamples: 5\n"));
  ASSERT_FALSE(out.aborted) << a.Log();
  EXPECT_EQ(out.flags[7], 1);
  EXPECT_EQ(a.Report(".bsl"), alone);
}

// A simulation from known true proportions: the mean estimates of the
// resamples lie within sampling error of the truth.
TEST(Simltr, SimulatedMeansMatchTheTruth) {
  Analysis a;
  ASSERT_FALSE(a.Go(Control(true, "Print bootstrap estimates: yes\n",
                            "Mixture sample size: 150\nNumber of resamples: 200\nSeed: 31\n"))
                   .aborted)
      << a.Log();
  const std::vector<std::string> rsm = ReadLines(a.dir / "out/three.rsm");
  ASSERT_EQ(rsm.size(), 5u + 200u);
  double sum[kStocks] = {}, sum2[kStocks] = {}, x = 0;
  for (std::size_t r = 5; r < rsm.size(); ++r) {
    std::istringstream in(rsm[r]);
    for (int i = 0; i < kStocks && in >> x; ++i) sum[i] += x, sum2[i] += x * x;
  }
  for (int i = 0; i < kStocks; ++i) {
    const double mean = sum[i] / 200, sd = std::sqrt(sum2[i] / 200 - mean * mean);
    EXPECT_GT(sd, 0.005);
    EXPECT_LT(sd, 0.15);
    EXPECT_LT(std::fabs(mean - kTruth[i]), 4.0 * sd / std::sqrt(200.0) + 0.005) << i + 1;
  }
}

// Mixtures drawn from known proportions, each bootstrapped: the percentile
// intervals cover the true proportions about as often as the confidence level.
TEST(Simltr, BootstrapPercentileIntervalsCoverTheTruth) {
  Analysis a;
  constexpr int kMixtures = 40;
  int covered = 0;
  int total = 0;
  for (int m = 1; m <= kMixtures; ++m) {
    a.Mixture(150, 1000 + static_cast<std::uint64_t>(m));
    const Outcome out = a.Go(Control(
        false, "Resample mixture: yes\n",
        "Number of resamples: 100\nConfidence level: 90\nSeed: " + std::to_string(m) + "\n"));
    ASSERT_FALSE(out.aborted) << a.Log();
    const std::vector<std::pair<double, double>> iv =
        Intervals(a.Report(".bot"), "% Symmetric Percentile", kStocks);
    ASSERT_EQ(iv.size(), static_cast<std::size_t>(kStocks)) << a.Report(".bot");
    for (int i = 0; i < kStocks; ++i) {
      const auto& b = iv[static_cast<std::size_t>(i)];
      EXPECT_LE(b.first, b.second);
      ++total;
      if (b.first <= kTruth[i] && kTruth[i] <= b.second) ++covered;
    }
  }
  const double coverage = static_cast<double>(covered) / total;
  // 120 intervals at 90%: the binomial standard error is about 0.027.
  EXPECT_GT(coverage, 0.78) << covered << " of " << total;
  EXPECT_LT(coverage, 0.99) << covered << " of " << total;
}

}  // namespace
}  // namespace velk
