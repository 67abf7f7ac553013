// The simulation and bootstrap driver through whole runs: files, seeds, counters and stops.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/resample_runs.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;
using test::ReadLines;
using Analysis = test::ResampleAnalysis;
std::string Control(bool simulation, const std::string& options, const std::string& parameters) {
  return test::ResampleControl(simulation, options, parameters);
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
      }
      EXPECT_EQ(files[0], files[1]) << seed;
      EXPECT_EQ(ReadLines(a.dir / "out/three.rlk").size(), 25u);
    }
  }
}

TEST(Simltr, FlagsCounterAndIterationLimit) {
  for (int R : {10, 11}) {
    Analysis a;
    const Outcome out = a.Go(Control(
        true,
        "Print iteration history: yes\nPrint bootstrap estimates: yes\nCompute studentized: yes\n",
        "Mixture sample size: 50\nNumber of resamples: " + std::to_string(R) + "\nSeed: 8\n"));
    ASSERT_FALSE(out.aborted) << a.Log();
    EXPECT_EQ(std::vector<int>({out.flags[4], out.flags[6], out.flags[9], out.flags[11]}),
              std::vector<int>({R <= 10, 1, 1, 1}));  // the iteration history up to 10
    ASSERT_EQ(ReadLines(a.dir / "out/three.rsm").size(), 5u + R);
    const std::string count = "   " + std::to_string(R);  // i5
    // The final status keeps the counter's last value; the progress counts up to the total.
    EXPECT_NE(out.status.find("\tResampling: " + count + "\r"), std::string::npos);
    ASSERT_EQ(a.platform.progress.size(), R + 1u);
    for (int r = 0; r <= R; ++r) EXPECT_EQ(a.platform.progress[r], std::make_pair(r, R));
  }
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

// Whole runs against their reports as once checked by hand: every draw of the
// baseline, the mixture and the simulated fish, the seeds of every resample and
// the summaries. A model bootstrap of both samples with entries drawn from the
// prior, and a Pella-Masuda simulation.
TEST(Simltr, ReportsAsChecked) {
  struct Case {
    const char* name;
    bool simulation;
    std::string options;
    std::vector<const char*> reports;
  };
  const Case cases[] = {
      {"three_boot", false,
       "Resample mixture: yes\nResample baseline: yes\nRannala-Mountain model: yes\n"
       "Compute studentized intervals: yes\n" + kSimulationOptions,
       {".rsm", ".rlk", ".bot", ".rst"}},
      {"three_sim", true, "Pella-Masuda model: yes\n" + kSimulationOptions,
       {".rsm", ".rlk", ".sim"}},
      // The seed columns of the likelihood file.
      {"three_sim_base", true, kSimulationOptions, {".rlk"}},
      {"three_sim_mixture", true, "Print likelihoods: yes\n", {".rlk"}},
      {"three_boot_base", false, "Resample baseline: yes\nPrint likelihoods: yes\n", {".rlk"}},
      {"three_boot_mixture", false, "Resample mixture: yes\nPrint likelihoods: yes\n", {".rlk"}},
  };
  for (const Case& c : cases) {
    Analysis a(test::kLoci, !c.simulation);
    a.Mixture(60, 7, true);
    ASSERT_FALSE(a.Go(Control(c.simulation, c.options,
                              "Mixture sample size: 40\nNumber of resamples: 12\nSeed: 99\n"))
                     .aborted)
        << a.Log();
    for (const char* ext : c.reports) test::ExpectGolden(a.Report(ext), c.name + std::string(ext));
  }
}

}  // namespace
}  // namespace velk
