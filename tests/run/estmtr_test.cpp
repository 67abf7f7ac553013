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

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// A synthetic estimation set up as the run sequence hands it to Estmtr: four
// populations, regions {1, 2} and {3, 4} at level 1 and {4} at level 2.
class EstmtrTest : public ::testing::Test {
 protected:
  void SetUp() override { Build(); }

  void Build() {
    f = std::make_unique<test::RunFixture>(dir / "run.log");
    velk::Run& run = f->run;
    test::MakeSynthetic(run, test::SyntheticShape{});
    run.title = "Synthetic";
    run.files.output = dir / "syn";
    run.par.eps = 1.0e-10;
    run.par.ftol = 1.0e-15;
    run.par.gpa = 100.5;  // never reached: the tolerances decide
    run.par.geno_tol = 0.0;
    run.par.max_iterations = 5000;
    run.pops.Resize(4);
    for (int i = 1; i <= 4; ++i) {
      run.chars(i).name = "L" + std::to_string(i);
      run.pops(i).name = "Pop " + std::to_string(i);
      run.pops(i).estimate = run.pops(i).estimate_copy = 0.25;
    }
    Regions& reg = run.regions;
    run.par.nregions = 3;
    run.par.nlevels = 2;
    reg.level = test::Values<int>({1, 1, 2});
    reg.size = test::Values<int>({2, 2, 1});
    reg.members = test::Values<int>({1, 2, 3, 4, 4});
    reg.name = test::Values<std::string>({"West", "East", "Far east"});
  }

  velk::Run& R() { return f->run; }
  std::string Log() {
    R().output.unit[0].Close();
    return ReadFile(dir / "run.log");
  }
  std::string Report(const std::string& ext) { return ReadFile(dir / ("syn" + ext)); }
  Vec<double> Estimate() {
    Vec<double> t(4);
    for (int i = 1; i <= 4; ++i) t(i) = R().pops(i).estimate;
    return t;
  }

  TempDir dir;
  std::unique_ptr<test::RunFixture> f;
};

// A large tolerance is warned of too, and the run goes on.
TEST_F(EstmtrTest, NoRegionsGivesMessage1016AndNoIntervals) {
  velk::Run& run = R();
  run.par.eps = 0.001;
  run.par.nregions = 0;
  run.par.nlevels = 0;
  run.opt.compute_ci = 1;
  Estmtr(run);
  ASSERT_EQ(run.error.stop, 0);
  const std::string log = Log();
  EXPECT_NE(log.find("No regional estimates were specified. CIs will not be computed."),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("is large"), std::string::npos) << log;
  const std::string est = Report(".est");
  EXPECT_NE(est.find("Pop 4"), std::string::npos);
  EXPECT_EQ(est.find("Confidence Intervals"), std::string::npos);
}

TEST_F(EstmtrTest, LikelihoodIntervalsLeaveTheMissingBaselineAsTheEstimateMadeIt) {
  test::DropBaseline(R(), 2, 3);
  R().input.missing_totals = Vec<double>(1);
  Estmtr(R());
  ASSERT_EQ(R().error.stop, 0) << Log();
  const Mat<double> plain = R().input.missing_freqs;
  const Vec<double> theta = Estimate();

  Build();
  test::DropBaseline(R(), 2, 3);
  R().input.missing_totals = Vec<double>(1);
  R().opt.compute_ci = 1;
  Estmtr(R());
  ASSERT_EQ(R().error.stop, 0) << Log();
  for (int k = 1; k <= R().par.max_types; ++k)
    EXPECT_EQ(R().input.missing_freqs(k, 1), plain(k, 1)) << k;
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(R().pops(i).estimate, theta(i));
  EXPECT_GT(Count(Log(), "bound search for "), 4);
  EXPECT_EQ(Count(Report(".est"), "Far east"), 4) << "and one likelihood interval";
}

TEST_F(EstmtrTest, OutputNameUserOpensNoFile) {
  velk::Run& run = R();
  run.files.output = "USER";
  run.opt.compute_ci = 1;
  Estmtr(run);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.output.written[5], 0);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    files += entry.path() != dir / "run.log";
  EXPECT_EQ(files, 0);
  EXPECT_NE(Log().find("output is not written"), std::string::npos);
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
  const std::string text = ReadFile(dir / "n.txt");
  EXPECT_EQ(text.find("Region 1"), std::string::npos);
  EXPECT_EQ(text.find("Region 2"), std::string::npos) << "0.001 is below 0.001 in single precision";
  EXPECT_NE(text.find("Region 3"), std::string::npos);
  EXPECT_NE(text.find("  Region 4                       0.000   0.102\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("  Region 5                       0.908   1.000\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.substr(0, 64),
            "\n                               Normal Distribution\n  Population");
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
