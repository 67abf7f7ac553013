// Hundred percent simulations: every unit's resamples are those of a simulation
// control file of its own (its true proportions, its seeds, a fresh process),
// whatever the number of threads.
#include "resample/hundred.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/reports.hpp"
#include "support/csv_read.hpp"
#include "support/held_out.hpp"
#include "support/resample_runs.hpp"
#include "support/shared_data.hpp"
#include "support/tiny_reports.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

// The resample lines of unit `unit` in a hundred percent .rsm file.
std::string UnitBlock(const std::string& rsm, int unit) {
  std::istringstream in(rsm);
  std::string line, block;
  int at = 0;
  while (std::getline(in, line)) {
    if (line.rfind("Unit", 0) == 0)
      at = std::stoi(line.substr(4));
    else if (at == unit)
      block += line + "\n";
  }
  return block;
}

// `text` with every `from` of the list replaced by its `to`.
std::string Edit(std::string text, const std::vector<std::pair<std::string, std::string>>& edits) {
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

TEST(HundredPercent, SeedsOfTheUnits) {
  struct Case {
    int seed, seco, u, unit_seed, unit_seco;
  };
  for (Case c :
       {Case{-12345, 54321, 2, -7666666, 7708642}, Case{0, 0, 1, 0, 0},
        Case{-20000000, 20000000, 1, 0, 0}, Case{-9999999, 9999999, 2, -7654320, 7654320}}) {
    EXPECT_EQ(HundredSeed(c.seed, c.u), c.unit_seed) << c.seed << " " << c.u;
    EXPECT_EQ(HundredSecondSeed(c.seco, c.u), c.unit_seco) << c.seco << " " << c.u;
  }
}

// The three stocks (Coast without sample at L5, so that the simulation draws
// that entry from the prior) under the Rannala-Mountain model, by population
// and by region: the reports as once checked against each unit's own control
// file, the same on one thread and on two.
TEST(HundredPercent, ReportsAsCheckedOnOneThreadAndTwo) {
  const std::string options =
      "Resample baseline: yes\nRannala-Mountain model: yes\nPrint bootstrap estimates: yes\n"
      "Print likelihoods: yes\nPrint tables: yes\n";
  const std::string parameters = "Number of resamples: 4\nSize: 40\nSeed: 4242\nSecond seed: 777\n";
  for (const std::string units : {"population", "region"}) {
    std::map<std::string, std::string> outputs[2];
    for (int threads : {1, 2}) {
      test::ResampleAnalysis a(test::kLoci, true);
      const Outcome out = a.Go(
          test::ResampleControl(
              true, options + "Hundred percent simulations: yes by " + units + "\n", parameters),
          threads);
      ASSERT_FALSE(out.aborted) << a.Log();
      outputs[threads - 1] = a.Outputs();
      std::string& log = outputs[threads - 1]["three.log"];
      for (std::size_t at; (at = log.find(a.dir.Path().string())) != std::string::npos;)
        log.replace(at, a.dir.Path().string().size(), "DIR");
      // The report and its table, in place of a simulation's.
      EXPECT_TRUE(out.flags[Report::kHundredPercent] && !out.flags[Report::kSimulation]);
      EXPECT_EQ(out.table_flags, (std::array<int, kTableCount>{0, 0, 0, 0, 0, 0, 1, 0}));
    }
    EXPECT_EQ(outputs[0], outputs[1]) << "one thread and two";
    EXPECT_NE(outputs[0]["three.log"].find("       population Coast, character L5\n"),
              std::string::npos)
        << "the entry without data is drawn from the prior";
    for (const char* ext : {".hps", ".hps.csv", ".rsm", ".rlk"})
      test::ExpectGolden(outputs[0]["out/three" + std::string(ext)], "hundred_" + units + ext);
  }
}

// The chinook baseline as it is (four entries without data) under the
// Rannala-Mountain model, by region: three units, among them the two whose
// populations lack entries, against control files of their own.
TEST(HundredPercent, ChinookUnitsAgreeWithTheirOwnControlFiles) {
  const fs::path data = test::ChinookData();
  VELK_REQUIRE_SHARED_DATA(data / "chinook_mix_rm.ctl");
  const std::string base = test::ReadFile(data / "chinook_mix_rm.ctl");
  const std::vector<std::pair<std::string, std::string>> common = {
      {"chinook.bse", (data / "chinook.bse").string()},
      {"Mixture file: chinook_mix.mix\n", ""},
      {"Compute jackknife: yes\n", "Resample baseline: yes\nPrint bootstrap estimates: yes\n"},
      {"Maximum number of genotypes: 2500\n",
       "Maximum number of genotypes: 200\n"
       "Number of resamples: 3\nSize: 200\n"}};
  test::TempDir dir;
  std::string hundred = Edit(base, common);
  hundred = Edit(hundred, {{"* Estimation:", "* Simulation:"},
                           {"Rannala-Mountain model: yes\n",
                            "Rannala-Mountain model: yes\nHundred percent simulations: yes by "
                            "region\n"},
                           {"Output file: chinook_mix_rm", "Output file: " + (dir / "hps")},
                           {"* Files", "Seed: 31337\nSecond seed: 2718\n* Files"}});
  test::WriteFile(dir / "hps.ctl", hundred);
  ASSERT_EQ(test::RunVelk("'" + dir / "hps.ctl" + "'").status, 0)
      << test::ReadFile(dir / "hps.log");
  const std::string rsm = test::ReadFile(dir / "hps.rsm");
  // Regions 1 (eleven populations), 35 (Sinona_Ck, one entry without data) and
  // 39 (California_Coho, three).
  for (int unit : {1, 35, 39}) {
    SCOPED_TRACE(unit);
    // The populations table with 1 for the unit's populations and 0 elsewhere.
    std::string text = Edit(base, common);
    const std::size_t from = text.find("[ID #] [Population] [Lev1]\n");
    const std::size_t to = text.find("* Regions");
    std::istringstream rows(text.substr(from, to - from));
    std::string line, table;
    std::getline(rows, line);
    table = "[ID #] [Population] [Lev1] [Estimate]\n";
    while (std::getline(rows, line)) {
      const int label = std::stoi(line.substr(line.rfind(':') + 1));
      table += line + (label == unit ? " 1\n" : " 0\n");
    }
    text.replace(from, to - from, table);
    text =
        Edit(text,
             {{"* Estimation:", "* Simulation:"},
              {"Output file: chinook_mix_rm", "Output file: " + (dir / "alone")},
              {"* Files", "Seed: " + std::to_string(HundredSeed(-31337, unit)) + "\nSecond seed: " +
                              std::to_string(HundredSecondSeed(2718, unit)) + "\n* Files"}});
    test::WriteFile(dir / "alone.ctl", text);
    ASSERT_EQ(test::RunVelk("'" + dir / "alone.ctl" + "'").status, 0);
    const std::string own = test::ReadFile(dir / "alone.rsm");
    const std::string block = UnitBlock(rsm, unit);
    std::size_t at = 0;  // past the header and the 69 populations' true proportions
    for (int k = 1; k < 3 + 69; ++k) at = own.find('\n', at) + 1;
    EXPECT_EQ(block, own.substr(at));
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 3);
  }
}

// Four populations of 40 reference individuals at 2,000 close SNPs: held-out
// individuals give every unit the mean share that drawing, scoring and EM
// apart from the engine give (within four Monte Carlo errors), far below the
// in-sample share, and the same bytes on one thread and two; scenarios of one
// unit alone repeat those units.
TEST(HundredPercent, HeldOutIndividualsAgreeWithAComputationApart) {
  constexpr int kPops = 4, kPerPop = 40, kLoci = 2000, kSize = 60, kResamples = 40;
  test::SnpBaseline b = test::CloseSnps(kPops, kPerPop, kLoci, 0.06, 20261207);
  test::TempDir dir;
  test::WriteFile(dir / "snp.bse", test::SnpBaselineFile(b, kPerPop));
  test::WriteFile(dir / "snp.ref", test::SnpReferenceFile(b));
  test::WriteFile(dir / "snp.scn", "P1 alone : P1 = 1\nP2 alone : 2 = 1\n");
  auto control = [&](const std::string& kind, const std::string& out) {
    std::ostringstream s;
    const bool scenarios = out == "scn";
    s << "* Simulation: close SNPs\n* Options\n"
      << (scenarios ? "" : "Hundred percent simulations: yes\n")
      << "Simulated individuals: " << kind << "\nPrint tables: yes\n* Parameters\n"
      << "Number of characters: " << kLoci << "\nNumber of stocks: " << kPops
      << "\nMaximum number of genotypes: " << kSize << "\nMaximum number of iterations: 2000\n"
      << "Estimate tolerance: 0.0000001\nNumber of resamples: " << kResamples << "\nSize: " << kSize
      << "\nSeed: 4242\nSecond seed: 777\n* Files\nBaseline file: snp.bse\n"
      << "Reference individuals file: snp.ref\n"
      << (scenarios ? "Scenarios file: snp.scn\n" : "") << "Output file: " << out
      << "\n* Characters\n[ID #] [# Types] [Character] [Kind]\n";
    for (int l = 1; l <= kLoci; ++l) s << l << " 2 L" << l << " : locus\n";
    s << "* Populations\n[ID #] [Population] [Lev1]\n";
    for (int i = 1; i <= kPops; ++i) s << i << " P" << i << " : " << i << "\n";
    s << "* Regions\n[Level] [Label] [Region]\n";
    for (int i = 1; i <= kPops; ++i) s << "1 " << i << " R" << i << "\n";
    return s.str() + "* Run\n";
  };
  // Per unit: its mean and standard deviation over the resamples.
  auto own_shares = [&](const std::string& out) {
    std::vector<std::pair<double, double>> shares;
    for (const test::Row& row : test::ReadCsv(test::ReadFile(dir / (out + ".hps.csv"))))
      if (row.at("scenario") == row.at("estimated"))
        shares.emplace_back(std::stod(row.at("mean")), std::stod(row.at("sd")));
    return shares;
  };
  std::string reports[2];
  for (const auto& [kind, out, threads] :
       {std::tuple{"held out", "held", 1}, std::tuple{"held out", "held2", 2},
        std::tuple{"in sample", "in", 1}, std::tuple{"held out", "scn", 2}}) {
    test::WriteFile(dir / (std::string(out) + ".ctl"), control(kind, out));
    ASSERT_EQ(test::RunVelk("--threads " + std::to_string(threads) + " " + out + ".ctl",
                            dir.Path().string())
                  .status,
              0)
        << test::ReadFile(dir / (std::string(out) + ".log"));
    if (threads == 2) reports[1] = test::ReadFile(dir / "held2.hps.csv");
  }
  reports[0] = test::ReadFile(dir / "held.hps.csv");
  EXPECT_EQ(reports[0], reports[1]) << "one thread and two";
  // Scenarios of the first two units alone repeat those units, held out too.
  const std::vector<test::Row> scn = test::ReadCsv(test::ReadFile(dir / "scn.scenarios.csv"));
  ASSERT_EQ(scn.size(), 2U * kPops);
  int same = 0;
  for (const test::Row& hps : test::ReadCsv(reports[0]))
    for (const test::Row& row : scn)
      if (row.at("unit") == hps.at("estimated") &&
          row.at("scenario") == hps.at("scenario") + " alone") {
        EXPECT_EQ(row.at("mean") + " " + row.at("sd"), hps.at("mean") + " " + hps.at("sd"));
        ++same;
      }
  EXPECT_EQ(same, 2 * kPops);
  const std::vector<double> lp = test::HeldOutLogP(b, kPerPop);
  const auto held = own_shares("held"), in = own_shares("in");
  ASSERT_EQ(held.size(), static_cast<std::size_t>(kPops));
  ASSERT_EQ(in.size(), static_cast<std::size_t>(kPops));
  constexpr int kApart = 200;
  for (int k = 0; k < kPops; ++k) {
    const double apart = test::HeldOutMean(b, lp, k, kSize, kApart, 99 + k);
    const double error = held[k].second * std::sqrt(1.0 / kResamples + 1.0 / kApart);
    EXPECT_NEAR(held[k].first, apart, 4.0 * error + 1e-3) << "unit " << k + 1;
    EXPECT_LT(held[k].first, in[k].first - 0.1) << "unit " << k + 1;
  }
}

}  // namespace
}  // namespace velk
