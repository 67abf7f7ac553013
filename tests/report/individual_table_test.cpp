#include "report/individual_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/csv_read.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;
using test::ReadCsv;
using test::ReadFile;
using test::Row;

// Fish drawn from a population have z-scores of mean 0 and variance 1, for
// characters of one, two and four copies (every third fish misses characters
// 1 and 2); fish of a population with the reverse frequencies stand far out.
TEST(FitGenotype, ZScoresOfTheOwnPopulationsFishAreStandard) {
  test::RunFixture f;
  velk::Run& run = f.run;
  const std::vector<std::vector<double>> freqs{
      {0.7, 0.3}, {0.2, 0.5, 0.3}, {0.1, 0.1, 0.2, 0.6}, {0.45, 0.55}, {0.25, 0.25, 0.5}};
  const int ploidy[] = {2, 2, 4, 1, 2};
  const int nc = 20, maxtyp = 4;
  run.par.nchar = nc;
  run.par.max_types = maxtyp;
  run.chars.Resize(nc);
  Mat<double> freq(maxtyp, nc, 0.0), other(maxtyp, nc, 0.0);
  for (int c = 1; c <= nc; ++c) {
    const std::vector<double>& fc = freqs[static_cast<std::size_t>(c % 5)];
    run.chars(c).ntypes = static_cast<int>(fc.size());
    run.chars(c).ploidy = ploidy[c % 5];
    for (std::size_t k = 0; k < fc.size(); ++k) {
      freq(static_cast<int>(k) + 1, c) = fc[k];
      other(static_cast<int>(fc.size() - k), c) = fc[k];
    }
  }
  std::mt19937_64 gen(20261206);
  FitCache cache;
  // The z-scores of n fish drawn from `from`, as their sum and sum of squares.
  auto draw = [&](const Mat<double>& from, int n, double& sum, double& sq) {
    std::vector<std::int8_t> copies(static_cast<std::size_t>(maxtyp * nc));
    for (int fish = 0; fish < n; ++fish) {
      std::fill(copies.begin(), copies.end(), 0);
      for (int c = 1; c <= nc; ++c) {
        if (fish % 3 == 0 && c <= 2) continue;
        std::discrete_distribution<int> type(&from(1, c), &from(1, c) + run.chars(c).ntypes);
        for (int d = 0; d < std::max(1, run.chars(c).ploidy); ++d)
          ++copies[static_cast<std::size_t>((c - 1) * maxtyp + type(gen))];
      }
      const GenotypeFit fit = FitGenotype(run, freq, copies.data(), &cache);
      const double z = (fit.log_likelihood - fit.mean) / std::sqrt(fit.variance);
      sum += z;
      sq += z * z;
    }
  };
  double sum = 0.0, sq = 0.0, foreign = 0.0, unused = 0.0;
  draw(freq, 20000, sum, sq);
  EXPECT_NEAR(sum / 20000, 0.0, 0.02);
  EXPECT_NEAR(sq / 20000 - (sum / 20000) * (sum / 20000), 1.0, 0.03);
  draw(other, 1000, foreign, unused);
  EXPECT_LT(foreign / 1000, -3.0);
}

// The rec1 fish with an ID field ("0f", "1f", ...) in front of their loci, estimated with the
// tables on: each fish's most likely population, its posterior and log
// likelihood as computed here from the baseline counts and the estimate.
TEST(IndividualTables, ChinookAssignmentsAgreeWithAPerFishPosterior) {
  const fs::path data = fs::path(VELK_SHARED_DATA) / "chinook";
  if (!fs::exists(data / "chinook_rec1.ctl")) GTEST_SKIP() << "no chinook data";
  test::TempDir dir;
  std::vector<std::string> fish = test::ReadLines(data / "chinook_rec1.mix");
  ASSERT_EQ(fish.size(), 743u);
  std::string mix = "* characters\nID\n";
  for (int c = 1; c <= 91; ++c) mix += (c < 10 ? "L0" : "L") + std::to_string(c) + "\n";
  mix += "* end\n";
  for (std::size_t k = 0; k < fish.size(); ++k) mix += std::to_string(k) + "f " + fish[k] + "\n";
  test::WriteFile(dir / "rec1.mix", mix);
  std::string ctl = ReadFile(data / "chinook_rec1.ctl");
  ctl.replace(ctl.find("* Options\n"), 10, "* Options\nPrint tables: yes\n");
  ctl.replace(ctl.find("chinook_rec1.mix"), 16, "rec1.mix");
  test::WriteFile(dir / "rec1.ctl", ctl);
  fs::copy_file(data / "chinook.bse", dir.Path() / "chinook.bse");
  const test::CommandResult r = test::RunVelk("rec1.ctl", dir.Path().string());
  ASSERT_EQ(r.status, 0) << r.output << ReadFile(dir / "rec1.log");

  // The baseline: population names and, locus by locus, the two counts.
  std::vector<std::string> names;
  std::vector<std::vector<std::pair<int, int>>> counts;
  for (const std::string& line : test::ReadLines(data / "chinook.bse")) {
    std::istringstream words(line);
    std::string first, name;
    int c1 = 0, c2 = 0;
    if (line.starts_with("#") && words >> first >> first >> name) {
      names.push_back(name);
      counts.emplace_back();
    } else if (!counts.empty() && words >> first >> c1 >> c2) {
      counts.back().push_back({c1, c2});
    }
  }
  std::vector<double> theta;
  for (const Row& row : ReadCsv(ReadFile(dir / "chinook_rec1.estimates.csv")))
    if (row.at("level") == "0") theta.push_back(std::stod(row.at("estimate")));
  ASSERT_EQ(theta.size(), names.size());
  const std::vector<Row> ind = ReadCsv(ReadFile(dir / "chinook_rec1.individuals.csv"));
  ASSERT_EQ(ind.size(), fish.size());
  for (std::size_t k = 0; k < fish.size(); ++k) {
    std::istringstream fields(fish[k]);
    std::vector<double> logp(names.size(), 0.0);
    int scored = 0;
    std::string locus;
    for (std::size_t c = 0; fields >> locus; ++c) {
      const int x1 = locus[0] - '0', x2 = locus[1] - '0';
      scored += x1 + x2 > 0;
      for (std::size_t i = 0; i < names.size() && x1 + x2 > 0; ++i) {
        const auto [c1, c2] = counts[i][c];
        // A population without data at the locus: even frequencies.
        const double f1 = c1 + c2 > 0 ? static_cast<double>(c1) / (c1 + c2) : 0.5;
        logp[i] += (x1 ? x1 * std::log(f1) : 0) + (x2 ? x2 * std::log(1.0 - f1) : 0) +
                   (x1 == 1 ? std::log(2.0) : 0);
      }
    }
    const double top = *std::max_element(logp.begin(), logp.end());
    std::vector<double> w(names.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < names.size(); ++i) sum += w[i] = theta[i] * std::exp(logp[i] - top);
    const std::size_t best =
        static_cast<std::size_t>(std::max_element(w.begin(), w.end()) - w.begin());
    const Row& row = ind[k];
    EXPECT_EQ(row.at("id"), std::to_string(k) + "f");
    EXPECT_EQ(std::stoi(row.at("characters_scored")), scored) << k;
    EXPECT_EQ(row.at("population"), std::to_string(best + 1)) << "fish " << k + 1;
    EXPECT_NEAR(std::stod(row.at("population_posterior")), w[best] / sum, 1e-9) << k;
    EXPECT_NEAR(std::stod(row.at("log_likelihood")), logp[best], 1e-9 * std::fabs(logp[best]));
  }

  // The long form holds every posterior of at least 1e-6, and they sum to
  // nearly 1 for each fish.
  std::vector<double> total(fish.size(), 0.0);
  for (const Row& row : ReadCsv(ReadFile(dir / "chinook_rec1.posteriors.csv"))) {
    EXPECT_GE(std::stod(row.at("posterior")), 1e-6);
    total[std::stoul(row.at("record")) - 1] += std::stod(row.at("posterior"));
  }
  for (double t : total) EXPECT_NEAR(t, 1.0, 1e-4);
}

}  // namespace
}  // namespace velk
