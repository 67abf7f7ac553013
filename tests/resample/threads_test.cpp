// Resamples estimated on several threads write the same files, byte for byte,
// as on one: bootstraps and simulations under the plain and Rannala-Mountain
// models with every per-resample file, studentized intervals and the baseline
// summary; the messages of the maximisations in resample order; a stop request
// part of the way through; a simulation that stops at a draw in the middle of
// the run, and a run after it in the same process.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "core/velk.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"
#include "support/stopping_platform.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

// Four stocks at six loci of four types; the last stock has no sample at the
// last locus, so that the maximisations estimate its frequencies.
constexpr int kStocks = 4;
constexpr int kLoci = 6;
constexpr int kTypes = 4;

std::string Baseline(bool missing, int loci) {
  std::ostringstream s;
  for (int i = 0; i < kStocks; ++i) {
    s << "#" << i + 1 << " Stock" << i + 1 << "\n";
    for (int c = 0; c < loci; ++c) {
      s << "L" << c + 1;
      for (int k = 0; k < kTypes; ++k) {
        const int count = (missing && i == kStocks - 1 && c == kLoci - 1)
                              ? 0
                              : 10 + ((i + 1) * (k + 3) * (c + 2) * 7) % 41;
        s << " " << count;
      }
      s << "\n";
    }
  }
  return s.str();
}

// A fixed mixture of n fish, some missing a locus.
std::string Mixture(int n) {
  std::ostringstream s;
  unsigned x = 12345;
  auto next = [&x] {
    x = x * 1103515245u + 12345u;
    return (x >> 16) % kTypes;
  };
  for (int f = 0; f < n; ++f) {
    for (int c = 0; c < kLoci; ++c) {
      int copies[kTypes] = {0, 0, 0, 0};
      if (!(f % 9 == 4 && c == 2)) {
        ++copies[next()];
        ++copies[next()];
      }
      s << (c > 0 ? " " : "");
      for (int k = 0; k < kTypes; ++k) s << copies[k];
    }
    s << "\n";
  }
  return s.str();
}

std::string Control(bool simulation, const std::string& options, const std::string& parameters,
                    int loci = kLoci) {
  std::ostringstream s;
  s << "* " << (simulation ? "Simulation" : "Estimation") << ": Four stocks\n* Options\n"
    << options << "* Parameters\nNumber of characters: " << loci
    << "\nNumber of stocks: " << kStocks
    << "\nMaximum number of classes: 3\nMaximum number of missing characters: 1\n"
       "Second random seed: 77\n"
    << parameters << "* Files\nBaseline file: four.bse\n"
    << (simulation ? "" : "Mixture file: four.mix\n") << "Output file: out\\four\n"
    << "* Characters\n[ID #] [# Types] [Character] [Kind]\n";
  for (int c = 1; c <= loci; ++c) s << c << " " << kTypes << " L" << c << " : locus\n";
  s << "* Populations\n[ID #] [Population] [Lev1] [Estimate]\n"
       "1 North : 1 0.4\n2 East : 1 0.3\n3 South : 2 0.2\n4 West : 2 0.1\n"
       "* Regions\n[Level] [Label] [Region]\n1 1 Inland\n1 2 Coast\n* Run\n";
  return s.str();
}

using test::StoppingPlatform;

// What a run leaves: every file it wrote (the log and the reports) and its end.
struct Result {
  std::map<std::string, std::string> files;
  std::string status;
  bool aborted = false;
};

// Runs `controls` one after another in one fresh process with `threads`
// threads, each in the folder `dir` emptied first; the files of the last run.
Result RunAll(const fs::path& dir, const std::vector<std::string>& controls, int threads,
              bool missing, const std::string& stop_counter, int loci) {
  Process process;
  std::ostringstream console;
  process.random.console = &console;
  Result result;
  for (const std::string& control : controls) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    test::WriteFile(dir / "four.bse", Baseline(missing, loci));
    test::WriteFile(dir / "four.mix", Mixture(90));
    test::WriteFile(dir / "four.ctl", control);
    StoppingPlatform platform;
    platform.counter = stop_counter;
    Request req;
    req.control_file = (dir / "four.ctl").string();
    req.stop_request = &platform.stop;
    req.threads = threads;
    const Outcome out = Velk(process, platform, req);
    result = Result{};
    result.status = out.status;
    result.aborted = out.aborted;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      const std::string name = fs::relative(entry.path(), dir).string();
      if (name == "four.bse" || name == "four.mix" || name == "four.ctl") continue;
      result.files[name] = test::ReadFile(entry.path());
    }
  }
  return result;
}

// The same runs with 1 and with 4 threads leave the same files; returns the
// files of the run with one thread.
Result ExpectSame(const std::vector<std::string>& controls, bool missing,
                  const std::string& stop_counter = "", int loci = kLoci) {
  test::TempDir dir;
  const Result one = RunAll(dir.Path() / "run", controls, 1, missing, stop_counter, loci);
  const Result four = RunAll(dir.Path() / "run", controls, 4, missing, stop_counter, loci);
  EXPECT_EQ(one.aborted, four.aborted);
  EXPECT_EQ(one.status, four.status);
  EXPECT_EQ(one.files.size(), four.files.size());
  for (const auto& [name, text] : one.files) {
    auto it = four.files.find(name);
    if (it == four.files.end()) {
      ADD_FAILURE() << name << " missing with 4 threads";
      continue;
    }
    EXPECT_TRUE(text == it->second) << name << " differs with 4 threads";
  }
  return one;
}

const char* kBootstrapOptions =
    "Resample mixture: yes\nResample baseline: yes\nPrint bootstrap estimates: yes\n"
    "Print likelihoods: yes\nCompute studentized intervals: yes\nPrint baseline summary: yes\n";
const char* kRannala = "Rannala-Mountain model: yes\n";

TEST(Threads, BootstrapFilesAreTheSame) {
  const std::string params = "Number of resamples: 40\nRandom seed: 4711\n";
  for (bool missing : {false, true}) {
    for (const std::string model : {"", kRannala}) {
      SCOPED_TRACE(std::string(missing ? "missing baseline " : "") + model);
      Result r = ExpectSame({Control(false, kBootstrapOptions + model, params)}, missing);
      EXPECT_FALSE(r.aborted) << r.status << r.files["four.log"];
      for (const char* name : {"four.log", "out/four.rsm", "out/four.rlk", "out/four.rst",
                               "out/four.bot", "out/four.bsl", "out/four.est"})
        EXPECT_TRUE(r.files.count(name)) << name;
    }
  }
}

TEST(Threads, BaselineOnlyAndMixtureOnlyBootstraps) {
  const std::string params = "Number of resamples: 25\nRandom seed: 99\n";
  for (const char* options :
       {"Resample baseline: yes\nPrint bootstrap estimates: yes\nPrint likelihoods: yes\n",
        "Resample mixture: yes\nPrint bootstrap estimates: yes\nPrint likelihoods: yes\n"}) {
    for (const std::string model : {"", kRannala}) {
      SCOPED_TRACE(options + model);
      EXPECT_FALSE(ExpectSame({Control(false, options + model, params)}, true).aborted);
    }
  }
}

TEST(Threads, MaximisationMessagesInResampleOrder) {
  // Three iterations: every resample warns that it reached the limit.
  Result r = ExpectSame(
      {Control(false, kBootstrapOptions,
               "Number of resamples: 30\nRandom seed: 5\nMaximum number of iterations: 3\n")},
      true);
  EXPECT_FALSE(r.aborted);
  const std::string& log = r.files["four.log"];
  std::size_t warnings = 0;
  for (std::size_t at = log.find("Exceeded the maximum number of iterations");
       at != std::string::npos; at = log.find("Exceeded the maximum number of iterations", at + 1))
    ++warnings;
  EXPECT_GE(warnings, 30u);
}

TEST(Threads, SimulationFilesAreTheSame) {
  const std::string params = "Mixture sample size: 70\nNumber of resamples: 30\nRandom seed: 31\n";
  const std::string options =
      "Resample baseline: yes\nPrint bootstrap estimates: yes\nPrint likelihoods: yes\n"
      "Print genotypes: yes\n";
  for (const std::string model : {"", kRannala}) {
    SCOPED_TRACE(model);
    const Result r = ExpectSame({Control(true, options + model, params)}, false);
    EXPECT_FALSE(r.aborted) << r.status;
    EXPECT_TRUE(r.files.count("out/four.sim"));
  }
}

TEST(Threads, StopRequestPartWayThrough) {
  const std::string params = "Number of resamples: 60\nRandom seed: 17\n";
  Result r = ExpectSame({Control(false, kBootstrapOptions + std::string(kRannala), params)}, true,
                        "Resampling:    12");
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.files["four.log"].find("after resample 12."), std::string::npos);
}

TEST(Threads, DrawThatStopsTheRunAndTheNextRun) {
  // Two loci and few genotypes allowed: the simulated mixture of resample 23
  // has more distinct genotypes than that, while later ones are being drawn.
  const std::string failing = Control(
      true, "Resample baseline: yes\nPrint bootstrap estimates: yes\nPrint likelihoods: yes\n",
      "Mixture sample size: 40\nNumber of resamples: 40\nRandom seed: 3\n"
      "Maximum number of genotypes: 34\n",
      2);
  Result stopped = ExpectSame({failing}, false, "", 2);
  EXPECT_TRUE(stopped.aborted);
  EXPECT_NE(stopped.files["four.log"].find("Exceeded the maximum number of geneotypes"),
            std::string::npos);
  // The header and the 22 resamples before the one that stopped.
  const std::string rsm = stopped.files["out/four.rsm"];
  EXPECT_EQ(std::count(rsm.begin(), rsm.end(), '\n'), 6 + 22);

  // The generators are left as one thread leaves them: a model bootstrap
  // after it in the same process draws the same.
  const Result next = ExpectSame({failing, Control(false, kBootstrapOptions + std::string(kRannala),
                                                   "Number of resamples: 10\nRandom seed: 8\n", 2)},
                                 false, "", 2);
  EXPECT_FALSE(next.aborted);
}

}  // namespace
}  // namespace velk
