// The estimation driver: reports and flags, interval thresholds.
#include "run/estmtr.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/layout/unit.hpp"
#include "run/velk.hpp"
#include "support/files.hpp"
#include "support/groups.hpp"
#include "support/resample_runs.hpp"
#include "support/run_fixture.hpp"
#include "support/synthetic.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

// Output named USER (the run sequence refuses it before; the driver guards
// itself): the estimate is made, no report is opened and the log says so.
TEST(EstmtrTest, OutputNameUserOpensNoFile) {
  TempDir dir;
  test::RunFixture f(dir / "run.log");
  velk::Run& run = f.run;
  test::MakeSynthetic(run, test::SyntheticShape{});
  run.pops.Resize(4);
  for (int i = 1; i <= 4; ++i) run.pops(i).estimate = run.pops(i).estimate_copy = 0.25;
  run.files.output = "USER";
  run.opt.compute_ci = 1;
  Estmtr(run);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.output.written[5], 0);
  run.output.unit[0].Close();
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
  EXPECT_NE(ReadFile(dir / "run.log").find("output is not written"), std::string::npos);
}

TEST(NormalIntervalsTest, ThresholdInSinglePrecisionAndBoundsClipped) {
  TempDir dir;
  test::RunFixture f;
  velk::Run& run = f.run;
  run.par.nregions = 5;
  run.par.confidence = 90;
  run.regions.name = Vec<std::string>(5);
  const double est[] = {0.0005, 0.001, 0.0010000001, 0.02, 0.99};
  const double sd[] = {0.01, 0.01, 0.01, 0.05, 0.05};
  Mat<double> regional(5, 2);
  for (int r = 1; r <= 5; ++r) {
    run.regions.name(r) = "Region " + std::to_string(r);
    regional(r, 1) = est[r - 1];
    regional(r, 2) = sd[r - 1];
  }
  Unit out;
  ASSERT_TRUE(out.Open(dir / "n.txt"));
  NormalIntervals(run, regional, out);
  out.Close();
  // Regions 1 and 2 fall below 0.001 (the second in single precision); 4 and 5
  // are clipped at 0 and 1.
  test::ExpectGolden(ReadFile(dir / "n.txt"), "normal_intervals.txt");
}

// A whole estimation with every report against the reports as once checked: the
// three stocks, one without a sample at a locus, the likelihood intervals.
TEST(EstmtrRun, ReportsAsChecked) {
  test::ResampleAnalysis a(test::kLoci, true);
  a.Mixture(60, 7, true);
  const Outcome out = a.Go(test::ResampleControl(
      false,
      "Print baseline summary: yes\nPrint mixture: yes\nPrint stocks: yes\n"
      "Print genotypes: yes\n"
      "Print iteration history: yes\nPrint likelihoods: yes\nCompute confidence intervals: yes\n"
      "Compute jackknife: yes\nCompute external reference: yes\n"
      "Compute all likelihood intervals: yes\n",
      ""));
  ASSERT_FALSE(out.aborted) << a.Log();
  for (const char* ext : {".est", ".bsl", ".gen", ".pop", ".itr", ".rlk"})
    test::ExpectGolden(a.Report(ext), std::string("three_est") + ext);
  EXPECT_EQ(out.flags, (std::array<int, kReportSlots>{1, 1, 1, 1, 1, 1, 0, 0, 1, 0, 0, 0, 1, 0}));
}

}  // namespace
}  // namespace velk
