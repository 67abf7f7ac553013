#include "estimate/em.hpp"

#include <gtest/gtest.h>

#include "estimate/likelihood.hpp"
#include "support/groups.hpp"
#include "support/mixture.hpp"

namespace velk {
namespace {

using test::MakeGroups;
using test::Values;

// One EM step from theta.
Vec<double> Step(const test::Mixture& m, const Groups& groups, const Vec<double>& theta,
                 Convergence& conv) {
  Vec<double> q(m.ngenotypes), next(m.np);
  for (int g = 1; g <= m.ngenotypes; ++g) {
    for (int i = 1; i <= m.np; ++i) q(g) += theta(i) * m.P(i, g);
  }
  Em(m.np, m.ngenotypes, m.n, q.Data(), m.P, theta, next, m.count, m.possible, groups, conv);
  return next;
}

// A group without mass is left unscaled (the optimiser and likelihood-interval
// tests check the steps that keep group totals).
TEST(EmTest, AGroupWithoutMassIsLeftUnscaled) {
  Convergence conv{1.0, 0.0};
  const Groups groups = MakeGroups({{1, 2}, {3}}, {0.5, 0.5});
  const Vec<double> theta = Values({0.0, 0.0, 1.0});
  const Vec<double> next = Step(test::RandomMixture(3, 10, 5), groups, theta, conv);
  EXPECT_EQ(std::vector<double>(next.begin(), next.end()), (std::vector<double>{0.0, 0.0, 0.5}));
  EXPECT_EQ(conv.change, 0.0);
}

}  // namespace
}  // namespace velk
