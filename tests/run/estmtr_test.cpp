// The estimation driver: reports and flags, interval thresholds.
#include "run/estmtr.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/layout/unit.hpp"
#include "support/files.hpp"
#include "support/resample_runs.hpp"
#include "support/run_fixture.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::ReadFile;
using test::TempDir;

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
