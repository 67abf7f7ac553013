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

TEST_F(Tokens, TypeTokenAndCharactersUsed) {
  struct Case {
    const char* text;
    int maxlen;
    int type;
    const char* token;  // nullptr: not checked
    int used;
  };
  const Case cases[] = {
      {"  Number of stocks", 132, kTokWord, "number", 8},
      {"12", 132, kTokNumber, "12", 2},  // a number always ends the scan: not negated
      {"", 132, -kTokNone, nullptr, 0},
      {" Stocks", 132, -kTokWord, "stocks", 7},  // a word that runs to the end
      {", * Run", 132, kTokStar, nullptr, 3},
      {"abc:def", 132, kTokWord, "abc", 3},  // ":" ends a started token, unconsumed
      {"Lev1", 132, kTokWord, "lev", 3},     // a digit may not follow a letter
      // Signs and points start numbers or stand alone.
      {"  -.5 x", 132, kTokNumber, "-0.5", 5},
      {"x-5", 132, kTokWord, "x", 1},
      {"- 5", 132, kTokNone, "-", 1},         // a sign alone is nothing recognised
      {"..5", 132, kTokNone, nullptr, 1},     // a point may not follow a point
      {".TRUE.", 132, kTokWord, ".true", 5},  // nor a letter
      {"1.5e3,", 132, kTokNumber, "1.5e+3", 5},
      {"2e x", 132, kTokNumber, "2", 1},  // the exponent letter is given back
      // Bracketed texts.
      {" [  ID # ] [Kind]", 132, kTokBracket, "id #", 10},
      {"[Open to the end", 132, -kTokBracket, "open to the end", 16},
      {"abc[x]", 132, kTokWord, "abc", 3},  // a word stopped by "[" stays a word
      // A backslash is passed over.
      {"\\abc", 132, kTokColon, "", 1},
      {"data\\test", 132, kTokWord, nullptr, 4},
      // The token field limits the token, not the scan.
      {"abcdefgh ijk", 4, kTokWord, "abcd", 8},
      {"[abcdef] x", 2, kTokBracket, "ab", 8},
      {"word", 0, -kTokWord, "", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Take(c.text, c.maxlen), c.type);
    EXPECT_EQ(token_, c.token ? c.token : token_);
    EXPECT_EQ(used_, c.used);
  }
}

TEST_F(Tokens, AgvalNormalisesOrRejects) {
  struct Case {
    const char* text;
    const char* want;
    int length;  // -1: not checked
  };
  for (const Case& c : {Case{".5", "0.5", -1},
                        {"1.5E-3x", "1.5E-3", 6},
                        {"1e-10", "1-10", -1},
                        {"2e5", "2+5", -1},
                        {"  7 ", "7", 3},
                        {"1.2.3", "1.2", 3},
                        {"12-5", "12", 2},
                        {"1.5e ", "1.5", 3},
                        {"   ", "", 3}}) {  // nothing there: no complaint
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Num(c.text), c.want);
    EXPECT_EQ(length_, c.length >= 0 ? c.length : length_);
    EXPECT_EQ(Lastcd(t_.run), 0);
  }
  for (std::string_view bad : {"-e5", "+-1", "-x", "e5"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Num(bad), "");
    EXPECT_EQ(Lastcd(t_.run), 1014);
    ASSERT_FALSE(t_.run.messages.empty());
    EXPECT_NE(t_.run.messages.back().text.find(bad), std::string::npos);
    EXPECT_GE(length_, 1);
    EXPECT_EQ(t_.run.error.stop, 0);
  }
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
      text += gen() % 4 ? alphabet[gen() % alphabet.size()] : static_cast<char>(32 + gen() % 95);
    for (int pos = 1, steps = 0; pos <= n;) {
      const std::string_view rest = std::string_view(text).substr(pos - 1);
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
