// The posterior membership.
#include "estimate/upgmat.hpp"

#include <gtest/gtest.h>

namespace velk {
namespace {

// Rows are membership probabilities whatever the scale of a column; a genotype
// without mass keeps its products, 0; P may be overwritten.
TEST(PosteriorTest, MembershipProbabilitiesInPlace) {
  Mat<double> P(3, 3, 0.0);
  P(1, 1) = 0.2, P(2, 1) = 0.1, P(3, 3) = 0.7;
  for (int i = 1; i <= 3; ++i) P(i, 2) = P(i, 1) * 1.0e-70;
  Vec<double> theta(3, 0.5);
  theta(3) = 0.0;
  Posterior(3, 3, P, theta, P);
  const double want[3] = {2.0 / 3.0, 1.0 / 3.0, 0.0};
  for (int i = 1; i <= 3; ++i) {
    EXPECT_DOUBLE_EQ(P(i, 1), want[i - 1]);
    EXPECT_NEAR(P(i, 2), want[i - 1], 1.0e-15);
    EXPECT_EQ(P(i, 3), 0.0);
  }
}

}  // namespace
}  // namespace velk
