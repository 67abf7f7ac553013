#include "control/itoken.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/error.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

class Tokens : public ::testing::Test {
 protected:
  // One Itoken call; keeps the token and characters used.
  int Take(std::string_view text, int maxlen = 132) {
    return Itoken(t_.run, text, used_, token_, maxlen);
  }
  // Agval's normalised text; `length_` receives the characters taken.
  std::string Num(std::string_view text) {
    std::string r = "junk";
    Agval(t_.run, r, text, length_);
    return r;
  }
  test::RunFixture t_;
  int used_ = -1;
  int length_ = -1;
  std::string token_;
};

TEST_F(Tokens, WordsColonsNumbersAndBlanks) {
  EXPECT_EQ(Take("  Number of stocks"), kTokWord);
  EXPECT_EQ(token_, "number");
  EXPECT_EQ(used_, 8);
  EXPECT_EQ(Take(": 12"), kTokColon);
  EXPECT_EQ(token_, ":");
  EXPECT_EQ(used_, 1);
  EXPECT_EQ(Take("12"), kTokNumber);  // a number always ends the scan: not negated
  EXPECT_EQ(token_, "12");
  EXPECT_EQ(used_, 2);
  EXPECT_EQ(Take("   "), -kTokNone);
  EXPECT_EQ(used_, 3);
  EXPECT_EQ(Take(""), -kTokNone);
  EXPECT_EQ(used_, 0);
  EXPECT_EQ(Take(" Stocks"), -kTokWord);  // a word that runs to the end
  EXPECT_EQ(Take(", * Run"), kTokStar);
  EXPECT_EQ(used_, 3);
  EXPECT_EQ(Take("abc:def"), kTokWord);  // ":" ends a started token, unconsumed
  EXPECT_EQ(used_, 3);
}

TEST_F(Tokens, DigitMayNotFollowALetter) {
  EXPECT_EQ(Take("Lev1"), kTokWord);
  EXPECT_EQ(token_, "lev");
  EXPECT_EQ(used_, 3);
  EXPECT_EQ(Take(std::string_view("Lev1").substr(3)), kTokNumber);
  EXPECT_EQ(token_, "1");
}

TEST_F(Tokens, SignsAndPointsStartNumbersOrStandAlone) {
  EXPECT_EQ(Take("  -.5 x"), kTokNumber);
  EXPECT_EQ(token_, "-0.5");
  EXPECT_EQ(used_, 5);
  EXPECT_EQ(Take("x-5"), kTokWord);
  EXPECT_EQ(used_, 1);
  EXPECT_EQ(Take("- 5"), kTokNone);  // a sign alone is nothing recognised
  EXPECT_EQ(token_, "-");
  EXPECT_EQ(used_, 1);
  EXPECT_EQ(Take("..5"), kTokNone);  // a point may not follow a point
  EXPECT_EQ(used_, 1);
  EXPECT_EQ(Take(".TRUE."), kTokWord);  // a point may not follow a letter
  EXPECT_EQ(token_, ".true");
  EXPECT_EQ(Take("1.5e3,"), kTokNumber);
  EXPECT_EQ(token_, "1.5e+3");
  EXPECT_EQ(used_, 5);
}

TEST_F(Tokens, BracketedTexts) {
  EXPECT_EQ(Take(" [  ID # ] [Kind]"), kTokBracket);
  EXPECT_EQ(token_, "id #");
  EXPECT_EQ(used_, 10);
  EXPECT_EQ(Take("[]"), kTokBracket);
  EXPECT_EQ(token_, "");
  EXPECT_EQ(used_, 2);
  EXPECT_EQ(Take("[Open to the end"), -kTokBracket);
  EXPECT_EQ(token_, "open to the end");
  EXPECT_EQ(used_, 16);
  // A word stopped by "[" stays a word; the bracket comes next.
  EXPECT_EQ(Take("abc[x]"), kTokWord);
  EXPECT_EQ(token_, "abc");
  EXPECT_EQ(used_, 3);
}

TEST_F(Tokens, BackslashIsPassedOver) {
  EXPECT_EQ(Take("\\abc"), kTokColon);
  EXPECT_EQ(token_, "");
  EXPECT_EQ(used_, 1);
  EXPECT_EQ(Take("  \\"), kTokColon);
  EXPECT_EQ(used_, 3);
  EXPECT_EQ(Take("data\\test"), kTokWord);
  EXPECT_EQ(used_, 4);
}

TEST_F(Tokens, TokenFieldLimitsTheTokenNotTheScan) {
  EXPECT_EQ(Take("abcdefgh ijk", 4), kTokWord);
  EXPECT_EQ(token_, "abcd");
  EXPECT_EQ(used_, 8);
  EXPECT_EQ(Take("1234567 x", 3), kTokNumber);
  EXPECT_EQ(token_, "123");
  EXPECT_EQ(used_, 7);
  EXPECT_EQ(Take("[abcdef] x", 2), kTokBracket);
  EXPECT_EQ(token_, "ab");
  EXPECT_EQ(used_, 8);
  EXPECT_EQ(Take("word", 0), -kTokWord);
  EXPECT_EQ(token_, "");
  EXPECT_EQ(used_, 4);
}

TEST_F(Tokens, LowerCasing) {
  EXPECT_EQ(Tolow('Q'), 'q');
  EXPECT_EQ(Tolow('q'), 'q');
  EXPECT_EQ(Tolow('['), '[');
  EXPECT_EQ(Tolow('@'), '@');
}

TEST_F(Tokens, AgvalNormalises) {
  EXPECT_EQ(Num(".5"), "0.5");
  EXPECT_EQ(Num("-.5"), "-0.5");
  EXPECT_EQ(Num("1.5e3"), "1.5e+3");
  EXPECT_EQ(length_, 5);
  EXPECT_EQ(Num("1.5E-3x"), "1.5E-3");
  EXPECT_EQ(length_, 6);
  EXPECT_EQ(Num("1e-10"), "1-10");
  EXPECT_EQ(Num("2e5"), "2+5");
  EXPECT_EQ(Num("+7"), "+7");
  EXPECT_EQ(Num("  7 "), "7");  // leading blanks are skipped and counted
  EXPECT_EQ(length_, 3);
  EXPECT_EQ(Num("1.2.3"), "1.2");
  EXPECT_EQ(length_, 3);
  EXPECT_EQ(Num("12-5"), "12");
  EXPECT_EQ(length_, 2);
  EXPECT_EQ(Lastcd(t_.run), 0);
}

TEST_F(Tokens, AgvalGivesTheExponentLetterBack) {
  EXPECT_EQ(Num("1.5e "), "1.5");
  EXPECT_EQ(length_, 3);
  EXPECT_EQ(Num("1.5e"), "1.5");
  EXPECT_EQ(length_, 3);
  EXPECT_EQ(Num("2e x"), "2");  // the skipped letter is not in the text to drop
  EXPECT_EQ(length_, 1);
  EXPECT_EQ(Take("2e x"), kTokNumber);
  EXPECT_EQ(token_, "2");
  EXPECT_EQ(used_, 1);
}

TEST_F(Tokens, AgvalRejects) {
  for (std::string_view bad : {"-e5", "+-1", "-x", "e5"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Num(bad), "");
    EXPECT_EQ(Lastcd(t_.run), 1014);
    EXPECT_EQ(t_.run.error.a1, bad);
    EXPECT_GE(length_, 1);
    EXPECT_EQ(t_.run.error.stop, 0);
  }
  EXPECT_EQ(Num("   "), "");  // nothing there: no complaint
  EXPECT_EQ(length_, 3);
  EXPECT_EQ(Lastcd(t_.run), 0);
}

// Random printable lines, biased towards the characters the scanner treats
// specially: a scan by `pos += used` always ends within the line.
TEST_F(Tokens, EveryScanMovesForwardAndStaysInBounds) {
  const std::string alphabet = " +-.eE0123456789[]\\:*abzXY#,;/\t!\"~";
  std::mt19937 gen(20240611);
  for (int line = 0; line < 4000; ++line) {
    const int n = static_cast<int>(gen() % 200);
    std::string text;
    for (int k = 0; k < n; ++k)
      text +=
          (gen() % 4 == 0) ? static_cast<char>(32 + gen() % 95) : alphabet[gen() % alphabet.size()];
    int pos = 1, steps = 0;
    while (pos <= n) {
      const std::string_view rest =
          std::string_view(text).substr(static_cast<std::size_t>(pos - 1));
      const int type = Take(rest, 1 + static_cast<int>(gen() % 20));
      ASSERT_GE(used_, 1) << text;
      ASSERT_LE(used_, static_cast<int>(rest.size())) << text;
      ASSERT_LE(token_.size(), 20u);
      pos += used_;
      ASSERT_LE(++steps, n);
      if (type < 0) break;
    }
  }
}

}  // namespace
}  // namespace velk
