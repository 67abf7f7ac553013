// Hundred percent simulations: every unit's resamples are those of a simulation
// control file of its own (its true proportions, its seeds, a fresh process),
// whatever the number of threads.
#include "resample/hundred.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/resample_runs.hpp"

namespace velk {
namespace {

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

// Lines first..last (1-based) of `text`.
std::string Lines(const std::string& text, int first, int last) {
  std::istringstream in(text);
  std::string line, out;
  for (int k = 1; std::getline(in, line) && k <= last; ++k)
    if (k >= first) out += line + "\n";
  return out;
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
       {Case{-12345, 54321, 1, -12345, 54321}, Case{-12345, 54321, 2, -7666666, 7708642},
        Case{-12345, 54321, 3, -5320987, 5362963}, Case{0, 0, 1, 0, 0},
        Case{-20000000, 20000000, 1, 0, 0}, Case{-9999999, 9999999, 2, -7654320, 7654320}}) {
    EXPECT_EQ(HundredSeed(c.seed, c.u), c.unit_seed) << c.seed << " " << c.u;
    EXPECT_EQ(HundredSecondSeed(c.seco, c.u), c.unit_seco) << c.seco << " " << c.u;
  }
}

constexpr const char* kTruthRows = "1 North : 1 0.5\n2 South : 1 0.3\n3 Coast : 2 0.2\n";

// The three stocks (Coast without sample at L5, so that (a) the simulation
// draws that entry from the prior) under the Rannala-Mountain model: by
// population and by region, each unit against its own control file, and the
// whole output the same on one thread and on two.
TEST(HundredPercent, EveryUnitIsItsOwnSimulation) {
  const std::string options =
      "Resample baseline: yes\nRannala-Mountain model: yes\nPrint bootstrap estimates: yes\n"
      "Print likelihoods: yes\nPrint tables: yes\n";
  const std::string parameters = "Number of resamples: 4\nSize: 40\nSeed: 4242\nSecond seed: 777\n";
  struct Case {
    const char* units;
    std::vector<std::string> rows;  // the populations table of each unit's own control file
  };
  for (const Case& c : {Case{"population",
                             {"1 North : 1 1\n2 South : 1 0\n3 Coast : 2 0\n",
                              "1 North : 1 0\n2 South : 1 1\n3 Coast : 2 0\n",
                              "1 North : 1 0\n2 South : 1 0\n3 Coast : 2 1\n"}},
                        Case{"region",
                             {"1 North : 1 1\n2 South : 1 1\n3 Coast : 2 0\n",
                              "1 North : 1 0\n2 South : 1 0\n3 Coast : 2 1\n"}}}) {
    SCOPED_TRACE(c.units);
    const std::string hundred = test::ResampleControl(
        true, options + "Hundred percent simulations: yes by " + c.units + "\n", parameters);
    std::map<std::string, std::string> outputs[2];
    std::string rsm, rlk;
    std::array<int, kTableCount> listed{};
    for (int threads : {1, 2}) {
      test::ResampleAnalysis a(test::kLoci, true);
      const Outcome out = a.Go(hundred, threads);
      ASSERT_FALSE(out.aborted) << a.Log();
      outputs[threads - 1] = a.Outputs();
      listed = out.table_flags;
      std::string& log = outputs[threads - 1]["three.log"];
      for (std::size_t at; (at = log.find(a.dir.Path().string())) != std::string::npos;)
        log.replace(at, a.dir.Path().string().size(), "DIR");
      rsm = a.Report(".rsm");
      rlk = a.Report(".rlk");
      const std::string units = std::to_string(c.rows.size());
      EXPECT_NE(
          a.platform.LastStatus().find("Unit " + units + " of " + units + ", resample 4 of 4"),
          std::string::npos);
    }
    EXPECT_EQ(outputs[0], outputs[1]) << "one thread and two";
    EXPECT_NE(outputs[0]["three.log"].find("       population Coast, character L5\n"),
              std::string::npos)
        << "the entry without data is drawn from the prior";
    const std::string hps = outputs[0]["out/three.hps"];
    // The long table: a header and a row per scenario and estimated unit;
    // listed with the report, in place of a simulation's tables.
    const std::string csv = outputs[0]["out/three.hps.csv"];
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + c.rows.size() * c.rows.size());
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "\"scenario\",\"estimated\",\"mean\",\"sd\",\"rmse\"\r");
    EXPECT_EQ(listed, (std::array<int, kTableCount>{0, 0, 0, 0, 0, 0, 1, 1, 0, 0}));

    for (int u = 1; u <= static_cast<int>(c.rows.size()); ++u) {
      SCOPED_TRACE(u);
      const std::string seed = std::to_string(HundredSeed(-4242, u));
      const std::string seco = std::to_string(HundredSecondSeed(777, u));
      EXPECT_NE(hps.find(seed + std::string(11 - seco.size(), ' ') + seco + "\n"),
                std::string::npos);
      test::ResampleAnalysis alone(test::kLoci, true);
      const std::string control = Edit(
          test::ResampleControl(true, options, parameters),
          {{"Seed: 4242\nSecond seed: 777\n", "Seed: " + seed + "\nSecond seed: " + seco + "\n"},
           {kTruthRows, c.rows[static_cast<std::size_t>(u) - 1]}});
      ASSERT_FALSE(alone.Go(control, 1).aborted) << alone.Log();
      const std::string own = alone.Report(".rsm");
      EXPECT_EQ(UnitBlock(rsm, u), Lines(own, 3 + test::kStocks, 1 << 20));
      EXPECT_EQ(Lines(rlk, 4 * u - 3, 4 * u), alone.Report(".rlk"));
    }
  }
}

}  // namespace
}  // namespace velk
