#include "estimate/irls.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "support/step_run.hpp"

namespace velk {
namespace {

// ------------------------------------------------------------------ Csolve

TEST(CsolveTest, LinearRuleAndItsFallback) {
  EXPECT_EQ(Csolve({-3.0, 2.0, 0.0, 0.0}), 1.5);
  EXPECT_EQ(Csolve({2.0, -4.0, 0.0, 0.0}), 0.5);  // -D1/D2 = 0.5 by itself
  EXPECT_EQ(Csolve({3.0, -4.0, 0.0, 0.0}), 0.75);
  EXPECT_EQ(Csolve({2.0, 4.0, 0.0, 0.0}), 0.5);     // no curvature: not positive
  EXPECT_EQ(Csolve({2.0, 1.0e-7, 0.0, 0.0}), 0.5);  // too flat to divide by
  EXPECT_EQ(Csolve({0.0, 0.0, 0.0, 0.0}), 0.5);
}

TEST(CsolveTest, QuadraticTakesTheSmallerRootWhenTheSlopeIsNegative) {
  // t^2 - 4t + 3 = (t - 1)(t - 3).
  EXPECT_DOUBLE_EQ(Csolve({3.0, -4.0, 1.0, 0.0}), 1.0);
  // t^2 + t - 6 = (t - 2)(t + 3): c2 > 0, so r1 = 2.
  EXPECT_DOUBLE_EQ(Csolve({-6.0, 1.0, 1.0, 0.0}), 2.0);
  // No real root: the linear rule, -c1/c2 = 2.
  EXPECT_DOUBLE_EQ(Csolve({4.0, -2.0, 1.0, 0.0}), 2.0);
}

TEST(CsolveTest, CubicTakesTheSmallestPositiveRoot) {
  // (t - 1)(t - 2)(t - 3): three real roots.
  EXPECT_NEAR(Csolve({-6.0, 11.0, -6.0, 1.0}), 1.0, 1.0e-12);
  // (t + 1)(t - 0.5)(t - 4), leading coefficient 2.
  EXPECT_NEAR(Csolve({4.0, -5.0, -7.0, 2.0}), 0.5, 1.0e-12);
  // (t - 2)(t^2 + 1): one real root.
  EXPECT_NEAR(Csolve({-2.0, 1.0, -2.0, 1.0}), 2.0, 1.0e-12);
  // (t + 1)(t + 2)(t + 3): no positive root anywhere, so 0.5.
  EXPECT_EQ(Csolve({6.0, 11.0, 6.0, 1.0}), 0.5);
}

// ----------------------------------------------------------- Leave, Wolfe

TEST(LeaveTest, SmallestRatioWinsAndTiesGoColumnByColumn) {
  const int np = 3;
  Mat<double> t(np, 3 * np);
  Vec<double> rhs(np);
  Vec<std::int32_t> l1(np), l2(np);
  // Entering column 1: ratios 2/1, 3/2, 1/-1 (not positive).
  t(1, 1) = 1.0;
  t(2, 1) = 2.0;
  t(3, 1) = -1.0;
  rhs(1) = 2.0;
  rhs(2) = 3.0;
  rhs(3) = 1.0;
  EXPECT_EQ(Leave(np, 1, t, rhs, l1, l2), 2);

  // All three tie at ratio 0. Column 1 is the entering one (1 each); column 2
  // drops row 1 (3/1 against 2/2 and 4/4); column 3 picks row 3 (-1/4 < 0/2).
  t(3, 1) = 4.0;
  rhs.Fill(0.0);
  t(1, 2) = 3.0;
  t(2, 2) = 2.0;
  t(3, 2) = 4.0;
  t(3, 3) = -1.0;
  EXPECT_EQ(Leave(np, 1, t, rhs, l1, l2), 3);

  // Rows that stay tied through every column: the first of them.
  Mat<double> same(2, 6);
  Vec<double> r2(2, 1.0);
  same(1, 4) = 1.0;
  same(2, 4) = 1.0;
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
  t(1, 1) = 2.0;
  t(1, 4) = -1.0;
  t(1, 6) = 1.0;
  t(1, 7) = 1.0;
  w.rhs(1) = 1.0;
  w.basis(1) = 7;
  // Row 2: (2 t2 - v2 + v3) / 4 + a2 = 1.
  t(2, 2) = 0.5;
  t(2, 5) = -0.25;
  t(2, 6) = 0.25;
  t(2, 8) = 1.0;
  w.rhs(2) = 1.0;
  w.basis(2) = 8;
  // Row 3: the group sum, t3 basic.
  t(3, 1) = t(3, 2) = t(3, 3) = 1.0;
  w.rhs(3) = 1.0;
  w.basis(3) = 3;
  for (int c = 7; c <= 9; ++c) w.cost(c) = -1.0;

  ASSERT_EQ(Wolfe(r.run, 3, w), 0);
  EXPECT_EQ(r.Last(), 0);
  Vec<double> theta(3);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_LE(w.basis(row), 6) << "artificial left in row " << row;
    if (w.basis(row) <= 3) theta(w.basis(row)) = w.solution(row);
  }
  EXPECT_NEAR(theta(1), 0.0, 1.0e-14);
  EXPECT_NEAR(theta(2), 1.0, 1.0e-14);
  EXPECT_NEAR(theta(3), 0.0, 1.0e-14);
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
  // One iteration as the driver makes it; returns the last message.
  int Iterate(test::StepState& s, Vec<double>& theta, double eps, double tau) {
    s.Refresh(theta);
    Abmat(s.m.np, 1, s.m.count, s.q(), s.u(), s.m.P, s.S, s.m.class_genotypes, s.nposs,
          s.m.possible, s.groups, s.work);
    if (Wolfe(r.run, s.m.np, s.work) != 0) return r.Last();
    Newges(r.run, s.m.np, s.m.ngenotypes, s.m.possible, theta, s.trial, s.m.P, s.m.count, s.q(),
           s.L, eps, tau, s.conv, s.work);
    return r.Last();
  }
  test::StepRun r;
};

TEST_F(IrlsTest, IterationsReachThePlainEmMaximum) {
  // Probabilities summing to well below 1 in every population, as with real data.
  const test::Mixture m = test::RandomMixture(4, 30, 7, 0.02);
  const Vec<double> expected = test::PlainEm(m);
  test::StepState s(m, OneGroup(4));
  IrlsAlloc(s.work, 4);
  Vec<double> theta(4, 0.25);
  int last = 0;
  for (int it = 0; it < 100 && last == 0; ++it) {
    last = Iterate(s, theta, 1.0e-10, 1.0e-15);
    if (s.conv.change < 1.0e-10) break;
  }
  EXPECT_NE(last, 1011);
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(theta(i), expected(i), 1.0e-6) << i;
}

TEST_F(IrlsTest, AGroupOfOnePopulationKeepsItsTotal) {
  const test::Mixture m = test::RandomMixture(4, 30, 31, 0.02);
  Groups g;
  g.k = 2;
  g.size = Vec<int>(2);
  g.size(1) = 3;
  g.size(2) = 1;
  g.members = Vec<int>(4);
  for (int i = 1; i <= 4; ++i) g.members(i) = i;
  g.total = Vec<double>(2);
  g.total(1) = 0.7;
  g.total(2) = 0.3;
  test::StepState s(m, g);
  IrlsAlloc(s.work, 4);
  Vec<double> theta(4);
  theta(1) = theta(2) = theta(3) = 0.7 / 3;
  theta(4) = 0.3;
  s.Refresh(theta);
  Abmat(4, 1, m.count, s.q(), s.u(), m.P, s.S, m.class_genotypes, s.nposs, m.possible, g, s.work);
  EXPECT_EQ(s.work.basis(4), 4);
  EXPECT_EQ(s.work.rhs(4), 0.3);
  EXPECT_EQ(s.work.tableau(4, 4), 1.0);
  for (int c = 1; c <= 12; ++c) {
    if (c != 4) {
      EXPECT_EQ(s.work.tableau(4, c), 0.0) << c;
    }
  }
  const double L0 = s.L;
  for (int it = 0; it < 20; ++it) {
    if (Iterate(s, theta, 1.0e-8, 1.0e-14) != 0) break;
  }
  EXPECT_EQ(theta(4), 0.3);
  EXPECT_NEAR(theta(1) + theta(2) + theta(3), 0.7, 1.0e-14);
  EXPECT_GE(s.L, L0);
}

TEST_F(IrlsTest, ASolutionEqualToThetaGivesUpAtOnce) {
  const test::Mixture m = test::RandomMixture(3, 10, 3);
  test::StepState s(m, OneGroup(3));
  IrlsAlloc(s.work, 3);
  Vec<double> theta(3);
  theta(1) = 0.2;
  theta(2) = 0.3;
  theta(3) = 0.5;
  s.Refresh(theta);
  for (int row = 1; row <= 3; ++row) {
    s.work.basis(row) = row;
    s.work.solution(row) = theta(row);
  }
  const Vec<double> before = theta;
  const double L = s.L;
  Newges(r.run, 3, m.ngenotypes, m.possible, theta, s.trial, m.P, m.count, s.q(), s.L, 1.0e-4,
         1.0e-10, s.conv, s.work);
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
  Vec<double> theta(3);
  theta(1) = 0.2;
  theta(2) = 0.3;
  theta(3) = 0.5;
  s.Refresh(theta);
  // Move to the best point on the edge theta_2 = 0 (multiplier 2 basic in row 2).
  Vec<double> edge(3);
  double best = -1.0e300;
  for (int k = 0; k <= 1000; ++k) {
    Vec<double> x(3);
    x(1) = k / 1000.0;
    x(3) = 1.0 - x(1);
    const double h = Hood(3, m.ngenotypes, m.P, x, m.possible, m.count);
    if (h > best) {
      best = h;
      edge = x;
    }
  }
  if (best <= s.L) GTEST_SKIP() << "the edge is not better than the start for this mixture";
  s.work.basis(1) = 1;
  s.work.basis(2) = 5;
  s.work.basis(3) = 3;
  s.work.solution(1) = edge(1);
  s.work.solution(2) = 0.0;
  s.work.solution(3) = edge(3);
  Newges(r.run, 3, m.ngenotypes, m.possible, theta, s.trial, m.P, m.count, s.q(), s.L, 1.0e-6,
         1.0e-12, s.conv, s.work);
  EXPECT_EQ(r.Last(), 0);
  EXPECT_EQ(s.work.active(1), 1);
  EXPECT_EQ(s.work.active(2), 0);
  EXPECT_EQ(s.work.active(3), 1);
  EXPECT_GE(theta(2), 0.0);
  EXPECT_LT(theta(2), 0.3);
}

// The Taylor coefficients and a whole step with a fixed solution stay as they
// are when a genotype's column of P (far below the floor) is scaled by 1e-40.
TEST_F(IrlsTest, RelativeFloorsMakeTheStepIndependentOfAColumnsScale) {
  const test::Mixture m = test::RandomMixture(3, 20, 41, 1.0e-5);
  test::Mixture scaled = m;
  for (int i = 1; i <= 3; ++i) scaled.P(i, 6) *= 1.0e-40;
  Vec<double> d(3);
  d(1) = 0.3;
  d(2) = -0.1;
  d(3) = -0.2;
  std::array<double, 4> coef[2];
  Vec<double> result[2];
  for (int k = 0; k < 2; ++k) {
    const test::Mixture& mix = k == 0 ? m : scaled;
    test::StepState s(mix, OneGroup(3));
    IrlsAlloc(s.work, 3);
    Vec<double> theta(3);
    theta(1) = 0.2;
    theta(2) = 0.3;
    theta(3) = 0.5;
    s.Refresh(theta);
    Taylor(3, mix.ngenotypes, coef[k], d, mix.P, mix.count, s.q(), mix.possible, s.work.colmax);
    for (int row = 1; row <= 3; ++row) {
      s.work.basis(row) = row;
      s.work.solution(row) = theta(row) + d(row);
    }
    Newges(r.run, 3, mix.ngenotypes, mix.possible, theta, s.trial, mix.P, mix.count, s.q(), s.L,
           1.0e-6, 1.0e-12, s.conv, s.work);
    EXPECT_EQ(r.Last(), 0);
    result[k] = theta;
  }
  for (int j = 0; j < 4; ++j) {
    EXPECT_NEAR(coef[0][j], coef[1][j], 1.0e-9 * std::fabs(coef[0][j])) << j;
  }
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(result[0](i), result[1](i), 1.0e-12) << i;
}

// Genotypes far below their observed counts (as with many loci) bring terms
// relative to their mixture probability: the quadratic problem stays as it is
// when a genotype's column of P is scaled by 1e-40, and IRLS reaches the plain
// EM maximum from the start.
TEST_F(IrlsTest, ManyLociProblemIsIndependentOfAColumnsScale) {
  const test::Mixture m = test::RandomMixture(4, 30, 43, 1.0e-30);
  test::Mixture scaled = m;
  for (int i = 1; i <= 4; ++i) scaled.P(i, 9) *= 1.0e-40;
  Vec<double> theta(4, 0.25);
  Mat<double> tab[2];
  Vec<double> rhs[2];
  for (int k = 0; k < 2; ++k) {
    const test::Mixture& mix = k == 0 ? m : scaled;
    test::StepState s(mix, OneGroup(4));
    IrlsAlloc(s.work, 4);
    s.Refresh(theta);
    Abmat(4, 1, mix.count, s.q(), s.u(), mix.P, s.S, mix.class_genotypes, s.nposs, mix.possible,
          s.groups, s.work);
    tab[k] = s.work.tableau;
    rhs[k] = s.work.rhs;
  }
  for (int r = 1; r <= 4; ++r) {
    EXPECT_NEAR(rhs[0](r), rhs[1](r), 1.0e-12 * std::fabs(rhs[0](r))) << r;
    for (int c = 1; c <= 12; ++c) {
      EXPECT_NEAR(tab[0](r, c), tab[1](r, c), 1.0e-12 * std::fabs(tab[0](r, c))) << r << c;
    }
  }

  const Vec<double> expected = test::PlainEm(m);
  test::StepState s(m, OneGroup(4));
  IrlsAlloc(s.work, 4);
  int last = 0;
  int it = 0;
  while (it < 50 && last == 0) {
    ++it;
    last = Iterate(s, theta, 1.0e-10, 1.0e-15);
    if (s.conv.change < 1.0e-10) break;
  }
  // A few dozen steps at most, then nothing more to gain.
  EXPECT_LT(it, 40);
  EXPECT_NE(last, 1011);
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(theta(i), expected(i), 1.0e-6) << i;
}

}  // namespace
}  // namespace velk
