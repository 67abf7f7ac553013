#include "estimate/em.hpp"

#include <gtest/gtest.h>

#include "estimate/likelihood.hpp"
#include "support/groups.hpp"
#include "support/mixture.hpp"

namespace velk {
namespace {

using test::MakeGroups;
using test::VecOf;

// A group without mass is left unscaled (the optimiser and likelihood-interval
// tests check the steps that keep group totals).
TEST(EmTest, AGroupWithoutMassIsLeftUnscaled) {
  const test::Mixture m = test::RandomMixture(3, 10, 5);
  const Vec<double> theta = VecOf({0.0, 0.0, 1.0});
  Vec<double> q(m.ngenotypes), next(3);
  for (int g = 1; g <= m.ngenotypes; ++g) q(g) = m.P(3, g);
  Convergence conv{1.0, 0.0};
  Em(3, m.ngenotypes, m.n, q.Data(), m.P, theta, next, m.count, m.possible,
     MakeGroups({{1, 2}, {3}}, {0.5, 0.5}), conv);
  EXPECT_EQ(std::vector<double>(next.begin(), next.end()), (std::vector<double>{0.0, 0.0, 0.5}));
  EXPECT_EQ(conv.change, 0.0);
}

}  // namespace
}  // namespace velk
