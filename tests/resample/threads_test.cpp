// Resamples estimated on several threads write the same files, byte for byte, as
// on one: bootstraps and simulations under both models, the maximisations'
// messages in resample order, a stop request, a draw that stops the run, and the
// run after it in the same process.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/resample_runs.hpp"

namespace velk {
namespace {

using test::ResampleControl;

struct Result {
  std::map<std::string, std::string> files;
  Outcome outcome;
};

// Runs `controls` one after another in one fresh process on `threads` threads;
// the baseline lacks a locus of a stock when `missing`.
Result RunAll(const std::vector<std::string>& controls, int threads, bool missing,
              const std::string& stop_counter, int loci) {
  test::ResampleAnalysis a(loci, missing);
  a.Mixture(90, 12345, true);
  a.platform.counter = stop_counter;
  Result r;
  for (const std::string& control : controls) r.outcome = a.Go(control, threads);
  r.files = a.Outputs();
  // The folder's name differs from run to run.
  const std::string folder = a.dir.Path().string();
  for (std::string* text : {&r.outcome.status, &r.files["three.log"]})
    for (std::size_t at; (at = text->find(folder)) != std::string::npos;)
      text->replace(at, folder.size(), "<folder>");
  return r;
}

// The same runs with 1 and with 4 threads leave the same files; returns the
// files of the run with one thread.
Result ExpectSame(const std::vector<std::string>& controls, bool missing,
                  const std::string& stop_counter = "", int loci = test::kLoci) {
  const Result one = RunAll(controls, 1, missing, stop_counter, loci);
  const Result four = RunAll(controls, 4, missing, stop_counter, loci);
  EXPECT_EQ(one.outcome.aborted, four.outcome.aborted);
  EXPECT_EQ(one.outcome.status, four.outcome.status);
  EXPECT_EQ(one.files.size(), four.files.size());
  for (const auto& [name, text] : one.files)
    EXPECT_TRUE(four.files.count(name) && text == four.files.at(name)) << name << " differs";
  return one;
}

const std::string kPrint = "Print bootstrap estimates: yes\nPrint likelihoods: yes\n";
const std::string kBoth = "Resample mixture: yes\nResample baseline: yes\n" + kPrint +
                          "Compute studentized intervals: yes\nPrint baseline summary: yes\n";
const std::string kRannala = "Rannala-Mountain model: yes\n";

TEST(Threads, BootstrapAndSimulationFilesAreTheSame) {
  struct Case {
    bool simulation;
    std::string options;
    bool missing;
    const char* parameters;
  };
  const std::string sim = "Resample baseline: yes\nPrint genotypes: yes\n" + kPrint;
  const Case cases[] = {
      {false, kBoth, false, ""},
      {false, "Resample mixture: yes\n" + kPrint, true, ""},
      // Three iterations: most resamples warn that they reached the limit.
      {false, kBoth, true, "Maximum number of iterations: 3\n"},
      {true, sim, false, "Mixture sample size: 70\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options + c.parameters);
    const std::string parameters =
        "Number of resamples: 30\nRandom seed: 4711\nSecond random seed: 77\n" +
        std::string(c.parameters);
    Result r = ExpectSame({ResampleControl(c.simulation, c.options, parameters)}, c.missing);
    EXPECT_FALSE(r.outcome.aborted) << r.outcome.status << r.files["three.log"];
    EXPECT_TRUE(r.files.count(c.simulation ? "out/three.sim" : "out/three.bot"));
  }
}

TEST(Threads, StopRequestPartWayThrough) {
  Result r = ExpectSame(
      {ResampleControl(false, kBoth + kRannala, "Number of resamples: 60\nRandom seed: 17\n")},
      true, "Resampling:    12");
  EXPECT_TRUE(r.outcome.aborted && r.outcome.stopped);
  EXPECT_EQ(r.outcome.messages.back().number, 3037);
  EXPECT_NE(r.files["three.log"].find("after resample 12."), std::string::npos);
  // The files so far are kept, with no summary.
  const std::string& rsm = r.files["out/three.rsm"];
  EXPECT_EQ(std::count(rsm.begin(), rsm.end(), '\n'), 5 + 12);
  EXPECT_FALSE(r.files.count("out/three.bot"));
}

TEST(Threads, DrawThatStopsTheRunAndTheNextRun) {
  // Two loci and few genotypes allowed: the simulated mixture of resample 22
  // has more distinct genotypes than that, while later ones are being drawn.
  const std::string failing =
      ResampleControl(true, "Resample baseline: yes\n" + kPrint,
                      "Mixture sample size: 40\nNumber of resamples: 40\nRandom seed: 3\n"
                      "Maximum number of genotypes: 33\n",
                      2);
  Result stopped = ExpectSame({failing}, false, "", 2);
  EXPECT_TRUE(stopped.outcome.aborted);
  EXPECT_NE(stopped.files["three.log"].find("Exceeded the maximum number of geneotypes"),
            std::string::npos);
  // The resample file, not finished, is not kept.
  EXPECT_FALSE(stopped.files.count("out/three.rsm"));
  EXPECT_NE(stopped.files["three.log"].find("The Resample Estimates output was not finished"),
            std::string::npos);

  // The generators are left as one thread leaves them: a model bootstrap
  // after it in the same process draws the same.
  const Result next = ExpectSame(
      {failing,
       ResampleControl(false, kBoth + kRannala, "Number of resamples: 10\nRandom seed: 8\n", 2)},
      false, "", 2);
  EXPECT_FALSE(next.outcome.aborted);
}

}  // namespace
}  // namespace velk
