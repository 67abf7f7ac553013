// The simulation and bootstrap driver through whole runs: repeatability from the
// seeds, the seed columns of the likelihood file, the iteration-history limit,
// the status counter, the stop request, the model simulation without baseline
// resampling, and the statistics of simulated and bootstrapped estimates
// against known true proportions.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "core/velk.hpp"
#include "support/files.hpp"
#include "support/mixture.hpp"
#include "support/recording_platform.hpp"
#include "support/stopping_platform.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ReadLines;
using test::TempDir;

// Three stocks that differ well at five loci of four types; baseline counts
// are the true frequencies times 200 gene copies.
constexpr int kStocks = 3;
constexpr int kLoci = 5;
constexpr int kTypes = 4;
constexpr int kCopies = 200;
const double kFreq[kStocks][kLoci][kTypes] = {{{0.60, 0.20, 0.15, 0.05},
                                               {0.10, 0.50, 0.30, 0.10},
                                               {0.70, 0.10, 0.10, 0.10},
                                               {0.25, 0.25, 0.40, 0.10},
                                               {0.05, 0.05, 0.30, 0.60}},
                                              {{0.10, 0.60, 0.20, 0.10},
                                               {0.55, 0.15, 0.15, 0.15},
                                               {0.10, 0.70, 0.10, 0.10},
                                               {0.05, 0.15, 0.10, 0.70},
                                               {0.40, 0.40, 0.10, 0.10}},
                                              {{0.15, 0.15, 0.60, 0.10},
                                               {0.20, 0.20, 0.10, 0.50},
                                               {0.10, 0.10, 0.70, 0.10},
                                               {0.60, 0.10, 0.20, 0.10},
                                               {0.10, 0.60, 0.20, 0.10}}};
const double kTruth[kStocks] = {0.5, 0.3, 0.2};

std::string Baseline() {
  std::ostringstream s;
  const char* names[] = {"North", "South", "Coast"};
  for (int i = 0; i < kStocks; ++i) {
    s << "#" << i + 1 << " " << names[i] << "\n";
    for (int c = 0; c < kLoci; ++c) {
      s << "L" << c + 1;
      for (int k = 0; k < kTypes; ++k) s << " " << std::lround(kFreq[i][c][k] * kCopies);
      s << "\n";
    }
  }
  return s.str();
}

// A mixture of n fish drawn from the true proportions and frequencies.
std::string Mixture(int n, std::uint64_t seed) {
  test::Uniform u(seed);
  auto pick = [&u](const double* p, int k) {
    double x = u.Next();
    for (int j = 0; j < k - 1; ++j) {
      x -= p[j];
      if (x <= 0.0) return j;
    }
    return k - 1;
  };
  std::ostringstream s;
  for (int f = 0; f < n; ++f) {
    const int i = pick(kTruth, kStocks);
    for (int c = 0; c < kLoci; ++c) {
      int copies[kTypes] = {0, 0, 0, 0};
      ++copies[pick(kFreq[i][c], kTypes)];
      ++copies[pick(kFreq[i][c], kTypes)];
      s << (c > 0 ? " " : "");
      for (int k = 0; k < kTypes; ++k) s << copies[k];
    }
    s << "\n";
  }
  return s.str();
}

// The analysis as a user writes it, with the given kind, options and parameters.
std::string Control(bool simulation, const std::string& options, const std::string& parameters) {
  std::ostringstream s;
  s << "* " << (simulation ? "Simulation" : "Estimation") << ": Three stocks\n* Options\n"
    << options << "* Parameters\nNumber of characters: " << kLoci
    << "\nNumber of stocks: " << kStocks
    << "\nMaximum number of genotypes: 400\nMaximum number of classes: 2\n"
       "Maximum number of iterations: 500\nEstimate tolerance: 0.000001\n"
    << parameters << "* Files\nBaseline file: three.bse\n"
    << (simulation ? "" : "Mixture file: three.mix\n") << "Output file: out\\three\n"
    << "* Characters\n[ID #] [# Types] [Character] [Kind]\n";
  for (int c = 1; c <= kLoci; ++c) s << c << " " << kTypes << " L" << c << " : locus\n";
  s << "* Populations\n[ID #] [Population] [Lev1] [Estimate]\n"
       "1 North : 1 0.5\n2 South : 1 0.3\n3 Coast : 2 0.2\n"
       "* Regions\n[Level] [Label] [Region]\n1 1 Inland\n1 2 Seaward\n* Run\n";
  return s.str();
}

using test::StoppingPlatform;

struct Analysis {
  Analysis() {
    test::WriteFile(dir / "three.bse", Baseline());
    process.random.console = &console;  // the generators' warnings
  }
  Outcome Go(const std::string& control, const std::string& name = "three.ctl") {
    test::WriteFile(dir / name, control);
    Request req;
    req.control_file = dir / name;
    req.stop_request = &platform.stop;
    return Velk(process, platform, req);
  }
  std::string Report(const std::string& ext) const { return ReadFile(dir / ("out/three" + ext)); }
  std::string Log() const { return ReadFile(dir / "three.log"); }

  TempDir dir;
  std::ostringstream console;
  Process process;
  StoppingPlatform platform;
};

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

// The rows of the report's population table: mean, deviation, root MSE, expected.
struct PopRow {
  double mean = 0, sd = 0, rmse = 0, expected = 0;
};
std::vector<PopRow> PopulationTable(const std::string& report) {
  std::vector<PopRow> rows;
  std::size_t at = report.find("      Population");
  if (at == std::string::npos) return rows;
  std::istringstream in(report.substr(report.find('\n', at) + 1));
  std::string line;
  while (std::getline(in, line) && line.size() > 38) {
    std::istringstream v(line.substr(37));
    PopRow r;
    v >> r.mean >> r.sd >> r.rmse >> r.expected;
    rows.push_back(r);
  }
  return rows;
}

// The population rows (lower, upper) of the section that follows `heading`.
std::vector<std::pair<double, double>> Intervals(const std::string& report,
                                                 const std::string& heading, int populations) {
  std::vector<std::pair<double, double>> rows;
  std::size_t at = report.find(heading);
  if (at == std::string::npos) return rows;
  std::istringstream in(report.substr(at));
  std::string line;
  std::vector<std::pair<double, double>> all;
  bool table = false;
  while (std::getline(in, line)) {
    if (line.find("Lower") != std::string::npos) {
      table = true;
      continue;
    }
    if (!table) continue;
    if (line.empty()) continue;
    if (line.find("Confidence") != std::string::npos || line.find("Conf.") != std::string::npos ||
        line[0] == '_')
      break;
    std::istringstream v(line.substr(40));
    double lo = 0, hi = 0;
    v >> lo >> hi;
    all.emplace_back(lo, hi);
  }
  if (static_cast<int>(all.size()) >= populations) rows.assign(all.end() - populations, all.end());
  return rows;
}

const char* kSimulationOptions =
    "Resample baseline: yes\nPrint bootstrap estimates: yes\nPrint likelihoods: yes\n";

TEST(Simltr, SameSeedsWriteIdenticalFiles) {
  Analysis a;
  test::WriteFile(a.dir / "three.mix", Mixture(120, 5));
  struct Case {
    bool simulation;
    const char* options;
    const char* summary;
  };
  for (const Case& c :
       {Case{true, kSimulationOptions, ".sim"},
        Case{false,
             "Resample mixture: yes\nResample baseline: yes\nPrint bootstrap estimates: yes\n"
             "Print likelihoods: yes\n",
             ".bot"}}) {
    for (const char* seed : {"Random seed: 4711\n", "Random seed: 0\n"}) {
      const std::string control =
          Control(c.simulation, c.options,
                  std::string("Mixture sample size: 80\nNumber of resamples: 25\n") + seed);
      std::string first[3];
      for (int run = 0; run < 2; ++run) {
        const Outcome out = a.Go(control);
        ASSERT_FALSE(out.aborted) << out.status << a.Log();
        const std::string now[3] = {a.Report(".rsm"), a.Report(".rlk"), a.Report(c.summary)};
        for (int k = 0; k < 3; ++k) {
          ASSERT_FALSE(now[k].empty()) << k;
          if (run == 0)
            first[k] = now[k];
          else
            EXPECT_EQ(now[k], first[k]) << c.summary << " " << seed << " file " << k;
        }
      }
      EXPECT_EQ(ReadRlk(a.dir / "out/three.rlk").size(), 25u);
    }
  }
}

TEST(Simltr, LikelihoodFileSeedColumns) {
  Analysis a;
  test::WriteFile(a.dir / "three.mix", Mixture(100, 9));
  const std::string params = "Mixture sample size: 60\nNumber of resamples: 6\nRandom seed: 321\n";

  // Simulation with baseline resampling: the baseline seed starts at -|seed|,
  // each resample's draws continue where the last one ended.
  ASSERT_FALSE(a.Go(Control(true, kSimulationOptions, params)).aborted) << a.Log();
  std::vector<RlkLine> sim = ReadRlk(a.dir / "out/three.rlk");
  ASSERT_EQ(sim.size(), 6u);
  EXPECT_EQ(sim[0].seed_baseline, -321);
  for (std::size_t r = 0; r < sim.size(); ++r) {
    EXPECT_NE(sim[r].seed_mixture, 0);
    EXPECT_NE(sim[r].seed_mixture, sim[r].seed_after);
    EXPECT_LE(sim[r].l1, 0.0);
    EXPECT_GE(sim[r].l1 + 1e-3 * std::fabs(sim[r].l1), sim[r].l2) << "the estimate maximises";
    if (r > 0) {
      EXPECT_EQ(sim[r].seed_baseline, sim[r - 1].seed_after);
    }
  }

  // Simulation without baseline resampling: no baseline draw, its column is 0;
  // the first mixture draw starts from the seed.
  ASSERT_FALSE(a.Go(Control(true, "Print likelihoods: yes\n", params)).aborted) << a.Log();
  sim = ReadRlk(a.dir / "out/three.rlk");
  ASSERT_EQ(sim.size(), 6u);
  EXPECT_EQ(sim[0].seed_mixture, -321);
  for (std::size_t r = 0; r < sim.size(); ++r) {
    EXPECT_EQ(sim[r].seed_baseline, 0);
    if (r > 0) {
      EXPECT_EQ(sim[r].seed_mixture, sim[r - 1].seed_after);
    }
  }

  // Bootstrap: the mixture columns stay 0; the baseline column is 0 unless the
  // baseline is resampled.
  ASSERT_FALSE(
      a.Go(Control(false, "Resample mixture: yes\nPrint likelihoods: yes\n", params)).aborted)
      << a.Log();
  for (const RlkLine& r : ReadRlk(a.dir / "out/three.rlk")) {
    EXPECT_EQ(r.seed_baseline, 0);
    EXPECT_EQ(r.seed_mixture, 0);
    EXPECT_EQ(r.seed_after, 0);
  }
  ASSERT_FALSE(
      a.Go(Control(false, "Resample baseline: yes\nPrint likelihoods: yes\n", params)).aborted)
      << a.Log();
  const std::vector<RlkLine> boot = ReadRlk(a.dir / "out/three.rlk");
  ASSERT_EQ(boot.size(), 6u);
  EXPECT_EQ(boot[0].seed_baseline, -321);
  for (const RlkLine& r : boot) {
    EXPECT_NE(r.seed_baseline, 0);
    EXPECT_EQ(r.seed_mixture, 0);
    EXPECT_EQ(r.seed_after, 0);
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
    EXPECT_EQ(out.flags[4], R <= 10 ? 1 : 0) << R;
    EXPECT_EQ(fs::exists(a.dir / "out/three.itr"), R <= 10) << R;
    EXPECT_EQ(out.flags[9], 1);
    EXPECT_EQ(out.flags[11], 1);
    EXPECT_EQ(out.flags[6], 1);

    const std::vector<std::string> rsm = ReadLines(a.dir / "out/three.rsm");
    ASSERT_EQ(rsm.size(), 5u + R);
    EXPECT_EQ(rsm[0], "Number of populations:   3");
    EXPECT_EQ(rsm[1],
              "Number of resamples: " + std::string(R < 10 ? "    " : "   ") + std::to_string(R));
    EXPECT_EQ(rsm[2], "North                         ");
    EXPECT_EQ(rsm[5].size(), 20u) << "three f6.4 with blanks between";
    const std::vector<std::string> rst = ReadLines(a.dir / "out/three.rst");
    ASSERT_EQ(rst.size(), 5u + R);
    EXPECT_EQ(rst[1], "  Studentized Bootstrap Resample Estimates");
    EXPECT_EQ(rst[3], "Number of regions:   2");

    // One counting line: every show during the loop is the status text and the
    // counter; the final status keeps the last value once.
    std::vector<std::string> counters;
    for (const std::string& s : a.platform.statuses) {
      const std::size_t at = s.rfind("\tResampling: ");
      if (at != std::string::npos && s.find('\r', at) == std::string::npos)
        counters.push_back(s.substr(at + 13));
    }
    ASSERT_GE(counters.size(), static_cast<std::size_t>(R));
    EXPECT_EQ(counters[counters.size() - static_cast<std::size_t>(R)], "    1");
    const std::string last = std::string(R < 10 ? "    " : "   ") + std::to_string(R);
    EXPECT_EQ(counters.back(), last);
    EXPECT_NE(out.status.find("\tResampling: " + last + "\r"), std::string::npos);
    for (const char* label :
         {"\tBootstrap Contribution Estimates in ",
          "\tBootstrap Regional Studentized Estimates in ", "\tSimulation output to "})
      EXPECT_NE(out.status.find(label), std::string::npos) << label;
  }
}

TEST(Simltr, StopRequestEndsTheRunWithFilesKept) {
  Analysis a;
  a.platform.counter = "Resampling:     3";
  const Outcome out =
      a.Go(Control(true, kSimulationOptions,
                   "Mixture sample size: 50\nNumber of resamples: 40\nRandom seed: 2\n"));
  EXPECT_TRUE(out.aborted);
  EXPECT_NE(out.status.find("Analysis Aborted"), std::string::npos);
  EXPECT_NE(out.status.find("\tResampling:     3\r"), std::string::npos) << out.status;
  const std::string log = a.Log();
  EXPECT_NE(log.find("*** Fatal Error: Executing Simulation."), std::string::npos) << log;
  EXPECT_NE(log.find("Analysis stopped at the user's request after resample 3."), std::string::npos)
      << log;
  EXPECT_EQ(out.flags[9], 1);
  EXPECT_EQ(out.flags[12], 1);
  EXPECT_EQ(out.flags[6], 0) << "no summary for a stopped run";
  EXPECT_EQ(ReadLines(a.dir / "out/three.rsm").size(), 5u + 3u);
  EXPECT_EQ(ReadRlk(a.dir / "out/three.rlk").size(), 3u);

  // The next run of the process goes on as usual.
  a.platform.counter.clear();
  a.platform.stop = false;
  EXPECT_FALSE(
      a.Go(Control(true, "", "Mixture sample size: 30\nNumber of resamples: 3\n")).aborted);
}

TEST(Simltr, ModelSimulationWithoutBaselineResamplingAbortsOnlyTheRun) {
  for (const char* model : {"Rannala-Mountain model: yes\n", "Pella-Masuda model: yes\n"}) {
    Analysis a;
    const Outcome out = a.Go(Control(true, std::string(model) + "Print bootstrap estimates: yes\n",
                                     "Mixture sample size: 40\nNumber of resamples: 5\n"));
    EXPECT_TRUE(out.aborted) << model;
    EXPECT_NE(out.status.find("Analysis Aborted"), std::string::npos);
    EXPECT_NE(a.Log().find("\n *** Fatal Error: Reading control file.\n"
                           "     You selected the Rannala-Mountain or Pella-Masuda \n"
                           "     model of baseline allele frequencies.  You must   \n"
                           "     select the resample baseline option for simulations.\n"),
              std::string::npos)
        << a.Log();
    EXPECT_EQ(ReadLines(a.dir / "out/three.rsm").size(), 5u) << "header kept, no resample";

    // With baseline resampling the same model simulation runs, and so does the
    // next control file.
    const Outcome ok =
        a.Go(Control(true, std::string(model) + "Resample baseline: yes\n",
                     "Mixture sample size: 40\nNumber of resamples: 5\nSecond seed: 99\n"));
    EXPECT_FALSE(ok.aborted) << model << a.Log();
    EXPECT_NE(a.Report(".sim").find("Second random seed          :"), std::string::npos);
  }
}

// After a bootstrap that redraws the baseline, the baseline summary shows the
// observed baseline, as the estimation alone writes it.
TEST(Simltr, BaselineSummaryAfterResamplingShowsTheObservedBaseline) {
  Analysis a;
  test::WriteFile(a.dir / "three.mix", Mixture(80, 3));
  ASSERT_FALSE(a.Go(Control(false, "Print baseline summary: yes\n", "")).aborted) << a.Log();
  const std::string alone = a.Report(".bsl");
  ASSERT_FALSE(alone.empty());
  const Outcome out = a.Go(Control(false, "Print baseline summary: yes\nResample baseline: yes\n",
                                   "Number of resamples: 5\n"));
  ASSERT_FALSE(out.aborted) << a.Log();
  EXPECT_EQ(out.flags[7], 1);
  EXPECT_EQ(a.Report(".bsl"), alone);
}

// A simulation from known true proportions: the mean estimates lie within
// sampling error of the truth.
TEST(Simltr, SimulatedMeansMatchTheTruth) {
  Analysis a;
  constexpr int R = 200;
  const Outcome out =
      a.Go(Control(true, "", "Mixture sample size: 150\nNumber of resamples: 200\nSeed: 31\n"));
  ASSERT_FALSE(out.aborted) << a.Log();
  const std::vector<PopRow> rows = PopulationTable(a.Report(".sim"));
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kStocks)) << a.Report(".sim");
  for (int i = 0; i < kStocks; ++i) {
    const PopRow& r = rows[static_cast<std::size_t>(i)];
    EXPECT_DOUBLE_EQ(r.expected, kTruth[i]);
    EXPECT_GT(r.sd, 0.005);
    EXPECT_LT(r.sd, 0.15);
    EXPECT_LT(std::fabs(r.mean - kTruth[i]), 4.0 * r.sd / std::sqrt(R) + 0.005)
        << "population " << i + 1;
    // Root MSE^2 = variance + bias^2 (up to the R - 1 divisor).
    EXPECT_NEAR(r.rmse * r.rmse, r.sd * r.sd * (R - 1) / R + std::pow(r.mean - kTruth[i], 2), 2e-4);
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
    test::WriteFile(a.dir / "three.mix", Mixture(150, 1000 + static_cast<std::uint64_t>(m)));
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
