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

// Fixed, exponent and general editing, texts, positions and reversion are
// compared with gfortran byte for byte; here what that comparison does not
// reach: non-finite values, items of the wrong kind and layout validity.
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
  EXPECT_EQ(Fmt("(a,'=',i2,' end')", {"k"}), "k=");
}

TEST(LayoutRecords, HoldKeepsTheRecordOpen) {
  Records r;
  const Item row[] = {3, 0.1, 0.2};
  Render("(2x,i4,002(1x,f5.3)\\)", row, r);
  EXPECT_TRUE(r.keep_open);
  EXPECT_TRUE(r.done.empty());
  const Item more[] = {"z"};
  Render("(2x,a)", more, r);
  EXPECT_FALSE(r.keep_open);
  ASSERT_EQ(r.done.size(), 1u);
  EXPECT_EQ(r.done[0], "     3 0.100 0.200  z");
  // A hold not reached because the items ran out first does not count.
  Render("(2x,i4,005(1x,f5.3)\\)", row, r);
  EXPECT_FALSE(r.keep_open);
  // A write that continues the record counts its columns from where it began,
  // and its trailing blanks are not written.
  Records t;
  const Item abc[] = {"abc"};
  Render("(a,5x,$)", abc, t);
  const Item x[] = {"X"};
  Render("(t2,a)", x, t);
  ASSERT_EQ(t.done.size(), 1u);
  EXPECT_EQ(t.done[0], "abc X");
  EXPECT_EQ(Fmt("(1x,f5.3)\\)", {0.5}), " 0.500");
  // After "\" the later record ends of the same write keep the line open too.
  EXPECT_EQ(Fmt("(a,\\,/,a)", {"a", "b"}), "ab");
  EXPECT_EQ(Fmt("(a,/,a,\\)", {"f", "g", "h"}), "f\ngh");
  EXPECT_EQ(Fmt("(2(a,\\),a)", {"i", "j", "k", "l"}), "ijkl");
}

TEST(LayoutParse, CaseAndValidity) {
  EXPECT_EQ(Fmt("(I3,1X,A3,1X,F6.2,E9.2,G8.2)", {1, "ab", 1.5, 1.5, 1.5}),
            "  1  ab   1.50 0.15E+01 1.5    ");
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
