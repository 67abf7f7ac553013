#include "estimate/em.hpp"

#include <gtest/gtest.h>

#include "estimate/likelihood.hpp"
#include "support/groups.hpp"
#include "support/mixture.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

using test::MakeGroups;
using test::VecOf;

// A group without mass is left unscaled (the optimiser and likelihood-interval
// tests check the steps that keep group totals).
TEST(EmTest, AGroupWithoutMassIsLeftUnscaled) {
  const test::Mixture m = test::RandomMixture(3, 10, 5);
  const Groups groups = MakeGroups({{1, 2}, {3}}, {0.5, 0.5});
  test::StepState s(m, groups);
  s.theta = VecOf({0.0, 0.0, 1.0});
  for (int g = 1; g <= m.ngenotypes; ++g) s.qu(g) = m.P(3, g);
  s.conv = Convergence{1.0, 0.0};
  Em(s.data, m.n, groups, s.at);
  const Vec<double>& next = s.trial;
  EXPECT_EQ(std::vector<double>(next.begin(), next.end()), (std::vector<double>{0.0, 0.0, 0.5}));
  EXPECT_EQ(s.conv.change, 0.0);
}

}  // namespace
}  // namespace velk
