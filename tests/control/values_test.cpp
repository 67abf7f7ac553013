#include "control/values.hpp"

#include <gtest/gtest.h>

#include <array>
#include <span>
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
  // The text of the last message listed (an error or worse), empty when none.
  std::string LastText() const { return t_.run.messages.empty() ? "" : t_.run.messages.back().text; }
  test::RunFixture t_;
  int pos_ = -1;
};

// Reals ('r') and integers ('i'): the value, the column where it ends, and 2001
// for what cannot be read (the value 0).
TEST_F(Values, NumbersWhereTheyEndAndWhatCannotBeRead) {
  struct Case {
    std::string text;
    char kind;
    double want;
    int pos;  // -1: not checked
    int code = 0;
  };
  // clang-format off
  const Case cases[] = {
      {"Estimate tolerance: 1.0e-4", 'r', 0.0001, 26}, {"x .25 y", 'r', 0.25, 5},
      {"1.2.3", 'r', 1.2, 3}, {"0.0000000001", 'r', 1e-10, -1}, {"2e5", 'r', 2e5, -1},
      {"-.5", 'r', -0.5, -1}, {"1.5E+2", 'r', 150.0, -1}, {"1.5e and more", 'r', 1.5, -1},
      {"1e-999", 'r', 0.0, -1},  // below every double: zero
      {std::string(99, '1'), 'r', 1.1111111111111111e98, -1},
      {"Number of characters in analysis: 12", 'i', 12, 36},
      {"12.7", 'i', 12, 2},  // the column before the point: the fraction comes next
      {"x -3.5", 'i', -3, 4}, {".5", 'i', 0, 1}, {"2147483647", 'i', 2147483647, -1},
      {"-2147483648", 'i', -2147483648.0, -1}, {"000000000000042", 'i', 42, -1},
      {"", 'r', 0, -1, 2001}, {"1e999", 'r', 0, -1, 2001}, {"1.5e-x", 'r', 0, -1, 2001},
      {std::string(100, '1'), 'r', 0, -1, 2001}, {"no digits", 'i', 0, -1, 2001},
      {"2147483648", 'i', 0, -1, 2001}, {"-2147483649", 'i', 0, -1, 2001},
      {"99999999999999999999 x", 'i', 0, -1, 2001}, {"1e-10", 'i', 0, -1, 2001}};
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(c.kind == 'r' ? Real(c.text) : Int(c.text), c.want);
    EXPECT_EQ(pos_, c.pos >= 0 ? c.pos : pos_);
    EXPECT_EQ(Code(), c.code);
    EXPECT_TRUE(!c.code || LastText().find("Expecting a numeric value") != std::string::npos);
  }
  EXPECT_DOUBLE_EQ(Real(std::string_view("12.7").substr(2)), 0.7);
  EXPECT_EQ(Real("no digits here"), 0.0);
  EXPECT_NE(LastText().find("in the string: \n\"here\"."), std::string::npos) << LastText();
  EXPECT_EQ(t_.run.error.stop, 0);
}

// Texts up to a delimiter are cut to 132 characters; after a marker, to the line's end.
TEST_F(Values, DelimitedTexts) {
  int pos = 0;
  EXPECT_EQ(Gstrng("  Locus A : locus", ':', pos), "Locus A");
  EXPECT_EQ(pos, 11);
  EXPECT_EQ(Gstrng(std::string(200, 'x'), ':', pos).size(), 132u);
  EXPECT_EQ(pos, 201);
  EXPECT_EQ(Gafter("no marker", ':', '\r', pos), "");
  EXPECT_EQ(pos, 10);
}

// Heading keys of the characters and populations tables.
constexpr std::array<std::string_view, 4> kChars{"id# ", "#typ", "char", "kind"};
constexpr std::array<std::string_view, 7> kPops{"id# ", "popu", "esti", "lev1",
                                                "lev2", "lev3", "file"};

TEST_F(Values, HeadingsOrderTheColumns) {
  struct Case {
    const char* line;
    std::span<const std::string_view> keys;
    std::vector<int> order;
    int found;
    int code;
    const char* a1 = nullptr;  // the name a fatal heading reports
  };
  const Case cases[] = {
      // Named columns first, then the rest in default order.
      {"[Character] [ID #]", kChars, {3, 1, 2, 4}, 2, 0},
      {"[ID #] [# Types] [Character] [Kind]", kChars, {1, 2, 3, 4}, 4, 0},
      {"Columns: [Kind] and [ID#]", kChars, {4, 1, 2, 3}, 2, 0},
      {"[ID #] [Population] [Lev1]", kPops, {1, 2, 4, 3, 5, 6, 7}, 3, 0},
      // Only n headings are taken; what follows is not looked at.
      {"[Kind][Char][#types][ID #][Colour]", kChars, {4, 3, 2, 1}, 4, 0},
      // Fatal headings leave the default order.
      {"[ID #] [Colour]", kChars, {1, 2, 3, 4}, 0, 3019, "colour"},
      {"[Kind] [ID #] [id#]", kChars, {1, 2, 3, 4}, -1, 3018, "id#"},
      {"no headings at all", kChars, {1, 2, 3, 4}, 0, 3020},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    t_.run.error.stop = 0;
    Vec<int> ids(static_cast<int>(c.keys.size()));
    for (int k = 1; k <= ids.Size(); ++k) ids(k) = k;
    int found = -1;
    Gorder(t_.run, c.line, ids, c.keys, found);
    EXPECT_EQ(std::vector<int>(ids.begin(), ids.end()), c.order);
    EXPECT_EQ(found, c.found >= 0 ? c.found : found);
    EXPECT_EQ(Code(), c.code);
    EXPECT_EQ(t_.run.error.stop, c.code ? 1 : 0);
    EXPECT_TRUE(!c.a1 || LastText().find(std::string(" ") + c.a1) != std::string::npos)
        << LastText();
  }
}

}  // namespace
}  // namespace velk
