#include "resample/smstat.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/arrays.hpp"
#include "support/run_fixture.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::Golden;
using test::VecOf;

// Five resamples of three populations in one region level: Yukon (populations
// 1 and 2) and Kuskokwim (population 3). The last resample leaves 0.04 unknown.
const Vec<double> kTiny[5] = {VecOf({0.5, 0.3, 0.2}), VecOf({0.6, 0.3, 0.1}),
                              VecOf({0.4, 0.3, 0.3}), VecOf({0.5, 0.2, 0.3}),
                              VecOf({0.5, 0.4, 0.06})};

class SmstatTest : public testing::Test, public test::LoggedRun {
 protected:
  void SetUp() override {
    run.files.output = dir / "tiny";
    run.par.npop = 3;
    run.par.nregions = 2;
    run.par.nlevels = 1;
    run.par.nresamples = 5;
    run.pops.Resize(3);
    const char* names[] = {"Upper Yukon", "Lower Yukon", "Kuskokwim River"};
    for (int i = 1; i <= 3; ++i) run.pops(i).name = names[i - 1];
    run.regions.level = VecOf({1, 1});
    run.regions.size = VecOf({2, 1});
    run.regions.members = VecOf({1, 2, 3});
    run.regions.name = VecOf<std::string>({"Yukon", "Kuskokwim"});
    expected = VecOf({0.5, 0.3, 0.2});
  }

  // Begins with `nresamples` and adds these resamples (3 genotypes each).
  void Add(const std::vector<Vec<double>>& resamples, const Vec<double>* sd = nullptr,
           const Vec<double>* se = nullptr) {
    run.par.nresamples = static_cast<int>(resamples.size());
    SmstatBegin(run, acc, expected, sd, 0);
    for (const Vec<double>& t : resamples) SmstatAdd(run, acc, {t, 3, nullptr, se});
  }

  std::string Report(const char* extension) {
    SmstatReport(run, acc);
    return test::ReadFile(dir / (std::string("tiny") + extension));
  }
  Vec<double> expected;
  Smstat acc;
};

TEST(PercentileIndices, EdgesOfTheRule) {
  // 90 of 1000: 50.05 truncates to 50; 95 of 19: 0.5 truncates to 0, raised to
  // 1 (the sample range); 90 of 99: exactly 5; 30 of 5: 2.1.
  const int cases[][4] = {{90, 1000, 50, 951}, {95, 19, 1, 19}, {90, 99, 5, 95},
                          {30, 5, 2, 4},       {90, 1, 1, 1},   {90, 0, 0, 0}};
  for (const auto& c : cases) {
    const auto k = PercentileIndices(c[0], c[1]);
    EXPECT_EQ(k.lo, c[2]) << c[0] << " of " << c[1];
    EXPECT_EQ(k.hi, c[3]) << c[0] << " of " << c[1];
  }
}

TEST(StdzdBCI, RulesInOrder) {
  // Plain: (0.4 - 0.3) / 0.05; within 0.0001: set to (and written back as) the
  // observed value, t = 0; no standard error: -999; below 0.001: -999, even when
  // snapped to the observed value; below the single-precision 0.001, a little larger.
  Vec<double> rr = VecOf({0.40, 0.30009, 0.35, 0.0009, 0.001, 0.00101}),
              e = VecOf({0.3, 0.3, 0.3, 0.0009001, 0.002, 0.002}), se(6, 0.05), t(6);
  se(3) = 0.0;
  StdzdBCI(rr, e, 6, se, t);
  EXPECT_NEAR(t(1), 2.0, 1e-12);
  EXPECT_EQ(
      std::vector<double>({rr(2), t(2), t(3), rr(4), t(4), t(5)}),
      std::vector<double>({0.3, 0.0, kNoStudentized, 0.0009001, kNoStudentized, kNoStudentized}));
  EXPECT_NEAR(t(6), -0.0198, 1e-12);
}

TEST_F(SmstatTest, SimulationReportByteForByte) {
  run.opt.estimation = 0;
  run.par.kind = 2;
  run.title = "Tiny simulation";
  run.par.sample_size = 200;
  run.par.seed = -12345;
  run.par.confidence = 30;  // order statistics 2 and 4 of 5
  SmstatBegin(run, acc, expected, nullptr, 0);
  const int ngeno[5] = {40, 42, 38, 41, 44};
  for (int r = 0; r < 5; ++r) SmstatAdd(run, acc, {kTiny[r], ngeno[r], nullptr, nullptr, r == 2});
  EXPECT_EQ(Report(".sim"), Golden("smstat_tiny.sim"));
  EXPECT_NE(run.error.status.find("\tSimulation output to " + (dir / "tiny.sim")),
            std::string::npos);
}

TEST_F(SmstatTest, BootstrapReportByteForByte) {
  run.title = "Tiny bootstrap";
  run.par.seed = -4242;
  run.par.confidence = 90;  // 0.3 raised to 1: the sample range
  run.opt.resample_mixture = 1;
  run.opt.studentized = 1;
  const Vec<double> observed_sd = VecOf({0.05, 0.04});
  SmstatBegin(run, acc, expected, &observed_sd, 3);
  const int counts[5][3] = {{5, 3, 2}, {6, 2, 2}, {4, 4, 2}, {5, 3, 2}, {8, 1, 1}};
  const double se[5][2] = {{0.05, 0.04}, {0.05, 0.04}, {0.0, 0.05}, {0.04, 0.06}, {0.05, 0.02}};
  for (int r = 0; r < 5; ++r) {
    const Vec<std::int32_t> c = VecOf<std::int32_t>({counts[r][0], counts[r][1], counts[r][2]});
    const Vec<double> s = VecOf({se[r][0], se[r][1]});
    SmstatAdd(run, acc, {kTiny[r], 3, &c, &s, false});
  }
  SmstatFit(acc, 10, expected);  // genotype proportions 0.5, 0.3, 0.2 of N = 10
  EXPECT_NEAR(acc.chi_square, 0.36 / 5 + 0.16 / 3 + 0.04 / 2, 1e-12);
  EXPECT_EQ(Report(".bot"), Golden("smstat_tiny.bot"));

  // The studentized values the .rst file gets, regions in order.
  Vec<double> t;
  SmstatStudentRow(acc, 3, t);
  EXPECT_EQ(t(1), kNoStudentized);
  EXPECT_NEAR(t(2), 2.0, 1e-12);
}

// Edges against checked reports: no spread (one resample; areas whose resamples
// are all equal beside areas that vary) prints zeros, never NaN; nonsymmetric
// bounds outside [0, 1] print as 0 and 1, and studentized values of -999 (no
// standard errors) give [0, 1].
TEST_F(SmstatTest, EdgesAsChecked) {
  Add({VecOf({0.6, 0.3, 0.1})});
  test::ExpectGolden(Report(".bot"), "smstat_one.bot");
  Add({VecOf({0.5, 0.3, 0.2}), VecOf({0.6, 0.2, 0.2}), VecOf({0.4, 0.4, 0.2})});
  test::ExpectGolden(Report(".bot"), "smstat_flat.bot");
  run.opt.studentized = 1;
  const Vec<double> observed_sd(2, 0.1), se(2, 0.0);
  expected = VecOf({0.02, 0.03, 0.95});
  Add({VecOf({0.0, 0.0, 1.0}), VecOf({0.2, 0.1, 0.7}), VecOf({0.0, 0.05, 0.95})}, &observed_sd,
      &se);
  test::ExpectGolden(Report(".bot"), "smstat_clipped.bot");
}

}  // namespace
}  // namespace velk
