#pragma once
// Whole resampling analyses of three stocks at five loci, mixtures drawn from
// known proportions, and a platform that stops the run at a given counter.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "core/run.hpp"
#include "run/velk.hpp"
#include "support/files.hpp"
#include "support/mixture.hpp"
#include "support/recording_platform.hpp"

namespace velk::test {

class StoppingPlatform : public RecordingPlatform {
 public:
  void ShowStatus(const std::string& text) override {
    RecordingPlatform::ShowStatus(text);
    if (!counter.empty() && text.ends_with(counter)) stop = true;
  }
  std::string counter;  // e.g. "Resampling:     3"
  std::atomic<bool> stop{false};
};

inline constexpr int kStocks = 3;
inline constexpr int kLoci = 5;
inline constexpr int kTypes = 4;
inline constexpr double kTruth[kStocks] = {0.5, 0.3, 0.2};
inline constexpr double kFreq[kStocks][kLoci][kTypes] = {
    {{.60, .20, .15, .05}, {.10, .50, .30, .10}, {.70, .10, .10, .10}, {.25, .25, .40, .10},
     {.05, .05, .30, .60}},
    {{.10, .60, .20, .10}, {.55, .15, .15, .15}, {.10, .70, .10, .10}, {.05, .15, .10, .70},
     {.40, .40, .10, .10}},
    {{.15, .15, .60, .10}, {.20, .20, .10, .50}, {.10, .10, .70, .10}, {.60, .10, .20, .10},
     {.10, .60, .20, .10}}};

// The baseline of the first `loci` loci; with `missing` the last stock has no
// sample at the last of them, so that the maximisations estimate it.
inline std::string ResampleBaseline(int loci = kLoci, bool missing = false) {
  std::ostringstream s;
  const char* names[] = {"North", "South", "Coast"};
  for (int i = 0; i < kStocks; ++i) {
    s << "#" << i + 1 << " " << names[i] << "\n";
    for (int c = 0; c < loci; ++c) {
      s << "L" << c + 1;
      const bool none = missing && i == kStocks - 1 && c == loci - 1;
      for (int k = 0; k < kTypes; ++k) s << " " << (none ? 0 : std::lround(kFreq[i][c][k] * 200));
      s << "\n";
    }
  }
  return s.str();
}

// The three stocks' baseline with locus L1 private to each: a fish scored
// 2000 there is North's, 0200 South's; with `missing` Coast has no sample at L5.
inline std::string PrivateL1Baseline(bool missing = false) {
  std::istringstream in(ResampleBaseline(kLoci, missing));
  std::ostringstream out;
  const char* own[kStocks] = {"L1 200 0 0 0", "L1 0 200 0 0", "L1 0 0 200 0"};
  int stock = -1;
  for (std::string line; std::getline(in, line);) {
    if (line[0] == '#') ++stock;
    out << (line.rfind("L1 ", 0) == 0 ? own[stock] : line) << '\n';
  }
  return out.str();
}

// A mixture of n fish drawn from the true proportions and frequencies; with
// `gaps` every ninth fish misses locus 3.
inline std::string ResampleMixture(int n, std::uint64_t seed, bool gaps = false) {
  Uniform u(seed);
  auto pick = [&u](const double* p, int k) {
    double x = u.Next();
    for (int j = 0; j < k - 1; ++j)
      if ((x -= p[j]) <= 0.0) return j;
    return k - 1;
  };
  std::ostringstream s;
  for (int f = 0; f < n; ++f) {
    const int i = pick(kTruth, kStocks);
    for (int c = 0; c < kLoci; ++c) {
      int copies[kTypes] = {0, 0, 0, 0};
      ++copies[pick(kFreq[i][c], kTypes)];
      ++copies[pick(kFreq[i][c], kTypes)];
      if (gaps && f % 9 == 4 && c == 2) copies[0] = copies[1] = copies[2] = copies[3] = 0;
      s << (c > 0 ? " " : "");
      for (int k = 0; k < kTypes; ++k) s << copies[k];
    }
    s << "\n";
  }
  return s.str();
}

// The analysis as a user writes it; `parameters` come after (and override) the
// common ones.
inline std::string ResampleControl(bool simulation, const std::string& options,
                                   const std::string& parameters, int loci = kLoci) {
  std::ostringstream s;
  s << "* " << (simulation ? "Simulation" : "Estimation") << ": Three stocks\n* Options\n"
    << options << "* Parameters\nNumber of characters: " << loci
    << "\nNumber of stocks: " << kStocks
    << "\nMaximum number of genotypes: 400\nMaximum number of classes: 2\n"
       "Maximum number of missing characters: 1\n"
       "Maximum number of iterations: 500\nEstimate tolerance: 0.000001\n"
    << parameters << "* Files\nBaseline file: three.bse\n"
    << (simulation ? "" : "Mixture file: three.mix\n") << "Output file: out\\three\n"
    << "* Characters\n[ID #] [# Types] [Character] [Kind]\n";
  for (int c = 1; c <= loci; ++c) s << c << " " << kTypes << " L" << c << " : locus\n";
  s << "* Populations\n[ID #] [Population] [Lev1] [Estimate]\n"
       "1 North : 1 0.5\n2 South : 1 0.3\n3 Coast : 2 0.2\n"
       "* Regions\n[Level] [Label] [Region]\n1 1 Inland\n1 2 Seaward\n* Run\n";
  return s.str();
}

// Analyses run one after another in one process, in a folder holding the
// baseline three.bse (and the mixture three.mix once written).
struct ResampleAnalysis {
  explicit ResampleAnalysis(int loci = kLoci, bool missing = false) {
    WriteFile(dir / "three.bse", ResampleBaseline(loci, missing));
    process.random.console = &console;  // the generators' warnings
  }
  void Mixture(int n, std::uint64_t seed, bool gaps = false) {
    WriteFile(dir / "three.mix", ResampleMixture(n, seed, gaps));
  }
  Outcome Go(const std::string& control, int threads = 0) {
    WriteFile(dir / "three.ctl", control);
    Request req;
    req.control_file = dir / "three.ctl";
    req.stop_request = &platform.stop;
    req.threads = threads;
    return Velk(process, platform, req);
  }
  std::string Report(const std::string& ext) const { return ReadFile(dir / ("out/three" + ext)); }
  std::string Log() const { return ReadFile(dir / "three.log"); }
  // Every file in the folder but the inputs, by relative name.
  std::map<std::string, std::string> Outputs() const {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.Path())) {
      const std::string name = std::filesystem::relative(e.path(), dir.Path()).string();
      if (e.is_regular_file() && (name.rfind("three.", 0) != 0 || name == "three.log"))
        files[name] = ReadFile(e.path());
    }
    return files;
  }

  TempDir dir;
  std::ostringstream console;
  Process process;
  StoppingPlatform platform;
};

}  // namespace velk::test
