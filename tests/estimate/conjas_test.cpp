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

// A step along a descent direction gains nothing: it is halved until nothing moves and
// gives up (1006), keeping theta and L. (At the maximum, 1007: the optimiser's stall test.)
TEST_F(ConjasTest, AStepWithoutGainKeepsThetaAndTheLikelihood) {
  const test::Mixture m = test::RandomMixture(4, 30, 7);
  test::StepState s(m, OneGroup(4));
  CgAlloc(s.work, 4);
  Vec<double> theta(4, 0.25);
  s.Refresh(theta);
  // Inherit minus the gradient with a weight that swamps the new gradient.
  for (int i = 1; i <= 4; ++i) s.work.d(i) = -2.0 * std::sqrt(theta(i)) * (s.score(i) - m.n);
  s.work.prev_norm = 1.0e-12;
  const Vec<double> before = theta;
  const double L = s.L;
  Conjas(r.run, 4, 1, m.class_genotypes, theta, s.trial, m.P, m.lscale, m.count, s.score, s.q(),
         m.possible, s.L, s.groups, kEps, 1.0e-10, s.conv, s.work);
  EXPECT_EQ(r.Last(), 1006);
  EXPECT_EQ(r.run.error.a1, "conjugate gradient");
  EXPECT_LT(s.conv.change, kEps);
  EXPECT_EQ(s.L, L);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(theta(i), before(i));
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
    return Hood(3, m.ngenotypes, m.P, m.lscale, x, m.possible, m.count);
  };
  const double h = 1.0e-4;
  EXPECT_NEAR(coef[0], (at(h) - at(-h)) / (2 * h), 1.0e-5 * std::fabs(coef[0]) + 1.0e-6);
  EXPECT_NEAR(coef[1], (at(h) - 2 * at(0) + at(-h)) / (h * h), 1.0e-3 * std::fabs(coef[1]) + 1e-3);
  EXPECT_EQ(coef[2], 0.0);
  EXPECT_EQ(coef[3], 0.0);
}

}  // namespace
}  // namespace velk
