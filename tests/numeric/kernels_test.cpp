#include "numeric/kernels.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/layout/layout.hpp"
#include "core/run.hpp"
#include "support/recording_platform.hpp"

namespace velk {
namespace {

struct LoggedRun {
  LoggedRun() { run.output.unit[0].OpenMemory(); }
  Process process;
  test::RecordingPlatform platform;
  velk::Run run{process, platform};
};

TEST(Factorial, TableFilledOnDemandAndArgumentsOutOfRangeStopTheRun) {
  LoggedRun r, a, b;
  EXPECT_NEAR(Dfact(r.run, 32), 2.6313083693369353e35, 1e21);
  EXPECT_EQ(Dfact(r.run, 20), 2432902008176640000.0);
  EXPECT_EQ(r.run.error.stop, 0);
  EXPECT_EQ(Dfact(a.run, -1), 0.0);
  EXPECT_EQ(a.run.error.stop, 1);
  EXPECT_EQ(Dfact(b.run, 33), 0.0);
  EXPECT_EQ(b.run.error.stop, 1);
  EXPECT_EQ(b.run.output.unit[0].Text().rfind(
                Fmt("(/1x,a,i3,a)", {"error: factorial of ", 33, " exceeds limit 32."}), 0),
            0u);
}

TEST(Kernels, StridedAccessAndLargest) {
  const double s[5] = {1.0, 99.0, 7.0, 99.0, 7.0};  // strided by 2: 1, 7, 7
  EXPECT_EQ(Idmax(3, s, 2), 2);                     // the first of a tie
  EXPECT_EQ(Dmax(3, s, 2), 7.0);
  EXPECT_EQ(Idmax(0, s, 1), 0);
  const double y[3] = {-9.0, 1.0, -10.0};
  EXPECT_EQ(Idmax(3, y, 1), 2);  // signed, not by magnitude

  // Integer sums of narrow vectors come back as 32 bits.
  std::int8_t c[6] = {100, 0, 100, 0, 100, 0};
  EXPECT_EQ(I1sum(3, c, 2), 300);
  EXPECT_EQ(Ih1sum(6, c, 1), 300);
  std::int16_t b[4] = {30000, -1, 30000, -1};
  EXPECT_EQ(Ih2sum(2, b, 2), 60000);
}

TEST(Kernels, InversionWithPivotingUndoesTheSwaps) {
  // Column 1 pivots on row 3, then column 2 on the row that came from row 1:
  // two swaps that do not commute, so the order of undoing them matters.
  const double rows[3][3] = {{0, 5, 1}, {1, 0, 2}, {4, 1, 0}};
  Mat<double> a(3, 3), inv(3, 3);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) a(i, j) = inv(i, j) = rows[i - 1][j - 1];
  int index[3];
  double det = 0.0;
  Mhxint(inv, 3, det, index);
  EXPECT_EQ(index[0], 3);
  EXPECT_NE(index[1], 2);
  EXPECT_NEAR(std::fabs(det), 41.0, 1e-12);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      double s = 0.0;
      for (int k = 1; k <= 3; ++k) s += a(i, k) * inv(k, j);
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-14) << i << "," << j;
    }
}

TEST(Kernels, SingularAndGrowingDeterminants) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> rows[] = {  // column-major; the determinant wanted last
      {1, 1, 1, 0, 0, 0, 1, 1, 1, 0.0},  // a zero column
      {1e-20, 0, 0, 1, 0.0},             // a pivot at the threshold counts as zero
      {nan, nan, 1, 1, 0.0},             // a NaN column too
      {1e30, 0, 0, 0, 1e30, 0, 0, 0, 2, 2.0e10},  // 1e60 is clamped to 1e10
  };
  for (std::vector<double> a : rows) {
    const int n = a.size() == 10 ? 3 : 2;
    int index[3];
    double det = 1.0;
    Mhxint(a.data(), n, n, det, index);
    EXPECT_EQ(det, a.back()) << a[0];
  }
}

}  // namespace
}  // namespace velk
