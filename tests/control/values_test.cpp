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
  test::RunFixture t_;
  int pos_ = -1;
};

TEST_F(Values, NumbersAndWhereTheyEnd) {
  struct Case {
    std::string text;
    double want;
    int pos;  // -1: not checked
  };
  // clang-format off
  const Case reals[] = {
      {"Estimate tolerance: 1.0e-4", 0.0001, 26}, {"x .25 y", 0.25, 5}, {"1.2.3", 1.2, 3},
      {"0.0000000001", 1e-10, -1}, {"2e5", 2e5, -1}, {"-.5", -0.5, -1}, {"1.5E+2", 150.0, -1},
      {"1.5e and more", 1.5, -1}, {"1e-999", 0.0, -1},  // below every double: zero
      {std::string(99, '1'), 1.1111111111111111e98, -1}};
  // clang-format on
  for (const Case& c : reals) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(Real(c.text), c.want);
    EXPECT_EQ(pos_, c.pos >= 0 ? c.pos : pos_);
    EXPECT_EQ(Code(), 0);
  }
  // clang-format off
  const Case ints[] = {
      {"Number of characters in analysis: 12", 12, 36},
      {"12.7", 12, 2},  // the column before the point: the fraction comes next
      {"x -3.5", -3, 4}, {".5", 0, 1}, {"2147483647", 2147483647, -1},
      {"-2147483648", -2147483648.0, -1}, {"000000000000042", 42, -1}};
  // clang-format on
  for (const Case& c : ints) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Int(c.text), c.want);
    EXPECT_EQ(pos_, c.pos >= 0 ? c.pos : pos_);
    EXPECT_EQ(Code(), 0);
  }
  EXPECT_DOUBLE_EQ(Real(std::string_view("12.7").substr(2)), 0.7);
}

TEST_F(Values, WhatCannotBeReadIsReported) {
  EXPECT_EQ(Real("no digits here"), 0.0);
  EXPECT_EQ(t_.run.error.a2, "here");
  for (const std::string& bad :
       {std::string(), std::string("1e999"), std::string("1.5e-x"), std::string(100, '1')}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Real(bad), 0.0);
    EXPECT_EQ(Code(), 2001);
    EXPECT_EQ(t_.run.error.a1, "numeric");
  }
  for (std::string_view bad :
       {"no digits", "2147483648", "-2147483649", "99999999999999999999 x", "1e-10"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Int(bad), 0);
    EXPECT_EQ(Code(), 2001);
    EXPECT_EQ(t_.run.error.a1, "numeric");
  }
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
      {"[ID #] [Colour]", kChars, {1, 2, 3, 4}, 0, 3019},
      {"[Kind] [ID #] [id#]", kChars, {1, 2, 3, 4}, -1, 3018},
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
  }
  for (auto [line, a1] : {std::pair{"[ID #] [Colour]", "colour"}, {"[Kind] [ID #] [id#]", "id#"}}) {
    Vec<int> ids(4);
    int found = 0;
    Gorder(t_.run, line, ids, kChars, found);
    EXPECT_EQ(t_.run.error.a1, a1);
  }
}

}  // namespace
}  // namespace velk
