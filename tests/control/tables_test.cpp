// The characters, populations and regions tables, each read from the line
// after its header, as the control-file reader hands them over. The complete
// example is read whole by the control-file reader's tests.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;

// Five populations in two level-1 regions and three level-2 regions, read up
// to the regions table.
void Hierarchy(ControlRun& c, const std::string& regions) {
  c.Tables(5, 1);
  c.Open(
      "[Population] [Lev1] [Lev2] [Estimate]\nA : 1 1 1\nB : 1 2 3\nC : 2 3 2\nD : 2 3 1\n"
      "E : 2 3 1\n* Regions\n" +
      regions);
  Sparse(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  Setclv(c.run);
  ASSERT_EQ(c.run.par.nregions, 5);
  c.RegionNames();
  ReadControlLine(c.run);
}

// Reads `text` with the characters ('c'), populations ('s') or regions ('r')
// reader; `n` rows are expected, and the regions follow the hierarchy above.
void ReadTable(ControlRun& c, char which, int n, const std::string& text) {
  if (which == 'r') {
    Hierarchy(c, text);
    Rparse(c.run);
    return;
  }
  c.Tables(which == 's' ? n : 1, which == 'c' ? n : 1);
  c.Open(text);
  which == 'c' ? Cparse(c.run) : Sparse(c.run);
}

TEST(Tables, FailingTablesStopWithTheirField) {
  struct Case {
    char which;
    int n;
    std::string text;
    int code;
    const char* a1;  // nullptr: not checked
    const char* a2;
    int n1;  // -1: not checked
  };
  const std::string h4 = "/ comment\n[ID #] [# Types] [Character] [Kind]\n";
  const Case cases[] = {
      {'c', 1, h4 + "1 2 Ots-2 : diploid\n*\n", 3016, "character", "character type", 3},
      {'c', 1, h4 + "1 2 : locus\n*\n", 3016, "character", "character name", 3},
      {'c', 1, "/\n[ID #] [# Types]\n1\n*\n", 3016, "character", "# types", 3},
      {'c', 1, "/\n[# Types] [ID #]\nfour\n*\n", 3016, "character", "# types", 3},
      {'c', 1, "/\n[Kind] [ID #]\n7 locus\n*\n", 3016, "character", "character type", 3},
      {'c', 4, "[ID #]\n1\n2\n3\n* Populations\n", 3015, "characters", nullptr, 3},
      {'c', 4, "[ID #]\n1\n2\n3\n4\n5\n6\n*\n", 3015, "characters", nullptr, 5},
      {'c', 4, "[ID #]\n1\n", 3014, nullptr, nullptr, -1},  // the file ends inside the table
      {'s', 2, "[ID #] [Estimate]\n1 0\n2 0.0\n", 3024, nullptr, nullptr, -1},
      {'s', 2, "[ID #] [Estimate]\n1 2\n2 -1\n", 3016, "population", "population contribution", 3},
      {'s', 2, "[ID #] [Population] [Lev1]\n1 North fork : 1\n2 South fork\n", 3016, "population",
       "level 1", 3},
      {'s', 3, "[ID #] [Population]\n1 North fork\n2 South fork\n* Regions\n", 3015, "populations",
       nullptr, 2},
      {'r', 5, "[Level] [Label] [Estimate]\n1 1 0\n1 2 0\n*\n", 3024, nullptr, nullptr, -1},
      {'r', 5, "[Label] [Region]\n1 North\n*\n", 3022, nullptr, nullptr, -1},
      {'r', 5, "[Level] [Label] [Region]\n1 1 North\n[Level] [Label]\n*\n", 3021, nullptr, nullptr,
       -1},
      {'r', 5, "[Level] [Label] [Region]\n1 1 \n*\n", 3016, "region", "region name", -1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    ControlRun c;
    ReadTable(c, k.which, k.n, k.text);
    EXPECT_EQ(c.run.error.stop, 1);
    EXPECT_EQ(c.run.error.last_code, k.code);
    EXPECT_EQ(c.run.error.a1, k.a1 ? k.a1 : c.run.error.a1);
    EXPECT_EQ(c.run.error.a2, k.a2 ? k.a2 : c.run.error.a2);
    EXPECT_EQ(c.run.error.n1, k.n1 >= 0 ? k.n1 : c.run.error.n1);
    EXPECT_TRUE(k.code != 3015 || c.run.error.n2 == k.n) << c.run.error.n2;
    EXPECT_EQ(c.run.errstk.depth, 0);
  }
  ControlRun c;  // stopped at the fifth of four rows
  ReadTable(c, 'c', 4, "[ID #]\n1\n2\n3\n4\n5\n6\n*\n");
  EXPECT_EQ(c.run.parse.nline, 6);
}

// Columns in any order; left-out columns keep their defaults; rows before the
// heading read nothing; names are cut to ten characters.
TEST(Tables, CharacterColumnsInAnyOrderLeftOutOrCut) {
  ControlRun a, b, cut;
  ReadTable(a, 'c', 2,
            "[Character] [Kind] [ID #] [# Types]\nOts-2 : ISOLOCUS 7 3\nmt : mtDNA 8 12\n*\n");
  ASSERT_EQ(a.run.error.stop, 0);
  const Character& c1 = a.run.chars(1);
  EXPECT_EQ(std::tuple(c1.name, c1.ploidy, c1.id, c1.ntypes), std::tuple("Ots-2", 4, 7, 3));
  EXPECT_EQ(std::tuple(a.run.chars(2).ploidy, a.run.chars(2).ntypes), std::tuple(1, 12));
  ReadTable(b, 'c', 2, "[ID #] [Kind]\n11 phenotype\n12 nongenetic\n* Populations\n");
  ASSERT_EQ(b.run.error.stop, 0);
  EXPECT_EQ(b.run.chars(2).ploidy, 1);
  EXPECT_EQ(std::tuple(b.run.chars(2).name, b.run.chars(2).ntypes), std::tuple("CHAR- 2", 9));
  ReadTable(cut, 'c', 2, "1 4 Locus A : locus\n\n[Character]\nA very long character name\n*\n");
  ASSERT_EQ(cut.run.error.stop, 0);
  EXPECT_EQ(cut.run.chars(1).name, "CHAR- 1");
  EXPECT_EQ(cut.run.chars(2).name, "A very lon");
}

TEST(Tables, PopulationLevelsNamesFilesAndEstimates) {
  ControlRun c, e, bare;
  ReadTable(c, 's', 3,
            "\\ the stocks of the upper basin\r\n[id#] [Lev2] [POPULATION] [Lev1] [File]\r\n"
            "101 3 Clear Creek : 1 pops\\clear.bse  spawners 2001\r\n102 0 : 2 b.bse\r\n"
            "103 4 Snake River: 2 a23456789012345678901234567890123456789012345.bse\r\n"
            "104 4 Bear Creek : 2 z.bse\r\n");
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.par.nlevels, 2);
  const Population& p1 = c.run.pops(1);
  EXPECT_EQ(std::tuple(p1.id, p1.name, p1.level[0], p1.level[1]),
            std::tuple(101, "Clear Creek", 1, 3));
  EXPECT_EQ(p1.file, "pops\\clear.bse");  // as written, to its first blank
  EXPECT_EQ(c.run.pops(2).name, "");      // a blank name is kept blank
  EXPECT_EQ(c.run.pops(3).file.size(), 49u);  // a file name is kept whole
  EXPECT_EQ(c.run.parse.nline, 5);  // the table ends after np rows

  ReadTable(e, 's', 3, "[Estimate] [Population]\n2 A\n1 B\n1 C\n");
  ASSERT_EQ(e.run.error.stop, 0);
  EXPECT_DOUBLE_EQ(e.run.pops(1).estimate, 0.5);
  EXPECT_DOUBLE_EQ(e.run.pops(3).estimate, 0.25);
  ReadTable(bare, 's', 2, "1 North fork : 1\n2 South fork : 2\n");  // no heading: nothing read
  ASSERT_EQ(bare.run.error.stop, 0);
  EXPECT_EQ(bare.run.pops(1).name, "Population   1");
  EXPECT_EQ(bare.run.par.nlevels, 0);
}

TEST(Tables, RegionEstimatesRescaleThePopulations) {
  ControlRun c;
  ReadTable(c, 'r', 5, "[Level] [Label] [Estimate] [Region]\n1 2 3 South\n1 1 1 North\n* Run\n");
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.parse.last_type, 0);
  EXPECT_EQ(c.run.regions.name(1), "North");
  EXPECT_EQ(c.run.regions.name(2), "South");
  EXPECT_EQ(c.run.regions.name(3), "Region  3");
  EXPECT_DOUBLE_EQ(c.run.regions.estimate(1), 0.25);
  EXPECT_DOUBLE_EQ(c.run.regions.estimate(2), 0.75);
  EXPECT_DOUBLE_EQ(c.run.regions.estimate(3), 1.0 / 3.0);  // level 2 not given: 1 each
  // North (0.25) is shared by A and B as 1 : 3, South (0.75) by C, D, E as 2 : 1 : 1.
  const double want[] = {0.0625, 0.1875, 0.375, 0.1875, 0.1875};
  for (int i = 1; i <= 5; ++i) EXPECT_DOUBLE_EQ(c.run.pops(i).estimate, want[i - 1]) << i;
  EXPECT_EQ(c.run.errstk.depth, 0);
}

TEST(Tables, RegionTableEndsWhenEveryRegionIsGivenAndUnknownLabelsWarn) {
  ControlRun c, u;
  ReadTable(c, 'r', 5,
            "[Level] [Label] [Region]\n1 1 North\n"
            "1 1 North again\n"  // already given: not found
            "1 2 South\n2 1 a\n2 2 b\n2 3 c\n1 7 Nowhere\n");
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.error.warnings, 1);
  EXPECT_EQ(c.run.error.n1, 1);  // label 1 at level 1 was not found again
  EXPECT_EQ(c.run.error.n2, 1);
  EXPECT_EQ(c.run.parse.nline, 14);
  EXPECT_EQ(c.run.regions.name(5), "c");
  EXPECT_DOUBLE_EQ(c.run.pops(3).estimate, 0.25);  // no estimate column: theirs kept

  ReadTable(u, 'r', 5, "[Level] [Label] [Region]\n1 7 Nowhere\n*\n");
  EXPECT_EQ(u.run.error.stop, 0);
  EXPECT_EQ(u.run.error.warnings, 1);
  EXPECT_EQ(u.run.error.n1, 7);
  EXPECT_EQ(u.run.error.n2, 1);
}

}  // namespace
}  // namespace velk
