#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::SectionRun;

// Seeds and their signs, handed over at the closing header (the most negative
// seeds do not overflow), and the missing loci clipped to the characters.
TEST(Pparse, SeedsAndMissingLoci) {
  struct Case {
    const char* text;
    int seed, seco;  // as given before the section
    int Par::*field;
    int want, lagged;
    int code = 0;
  };
  const Case cases[] = {
      {"Seed: 77\nSecond seed: -5\n* Files\n", 0, 0, &Par::seed, -77, 5},
      {"Seed: 77\nSecond seed: -5\n* Files\n", 0, 0, &Par::seco, 5, 5},
      {"Seed: -77\nSecond seed: 5\n* Files\n", 0, 0, &Par::seed, -77, 5},
      {"* Files\n", INT_MIN, INT_MIN, &Par::seed, INT_MIN, INT_MAX},
      {"* Files\n", INT_MIN, INT_MIN, &Par::seco, INT_MAX, INT_MAX},
      {"Seed: 5\nNumber of stocks: 3\n", 0, 0, &Par::npop, 3, 0, 3014},  // no hand-over
      {"Maximum missing: 2\n* Files\n", 0, 0, &Par::max_missing, 0, 0},  // no characters yet
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SectionRun s(c.text);
    s.run.par.seed = c.seed;
    s.run.par.seco = c.seco;
    Pparse(s.run, 0);
    EXPECT_EQ(s.run.par.*c.field, c.want);
    EXPECT_EQ(s.process.lagged_seed, c.lagged);
    EXPECT_EQ(s.run.error.last_code, c.code);
  }
}

}  // namespace
}  // namespace velk
