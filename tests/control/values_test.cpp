#include "control/values.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

class Values : public ::testing::Test {
 protected:
  double Real(std::string_view text) { return Greal(t_.run, text, pos_); }
  int Int(std::string_view text) { return Igint(t_.run, text, pos_); }
  int Code() { return Lastcd(t_.run); }
  test::RunFixture t_;
  int pos_ = -1;
};

TEST_F(Values, GrealReadsTheFirstNumber) {
  EXPECT_DOUBLE_EQ(Real("Estimate tolerance: 1.0e-4"), 0.0001);
  EXPECT_EQ(pos_, 26);
  EXPECT_DOUBLE_EQ(Real("1e-10"), 1e-10);
  EXPECT_DOUBLE_EQ(Real("x .25 y"), 0.25);
  EXPECT_EQ(pos_, 5);
  EXPECT_DOUBLE_EQ(Real("1.2.3"), 1.2);
  EXPECT_EQ(pos_, 3);
  EXPECT_DOUBLE_EQ(Real("0.0000000001"), 1e-10);
  EXPECT_DOUBLE_EQ(Real("2e5"), 2e5);
  EXPECT_DOUBLE_EQ(Real("-.5"), -0.5);
  EXPECT_DOUBLE_EQ(Real("1.5E+2"), 150.0);
  EXPECT_DOUBLE_EQ(Real("1.5e and more"), 1.5);
  EXPECT_DOUBLE_EQ(Real("7 "), 7.0);
  EXPECT_DOUBLE_EQ(Real("1e-999"), 0.0);  // below every double: zero
  EXPECT_EQ(Code(), 0);
}

TEST_F(Values, GrealReportsWhatItCannotRead) {
  EXPECT_EQ(Real("no digits here"), 0.0);
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(t_.run.error.a1, "numeric");
  EXPECT_EQ(t_.run.error.a2, "here");
  EXPECT_EQ(t_.run.error.stop, 0);
  EXPECT_EQ(Real(""), 0.0);
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(Real("1e999"), 0.0);  // beyond every double
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(Real("1.5e-x"), 0.0);  // exponent sign without digits
  EXPECT_EQ(Code(), 2001);
  EXPECT_DOUBLE_EQ(Real(std::string(99, '1')), 1.1111111111111111e98);
  EXPECT_EQ(Code(), 0);
  EXPECT_EQ(Real(std::string(100, '1')), 0.0);
  EXPECT_EQ(Code(), 2001);
}

TEST_F(Values, IgintTakesTheIntegerPart) {
  EXPECT_EQ(Int("Number of characters in analysis: 12"), 12);
  EXPECT_EQ(pos_, 36);
  EXPECT_EQ(Int("12.7"), 12);
  EXPECT_EQ(pos_, 2);  // the column before the point: the fraction comes next
  EXPECT_DOUBLE_EQ(Real(std::string_view("12.7").substr(2)), 0.7);
  EXPECT_EQ(Int("x -3.5"), -3);
  EXPECT_EQ(pos_, 4);
  EXPECT_EQ(Int(".5"), 0);
  EXPECT_EQ(pos_, 1);
  EXPECT_EQ(Int("2147483647"), 2147483647);
  EXPECT_EQ(Int("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(Int("000000000000042"), 42);
  EXPECT_EQ(Code(), 0);
}

TEST_F(Values, IgintReportsBadAndOversizedIntegers) {
  for (std::string_view bad :
       {"no digits", "2147483648", "-2147483649", "99999999999999999999 x", "1e-10"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Int(bad), 0);
    EXPECT_EQ(Code(), 2001);
    EXPECT_EQ(t_.run.error.a1, "numeric");
  }
}

TEST_F(Values, GlogicWords) {
  EXPECT_EQ(Glogic(t_.run, "Print baseline summary: yes"), 1);
  EXPECT_EQ(Glogic(t_.run, "Compute: off"), 0);
  EXPECT_EQ(Glogic(t_.run, ".false."), 0);
  EXPECT_EQ(Glogic(t_.run, "  .TRUE. "), 1);
  EXPECT_EQ(Glogic(t_.run, "based on"), 1);  // the word on
  EXPECT_EQ(Glogic(t_.run, "No"), 0);
  EXPECT_EQ(Glogic(t_.run, "irls: F"), 0);
  EXPECT_EQ(Code(), 0);
}

TEST_F(Values, GlogicReportsAMissingLogical) {
  EXPECT_EQ(Glogic(t_.run, "Print: maybe yes"), 1);
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(t_.run.error.a1, "logical");
  EXPECT_EQ(t_.run.error.a2, "Print: maybe yes");
  EXPECT_EQ(Glogic(t_.run, "Print: 0"), 1);
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(Glogic(t_.run, "nothing to say"), 1);
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(Glogic(t_.run, ".false"), 1);  // without its closing point
  EXPECT_EQ(Code(), 2001);
  EXPECT_EQ(Glogic(t_.run, ""), 1);
  EXPECT_EQ(Code(), 2001);
}

TEST_F(Values, DelimitedTexts) {
  int pos = 0;
  EXPECT_EQ(Gstrng("  Locus A : locus", ':', pos), "Locus A");
  EXPECT_EQ(pos, 11);
  EXPECT_EQ(Gstrng("  north.bse more", ' ', pos), "north.bse");
  EXPECT_EQ(pos, 12);
  EXPECT_EQ(Gstrng("no delimiter", ':', pos), "no delimiter");
  EXPECT_EQ(pos, 13);
  EXPECT_EQ(Gstrng("   ", ':', pos), "");
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(Gstrng("", ':', pos), "");
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(Gstrng(std::string(200, 'x'), ':', pos).size(), 132u);
  EXPECT_EQ(pos, 201);
  EXPECT_EQ(Gafter("* Estimation: Test mixture", ':', '\r', pos), "Test mixture");
  EXPECT_EQ(pos, 27);
  EXPECT_EQ(Gafter("Baseline file: C:\\data\\test.bse", ':', '\r', pos), "C:\\data\\test.bse");
  EXPECT_EQ(Gafter("no marker", ':', '\r', pos), "");
  EXPECT_EQ(pos, 10);
  EXPECT_EQ(Gafter("title:", ':', '\r', pos), "");
}

// Heading keys of the characters and populations tables.
constexpr std::array<std::string_view, 4> kChars{"id# ", "#typ", "char", "kind"};
constexpr std::array<std::string_view, 7> kPops{"id# ", "popu", "esti", "lev1",
                                                "lev2", "lev3", "file"};

class Order : public Values {
 protected:
  // Runs Gorder over `line` and returns the new order.
  std::vector<int> Run(std::string_view line, std::span<const std::string_view> keys) {
    ids_.Resize(static_cast<int>(keys.size()));
    for (int k = 1; k <= ids_.Size(); ++k) ids_(k) = k;
    Gorder(t_.run, line, ids_, keys, nfound_);
    return std::vector<int>(ids_.begin(), ids_.end());
  }
  Vec<int> ids_;
  int nfound_ = -1;
};

TEST_F(Order, NamedColumnsFirstThenTheRestInDefaultOrder) {
  EXPECT_EQ(Run("[Character] [ID #]", kChars), (std::vector<int>{3, 1, 2, 4}));
  EXPECT_EQ(nfound_, 2);
  EXPECT_EQ(Run("[ID #] [# Types] [Character] [Kind]", kChars), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(nfound_, 4);
  EXPECT_EQ(Run("Columns: [Kind] and [ID#]", kChars), (std::vector<int>{4, 1, 2, 3}));
  EXPECT_EQ(nfound_, 2);
  EXPECT_EQ(Run("[ID #] [Population] [Lev1]", kPops), (std::vector<int>{1, 2, 4, 3, 5, 6, 7}));
  EXPECT_EQ(nfound_, 3);
  // Only n headings are taken; what follows is not looked at.
  EXPECT_EQ(Run("[Kind][Char][#types][ID #][Colour]", kChars), (std::vector<int>{4, 3, 2, 1}));
  EXPECT_EQ(nfound_, 4);
  EXPECT_EQ(t_.run.error.stop, 0);
}

TEST_F(Order, FatalHeadings) {
  EXPECT_EQ(Run("[ID #] [Colour]", kChars), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(Code(), 3019);
  EXPECT_EQ(t_.run.error.a1, "colour");
  EXPECT_EQ(t_.run.error.stop, 1);
  EXPECT_EQ(nfound_, 0);

  t_.run.error.stop = 0;
  EXPECT_EQ(Run("[Kind] [ID #] [id#]", kChars), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(Code(), 3018);
  EXPECT_EQ(t_.run.error.a1, "id#");
  EXPECT_EQ(t_.run.error.stop, 1);

  t_.run.error.stop = 0;
  Run("no headings at all", kChars);
  EXPECT_EQ(Code(), 3020);
  EXPECT_EQ(t_.run.error.stop, 1);
  EXPECT_EQ(nfound_, 0);
}

// The readers take any line, however long or odd, and report within it.
TEST_F(Values, RandomLinesAreReadSafely) {
  const std::string alphabet = " +-.eE0123456789[]\\:*abtnoXY#,";
  std::mt19937 gen(7);
  for (int line = 0; line < 2000; ++line) {
    const int n = static_cast<int>(gen() % 300);
    std::string text;
    for (int k = 0; k < n; ++k) text += alphabet[gen() % alphabet.size()];
    Real(text);
    ASSERT_GE(pos_, 0);
    ASSERT_LE(pos_, n);
    Int(text);
    ASSERT_LE(pos_, n);
    const int logical = Glogic(t_.run, text);
    ASSERT_TRUE(logical == 0 || logical == 1);
    int p = 0;
    Gafter(text, ':', ']', p);
    ASSERT_LE(p, n + 1);
    Vec<int> ids(4);
    int found = 0;
    Gorder(t_.run, text, ids, kChars, found);
    t_.run.error.stop = 0;
  }
}

}  // namespace
}  // namespace velk
