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

}  // namespace
}  // namespace velk
