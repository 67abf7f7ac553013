// The CSV tables: readable as RFC 4180, and every number agrees with what the
// reports print; the reports do not change when the tables are written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/fields.hpp"
#include "core/layout/layout.hpp"
#include "report/csv.hpp"
#include "support/csv_read.hpp"
#include "support/files.hpp"
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

double Num(const Row& row, const std::string& column) {
  const auto at = row.find(column);
  EXPECT_NE(at, row.end()) << column;
  return at == row.end() || at->second.empty() ? std::nan("") : std::stod(at->second);
}
int Int(const Row& row, const std::string& column) {
  return static_cast<int>(Num(row, column));
}
std::string Name(const Row& row) {
  return Padded(row.at("name"), kNameWidth);
}

// `line` (a layout's output) is one of the lines of `report`.
void ExpectLine(const std::string& report, const std::string& line, const char* where) {
  EXPECT_NE(report.find("\n" + line + "\n"), std::string::npos) << where << ": [" << line << "]";
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t a = text.find(from);
  if (a == std::string::npos) return {};
  const std::size_t b = text.find(to, a + from.size());
  return text.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

TEST(CsvTable, QuotesTextsAndWritesNumbersThatReadBack) {
  CsvTable t({"a", "b"});
  t.Text("say \"x\", y").Real(0.1).EndRow();
  t.Real(std::nan("")).Int(-3).EndRow();
  EXPECT_EQ(t.Data(), "\"a\",\"b\"\r\n\"say \"\"x\"\", y\",0.1\r\n,-3\r\n");
  for (double v : {1.0 / 3.0, -4244.824283956844, 2.5256890697417274e-05, 1e-300, 0.0})
    EXPECT_EQ(std::stod(CsvNumber(v)), v);
}

// Every population and region of the estimates table as the estimates
// report prints it, its intervals as the interval blocks do (where the
// report shows one), and the run table's facts.
void ExpectEstimatesAgree(const std::string& est, const std::vector<Row>& rows,
                          const std::vector<Row>& run) {
  const std::string normal = Between(est, "Normal Distribution", "Likelihood");
  const std::string likelihood = Between(est, "Likelihood\n", "____");
  for (const Row& r : rows) {
    const double e = Num(r, "estimate"), se = Num(r, "std_error"), cv = Num(r, "cv");
    if (Int(r, "level") == 0) {
      // The marked population carries "*" at the end of its line.
      const std::string line =
          Fmt("(1x,i3,2x,a30,2(2x,f6.4,2x),1x,g8.2,1x,f6.1)",
              {Int(r, "id"), Name(r), e, se, cv, Num(r, "score")});
      EXPECT_NE(est.find("\n" + line + " "), std::string::npos) << line;
      continue;
    }
    ExpectLine(est, Fmt("(2x,i3,2x,a30,2(2x,f6.4,2x),1x,g8.2)", {Int(r, "id"), Name(r), e, se, cv}),
               "region");
    if (e >= 0.001f)
      ExpectLine(normal,
                 Fmt("(2x,a30,t34,f5.3,t42,f5.3)",
                     {Name(r), Num(r, "normal_lower"), Num(r, "normal_upper")}),
                 "normal");
    if (std::isnan(Num(r, "likelihood_lower"))) continue;
    ExpectLine(likelihood,
               Fmt("(2x,a30,t34,f5.3,t42,f5.3)",
                   {Name(r), Num(r, "likelihood_lower"), Num(r, "likelihood_upper")}),
               "likelihood");
    // The search stops within 0.005 of the confidence level.
    EXPECT_NEAR(Num(r, "likelihood_lower_p"), 0.9, 0.005);
    EXPECT_NEAR(Num(r, "likelihood_upper_p"), 0.9, 0.005);
  }
  ASSERT_EQ(run.size(), 1u);
  ExpectLine(est, Fmt("(2x,a,g12.6)", {"Log likelihood          ", Num(run[0], "log_likelihood")}),
             "log likelihood");
  ExpectLine(est, Fmt("(2x,a,i4)", {"Iterations              ", Int(run[0], "iterations")}),
             "iterations");
  ExpectLine(est, Fmt("(2x,a,f6.2)", {"Percent of maximum      ", Num(run[0], "percent_of_maximum")}),
             "percent");
  ExpectLine(est, Fmt("(2x,a,g8.3)", {"Maximum estimate update ",
                                      Num(run[0], "maximum_estimate_update")}),
             "update");
  ExpectLine(est, Fmt("(2x,a,i4)", {"Number of observations ", Int(run[0], "observations")}),
             "observations");
}

// Example runs with the tables on and off: the same reports byte for byte, and
// the tables give every printed number.
TEST(ExampleTables, ReportsUnchangedAndTablesAgreeWithThem) {
  TempDir dir;
  for (const char* name : {"first.ctl", "simulate.ctl", "bootstrap.ctl", "example.bse",
                           "example.mix", "complete.bse"})
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
  auto Csv = [&](const std::string& file) { return ReadCsv(Out(file)); };
  int reports = 0;
  for (const auto& e : fs::directory_iterator(dir.Path() / "out")) {
    ++reports;
    EXPECT_EQ(ReadFile(e.path()), Out(e.path().filename().string())) << e.path();
  }
  EXPECT_EQ(reports, 13);
  const test::CommandResult load = RunVelk("--load t_first.ctl t_bootstrap.ctl", dir.Path().string());
  for (const char* shown : {"Estimates Table         tab/first.estimates.csv",
                            "Run Table               tab/first.run.csv",
                            "Summary Table           tab/bootstrap.summary.csv"})
    EXPECT_NE(load.output.find(shown), std::string::npos) << shown << load.output;
  EXPECT_EQ(load.output.find("tab/first.summary.csv"), std::string::npos);

  const std::vector<Row> rows = Csv("first.estimates.csv");
  ASSERT_EQ(rows.size(), 12u);
  for (const Row& r : rows) EXPECT_EQ(std::isnan(Num(r, "likelihood_lower")), Int(r, "level") == 0);
  ExpectEstimatesAgree(Out("first.est"), rows, Csv("first.run.csv"));

  for (const char* name : {"simulate", "bootstrap"}) {
    SCOPED_TRACE(name);
    const std::string report = Out(std::string(name) + (name[0] == 's' ? ".sim" : ".bot"));
    const std::string symmetric = Between(report, "% Symmetric", "% Nonsymmetric");
    const std::string nonsymmetric = Between(report, "% Nonsymmetric", "____");
    const std::vector<Row> summary = Csv(std::string(name) + ".summary.csv");
    ASSERT_EQ(summary.size(), 12u);
    for (const Row& r : summary) {
      const bool pop = Int(r, "level") == 0;
      const std::vector<Item> stats{Num(r, "mean"), Num(r, "std_dev"), Num(r, "root_mse"),
                                    Num(r, "expected")};
      std::vector<Item> area{Int(r, "id"), Name(r)};
      area.insert(area.end(), stats.begin(), stats.end());
      ExpectLine(report, Fmt(pop ? "(1x,i3,2x,a30,4(2x,f6.4,2x))" : "(1x,i6,2x,a30,1x,4(2x,f6.4,2x))", area),
                 "area");
      ExpectLine(symmetric,
                 Fmt("(1x,i6,2x,a30,1x,2(2x,f6.4,2x))",
                     {Int(r, "id"), Name(r), Num(r, "symmetric_lower"), Num(r, "symmetric_upper")}),
                 "symmetric");
      ExpectLine(nonsymmetric,
                 Fmt("(1x,i6,2x,a30,1x,2(2x,f6.4,2x))", {Int(r, "id"), Name(r),
                                                         Num(r, "nonsymmetric_lower"),
                                                         Num(r, "nonsymmetric_upper")}),
                 "nonsymmetric");
    }
    const std::vector<Row> run = Csv(std::string(name) + ".run.csv");
    ExpectLine(report, Fmt("(2x,a,i12)", {"Random seed                 :", Int(run[0], "random_seed")}),
               "seed");
    ExpectLine(report, Fmt("(2x,a,f12.2)", {"Average number of genotypes :",
                                            Num(run[0], "average_genotypes")}),
               "genotypes");

    // The resample lines of the .rsm file: the populations' estimates.
    const std::vector<Row> resamples = Csv(std::string(name) + ".resamples.csv");
    ASSERT_EQ(resamples.size(), 200u * 12u);
    std::vector<std::string> rsm;
    std::vector<Item> values;
    for (const Row& r : resamples) {
      if (Int(r, "level") == 0) values.emplace_back(Num(r, "estimate"));
      if (values.size() == 6) {
        rsm.push_back(Fmt("(100(f6.4,1x))", values));
        values.clear();
      }
    }
    const std::vector<std::string> lines =
        test::ReadLines(dir.Path() / "tab" / (std::string(name) + ".rsm"));
    ASSERT_EQ(lines.size(), 2u + 6u + 200u);
    for (std::size_t k = 0; k < rsm.size(); ++k) EXPECT_EQ(lines[8 + k], rsm[k]) << k;
  }
}

// The chinook rec1 run with regions: 69 populations and 39 regions, most of
// them below the thresholds of the interval blocks.
TEST(ChinookTables, EstimatesAgreeWithTheEstimatesReport) {
  const fs::path data = fs::path(VELK_SHARED_DATA) / "chinook";
  if (!fs::exists(data / "chinook_rec1.ctl")) GTEST_SKIP() << "no chinook data";
  TempDir dir;
  std::string ctl = ReadFile(data / "chinook_rec1.ctl");
  const std::size_t options = ctl.find("* Options\n") + 10;
  ctl = ctl.substr(0, options) + "Print tables: yes\nCompute confidence intervals: yes\n" +
        ctl.substr(options);
  WriteFile(dir / "rec1.ctl", ctl);
  for (const char* name : {"chinook.bse", "chinook_rec1.mix"})
    fs::copy_file(data / name, dir.Path() / name);
  const test::CommandResult r = RunVelk("rec1.ctl", dir.Path().string());
  ASSERT_EQ(r.status, 0) << r.output;
  const std::vector<Row> rows = ReadCsv(ReadFile(dir / "chinook_rec1.estimates.csv"));
  ASSERT_EQ(rows.size(), 69u + 39u);
  int intervals = 0;
  for (const Row& row : rows) intervals += std::isnan(Num(row, "likelihood_lower")) ? 0 : 1;
  EXPECT_EQ(intervals, 4);
  ExpectEstimatesAgree(ReadFile(dir / "chinook_rec1.est"), rows,
                       ReadCsv(ReadFile(dir / "chinook_rec1.run.csv")));
}

// Without regions, every population gets its likelihood interval, also one
// below 1 %.
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
  const std::string est = ReadFile(dir / "out/first.est");
  const std::vector<Row> rows = ReadCsv(ReadFile(dir / "out/first.estimates.csv"));
  ASSERT_EQ(rows.size(), 6u);
  for (const Row& row : rows) {
    EXPECT_LT(Num(row, "likelihood_lower"), Num(row, "estimate")) << row.at("name");
    EXPECT_GT(Num(row, "likelihood_upper"), Num(row, "estimate")) << row.at("name");
    ExpectLine(est,
               Fmt("(2x,a30,t34,f5.3,t42,f5.3)",
                   {Name(row), Num(row, "likelihood_lower"), Num(row, "likelihood_upper")}),
               "likelihood");
  }
  EXPECT_LT(Num(rows[4], "estimate"), 0.01);  // Stone River
}

}  // namespace
}  // namespace velk
