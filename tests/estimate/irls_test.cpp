#include "estimate/irls.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/groups.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

// ------------------------------------------------------------------ Csolve

TEST(CsolveTest, SmallestPositiveRootOrTheLinearRuleOrAHalf) {
  struct Row {
    std::array<double, 4> coef;
    double want;
    const char* what;
  };
  const Row rows[] = {
      {{-3.0, 2.0, 0.0, 0.0}, 1.5, "linear"},
      {{2.0, -4.0, 0.0, 0.0}, 0.5, "linear: -D1/D2 = 0.5 by itself"},
      {{3.0, -4.0, 0.0, 0.0}, 0.75, "linear"},
      {{2.0, 4.0, 0.0, 0.0}, 0.5, "no curvature: not positive"},
      {{2.0, 1.0e-7, 0.0, 0.0}, 0.5, "too flat to divide by"},
      {{0.0, 0.0, 0.0, 0.0}, 0.5, "nothing"},
      {{3.0, -4.0, 1.0, 0.0}, 1.0, "(t - 1)(t - 3): the smaller root"},
      {{-6.0, 1.0, 1.0, 0.0}, 2.0, "(t - 2)(t + 3): c2 > 0, so r1"},
      {{4.0, -2.0, 1.0, 0.0}, 2.0, "no real root: the linear rule"},
      {{-6.0, 11.0, -6.0, 1.0}, 1.0, "(t - 1)(t - 2)(t - 3)"},
      {{4.0, -5.0, -7.0, 2.0}, 0.5, "(t + 1)(t - 0.5)(t - 4), leading 2"},
      {{-2.0, 1.0, -2.0, 1.0}, 2.0, "(t - 2)(t^2 + 1): one real root"},
      {{6.0, 11.0, 6.0, 1.0}, 0.5, "(t + 1)(t + 2)(t + 3): no positive root"},
  };
  for (const Row& r : rows) EXPECT_NEAR(Csolve(r.coef), r.want, 1.0e-12) << r.what;
}

// ----------------------------------------------------------- Leave, Wolfe

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

  // Rows that stay tied through every column: the first of them.
  Mat<double> same(2, 6);
  Vec<double> r2(2, 1.0);
  same(1, 4) = same(2, 4) = 1.0;
  Vec<std::int32_t> m1(2), m2(2);
  EXPECT_EQ(Leave(2, 4, same, r2, m1, m2), 1);
}

TEST(LeaveTest, NoPositiveEntryOrAHugeRatioFindsNoRow) {
  Mat<double> t(2, 6);
  Vec<double> rhs(2, 1.0);
  Vec<std::int32_t> l1(2), l2(2);
  t(1, 2) = -1.0;
  EXPECT_EQ(Leave(2, 2, t, rhs, l1, l2), 0);
  t(2, 2) = 1.0e-25;  // ratio 1e25, beyond the starting 1e20
  EXPECT_EQ(Leave(2, 2, t, rhs, l1, l2), 0);
}

TEST(CzeckTest, AVariableAndItsMultiplierAreNeverBothBasic) {
  Vec<std::int32_t> basis(2);
  basis(1) = 5;  // artificial of row 1
  basis(2) = 4;  // multiplier of population 2
  EXPECT_TRUE(Czeck(2, 1, basis));
  EXPECT_FALSE(Czeck(2, 2, basis));  // its multiplier is basic
  EXPECT_FALSE(Czeck(2, 4, basis));  // basic itself
  EXPECT_TRUE(Czeck(2, 3, basis));
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

  ASSERT_EQ(Wolfe(r.run, 3, w), 0);
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
  EXPECT_EQ(Wolfe(r.run, 1, w), 1011);
  EXPECT_EQ(r.Last(), 1011);
  EXPECT_EQ(r.run.error.stop, 0);
}

// ------------------------------------------------------ Abmat and Newges

class IrlsTest : public testing::Test {
 protected:
  // Newges towards a Wolfe solution with the given basic variables and values.
  void Step(test::StepState& s, Vec<double>& theta, const std::vector<int>& basis,
            const Vec<double>& solution, double eps, double tau) {
    for (int row = 1; row <= s.m.np; ++row) {
      s.work.basis(row) = basis[static_cast<std::size_t>(row - 1)];
      s.work.solution(row) = solution(row);
    }
    Newges(r.run, s.m.np, s.m.ngenotypes, s.m.possible, theta, s.trial, s.m.P, s.m.count, s.q(),
           s.L, eps, tau, s.conv, s.work);
  }
  test::StepRun r;
};

TEST_F(IrlsTest, ASolutionEqualToThetaGivesUpAtOnce) {
  const test::Mixture m = test::RandomMixture(3, 10, 3);
  test::StepState s(m, OneGroup(3));
  IrlsAlloc(s.work, 3);
  Vec<double> theta = test::Values({0.2, 0.3, 0.5});
  s.Refresh(theta);
  const Vec<double> before = theta;
  const double L = s.L;
  Step(s, theta, {1, 2, 3}, theta, 1.0e-4, 1.0e-10);
  EXPECT_EQ(r.Last(), 1006);
  EXPECT_EQ(r.run.error.a1, "IRLS");
  EXPECT_EQ(s.conv.change, 0.0);
  EXPECT_EQ(s.L, L);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(theta(i), before(i));
}

TEST_F(IrlsTest, APopulationOutsideTheBasisGoesToZeroAndIsInactive) {
  const test::Mixture m = test::RandomMixture(3, 20, 5);
  test::StepState s(m, OneGroup(3));
  IrlsAlloc(s.work, 3);
  Vec<double> theta = test::Values({0.2, 0.3, 0.5});
  s.Refresh(theta);
  // Move to the best point on the edge theta_2 = 0 (multiplier 2 basic in row 2).
  Vec<double> edge(3);
  double best = -1.0e300;
  for (int k = 0; k <= 1000; ++k) {
    const Vec<double> x = test::Values({k / 1000.0, 0.0, 1.0 - k / 1000.0});
    const double h = Hood(3, m.ngenotypes, m.P, x, m.possible, m.count);
    if (h > best) best = h, edge = x;
  }
  if (best <= s.L) GTEST_SKIP() << "the edge is not better than the start for this mixture";
  Step(s, theta, {1, 5, 3}, edge, 1.0e-6, 1.0e-12);
  EXPECT_EQ(r.Last(), 0);
  EXPECT_EQ(s.work.active(1), 1);
  EXPECT_EQ(s.work.active(2), 0);
  EXPECT_EQ(s.work.active(3), 1);
  EXPECT_GE(theta(2), 0.0);
  EXPECT_LT(theta(2), 0.3);
}

// A genotype far below the floor has its column of P scaled by 1e-40: the Taylor
// coefficients, a whole step with a fixed solution, and (with probabilities far
// below the observed counts) the quadratic problem stay as they are.
TEST_F(IrlsTest, RelativeFloorsMakeTheStepIndependentOfAColumnsScale) {
  const test::Mixture m = test::RandomMixture(3, 20, 41, 1.0e-5);
  const test::Mixture many = test::RandomMixture(4, 30, 43, 1.0e-30);
  std::array<double, 4> coef[2];
  Vec<double> result[2], rhs[2];
  Mat<double> tab[2];
  for (int k = 0; k < 2; ++k) {
    test::Mixture mix = m;
    if (k == 1)
      for (int i = 1; i <= 3; ++i) mix.P(i, 6) *= 1.0e-40;
    const Vec<double> d = test::Values({0.3, -0.1, -0.2});
    test::StepState s(mix, OneGroup(3));
    IrlsAlloc(s.work, 3);
    Vec<double> theta = test::Values({0.2, 0.3, 0.5});
    s.Refresh(theta);
    Taylor(3, mix.ngenotypes, coef[k], d, mix.P, mix.count, s.q(), mix.possible, s.work.colmax);
    Step(s, theta, {1, 2, 3}, test::Values({0.5, 0.2, 0.3}), 1.0e-6, 1.0e-12);
    EXPECT_EQ(r.Last(), 0);
    result[k] = theta;

    test::Mixture mix4 = many;
    if (k == 1)
      for (int i = 1; i <= 4; ++i) mix4.P(i, 9) *= 1.0e-40;
    test::StepState s4(mix4, OneGroup(4));
    IrlsAlloc(s4.work, 4);
    s4.Refresh(Vec<double>(4, 0.25));
    Abmat(4, 1, mix4.count, s4.q(), s4.u(), mix4.P, s4.S, mix4.class_genotypes, s4.nposs,
          mix4.possible, s4.groups, s4.work);
    tab[k] = s4.work.tableau;
    rhs[k] = s4.work.rhs;
  }
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(coef[0][j], coef[1][j], 1.0e-9 * std::fabs(coef[0][j]));
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(result[0](i), result[1](i), 1.0e-12) << i;
  for (int r = 1; r <= 4; ++r) {
    EXPECT_NEAR(rhs[0](r), rhs[1](r), 1.0e-12 * std::fabs(rhs[0](r))) << r;
    for (int c = 1; c <= 12; ++c)
      EXPECT_NEAR(tab[0](r, c), tab[1](r, c), 1.0e-12 * std::fabs(tab[0](r, c))) << r << c;
  }
}

}  // namespace
}  // namespace velk
