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

// Groups keep their totals; population 2, alone in its group, is far from its
// total, yet that is not counted as a change; a group without mass is left
// unscaled.
TEST(EmTest, GroupsKeepTheirTotalsOrHoldNothing) {
  const Vec<double> theta = Values({0.1, 0.1, 0.2, 0.3});
  Convergence conv;
  Vec<double> next =
      Step(test::RandomMixture(4, 20, 11), MakeGroups({{2}, {1, 3, 4}}, {0.4, 0.6}), theta, conv);
  EXPECT_EQ(next(2), 0.4);
  EXPECT_NEAR(next(1) + next(3) + next(4), 0.6, 1.0e-15);
  double change = 0.0;
  for (int i : {1, 3, 4}) change = std::fmax(change, std::fabs(next(i) - theta(i)));
  EXPECT_EQ(conv.change, change);
  conv = Convergence{1.0, 0.0};
  next = Step(test::RandomMixture(3, 10, 5), MakeGroups({{1, 2}, {3}}, {0.5, 0.5}),
              Values({0.0, 0.0, 1.0}), conv);
  EXPECT_EQ(std::vector<double>(next.begin(), next.end()), (std::vector<double>{0.0, 0.0, 0.5}));
  EXPECT_EQ(conv.change, 0.0);
}

}  // namespace
}  // namespace velk
