#include "numeric/kernels.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "core/layout/layout.hpp"
#include "core/run.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"

namespace velk {
namespace {

// A run whose log is a file in a fresh temporary directory.
class FactorialTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(run_.output.unit[0].Open(Log().string())); }
  std::filesystem::path Log() const { return dir_.Path() / "run.log"; }
  std::string LogText() {
    run_.output.unit[0].Close();
    return test::ReadFile(Log());
  }

  test::TempDir dir_;
  Process process_;
  test::RecordingPlatform platform_;
  velk::Run run_{process_, platform_};
};

TEST_F(FactorialTest, TableFilledOnDemandAndReused) {
  EXPECT_EQ(Dfact(run_, 0), 1.0);
  EXPECT_EQ(process_.factorial.highest, 0);
  EXPECT_EQ(Dfact(run_, 5), 120.0);
  EXPECT_EQ(process_.factorial.highest, 5);
  // A smaller argument reads the table: a planted value shows it is not recomputed.
  process_.factorial.table[3] = -7.0;
  EXPECT_EQ(Dfact(run_, 3), -7.0);
  EXPECT_EQ(process_.factorial.highest, 5);
  process_.factorial.table[3] = 6.0;

  double f = 1.0;
  for (int k = 2; k <= 32; ++k) f *= k;
  EXPECT_EQ(Dfact(run_, 32), f);
  EXPECT_NEAR(Dfact(run_, 32), 2.6313083693369353e35, 1e21);
  EXPECT_EQ(process_.factorial.highest, 32);
  EXPECT_EQ(Dfact(run_, 20), 2432902008176640000.0);
  EXPECT_EQ(run_.error.stop, 0);
  EXPECT_EQ(LogText(), "");
}

TEST_F(FactorialTest, NegativeArgumentStopsTheRun) {
  EXPECT_EQ(Dfact(run_, -1), 0.0);
  EXPECT_EQ(run_.error.stop, 1);
  const std::string expected = Fmt("(/1x,a)", {"error: negative factorial"}) + "\n";
  EXPECT_EQ(LogText().substr(0, expected.size()), expected);
}

TEST_F(FactorialTest, ArgumentAboveLimitStopsTheRun) {
  EXPECT_EQ(Dfact(run_, 33), 0.0);
  EXPECT_EQ(run_.error.stop, 1);
  EXPECT_EQ(process_.factorial.highest, 0);
  const std::string expected =
      Fmt("(/1x,a,i3,a)", {"error: factorial of ", 33, " exceeds limit 32."}) + "\n";
  EXPECT_EQ(LogText().substr(0, expected.size()), expected);
}

TEST(Kernels, ScaleByOneAndAxpyByZeroTouchNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // A NaN with a payload: any arithmetic would be free to change its bits.
  const double payload = std::bit_cast<double>(std::uint64_t{0x7ff4000000000123});
  double x[4] = {nan, inf, -0.0, payload};
  double y[4] = {-inf, nan, 1.5, payload};
  std::uint64_t before_x[4], before_y[4];
  for (int k = 0; k < 4; ++k) {
    before_x[k] = std::bit_cast<std::uint64_t>(x[k]);
    before_y[k] = std::bit_cast<std::uint64_t>(y[k]);
  }
  Dhscal(4, 1.0, x, 1);
  Dhaxpy(4, 0.0, x, 1, y, 1);
  Dhaxpy2(2, 0.0, x, 2, y, 2);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(x[k]), before_x[k]) << k;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(y[k]), before_y[k]) << k;
  }
  // Any other factor does work.
  double z[2] = {1.0, 2.0};
  Dhscal(2, 2.0, z, 1);
  EXPECT_EQ(z[1], 4.0);
}

TEST(Kernels, IndexOfLargestTakesTheFirstOnTies) {
  const double x[3] = {3.0, 5.0, 5.0};
  EXPECT_EQ(Idmax(3, x, 1), 2);
  EXPECT_EQ(Idmax(1, x, 1), 1);
  EXPECT_EQ(Idmax(0, x, 1), 0);
  // Signed, not by magnitude.
  const double y[3] = {-9.0, 1.0, -10.0};
  EXPECT_EQ(Idmax(3, y, 1), 2);
  // Strided: elements 1, 3, 5 are 1.0, 7.0, 7.0.
  const double s[5] = {1.0, 99.0, 7.0, 99.0, 7.0};
  EXPECT_EQ(Idmax(3, s, 2), 2);
  EXPECT_EQ(Dmax(3, s, 2), 7.0);
}

TEST(Kernels, StridedAccess) {
  // A 3 x 4 matrix; rows have increment 3.
  Mat<double> m(3, 4);
  for (int j = 1; j <= 4; ++j)
    for (int i = 1; i <= 3; ++i) m(i, j) = 10 * i + j;
  EXPECT_EQ(Dhsum(4, m.Ptr(2, 1), 3), 21.0 + 22 + 23 + 24);
  EXPECT_EQ(Ddot(4, m.Ptr(1, 1), 3, m.Ptr(3, 1), 3), 11.0 * 31 + 12 * 32 + 13 * 33 + 14 * 34);
  EXPECT_EQ(Dhdot2(3, m.Ptr(1, 2), 1, m.Ptr(1, 3), 1), 12.0 * 13 + 22 * 23 + 32 * 33);
  EXPECT_EQ(Ddot(0, m.Data(), 1, m.Data(), 1), 0.0);

  Dhaxpy1(4, 2.0, m.Ptr(1, 1), 3, m.Ptr(3, 1), 3);  // row 3 += 2 row 1
  EXPECT_EQ(m(3, 4), 34.0 + 28.0);
  EXPECT_EQ(m(2, 4), 24.0);
  Dhscal(2, -1.0, m.Ptr(1, 1), 6);  // (1,1) and (1,3)
  EXPECT_EQ(m(1, 1), -11.0);
  EXPECT_EQ(m(1, 3), -13.0);
  EXPECT_EQ(m(1, 2), 12.0);
  Dhset(2, 0.5, m.Ptr(2, 2), 3);
  EXPECT_EQ(m(2, 2), 0.5);
  EXPECT_EQ(m(2, 3), 0.5);
  EXPECT_EQ(m(2, 4), 24.0);

  // Integer sums of narrow vectors come back as 32 bits.
  std::int8_t c[6] = {100, 0, 100, 0, 100, 0};
  EXPECT_EQ(I1sum(3, c, 2), 300);
  EXPECT_EQ(Ih1sum(6, c, 1), 300);
  std::int16_t b[4] = {30000, -1, 30000, -1};
  EXPECT_EQ(Ih2sum(2, b, 2), 60000);
  std::int32_t v[6] = {4, -8, 2, 9, -1, 3};
  EXPECT_EQ(Imax(0, v, 1), 4);  // element 1 as passed
  EXPECT_EQ(Idot(3, v, 2, v + 1, 2), 4 * -8 + 2 * 9 + -1 * 3);
}

TEST(Kernels, MatrixProduct) {
  // Column-major A = [1 2; 3 4], B = [5 6; 7 8].
  double a[4] = {1, 3, 2, 4};
  double b[4] = {5, 7, 6, 8};
  double work[2];
  Mhmult(2, a, b, work);
  EXPECT_EQ(b[0], 19.0);
  EXPECT_EQ(b[1], 43.0);
  EXPECT_EQ(b[2], 22.0);
  EXPECT_EQ(b[3], 50.0);
}

// Largest |A * inv - I| over the n x n entries.
double IdentityError(const Mat<double>& a, const Mat<double>& inv, int n) {
  double worst = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      double s = 0.0;
      for (int k = 1; k <= n; ++k) s += a(i, k) * inv(k, j);
      worst = std::max(worst, std::fabs(s - (i == j ? 1.0 : 0.0)));
    }
  return worst;
}

TEST(Kernels, InversionOfAKnownMatrix) {
  // [2 -1 0; -1 2 -1; 0 -1 2] has the inverse [3 2 1; 2 4 2; 1 2 3] / 4.
  Mat<double> a(3, 3);
  const double rows[3][3] = {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) a(i, j) = rows[i - 1][j - 1];
  const double inverse[3][3] = {{3, 2, 1}, {2, 4, 2}, {1, 2, 3}};
  int index[3];
  double det = -1.0;
  Mhxint(a, 3, det, index);
  EXPECT_NEAR(det, 4.0, 1e-14);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(a(i, j), inverse[i - 1][j - 1] / 4.0, 1e-15);
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
  EXPECT_NEAR(std::fabs(det), 41.0, 1e-12);  // |det| = |0 - 5(0 - 8) + 1(1 - 0)|
  EXPECT_LT(IdentityError(a, inv, 3), 1e-14);

  // Inside a larger array: leading dimension 5, the 3 x 3 block at (2, 2).
  Mat<double> big(5, 5, 99.0);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) big(i + 1, j + 1) = rows[i - 1][j - 1];
  Mhxint(big.Ptr(2, 2), 3, 5, det, index);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(big(i + 1, j + 1), inv(i, j), 1e-15);
  EXPECT_EQ(big(1, 1), 99.0);
  EXPECT_EQ(big(5, 2), 99.0);
}

TEST(Kernels, InversionOfASingularMatrix) {
  Mat<double> a(3, 3, 1.0);
  for (int i = 1; i <= 3; ++i) a(i, 2) = 0.0;  // zero column
  a(1, 1) = 3.0;
  int index[3];
  double det = 1.0;
  Mhxint(a, 3, det, index);
  EXPECT_EQ(det, 0.0);

  // Pivots at the threshold also count as zero; a NaN column too.
  Mat<double> tiny(2, 2, 0.0);
  tiny(1, 1) = 1.0e-20;
  tiny(2, 2) = 1.0;
  Mhxint(tiny, 2, det, index);
  EXPECT_EQ(det, 0.0);
  Mat<double> bad(2, 2, 1.0);
  bad(1, 1) = bad(2, 1) = std::numeric_limits<double>::quiet_NaN();
  Mhxint(bad, 2, det, index);
  EXPECT_EQ(det, 0.0);
}

TEST(Kernels, DeterminantIsClampedAsItGrows) {
  Mat<double> a(3, 3, 0.0);
  a(1, 1) = 1e30;
  a(2, 2) = 1e30;  // 1e60 is clamped to 1e10
  a(3, 3) = 2.0;
  int index[3];
  double det = 0.0;
  Mhxint(a, 3, det, index);
  EXPECT_EQ(det, 2.0e10);
  EXPECT_EQ(a(3, 3), 0.5);
}

}  // namespace
}  // namespace velk
