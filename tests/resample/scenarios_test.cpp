// Scenario simulations: a scenario is a hundred percent unit's simulation with
// its own true shares, so one that gives a unit the share 1.0 repeats that
// unit; every faulty input is a numbered message; Dirichlet shares vary within
// their region and keep its total.
#include "resample/scenarios.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/reports.hpp"
#include "core/run.hpp"
#include "numeric/random.hpp"
#include "support/csv_read.hpp"
#include "support/resample_runs.hpp"

namespace velk {
namespace {

// The lines after each line that begins with `word` in an .rsm file, by number.
std::map<int, std::string> Blocks(const std::string& rsm, const std::string& word) {
  std::istringstream in(rsm);
  std::string line;
  std::map<int, std::string> blocks;
  int at = 0;
  while (std::getline(in, line)) {
    if (line.rfind(word, 0) == 0)
      at = std::stoi(line.substr(word.size()));
    else if (at > 0)
      blocks[at] += line + "\n";
  }
  return blocks;
}

const std::string kOptions =
    "Resample baseline: yes\nRannala-Mountain model: yes\nPrint bootstrap estimates: yes\n"
    "Print tables: yes\n";
const std::string kParameters = "Number of resamples: 5\nSize: 40\nSeed: 4242\nSecond seed: 777\n";

// The scenarios "NAME alone" that give unit 1, then unit 2, the share 1.0 are
// hundred percent units 1 and 2 resample for resample (one thread and two).
TEST(Scenarios, OneUnitAloneRepeatsItsHundredPercentUnit) {
  struct Case {
    std::string units, scenarios;
  };
  for (const Case& c : {Case{"population", "North alone : North = 1\nSouth alone : 2 = 1.0\n"},
                        Case{"region", "Inland alone : Inland = 1\nSeaward alone: 2=1\n"}}) {
    SCOPED_TRACE(c.units);
    test::ResampleAnalysis a(test::kLoci, true);
    const Outcome hundred = a.Go(test::ResampleControl(
        true, kOptions + "Hundred percent simulations: yes by " + c.units + "\n", kParameters));
    ASSERT_FALSE(hundred.aborted) << a.Log();
    const std::string rsm = a.Report(".rsm");
    std::map<std::string, test::Row> units;
    for (const test::Row& row : test::ReadCsv(a.Report(".hps.csv")))
      if (row.at("scenario") == row.at("estimated")) units[row.at("scenario")] = row;

    test::WriteFile(a.dir / "three.scn", "\\ each unit alone\n\n" + c.scenarios);
    std::string runs[2];
    for (int threads : {1, 2}) {
      std::string control =
          test::ResampleControl(true, kOptions + "Scenario units: " + c.units + "s\n", kParameters);
      control.replace(control.find("* Characters"), 0, "Scenarios file: three.scn\n");
      const Outcome out = a.Go(control, threads);
      ASSERT_FALSE(out.aborted) << a.Log();
      EXPECT_TRUE(out.flags[Report::kScenarios] && !out.flags[Report::kSimulation]);
      runs[threads - 1] = a.Report(".sco") + a.Report(".scenarios.csv") + a.Report(".rsm");
    }
    EXPECT_EQ(runs[0], runs[1]) << "one thread and two";
    std::map<int, std::string> alone = Blocks(rsm, "Unit");
    alone.erase(3);  // the third population, no scenario of its own
    EXPECT_EQ(Blocks(a.Report(".rsm"), "Scenario"), alone);
    const std::vector<test::Row> rows = test::ReadCsv(a.Report(".scenarios.csv"));
    ASSERT_EQ(rows.size(), c.units == "region" ? 4U : 6U);
    for (const test::Row& row : rows) {
      if (row.at("true_share") != "1") continue;
      const test::Row& unit = units.at(row.at("unit"));
      for (const char* column : {"mean", "sd", "rmse", "share_0.9_or_more", "seed", "second_seed"})
        EXPECT_EQ(row.at(column), unit.at(column)) << row.at("unit") << " " << column;
    }
  }
}

// Every faulty setting or scenario line: its message, naming line and field.
TEST(Scenarios, FaultyInputsAreNumberedMessages) {
  struct Case {
    std::string options, parameters, scenarios;
    int number;
    std::string text;
  };
  const std::string regions = "Scenario units: regions\n";
  const std::vector<Case> cases = {
      {"Scenario units: rivers\n", "", "A : North = 1\n", 2060, "\"rivers\""},
      {"Within-region shares: uneven\n", "", "A : North = 1\n", 2061, "\"uneven\""},
      {regions, "Dirichlet concentration: -2\n", "A : 1 = 1\n", 2062, "positive, not"},
      {"", "", "\\ no name\n: North = 1\n", 2063, "Line 2 of the scenarios file"},
      {"", "", "A : North = 1\nA : South = 1\n", 2063, "the name A is that of line 1"},
      {"", "", "A :\n", 2063, "no unit and share"},
      {"", "", "A : North = 0.5, South 0.5\n", 2064, "Field 2 of line 1"},
      {"", "", "A : North = 0,5, South = 0.5\n", 2064, "Field 2 of line 1"},
      {"", "", "A : North = 1.5\n", 2065, "\"1.5\""},
      {"", "", "A : North = half\n", 2065, "\"half\""},
      {"", "", "A : Nowhere = 1\n", 2066, "names no population: \"Nowhere\""},
      {regions, "", "A : 3 = 1\n", 2066, "names no region of level 1: \"3\""},
      {"", "", "A : North = 0.5, 1 = 0.5\n", 2067, "\"1\" a second time"},
      {"", "", "A : North = 0.5, South = 0.4\n", 2068, "sum to 0.90000000,"},
      {"", "", "\\ nothing\n", 2069, "holds no scenario"},
      {"Hundred percent simulations: yes\n", "", "A : North = 1\n", 3060, "not both"},
      {"", "", "", 3006, "Could not open scenarios file"},  // no file written
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    test::ResampleAnalysis a;
    if (c.number != 3006) test::WriteFile(a.dir / "three.scn", c.scenarios);
    std::string control = test::ResampleControl(true, c.options, kParameters + c.parameters);
    control.replace(control.find("* Characters"), 0, "Scenarios file: three.scn\n");
    const Outcome out = a.Go(control);
    EXPECT_TRUE(out.aborted);
    bool found = false;
    for (const RunMessage& m : out.messages)
      found = found || (m.number == c.number && m.text.find(c.text) != std::string::npos);
    EXPECT_TRUE(found) << a.Log();
    if (c.number >= 2063 && c.number <= 2069) {
      EXPECT_NE(a.Log().find("three.scn"), std::string::npos) << "the file is named";
    }
  }
}

// Regions {1, 2} at 0.7 and {3} at 0.3: the shares of populations 1 and 2
// differ from draw to draw and always sum to 0.7; population 3 keeps 0.3.
// A run with such draws repeats itself on any number of threads.
TEST(Scenarios, DirichletSharesVaryWithinTheirRegion) {
  Process process;
  ZBQLINI(process, 777);
  WithinRegionShares w{.concentration = 1.5, .members = {{1, 2}, {3}}, .region_share = {}};
  w.region_share = Vec<double>(2, 0.7);
  w.region_share(2) = 0.3;
  constexpr int kDraws = 400;
  double sum = 0.0, sq = 0.0;
  for (int k = 0; k < kDraws; ++k) {
    Vec<double> e(3, 0.35);
    e(3) = 0.3;
    DrawWithinRegion(process, w, e);
    EXPECT_NEAR(e(1) + e(2), 0.7, 1e-12);
    EXPECT_EQ(e(3), 0.3);
    EXPECT_GT(e(1), 0.0);
    sum += e(1);
    sq += e(1) * e(1);
  }
  // Population 1's share is 0.7 times a Beta(1.5, 1.5): mean 0.35, sd 0.7 / 4.
  const double mean = sum / kDraws;
  const double sd = std::sqrt((sq - kDraws * mean * mean) / (kDraws - 1));
  EXPECT_NEAR(mean, 0.35, 4 * 0.175 / std::sqrt(kDraws));
  EXPECT_NEAR(sd, 0.175, 0.02);

  // In a run: the same bytes on one thread and two, every region at its share.
  test::ResampleAnalysis a;
  test::WriteFile(a.dir / "three.scn", "Mix : Inland = 0.6, Seaward = 0.4\n");
  std::string control =
      test::ResampleControl(true,
                            kOptions +
                                "Print likelihoods: yes\nScenario units: regions\n"
                                "Within-region shares: Dirichlet\n",
                            kParameters + "Dirichlet concentration: 0.5\n");
  control.replace(control.find("* Characters"), 0, "Scenarios file: three.scn\n");
  std::string runs[2];
  for (int threads : {1, 2}) {
    ASSERT_FALSE(a.Go(control, threads).aborted) << a.Log();
    runs[threads - 1] = a.Report(".sco") + a.Report(".rsm") + a.Report(".rlk");
  }
  EXPECT_EQ(runs[0], runs[1]) << "one thread and two";
  const std::vector<test::Row> rows = test::ReadCsv(a.Report(".scenarios.csv"));
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].at("true_share"), "0.6");
  EXPECT_NEAR(std::stod(rows[0].at("mean")), 0.6, 0.1);
}

}  // namespace
}  // namespace velk
