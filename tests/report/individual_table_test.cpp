// Per-individual assignments: the z-score's mean and variance are those of
// fish drawn from the population; on the chinook data the most likely
// population agrees with a per-fish posterior computed here from the files.
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
using test::RunVelk;
using test::TempDir;
using test::WriteFile;

// Fish drawn from a population: their z-scores have mean 0 and variance 1, for
// characters of one, two and four copies.
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
  Mat<double> freq(maxtyp, nc, 0.0);
  for (int c = 1; c <= nc; ++c) {
    const std::vector<double>& fc = freqs[static_cast<std::size_t>(c % 5)];
    run.chars(c).ntypes = static_cast<int>(fc.size());
    run.chars(c).ploidy = ploidy[c % 5];
    for (std::size_t k = 0; k < fc.size(); ++k) freq(static_cast<int>(k) + 1, c) = fc[k];
  }
  std::mt19937_64 gen(20261206);
  FitCache cache;
  double sum = 0.0, sq = 0.0;
  const int nfish = 20000;
  std::vector<std::int8_t> copies(static_cast<std::size_t>(maxtyp * nc));
  for (int n = 0; n < nfish; ++n) {
    std::fill(copies.begin(), copies.end(), 0);
    for (int c = 1; c <= nc; ++c) {
      // Every third fish misses character 1 and 2: unscored characters are left out.
      if (n % 3 == 0 && c <= 2) continue;
      const std::vector<double>& fc = freqs[static_cast<std::size_t>(c % 5)];
      std::discrete_distribution<int> type(fc.begin(), fc.end());
      const int draws = run.chars(c).ploidy < 2 ? 1 : run.chars(c).ploidy;
      for (int d = 0; d < draws; ++d) ++copies[static_cast<std::size_t>((c - 1) * maxtyp + type(gen))];
    }
    const GenotypeFit fit = FitGenotype(run, freq, copies.data(), &cache);
    const double z = (fit.log_likelihood - fit.mean) / std::sqrt(fit.variance);
    sum += z;
    sq += z * z;
  }
  const double mean = sum / nfish;
  EXPECT_NEAR(mean, 0.0, 0.02);
  EXPECT_NEAR(sq / nfish - mean * mean, 1.0, 0.03);

  // Fish of a population whose frequencies are the reverse stand far out.
  Mat<double> other = freq;
  for (int c = 1; c <= nc; ++c)
    for (int k = 1; k <= run.chars(c).ntypes; ++k)
      other(k, c) = freq(run.chars(c).ntypes + 1 - k, c);
  std::fill(copies.begin(), copies.end(), 0);
  double foreign = 0.0;
  for (int n = 0; n < 1000; ++n) {
    std::fill(copies.begin(), copies.end(), 0);
    for (int c = 1; c <= nc; ++c) {
      std::vector<double> fc;
      for (int k = 1; k <= run.chars(c).ntypes; ++k) fc.push_back(other(k, c));
      std::discrete_distribution<int> type(fc.begin(), fc.end());
      const int draws = run.chars(c).ploidy < 2 ? 1 : run.chars(c).ploidy;
      for (int d = 0; d < draws; ++d) ++copies[static_cast<std::size_t>((c - 1) * maxtyp + type(gen))];
    }
    const GenotypeFit fit = FitGenotype(run, freq, copies.data(), &cache);
    foreign += (fit.log_likelihood - fit.mean) / std::sqrt(fit.variance) / 1000.0;
  }
  EXPECT_LT(foreign, -3.0);
}

// --------------------------------------------------------------- chinook rec1

const fs::path kChinook = fs::path(VELK_SHARED_DATA) / "chinook";

// Baseline counts: population -> locus -> the two counts.
using Baseline = std::vector<std::pair<std::string, std::vector<std::pair<int, int>>>>;
Baseline ReadBaseline() {
  Baseline b;
  std::istringstream in(ReadFile(kChinook / "chinook.bse"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "#") {
      std::string id, name;
      words >> id >> name;
      b.push_back({name, {}});
    } else if (!first.empty() && !b.empty()) {
      int c1 = 0, c2 = 0;
      words >> c1 >> c2;
      b.back().second.push_back({c1, c2});
    }
  }
  return b;
}

// The rec1 fish (lines of chinook_rec1.mix) and their IDs.
struct Fish {
  std::string id;
  std::string fields;  // the record as it stands
};
std::vector<Fish> ReadRec1() {
  std::vector<Fish> fish;
  std::istringstream mix(ReadFile(kChinook / "chinook_rec1.mix"));
  for (std::string line; std::getline(mix, line);) fish.push_back({"", line});
  std::istringstream ids(ReadFile(kChinook / "mixture_individuals.tsv"));
  std::string line;
  std::getline(ids, line);
  while (std::getline(ids, line)) {
    std::istringstream w(line);
    std::string n, id, collection, missing;
    int at = 0;
    w >> n >> id >> collection >> missing >> at;
    if (collection == "rec1" && at >= 1 && at <= static_cast<int>(fish.size()))
      fish[static_cast<std::size_t>(at - 1)].id = id;
  }
  return fish;
}

// rec1 with an ID field in front of the loci, and a control file with the
// tables on.
void WriteRun(const fs::path& dir, const std::vector<Fish>& fish) {
  std::string mix = "* characters\nID\n";
  for (int c = 1; c <= 91; ++c) mix += (c < 10 ? "L0" : "L") + std::to_string(c) + "\n";
  mix += "* end\n";
  for (const Fish& f : fish) mix += f.id + " " + f.fields + "\n";
  WriteFile(dir / "rec1.mix", mix);
  std::string ctl = ReadFile(kChinook / "chinook_rec1.ctl");
  ctl.replace(ctl.find("* Options\n"), 10, "* Options\nPrint tables: yes\n");
  ctl.replace(ctl.find("chinook_rec1.mix"), 16, "rec1.mix");
  WriteFile(dir / "rec1.ctl", ctl);
  fs::copy_file(kChinook / "chinook.bse", dir / "chinook.bse");
}

TEST(IndividualTables, ChinookAssignmentsAgreeWithAPerFishPosterior) {
  if (!fs::exists(kChinook / "chinook_rec1.ctl")) GTEST_SKIP() << "no chinook data";
  TempDir dir;
  const std::vector<Fish> fish = ReadRec1();
  ASSERT_EQ(fish.size(), 743u);
  WriteRun(dir.Path(), fish);
  const test::CommandResult r = RunVelk("rec1.ctl", dir.Path().string());
  ASSERT_EQ(r.status, 0) << r.output << ReadFile(dir / "rec1.log");

  // The proportions as estimated, then every fish's posterior from the files.
  std::vector<double> theta;
  for (const Row& row : ReadCsv(ReadFile(dir / "chinook_rec1.estimates.csv")))
    if (row.at("level") == "0") theta.push_back(std::stod(row.at("estimate")));
  const Baseline base = ReadBaseline();
  ASSERT_EQ(theta.size(), base.size());
  const std::vector<Row> ind = ReadCsv(ReadFile(dir / "chinook_rec1.individuals.csv"));
  ASSERT_EQ(ind.size(), fish.size());
  int mismatched = 0;
  for (std::size_t k = 0; k < fish.size(); ++k) {
    std::istringstream fields(fish[k].fields);
    std::vector<std::string> loci;
    for (std::string w; fields >> w;) loci.push_back(w);
    std::vector<double> logp(base.size(), 0.0);
    int scored = 0;
    for (std::size_t c = 0; c < loci.size(); ++c) {
      const int x1 = loci[c][0] - '0', x2 = loci[c][1] - '0';
      if (x1 + x2 == 0) continue;
      ++scored;
      for (std::size_t i = 0; i < base.size(); ++i) {
        const auto [c1, c2] = base[i].second[c];
        // A population without data at the locus: even frequencies.
        const double f1 = c1 + c2 > 0 ? static_cast<double>(c1) / (c1 + c2) : 0.5;
        if (x1 > 0) logp[i] += x1 * std::log(f1);
        if (x2 > 0) logp[i] += x2 * std::log(1.0 - f1);
        if (x1 == 1) logp[i] += std::log(2.0);
      }
    }
    const double top = *std::max_element(logp.begin(), logp.end());
    std::vector<double> w(base.size());
    double sum = 0.0;
    for (std::size_t i = 0; i < base.size(); ++i) sum += w[i] = theta[i] * std::exp(logp[i] - top);
    const std::size_t best = static_cast<std::size_t>(std::max_element(w.begin(), w.end()) - w.begin());
    const Row& row = ind[k];
    EXPECT_EQ(row.at("record"), std::to_string(k + 1));
    EXPECT_EQ(row.at("id"), fish[k].id);
    EXPECT_EQ(std::stoi(row.at("characters_scored")), scored) << k;
    if (std::stoul(row.at("population")) != best + 1) ++mismatched;
    EXPECT_EQ(row.at("population_name"), base[best].first) << "fish " << k + 1;
    EXPECT_NEAR(std::stod(row.at("population_posterior")), w[best] / sum, 1e-9) << k;
    EXPECT_NEAR(std::stod(row.at("log_likelihood")), logp[best], 1e-9 * std::fabs(logp[best]));
  }
  EXPECT_EQ(mismatched, 0);

  // The long form holds every posterior of at least 1e-6, and they sum to
  // nearly 1 for each fish.
  std::vector<double> total(fish.size(), 0.0);
  for (const Row& row : ReadCsv(ReadFile(dir / "chinook_rec1.posteriors.csv"))) {
    const double p = std::stod(row.at("posterior"));
    EXPECT_GE(p, 1e-6);
    total[std::stoul(row.at("record")) - 1] += p;
  }
  for (double t : total) EXPECT_NEAR(t, 1.0, 1e-4);
}

}  // namespace
}  // namespace velk
