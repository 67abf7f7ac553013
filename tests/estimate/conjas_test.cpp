#include "estimate/conjas.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "estimate/em.hpp"
#include "estimate/irls.hpp"
#include "support/groups.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

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
