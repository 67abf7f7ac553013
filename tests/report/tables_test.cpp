// The CSV tables: readable as RFC 4180 and as the golden files hold them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/layout/layout.hpp"
#include "report/csv.hpp"
#include "support/csv_read.hpp"
#include "support/files.hpp"
#include "support/tiny_reports.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;
using test::ReadCsv;
using test::ReadFile;
using test::RunVelk;
using test::TempDir;
using test::WriteFile;

TEST(CsvTable, QuotesTextsAndWritesNumbersThatReadBack) {
  CsvTable t({"a", "b"});
  t.Text("say \"x\", y").Real(0.1).EndRow();
  t.Real(std::nan("")).Int(-3).EndRow();
  EXPECT_EQ(t.Data(), "\"a\",\"b\"\r\n\"say \"\"x\"\", y\",0.1\r\n,-3\r\n");
  for (double v : {1.0 / 3.0, -4244.824283956844, 2.5256890697417274e-05, 1e-300, 0.0})
    EXPECT_EQ(std::stod(CsvNumber(v)), v);
}

// A table read as RFC 4180 and compared with its golden file.
void ExpectTable(const std::string& table, const std::string& golden) {
  EXPECT_FALSE(ReadCsv(table).empty()) << golden;
  test::ExpectGolden(table, golden);
}

// Example runs with the tables on and off: the same reports byte for byte, the
// tables as the golden files, and the resample lines of the .rsm reports.
TEST(ExampleTables, ReportsUnchangedAndTablesAsTheGoldenFiles) {
  TempDir dir;
  for (const char* name :
       {"first.ctl", "simulate.ctl", "bootstrap.ctl", "example.bse", "example.mix", "complete.bse"})
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "examples" / name, dir.Path() / name);
  for (const char* name : {"first", "simulate", "bootstrap"}) {
    std::string ctl = ReadFile(dir.Path() / (std::string(name) + ".ctl"));
    ctl.replace(ctl.find("* Options\n"), 10, "* Options\nPrint tables: yes\n");
    ctl.replace(ctl.find("out\\"), 4, "tab\\");
    WriteFile(dir.Path() / (std::string("t_") + name + ".ctl"), ctl);
  }
  const test::CommandResult done =
      RunVelk("first.ctl simulate.ctl bootstrap.ctl t_first.ctl t_simulate.ctl t_bootstrap.ctl",
              dir.Path().string());
  ASSERT_EQ(done.status, 0) << done.output;
  auto Out = [&](const std::string& file) { return ReadFile(dir.Path() / "tab" / file); };
  int reports = 0;
  for (const auto& e : fs::directory_iterator(dir.Path() / "out")) {
    ++reports;
    EXPECT_EQ(ReadFile(e.path()), Out(e.path().filename().string())) << e.path();
  }
  EXPECT_EQ(reports, 13);
  const test::CommandResult load =
      RunVelk("--load t_first.ctl t_bootstrap.ctl", dir.Path().string());
  for (const char* shown : {"Estimates Table         tab/first.estimates.csv",
                            "Run Table               tab/first.run.csv",
                            "Summary Table           tab/bootstrap.summary.csv"})
    EXPECT_NE(load.output.find(shown), std::string::npos) << shown << load.output;
  EXPECT_EQ(load.output.find("tab/first.summary.csv"), std::string::npos);
  for (const char* name : {"first.estimates.csv", "first.run.csv", "simulate.summary.csv",
                           "simulate.run.csv", "bootstrap.summary.csv", "bootstrap.run.csv"})
    ExpectTable(Out(name), name);

  // The resample lines of the .rsm reports: the populations' estimates.
  for (const std::string name : {"simulate", "bootstrap"}) {
    const std::vector<test::Row> resamples = ReadCsv(Out(name + ".resamples.csv"));
    ASSERT_EQ(resamples.size(), 200u * 12u);
    std::vector<std::string> rsm;
    std::vector<Item> values;
    for (const test::Row& r : resamples) {
      if (r.at("level") == "0") values.emplace_back(std::stod(r.at("estimate")));
      if (values.size() == 6) {
        rsm.push_back(Fmt("(100(f6.4,1x))", values));
        values.clear();
      }
    }
    const std::vector<std::string> lines = test::ReadLines(dir.Path() / "tab" / (name + ".rsm"));
    ASSERT_EQ(lines.size(), 2u + 6u + 200u);
    for (std::size_t k = 0; k < rsm.size(); ++k) EXPECT_EQ(lines[8 + k], rsm[k]) << name << k;
  }
}

const fs::path kChinookData = fs::path(VELK_SHARED_DATA) / "chinook";

// chinook_rec1.ctl with the tables and `option` run in dir; its exit status.
int RunRec1WithTables(const TempDir& dir, const std::string& option) {
  std::string ctl = ReadFile(kChinookData / "chinook_rec1.ctl");
  const std::size_t options = ctl.find("* Options\n") + 10;
  ctl = ctl.substr(0, options) + "Print tables: yes\n" + option + "\n" + ctl.substr(options);
  WriteFile(dir / "rec1.ctl", ctl);
  for (const char* name : {"chinook.bse", "chinook_rec1.mix"})
    fs::copy_file(kChinookData / name, dir.Path() / name);
  return RunVelk("rec1.ctl", dir.Path().string()).status;
}

// The chinook rec1 run with regions: 69 populations and 39 regions, most of
// them below the thresholds of the interval blocks.
TEST(ChinookTables, EstimatesOfManyRegions) {
  if (!fs::exists(kChinookData / "chinook_rec1.ctl")) GTEST_SKIP() << "no chinook data";
  TempDir dir;
  ASSERT_EQ(RunRec1WithTables(dir, "Compute confidence intervals: yes"), 0);
  ExpectTable(ReadFile(dir / "chinook_rec1.estimates.csv"), "chinook_rec1.estimates.csv");
}

// Every one of rec1's 39 regions gets both likelihood bounds, around its
// estimate; those estimated at 0 a lower bound of 0 and an upper one above.
TEST(ChinookTables, EveryRegionHasBothLikelihoodBounds) {
  if (!fs::exists(kChinookData / "chinook_rec1.ctl")) GTEST_SKIP() << "no chinook data";
  TempDir dir;
  ASSERT_EQ(RunRec1WithTables(dir, "Compute all likelihood intervals: yes"), 0);
  int regions = 0;
  for (const auto& row : test::ReadCsv(ReadFile(dir / "chinook_rec1.estimates.csv"))) {
    if (row.at("level") != "1") continue;
    ++regions;
    SCOPED_TRACE(row.at("name"));
    ASSERT_FALSE(row.at("likelihood_lower").empty() || row.at("likelihood_upper").empty());
    const double lo = std::stod(row.at("likelihood_lower")), hi = std::stod(row.at("likelihood_upper"));
    const double est = std::stod(row.at("estimate"));
    EXPECT_LE(lo, est);
    EXPECT_GT(hi, est);
    if (est < 1e-6) {
      EXPECT_EQ(lo, 0.0);
    }
  }
  EXPECT_EQ(regions, 39);
}

// Without regions, every population gets its likelihood interval, also one
// below 1 % (Stone River).
TEST(LikelihoodIntervals, EveryPopulationWithoutRegions) {
  TempDir dir;
  for (const char* name : {"example.bse", "example.mix"})
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "examples" / name, dir.Path() / name);
  std::string ctl = ReadFile(fs::path(VELK_SOURCE_DIR) / "examples" / "first.ctl");
  ctl = ctl.substr(0, ctl.find("* Regions")) + "* Run\n";
  const std::size_t options = ctl.find("* Options\n") + 10;
  ctl = ctl.substr(0, options) + "Print tables: yes\nCompute all likelihood intervals: yes\n" +
        ctl.substr(options);
  const std::size_t labels_at = ctl.find(" [Lev1] [Lev2]");
  ctl = ctl.substr(0, labels_at) + ctl.substr(labels_at + 14);
  for (const char* labels : {" : 1 1\n", " : 1 2\n", " : 2 3\n", " : 2 4\n"})
    for (std::size_t at; (at = ctl.find(labels)) != std::string::npos;)
      ctl = ctl.substr(0, at) + "\n" + ctl.substr(at + 7);
  WriteFile(dir / "all.ctl", ctl);
  const test::CommandResult r = RunVelk("all.ctl", dir.Path().string());
  ASSERT_EQ(r.status, 0) << r.output << ReadFile(dir / "all.log");
  ExpectTable(ReadFile(dir / "out/first.estimates.csv"), "all_intervals.estimates.csv");
  test::ExpectGolden(ReadFile(dir / "out/first.est"), "all_intervals.est");
}

// A leave-one-out check with its table; a fish whose type the others leave at
// probability 0 everywhere is not assigned.
TEST(LeaveOneOutTables, ReportAndTableAsTheGoldenFiles) {
  TempDir dir;
  const std::string ctl =
      "* Estimation: leave one out\n* Options\nLeave-one-out: yes\nPrint tables: yes\n"
      "* Parameters\nNumber of characters: 2\nNumber of stocks: 3\n* Files\nBaseline: b.bse\n"
      "Mixture: m.mix\nReference individuals file: fish.ref\nOutput: loo\n* Characters\n"
      "[ID #] [# Types] [Character]\n1 3 Loc1\n2 4 Loc2\n* Populations\n"
      "[Population] [Lev1]\nPop 1 : 1\nPop 2 : 1\nPop 3 : 2\n* Regions\n"
      "[Level] [Label] [Region]\n1 1 North\n1 2 South\n* Run\n";
  WriteFile(dir / "loo.ctl", ctl);
  WriteFile(dir / "b.bse",
            "#1 Pop 1\nLoc1 10 20 0\nLoc2 5 5 10 20\n#2 Pop 2\nLoc1 30 20 0\n"
            "Loc2 20 10 5 5\n#3 Pop 3\nLoc1 20 20 2\nLoc2 10 10 10 10\n");
  WriteFile(dir / "m.mix", "Mixture\n101 1100\n200 0200\n011 0011\n");
  WriteFile(dir / "fish.ref",
            "* characters\nID\nPOP\nLoc1\nLoc2\n* end\nf1 1 020 0002\n"
            "f2 1 200 2000\nf3 2 200 2000\nf4 3 110 1100\nf5 3 002 0011\n");
  ASSERT_EQ(RunVelk("loo.ctl", dir.Path().string()).status, 0) << ReadFile(dir / "loo.log");
  test::ExpectGolden(ReadFile(dir / "loo.loo"), "leave_one_out.loo");
  ExpectTable(ReadFile(dir / "loo.loo.csv"), "leave_one_out.loo.csv");
  // A table that would overwrite an input file is not written, and the run stops.
  std::string in = ctl;
  WriteFile(dir / "in.ctl", in.replace(in.find("m.mix"), 5, "loo.run.csv"));
  WriteFile(dir / "loo.run.csv", ReadFile(dir / "m.mix"));
  EXPECT_EQ(RunVelk("in.ctl", dir.Path().string()).status, 1);
  EXPECT_EQ(ReadFile(dir / "loo.run.csv"), ReadFile(dir / "m.mix"));
}

}  // namespace
}  // namespace velk
