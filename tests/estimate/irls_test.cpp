#include "estimate/irls.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/groups.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

TEST(CsolveTest, SmallestPositiveRootOrTheLinearRuleOrAHalf) {
  struct Row {
    std::array<double, 4> coef;
    double want;
    const char* what;
  };
  const Row rows[] = {
      {{-3.0, 2.0, 0.0, 0.0}, 1.5, "linear"},
      {{2.0, -4.0, 0.0, 0.0}, 0.5, "linear: -D1/D2 = 0.5 by itself"},
      {{2.0, 4.0, 0.0, 0.0}, 0.5, "no curvature: not positive"},
      {{2.0, 1.0e-7, 0.0, 0.0}, 0.5, "too flat to divide by"},
      {{3.0, -4.0, 1.0, 0.0}, 1.0, "(t - 1)(t - 3): the smaller root"},
      {{-6.0, 1.0, 1.0, 0.0}, 2.0, "(t - 2)(t + 3): c2 > 0, so r1"},
      {{4.0, -2.0, 1.0, 0.0}, 2.0, "no real root: the linear rule"},
      {{4.0, -5.0, -7.0, 2.0}, 0.5, "(t + 1)(t - 0.5)(t - 4), leading 2"},
      {{-2.0, 1.0, -2.0, 1.0}, 2.0, "(t - 2)(t^2 + 1): one real root"},
      {{6.0, 11.0, 6.0, 1.0}, 0.5, "(t + 1)(t + 2)(t + 3): no positive root"},
  };
  for (const Row& r : rows) EXPECT_NEAR(Csolve(r.coef), r.want, 1.0e-12) << r.what;
}

TEST(LeaveTest, SmallestRatioWinsAndTiesGoColumnByColumn) {
  const int np = 3;
  Mat<double> t(np, 3 * np);
  Vec<double> rhs(np);
  Vec<std::int32_t> l1(np), l2(np);
  // Entering column 1: ratios 2/1, 3/2, 1/-1 (not positive).
  t(1, 1) = 1.0, t(2, 1) = 2.0, t(3, 1) = -1.0;
  rhs(1) = 2.0, rhs(2) = 3.0, rhs(3) = 1.0;
  EXPECT_EQ(Leave(np, 1, t, rhs, l1, l2), 2);

  // All three tie at ratio 0. Column 1 is the entering one (1 each); column 2
  // drops row 1 (3/1 against 2/2 and 4/4); column 3 picks row 3 (-1/4 < 0/2).
  t(3, 1) = 4.0;
  rhs.Fill(0.0);
  t(1, 2) = 3.0, t(2, 2) = 2.0, t(3, 2) = 4.0, t(3, 3) = -1.0;
  EXPECT_EQ(Leave(np, 1, t, rhs, l1, l2), 3);
}

// Minimise (t1 - 0.5)^2 + (t2 - 2)^2 over t >= 0 with t1 + t2 + t3 = 1 (t3 the
// reference): A = 2I, b = (1, 4). The answer is t = (0, 1, 0).
TEST(WolfeTest, SolvesASmallKnownQuadraticProblem) {
  test::StepRun r;
  StepWork w;
  IrlsAlloc(w, 3);
  Mat<double>& t = w.tableau;
  // Row 1: (2 t1 - v1 + v3) / 1 + a1 = 1.
  t(1, 1) = 2.0, t(1, 4) = -1.0, t(1, 6) = 1.0, t(1, 7) = 1.0, w.rhs(1) = 1.0, w.basis(1) = 7;
  // Row 2: (2 t2 - v2 + v3) / 4 + a2 = 1.
  t(2, 2) = 0.5, t(2, 5) = -0.25, t(2, 6) = 0.25, t(2, 8) = 1.0, w.rhs(2) = 1.0, w.basis(2) = 8;
  // Row 3: the group sum, t3 basic.
  t(3, 1) = t(3, 2) = t(3, 3) = 1.0, w.rhs(3) = 1.0, w.basis(3) = 3;
  for (int c = 7; c <= 9; ++c) w.cost(c) = -1.0;

  ASSERT_EQ(Wolfe(r.run, 3, w), WolfeOutcome::kSolved);
  EXPECT_EQ(r.Last(), 0);
  Vec<double> theta(3);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_LE(w.basis(row), 6) << "artificial left in row " << row;
    if (w.basis(row) <= 3) theta(w.basis(row)) = w.solution(row);
  }
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(theta(i), i == 2 ? 1.0 : 0.0, 1.0e-14) << i;
}

TEST(WolfeTest, NoLeavingRowReportsSearchFailure) {
  test::StepRun r;
  StepWork w;
  IrlsAlloc(w, 1);
  w.tableau(1, 1) = 1.0e-25;
  w.tableau(1, 3) = 1.0;
  w.rhs(1) = 1.0;
  w.basis(1) = 3;
  w.cost(3) = -1.0;
  EXPECT_EQ(Wolfe(r.run, 1, w), WolfeOutcome::kNoLeavingRow);
  EXPECT_EQ(r.Last(), 1011);
  EXPECT_EQ(r.run.error.stop, 0);
}

// A Wolfe solution equal to theta gives up at once (1006), keeping theta and L.
TEST(NewgesTest, ASolutionEqualToThetaGivesUpAtOnce) {
  test::LoggedRun r;
  const test::Mixture m = test::RandomMixture(3, 10, 3);
  test::StepState s(m, OneGroup(3));
  IrlsAlloc(s.work, 3);
  s.theta = test::VecOf({0.2, 0.3, 0.5});
  s.Refresh();
  const double L = s.L;
  for (int row = 1; row <= 3; ++row) {
    s.work.basis(row) = row;
    s.work.solution(row) = s.theta(row);
  }
  EXPECT_EQ(Newges(r.run, s.data, Tolerances{.eps = 1.0e-4, .tau = 1.0e-10}, s.at, s.work),
            StepOutcome::kShrunk);
  EXPECT_EQ(r.Last(), 1006);
  EXPECT_EQ(s.conv.change, 0.0);
  EXPECT_EQ(s.L, L);
  EXPECT_NE(r.Log().find("IRLS"), std::string::npos);
  EXPECT_EQ(std::vector<double>(s.theta.begin(), s.theta.end()),
            (std::vector<double>{0.2, 0.3, 0.5}));
}

}  // namespace
}  // namespace velk
