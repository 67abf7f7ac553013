#include "numeric/distributions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace velk {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

void ExpectRelative(double got, double want, double tol) {
  EXPECT_LE(std::fabs(got - want), tol * std::fabs(want)) << got << " vs " << want;
}

// Reference values computed independently to 50 digits (regularized incomplete
// gamma and inverse error function in multiple precision).
TEST(Distributions, AgainstIndependentValues) {
  struct Case {
    char f;  // 'i' DNORIN(x), 'n' DNORDF(x), 'c' DCHIDF(x, df)
    double x, want, tol, df = 0;
  };
  // clang-format off
  const Case cases[] = {
      {'i', 0.975, 1.9599639845400538556, 2e-16}, {'i', 0.3, -0.52440051270804081597, 2e-16},
      {'i', 0.02425, -1.9729610513118848376, 2e-16}, {'i', 0.999, 3.0902323061678132778, 2e-16},
      // 1 - 1e-10 as a double is 1 - 1.00000008274037e-10.
      {'i', 1e-10, -6.3613409024040561991, 2e-16}, {'i', 1 - 1e-10, 6.3613408896974218642, 2e-16},
      {'i', 1e-300, -37.047096299361199237, 2e-16}, {'i', 1e-100, -21.273453560965324294, 2e-16},
      {'i', 3e-5, -4.0128108111182538828, 2e-16}, {'n', -1.0, 0.15865525393145705141, 4e-16},
      {'n', 1.5, 0.933192798731141934, 4e-16}, {'n', -10.0, 7.619853024160526066e-24, 1e-15},
      {'n', -37.5, 4.6053530095819548438e-308, 1e-13},
      {'c', 3.841458820694124, 0.94999999999999994256, 1e-15, 1},
      {'c', 18.30703805327515, 0.95000000000000004829, 1e-15, 10},
      {'c', 124.3421134287, 0.9500000001558718564, 1e-15, 100},
      {'c', 1e-3, 2.6030818297031987926e-19, 1e-14, 10},
      {'c', 0.1, 0.51655532083046563428, 1e-15, 0.5},
      {'c', 1000.0, 0.50594714617076035805, 1e-14, 1000.0},
      {'c', 1e4, 0.99999999999969681982, 1e-15, 9000}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.f) + " " + std::to_string(c.x));
    ExpectRelative(c.f == 'i'   ? DNORIN(c.x)
                   : c.f == 'n' ? DNORDF(c.x)
                                : DCHIDF(c.x, c.df),
                   c.want, c.tol);
  }
  EXPECT_EQ(DNORIN(0.5), 0.0);
  EXPECT_EQ(DNORDF(0.0), 0.5);
  EXPECT_EQ(DNORIN(0.75), -DNORIN(0.25));  // symmetric where 1 - p is exact
  EXPECT_EQ(DCHIDF(300.0, 100), 1.0);
  for (double df : {0.5, 7.0, 1e6}) EXPECT_EQ(DCHIDF(0.0, df), 0.0);
  EXPECT_EQ(DCHIDF(kInf, 3.0), 1.0);
  EXPECT_NEAR(DGAMMA(5.0), 24.0, 1e-13);
  ExpectRelative(DGAMMA(-1.5), 4.0 / 3.0 * std::sqrt(3.14159265358979323846), 1e-15);
}

TEST(Distributions, BadArgumentsAreReported) {
  NumericReport r;
  EXPECT_EQ(DNORIN(0.0, &r), -kInf);
  EXPECT_EQ(DNORIN(1.0, &r), kInf);
  EXPECT_TRUE(std::isnan(DNORIN(1.5, &r)));
  EXPECT_TRUE(std::isnan(DNORIN(std::nan(""), &r)));
  ASSERT_EQ(r.messages.size(), 4u);
  EXPECT_EQ(r.messages[0].routine, "DNORIN");
  EXPECT_EQ(r.Worst(), NumericErrorType::kTerminal);

  r.Clear();
  EXPECT_EQ(DCHIDF(-2.5, 4.0, &r), 0.0);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].type, NumericErrorType::kNote);
  EXPECT_EQ(r.Lines().size(), 1u);  // a note has no traceback

  // A goodness of fit over a single genotype has no degrees of freedom.
  r.Clear();
  EXPECT_TRUE(std::isnan(DCHIDF(0.0, 0.0, &r)));
  EXPECT_EQ(r.messages.at(0).type, NumericErrorType::kTerminal);

  // Huge degrees of freedom far above the statistic underflow to 0 with a report.
  r.Clear();
  EXPECT_EQ(DCHIDF(1.0, 1e12, &r), 0.0);
  ASSERT_EQ(r.Lines().size(), 1u);
  EXPECT_EQ(r.Lines()[0].rfind(" *** WARNING ERROR", 0), 0u);
  EXPECT_NEAR(DCHIDF(1e12, 1e12), 0.5, 1e-5);

  r.Clear();
  EXPECT_TRUE(std::isnan(DGAMMA(0.0, &r)));
  EXPECT_TRUE(std::isnan(DGAMMA(-3.0, &r)));
  EXPECT_EQ(DGAMMA(1e-309, &r), std::numeric_limits<double>::max());
  EXPECT_EQ(DGAMMA(-180.5, &r), 0.0);
  EXPECT_EQ(DGAMMA(200.0, &r), std::numeric_limits<double>::max());
  // Terminal, terminal, fatal, alert, fatal: all but the alert with a traceback.
  const std::vector<std::string> lines = r.Lines();
  ASSERT_EQ(lines.size(), 5u + 4u * 5u);
  EXPECT_EQ(lines[0].rfind(" *** TERMINAL ERROR 1 from DGAMMA.  ", 0), 0u);
  EXPECT_EQ(lines[12].rfind(" *** FATAL ERROR 3 from DGAMMA.  ", 0), 0u);
  EXPECT_EQ(lines[18].rfind(" *** ALERT ERROR 4 from DGAMMA.  ", 0), 0u);
  EXPECT_EQ(lines[24], "     USER                                 0           0");
}

TEST(Distributions, SortAscendingNaNsLast) {
  std::vector<double> withnan = {2.0, std::nan(""), 1.0, std::nan(""), 0.5};
  DSVRGN(5, withnan.data(), withnan.data());  // in place
  EXPECT_EQ(withnan[0], 0.5);
  EXPECT_EQ(withnan[2], 2.0);
  EXPECT_TRUE(std::isnan(withnan[3]) && std::isnan(withnan[4]));
  NumericReport r;
  DSVRGN(0, withnan.data(), withnan.data(), &r);
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text,
            "N = 0.  The length of RA and RB, N, must be greater than or equal to one.");
}

}  // namespace
}  // namespace velk
