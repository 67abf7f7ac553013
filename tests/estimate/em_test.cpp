#include "estimate/em.hpp"

#include <gtest/gtest.h>

#include "estimate/likelihood.hpp"
#include "estimate/stepwork.hpp"
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

// A small best member restarts and points the direction at it; one below eps but not
// below a thousandth gets no direction.
TEST(RestartTest, ASmallBestMemberRestartsAndPointsTheDirectionAtIt) {
  StepWork work;
  CgAlloc(work, 4);
  for (int i = 1; i <= 4; ++i) work.d(i) = 0.5 * i;
  work.prev_norm = 3.0;
  Vec<double> theta = Values({0.4, 0.0, 0.2, 0.2});  // population 2 below eps
  // Population 4 is not small: its group keeps d = 0.
  EXPECT_TRUE(Restart(4, MakeGroups({{1, 2}, {3, 4}}, {0.7, 0.3}), theta, Values<int>({2, 4}),
                      1.0e-4, work));
  EXPECT_EQ(work.restart, 1);
  EXPECT_EQ(work.prev_norm, -1.0);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.d(i), i == 2 ? 1.0 : 0.0) << i;
  theta(1) = 0.005;
  EXPECT_TRUE(Restart(4, OneGroup(4), theta, Values<int>({1}), 0.01, work));
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(work.d(i), 0.0);
}

}  // namespace
}  // namespace velk
