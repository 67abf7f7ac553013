// The chinook data (69 populations, 91 SNP loci, four pairs without baseline, 2256 fish),
// when present: the full run agrees with an independent plain EM that also estimates the
// missing baseline frequencies.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "control/sections.hpp"
#include "core/run.hpp"
#include "run/sequence.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"
#include "support/shared_data.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

struct Chinook {
  int np = 0;
  int nc = 0;
  std::vector<std::vector<std::array<double, 2>>> counts;  // [pop][locus] copies of types 1, 2
  std::vector<std::vector<int>> fish;  // [fish][locus]: copies of type 1, -1 missing
};

Chinook ReadData(const fs::path& dir) {
  Chinook d;
  std::ifstream base(dir / "chinook.bse");
  std::string line;
  while (std::getline(base, line)) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      d.counts.emplace_back();
      continue;
    }
    std::istringstream in(line);
    std::string name;
    double a = 0, b = 0;
    in >> name >> a >> b;
    d.counts.back().push_back({a, b});
  }
  d.np = static_cast<int>(d.counts.size());
  d.nc = static_cast<int>(d.counts[0].size());
  std::ifstream mix(dir / "chinook_mix.mix");
  while (std::getline(mix, line)) {
    std::istringstream in(line);
    std::vector<int> f;
    std::string field;
    while (in >> field) f.push_back(field == "00" ? -1 : field[0] - '0');
    if (!f.empty()) d.fish.push_back(f);
  }
  return d;
}

// log P of one fish in one population from type-1 frequencies p[locus].
double LogProb(const std::vector<int>& fish, const std::vector<double>& p) {
  double l = 0.0;
  for (std::size_t c = 0; c < fish.size(); ++c) {
    const int k = fish[c];
    if (k < 0) continue;
    const double x = k == 2   ? p[c] * p[c]
                     : k == 1 ? 2 * p[c] * (1 - p[c])
                              : (1 - p[c]) * (1 - p[c]);
    l += std::log(x);
  }
  return l;
}

// EM over the proportions and the missing baseline frequencies, from equal
// proportions and uniform frequencies.
std::vector<double> PlainEm(const Chinook& d) {
  const std::size_t np = static_cast<std::size_t>(d.np), nf = d.fish.size(),
                    nc = static_cast<std::size_t>(d.nc);
  std::vector<std::vector<double>> freq(np, std::vector<double>(nc));
  std::vector<std::vector<bool>> missing(np, std::vector<bool>(nc));
  std::vector<bool> any(np, false);
  for (std::size_t i = 0; i < np; ++i)
    for (std::size_t c = 0; c < nc; ++c) {
      const double t = d.counts[i][c][0] + d.counts[i][c][1];
      missing[i][c] = t < 1;
      any[i] = any[i] || missing[i][c];
      freq[i][c] = t < 1 ? 0.5 : d.counts[i][c][0] / t;
    }
  // P scaled per fish by its largest log-probability (W does not change).
  std::vector<double> logp(np * nf), P(np * nf), top(nf);
  auto rebuild = [&](bool all) {
    for (std::size_t i = 0; i < np; ++i)
      if (all || any[i])
        for (std::size_t f = 0; f < nf; ++f) logp[i + np * f] = LogProb(d.fish[f], freq[i]);
    for (std::size_t f = 0; f < nf; ++f) {
      if (all) top[f] = std::max(-1e300, *std::max_element(&logp[np * f], &logp[np * f] + np));
      for (std::size_t i = 0; i < np; ++i) P[i + np * f] = std::exp(logp[i + np * f] - top[f]);
    }
  };
  rebuild(true);
  std::vector<double> theta(np, 1.0 / d.np), next(np), e1(np * nc), e2(np * nc);
  for (int pass = 0; pass < 100000; ++pass) {
    std::fill(next.begin(), next.end(), 0.0);
    std::fill(e1.begin(), e1.end(), 0.0);
    std::fill(e2.begin(), e2.end(), 0.0);
    for (std::size_t f = 0; f < nf; ++f) {
      double q = 0.0;
      for (std::size_t i = 0; i < np; ++i) q += theta[i] * P[i + np * f];
      for (std::size_t i = 0; i < np; ++i) {
        const double w = theta[i] * P[i + np * f] / q;
        next[i] += w;
        for (std::size_t c = 0; any[i] && c < nc; ++c) {
          if (!missing[i][c] || d.fish[f][c] < 0) continue;
          e1[i + np * c] += w * d.fish[f][c];
          e2[i + np * c] += w * (2 - d.fish[f][c]);
        }
      }
    }
    double change = 0.0;
    for (std::size_t i = 0; i < np; ++i) {
      next[i] /= static_cast<double>(nf);
      change = std::max(change, std::fabs(next[i] - theta[i]));
      theta[i] = next[i];
      for (std::size_t c = 0; c < nc; ++c) {
        const double t = e1[i + np * c] + e2[i + np * c];
        if (missing[i][c] && t >= 1e-10) freq[i][c] = e1[i + np * c] / t;
      }
    }
    rebuild(false);
    if (change < 1e-12) break;
  }
  return theta;
}

TEST(ChinookRun, EstimatesAgreeWithAnIndependentPlainEm) {
  const fs::path data = test::ChinookData();
  VELK_REQUIRE_SHARED_DATA(data / "chinook_mix.ctl");
  test::TempDir dir;
  // The control file pointed at the data, its output here, run to full convergence.
  std::string text = test::ReadFile(data / "chinook_mix.ctl");
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"chinook.bse", (data / "chinook.bse").string()},
           {"chinook_mix.mix", (data / "chinook_mix.mix").string()},
           {"Output file: chinook_mix", "Output file: " + (dir / "chinook")},
           {"* Parameters\n",
            "* Parameters\nEstimate tolerance: 1e-11\nLikelihood tolerance: 1e-15\n"
            "Guaranteed percent: 100.5\nMaximum number of iterations: 20000\n"}}) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  }
  test::WriteFile(dir / "chinook.ctl", text);
  test::RunFixture f(dir / "chinook.log");
  velk::Run& run = f.run;
  run.control_dir = dir.Path().string() + "/";
  run.inputs.Control().Open(dir / "chinook.ctl");
  while (ReadControlLine(run) && run.parse.line.find('*') == std::string::npos) {
  }
  if (Gparse(run, 1)) RunSequence(run);
  run.output.unit[0].Close();
  ASSERT_EQ(run.error.stop, 0) << test::ReadFile(dir / "chinook.log");

  const Chinook d = ReadData(data);
  ASSERT_EQ(d.np, run.par.npop);
  ASSERT_EQ(d.fish.size(), 2256u);
  const std::vector<double> em = PlainEm(d);
  for (int i = 1; i <= d.np; ++i)
    EXPECT_NEAR(run.pops(i).estimate, em[static_cast<std::size_t>(i - 1)], 5e-6)
        << run.pops(i).name;
}

}  // namespace
}  // namespace velk
