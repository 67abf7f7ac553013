// The layout writer against texts written by gfortran for the same layouts.
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

TEST(LayoutEdit, Integers) {
  EXPECT_EQ(Fmt("(i3,1x,i1,1x,i2)", {-99, -1, 0}), "-99 *  0");
  EXPECT_EQ(Fmt("(i5)", {12345}), "12345");
  EXPECT_EQ(Fmt("(i5)", {123456}), "*****");
  EXPECT_EQ(Fmt("(i5)", {-9999}), "-9999");
  EXPECT_EQ(Fmt("(i5)", {-10000}), "*****");
  EXPECT_EQ(Fmt("(2x,a,i12)", {"n", 2147483647}), "  n  2147483647");
}

TEST(LayoutEdit, FixedRoundsExactValueTiesToEvenWithLeadingZeroAndSign) {
  EXPECT_EQ(Fmt("(5(f5.2,1x))", {0.125, 0.375, -0.125, 0.625, 1.005}),
            " 0.12  0.38 -0.12  0.62  1.00");
  EXPECT_EQ(Fmt("(6(f3.0,1x))", {0.5, 1.5, 2.5, 3.5, -0.5, -2.5}), " 0.  2.  2.  4. -0. -2.");
  EXPECT_EQ(Fmt("(6(f6.2,1x))", {-0.001, -0.005, 0.005, 0.015, 1e10, -99.996}),
            " -0.00  -0.01   0.01   0.01 ****** ******");
  // Leading zero and sign.
  EXPECT_EQ(Fmt("(f4.3,1x,f5.3,1x,f2.1,1x,f1.0)", {0.5, -0.5, 0.5, 0.4}), ".500 -.500 .5 *");
  EXPECT_EQ(Fmt("(f2.0,'|',f1.0,'|',f3.0,'|',f2.0,'|',f3.1,'|',f4.1,'|',f2.1)",
                {0.4, 0.0, -0.4, 1.4, -0.04, -0.04, 0.04}),
            "0.|*|-0.|1.|-.0|-0.0|.0");
  EXPECT_EQ(Fmt("(f4.0)", {-0.0}), " -0.");
  EXPECT_EQ(Fmt("(f6.4)", {1.0}), "1.0000");
  EXPECT_EQ(Fmt("(f6.4)", {10.0}), "******");
  EXPECT_EQ(Fmt("(f12.2)", {-1234567.125}), " -1234567.12");
}

TEST(LayoutEdit, Exponent) {
  EXPECT_EQ(Fmt("(e9.3,1x,e12.4,1x,e8.2)", {1.0e-100, 1.0e200, 0.0}),
            "0.100E-99   0.1000+201 0.00E+00");
  EXPECT_EQ(Fmt("(e9.3,1x,e12.4,1x,e8.2)", {-1.0e-100, -0.0, 123.0}),
            "-.100E-99  -0.0000E+00 0.12E+03");
  EXPECT_EQ(Fmt("(e8.2,'|',e7.2,'|',e9.2,'|',e8.2,'|',e7.2)", {-0.5, 0.5, -1e100, 1e100, 1e-100}),
            "-.50E+00|.50E+00|-0.10+101|0.10+101|.10E-99");
  EXPECT_EQ(Fmt("(6(e9.2,1x))", {0.125, 0.375, 2.5, 1.5, 9.95, 9.96}),
            " 0.12E+00  0.38E+00  0.25E+01  0.15E+01  0.99E+01  0.10E+02");
  EXPECT_EQ(Fmt("(e5.1)", {0.5}), "*****");
}

TEST(LayoutEdit, GeneralNonFiniteTextsAndMismatchedKinds) {
  EXPECT_EQ(Fmt("(g8.3,'|',g12.6,'|',g8.2,'|',g13.7)", {0.0, 0.1, 99.6, 0.09999999999}),
            "0.00    |0.100000    |0.10E+03|0.1000000    ");
  EXPECT_EQ(Fmt("(g8.3,'|',g12.6,'|',g8.2,'|',g13.7)", {999.5, 0.0999999, -0.0, 1.0e100}),
            ".100E+04|0.999999E-01|-0.0    |0.1000000+101");
  // Decade boundaries are decided in double arithmetic, as gfortran does.
  EXPECT_EQ(Fmt("(6(g9.2,1x))", {0.125, 0.375, 2.5, 9.95, 0.095, 0.0995}),
            " 0.12      0.38       2.5       10.      0.95E-01  0.10    ");
  EXPECT_EQ(Fmt("(6(g9.2,1x))", {99.5, 98.5, 0.09951, 0.0994999, 1.0, 10.0}),
            " 0.10E+03   98.      0.10      0.99E-01   1.0       10.    ");
  EXPECT_EQ(Fmt("(6(g10.3,1x))", {999.5, 999.4999, 100.0, 0.1, 0.09995, -0.09995}),
            " 0.100E+04   999.       100.      0.100      0.999E-01 -0.999E-01");
  EXPECT_EQ(Fmt("(6(g6.1,1x))", {0.5, 9.5, 0.95, 0.05, 0.0, -1.0}),
            ".5     .1E+02 1.     .5E-01 0.     ******");
  EXPECT_EQ(Fmt("(g5.1)", {0.5}), "*****");
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Fmt("(f9.2,f8.2,f4.1,f3.1)", {-inf, inf, -inf, -inf}), "-InfinityInfinity-Inf***");
  EXPECT_EQ(Fmt("(e9.3,'|',f3.1,'|',f2.1,'|',g8.2,'|',f7.1)",
                {std::nan(""), inf, std::nan(""), -inf, inf}),
            "      NaN|Inf|**|    -Inf|    Inf");
  EXPECT_EQ(Fmt("(a3,'|',a,'|',a6,'|')", {"abcdef", "xy", "ab"}), "abc|xy|    ab|");
  EXPECT_EQ(Fmt("('It''s',\"x\"\"y\",i2)", {5}), "It'sx\"y 5");
  EXPECT_EQ(Fmt("(a i3 a a)", {"VELK Analysis ", 7, ":   ", "X"}), "VELK Analysis   7:   X");
  EXPECT_EQ(Fmt("(2x, a)", {"w"}), "  w");
  EXPECT_EQ(Fmt("(f6.2)", {3}), "  3.00");
  EXPECT_EQ(Fmt("(i4,i4)", {2.5, -2.5}), "   3  -3");
  EXPECT_EQ(Fmt("(i3)", {"x"}), "***");
  EXPECT_EQ(Fmt("(a,1x,a,1x,a4)", {12, 0.1, 1e20}), "12 0.1 1e+2");
}

TEST(LayoutRecords, PositionsTabsSlashesAndEmptyLayouts) {
  EXPECT_EQ(Fmt("(t5,i4,t36,f12.3,t49,f6.1t68,f6.4,t76,f6.4)", {1, 2.5, 3.0, 0.5, 0.25}),
            "       1                                  2.500    3.0             0.5000  0.2500");
  EXPECT_EQ(Fmt("(a,t2,a)", {"abcdef", "X"}), "aXcdef");
  EXPECT_EQ(Fmt("(a,tl2,a,tr3,a)", {"abcdef", "X", "Y"}), "abcdXf  Y");
  // Blanks from nx are written only when something follows them.
  EXPECT_EQ(Fmt("(a,i3,5x)", {"z", 1}), "z  1");
  EXPECT_EQ(Fmt("(a,'x',3x)", {"a"}), "ax");
  EXPECT_EQ(Fmt("(a,3x,'y',3x)", {"a"}), "a   y");
  EXPECT_EQ(Fmt("()"), "");
  EXPECT_EQ(Fmt("(i3)"), "");
  EXPECT_EQ(Fmt("(a,3x/)", {"a"}), "a\n");
  EXPECT_EQ(Fmt("(2/,a)", {"q"}), "\n\nq");
  EXPECT_EQ(Fmt("(/2x,a/)", {"t"}), "\n  t\n");
  EXPECT_EQ(Fmt("(/,5X,'****ERROR**** Illegal parameter value in ',' ZBQLGAM',/,5X,"
                "'(both parameters must be positive)',/)"),
            "\n     ****ERROR**** Illegal parameter value in  ZBQLGAM\n"
            "     (both parameters must be positive)\n");
  // Texts and blanks before the first descriptor without an item are written.
  EXPECT_EQ(Fmt("(5x,a,i4)", {"only"}), "     only");
  EXPECT_EQ(Fmt("(2(a,1x),a)", {"a", "b"}), "a b");
  EXPECT_EQ(Fmt("(a,'=',i2,' end')", {"k"}), "k=");
}

TEST(LayoutRecords, RepeatsAndReversion) {
  EXPECT_EQ(Fmt("(i5)", {1, 2, 3}), "    1\n    2\n    3");
  EXPECT_EQ(Fmt("(1x,a,2(i2,i3),i4)", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9}),
            " x 1  2 3  4   5\n 6  7 8  9");
  EXPECT_EQ(Fmt("(1x,a,(i2,i3),i4)", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9}),
            " x 1  2   3\n 4  5   6\n 7  8   9");
  EXPECT_EQ(Fmt("(1x,a,2(1x,3(i2)))", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9}),
            " x  1 2 3  4 5 6\n  7 8 9");
  EXPECT_EQ(Fmt("(2(/2x,a))", {"p", "q", "r"}), "\n  p\n  q\n\n  r\n");
  EXPECT_EQ(Fmt("(3a1/)", {"a", "b", "c", "d"}), "abc\n\nd");
  EXPECT_EQ(Fmt("(/2A/2A/A/)", {"a", "b", "c", "d", "e"}), "\nab\ncd\ne\n");
  EXPECT_EQ(Fmt("('(N)',03(3x,i2,1x)/)", {1, 2, 3}), "(N)    1     2     3\n");
  EXPECT_EQ(Fmt("(2x,i3,2x,a30,000(2x,f5.3,3x),002(1x,e9.3))", {1, "n", 1.0, 2.0}),
            "    1                               n 0.100E+01 0.200E+01");
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
