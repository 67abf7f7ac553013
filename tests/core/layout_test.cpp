#include "core/layout/layout.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "core/layout/edit.hpp"

namespace velk {
namespace {

// Fixed, exponent and general editing, texts, positions, reversion and held
// records are compared with gfortran byte for byte; here what that comparison
// does not reach: non-finite values, items of the wrong kind and layout validity.
TEST(LayoutEdit, NonFiniteValuesAndMismatchedKinds) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Fmt("(f9.2,f8.2,f4.1,f3.1)", {-inf, inf, -inf, -inf}), "-InfinityInfinity-Inf***");
  EXPECT_EQ(Fmt("(e9.3,'|',f3.1,'|',f2.1,'|',g8.2,'|',f7.1)",
                {std::nan(""), inf, std::nan(""), -inf, inf}),
            "      NaN|Inf|**|    -Inf|    Inf");
  EXPECT_EQ(Fmt("(f6.2)", {3}), "  3.00");
  EXPECT_EQ(Fmt("(i4,i4)", {2.5, -2.5}), "   3  -3");
  EXPECT_EQ(Fmt("(i3)", {"x"}), "***");
  EXPECT_EQ(Fmt("(a,1x,a,1x,a4)", {12, 0.1, 1e20}), "12 0.1 1e+2");
}

TEST(LayoutParse, Validity) {
  EXPECT_TRUE(IsValidLayout("(1x,i3,2x,a30,4(2x,f6.4,2x))"));
  EXPECT_TRUE(IsValidLayout("(1x,a5))"));  // text after the closing parenthesis is ignored
  EXPECT_FALSE(IsValidLayout("(weights for observed means are simply 1 - p)"));
  EXPECT_FALSE(IsValidLayout("(1x,i3"));
  EXPECT_FALSE(IsValidLayout("1x,i3"));
  EXPECT_FALSE(IsValidLayout("(f6)"));
  EXPECT_EQ(Fmt("(q3)", {1, "b", 0.5}), "1 b 0.5");
}

// Fixed editing of values below 2^31 with up to nine decimals is done in
// integer arithmetic; it must agree with the exactly rounded decimal text of
// the binary value (ties to even) for every kind of value.
TEST(LayoutEdit, FixedIntegerRoundingAgreesWithExactDecimalText) {
  std::mt19937_64 rng(2026);
  std::array<char, 600> buf;
  for (int n = 0; n < 200000; ++n) {
    const int d = static_cast<int>(rng() % 10);
    // Any bit pattern (subnormals included); few significant bits (exact ties at
    // every number of decimals); long mantissas at many scales; uniform fractions.
    const std::uint64_t r = rng();
    double x =
        n % 4 == 0   ? std::bit_cast<double>(r & 0x7fefffffffffffffULL)
        : n % 4 == 1 ? std::ldexp(static_cast<double>(r % 4096), -static_cast<int>(rng() % 14))
        : n % 4 == 2 ? std::ldexp(static_cast<double>(r >> 11), -static_cast<int>(rng() % 90))
                     : static_cast<double>(r >> 11) * 0x1.0p-53;
    if (n % 3 == 0) x = -x;
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(x),
                                   std::chars_format::fixed, d);
    // The narrowest field: sign, the digits with their leading zero, the point.
    std::string exact = std::string(std::signbit(x) ? "-" : "") + std::string(buf.data(), res.ptr);
    if (d == 0) exact += '.';
    std::string got;
    EditF(x, 0, d, got);
    ASSERT_EQ(got, exact) << "x = " << x << " d = " << d;
  }
}

}  // namespace
}  // namespace velk
