#include "estimate/conjas.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "estimate/em.hpp"
#include "estimate/irls.hpp"
#include "support/groups.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

constexpr double kEps = 1.0e-4;

class ConjasTest : public testing::Test {
 protected:
  test::StepRun r;
};

// A step that gains nothing keeps theta and L: at an interior maximum it reports
// relative convergence (1007); along a descent direction it is halved until
// nothing moves and gives up (1006).
TEST_F(ConjasTest, AStepWithoutGainKeepsThetaAndTheLikelihood) {
  const test::Mixture m = test::RandomMixture(4, 30, 7);
  for (bool at_max : {true, false}) {
    SCOPED_TRACE(at_max ? "at the maximum" : "descent direction");
    test::StepState s(m, OneGroup(4));
    CgAlloc(s.work, 4);
    Vec<double> theta = at_max ? test::PlainEm(m) : Vec<double>(4, 0.25);
    s.Refresh(theta);
    if (at_max) {
      for (int i = 1; i <= 4; ++i) ASSERT_GT(theta(i), 0.01);  // interior
      s.work.restart = 1;
      s.work.prev_norm = 1.0;  // no restart
    } else {
      // Inherit minus the gradient with a weight that swamps the new gradient.
      for (int i = 1; i <= 4; ++i) s.work.d(i) = -2.0 * std::sqrt(theta(i)) * (s.score(i) - m.n);
      s.work.prev_norm = 1.0e-12;
    }
    const Vec<double> before = theta;
    const double L = s.L;
    Conjas(r.run, 4, 1, m.class_genotypes, theta, s.trial, m.P, m.count, s.score, s.q(), m.possible,
           s.L, s.groups, kEps, 1.0e-10, s.conv, s.work);
    EXPECT_EQ(r.Last(), at_max ? 1007 : 1006);
    if (!at_max) {
      EXPECT_EQ(r.run.error.a1, "conjugate gradient");
      EXPECT_LT(s.conv.change, kEps);
    }
    EXPECT_EQ(s.L, L);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(theta(i), before(i));
  }
}

// A genotype far below the floor in absolute terms: its column of P scaled by
// 1e-40 leaves the line coefficients and the step as they were.
TEST_F(ConjasTest, RelativeFloorsMakeTheStepIndependentOfAColumnsScale) {
  const test::Mixture m = test::RandomMixture(4, 30, 19, 1.0e-5);
  test::Mixture scaled = m;
  for (int i = 1; i <= 4; ++i) scaled.P(i, 3) *= 1.0e-40;

  std::array<double, 4> coef[2];
  Vec<double> result[2];
  int k = 0;
  for (const test::Mixture* mix : {&m, static_cast<const test::Mixture*>(&scaled)}) {
    test::StepState s(*mix, OneGroup(4));
    CgAlloc(s.work, 4);
    s.work.restart = 4;
    Vec<double> theta = test::Values({0.1, 0.2, 0.3, 0.4});
    s.Refresh(theta);
    Restart(4, s.groups, theta, s.best, kEps, s.work);
    Conjas(r.run, 4, 1, mix->class_genotypes, theta, s.trial, mix->P, mix->count, s.score, s.q(),
           mix->possible, s.L, s.groups, kEps, 1.0e-10, s.conv, s.work);
    EXPECT_EQ(r.Last(), 0);
    Taymax(4, mix->ngenotypes, theta, s.work.d, s.q(), mix->count, mix->P, coef[k], mix->possible,
           s.work.colmax, s.work.w1, s.work.w2);
    result[k++] = theta;
  }
  for (int i = 1; i <= 4; ++i) EXPECT_NEAR(result[0](i), result[1](i), 1.0e-12) << i;
  EXPECT_NEAR(coef[0][0], coef[1][0], 1.0e-9 * std::fabs(coef[0][0]));
  EXPECT_NEAR(coef[0][1], coef[1][1], 1.0e-9 * std::fabs(coef[0][1]));
}

TEST(TaymaxTest, CoefficientsAreTheDerivativesAlongTheDirection) {
  // L(t) = sum count ln q(theta(t)) with theta(t) = normalised (sqrt(theta) + t d)^2.
  const test::Mixture m = test::RandomMixture(3, 15, 23);
  test::StepState s(m, OneGroup(3));
  const Vec<double> theta = test::Values({0.5, 0.3, 0.2}), d = test::Values({-0.1, 0.2, 0.05});
  s.Refresh(theta);
  std::array<double, 4> coef{};
  Taymax(3, m.ngenotypes, theta, d, s.q(), m.count, m.P, coef, m.possible, s.work.colmax, s.work.w1,
         s.work.w2);
  auto at = [&](double t) {
    Vec<double> x(3);
    Convergence c;
    Normal(theta, x, t, d, s.groups, c);
    return Hood(3, m.ngenotypes, m.P, x, m.possible, m.count);
  };
  const double h = 1.0e-4;
  EXPECT_NEAR(coef[0], (at(h) - at(-h)) / (2 * h), 1.0e-5 * std::fabs(coef[0]) + 1.0e-6);
  EXPECT_NEAR(coef[1], (at(h) - 2 * at(0) + at(-h)) / (h * h), 1.0e-3 * std::fabs(coef[1]) + 1e-3);
  EXPECT_EQ(coef[2], 0.0);
  EXPECT_EQ(coef[3], 0.0);
}

TEST(NormalTest, SquaresAreScaledToEachGroupsTotalAndAGroupOfOneTakesItsTotal) {
  const Groups g = test::MakeGroups({{1, 3}, {2}}, {0.6, 0.4});
  const Vec<double> theta = test::Values({0.36, 0.0, 0.64}), d = test::Values({-1.0, 0.0, 1.0});
  Vec<double> x(3);
  Convergence c;
  Normal(theta, x, 0.5, d, g, c);
  // (0.6 - 0.5)^2 = 0.01 and (0.8 + 0.5)^2 = 1.69, scaled to 0.6.
  EXPECT_NEAR(x(1), 0.01 * 0.6 / 1.70, 1.0e-15);
  EXPECT_NEAR(x(3), 1.69 * 0.6 / 1.70, 1.0e-15);
  EXPECT_EQ(x(2), 0.4);
  EXPECT_NEAR(c.change, std::fabs(x(1) - 0.36), 1.0e-15);  // the largest move
}

}  // namespace
}  // namespace velk
