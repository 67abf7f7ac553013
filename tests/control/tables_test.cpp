#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;

// The tables of the complete example control file, each section read from the
// line after its header, as the control-file reader hands them over.
TEST(Tables, CompleteExample) {
  ControlRun c;
  c.Tables(3, 2);
  c.Open(
      "[ID #] [# Types] [Character] [Kind]\n"
      "1 4 Locus A : locus\n"
      "2 2 Locus B : locus\n"
      "* Populations\n"
      "[ID #] [Population] [Lev1]\n"
      "1 North fork : 1\n"
      "2 South fork : 1\n"
      "3 Main stem : 2\n"
      "* Regions\n"
      "[Level] [Label] [Region]\n"
      "1 1 Upper river\n"
      "1 2 Lower river\n"
      "* Run\n");
  velk::Run& run = c.run;
  Cparse(run);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.parse.nline, 4);
  EXPECT_EQ(run.parse.last_type, 0);
  EXPECT_EQ(run.chars(1).name, "Locus A");
  EXPECT_EQ(run.chars(1).ntypes, 4);
  EXPECT_EQ(run.chars(2).name, "Locus B");
  EXPECT_EQ(run.chars(2).id, 2);
  EXPECT_EQ(run.chars(2).ntypes, 2);
  EXPECT_EQ(run.chars(2).ploidy, 2);
  EXPECT_EQ(run.errstk.depth, 0);

  Sparse(run);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.parse.nline, 8);  // ends after its third row
  EXPECT_NE(run.parse.last_type, 0);
  EXPECT_EQ(run.par.nlevels, 1);
  EXPECT_EQ(run.pops(1).name, "North fork");
  EXPECT_EQ(run.pops(3).name, "Main stem");
  EXPECT_EQ(run.pops(3).level[0], 2);
  for (int i = 1; i <= 3; ++i) EXPECT_DOUBLE_EQ(run.pops(i).estimate, 1.0 / 3.0);

  Setclv(run);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.par.nregions, 2);
  EXPECT_EQ(run.regions.members(1), 1);
  EXPECT_EQ(run.regions.members(2), 2);
  EXPECT_EQ(run.regions.members(3), 3);
  c.RegionNames();

  ReadControlLine(run);  // "* Regions", which the reader acts on
  Rparse(run);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(run.parse.nline, 12);  // ends when both regions are named
  EXPECT_EQ(run.regions.name(1), "Upper river");
  EXPECT_EQ(run.regions.name(2), "Lower river");
  EXPECT_EQ(run.errstk.depth, 0);
  for (int i = 1; i <= 3; ++i) EXPECT_DOUBLE_EQ(run.pops(i).estimate, 1.0 / 3.0);
}

TEST(Characters, ColumnsInAnyOrderAndLeftOut) {
  {
    ControlRun c;
    c.Tables(1, 2);
    c.Open(
        "[Character] [Kind] [ID #] [# Types]\n"
        "Ots-2 : ISOLOCUS 7 3\n"
        "mt : mtDNA 8 12\n"
        "*\n");
    Cparse(c.run);
    ASSERT_EQ(c.run.error.stop, 0);
    EXPECT_EQ(c.run.chars(1).name, "Ots-2");
    EXPECT_EQ(c.run.chars(1).ploidy, 4);
    EXPECT_EQ(c.run.chars(1).id, 7);
    EXPECT_EQ(c.run.chars(1).ntypes, 3);
    EXPECT_EQ(c.run.chars(2).ploidy, 1);
    EXPECT_EQ(c.run.chars(2).ntypes, 12);
  }
  {
    ControlRun c;
    c.Tables(1, 2);
    c.Open(
        "[ID #] [Kind]\n"
        "11 phenotype\n"
        "12 nongenetic\n"
        "* Populations\n");
    Cparse(c.run);
    ASSERT_EQ(c.run.error.stop, 0);
    EXPECT_EQ(c.run.chars(1).id, 11);
    EXPECT_EQ(c.run.chars(2).ploidy, 1);
    EXPECT_EQ(c.run.chars(2).name, "CHAR- 2");  // default kept
    EXPECT_EQ(c.run.chars(2).ntypes, 9);
  }
}

TEST(Characters, NameCutToTenAndRowsWithoutHeadingReadNothing) {
  ControlRun c;
  c.Tables(1, 2);
  c.Open(
      "1 4 Locus A : locus\n"
      "\n"
      "[Character]\n"
      "A very long character name\n"
      "*\n");
  Cparse(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.chars(1).name, "CHAR- 1");
  EXPECT_EQ(c.run.chars(1).ntypes, 9);
  EXPECT_EQ(c.run.chars(2).name, "A very lon");
}

// The field that fails, for a characters table with this heading and row.
struct BadRow {
  const char* heading;
  const char* row;
  const char* field;
};

TEST(Characters, FailingFields) {
  for (const BadRow& b :
       {BadRow{"[ID #] [# Types] [Character] [Kind]", "1 2 Ots-2 : diploid", "character type"},
        BadRow{"[ID #] [# Types] [Character] [Kind]", "1 2 Ots-2", "character type"},
        BadRow{"[ID #] [# Types] [Character] [Kind]", "1 2 : locus", "character name"},
        BadRow{"[ID #] [# Types]", "1", "# types"}, BadRow{"[ID #] [# Types]", "1 0", "# types"},
        BadRow{"[# Types] [ID #]", "four", "# types"},
        BadRow{"[Kind] [ID #]", "7 locus", "character type"}}) {
    ControlRun c;
    c.Tables(1, 1);
    c.Open(std::string("/ comment\n") + b.heading + "\n" + b.row + "\n*\n");
    Cparse(c.run);
    EXPECT_EQ(c.run.error.stop, 1) << b.row;
    EXPECT_EQ(c.run.error.last_code, 3016) << b.row;
    EXPECT_EQ(c.run.error.a1, "character") << b.row;
    EXPECT_EQ(c.run.error.a2, b.field) << b.row;
    EXPECT_EQ(c.run.error.n1, 3) << b.row;
    EXPECT_EQ(c.run.errstk.depth, 0) << b.row;
  }
}

TEST(Characters, RowCounts) {
  {
    ControlRun c;
    c.Tables(1, 4);
    c.Open("[ID #]\n1\n2\n3\n* Populations\n");
    Cparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3015);
    EXPECT_EQ(c.run.error.a1, "characters");
    EXPECT_EQ(c.run.error.n1, 3);
    EXPECT_EQ(c.run.error.n2, 4);
  }
  {
    ControlRun c;
    c.Tables(1, 4);
    c.Open("[ID #]\n1\n2\n3\n4\n5\n6\n*\n");
    Cparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3015);
    EXPECT_EQ(c.run.error.n1, 5);
    EXPECT_EQ(c.run.parse.nline, 6);  // stopped at the fifth row
  }
  {
    ControlRun c;  // no rows at all
    c.Tables(1, 4);
    c.Open("[ID #]\n*\n");
    Cparse(c.run);
    EXPECT_EQ(c.run.error.stop, 0);
  }
  {
    ControlRun c;  // the file ends inside the table
    c.Tables(1, 4);
    c.Open("[ID #]\n1\n");
    Cparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3014);
    EXPECT_EQ(c.run.errstk.depth, 0);
  }
}

TEST(Populations, EstimatesAreNormalised) {
  {
    ControlRun c;
    c.Tables(3, 1);
    c.Open("[Estimate] [Population]\n2 A\n1 B\n1 C\n");
    Sparse(c.run);
    ASSERT_EQ(c.run.error.stop, 0);
    EXPECT_DOUBLE_EQ(c.run.pops(1).estimate, 0.5);
    EXPECT_DOUBLE_EQ(c.run.pops(2).estimate, 0.25);
    EXPECT_DOUBLE_EQ(c.run.pops(3).estimate, 0.25);
    EXPECT_EQ(c.run.par.nlevels, 0);
  }
  {
    ControlRun c;
    c.Tables(2, 1);
    c.Open("[ID #] [Estimate]\n1 0\n2 0.0\n");
    Sparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3024);
  }
  {
    ControlRun c;  // a negative estimate is a bad field
    c.Tables(2, 1);
    c.Open("[ID #] [Estimate]\n1 2\n2 -1\n");
    Sparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3016);
    EXPECT_EQ(c.run.error.a2, "population contribution");
    EXPECT_EQ(c.run.error.n1, 3);
  }
}

TEST(Populations, LevelsNamesAndFiles) {
  ControlRun c;
  c.Tables(5, 1);
  c.Open(
      "\\ the stocks of the upper basin\r\n"
      "--------------------------------\r\n"
      "[id#] [Lev2] [POPULATION] [Lev1] [File]\r\n"
      "101 3 Clear Creek : 1 pops\\clear.bse  spawners 2001\r\n"
      "102 0 : 2 b.bse\r\n"
      "103 4 Snake River: 2 a23456789012345678901234567890123456789012345.bse\r\n"
      "104 4 Bear Creek : 2 z.bse\r\n"
      "105 5 A stock : 1 x.bse\r\n"
      "106 5 A sixth stock : 1 y.bse\r\n");
  Sparse(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.par.nlevels, 2);
  const Population& p1 = c.run.pops(1);
  EXPECT_EQ(p1.id, 101);
  EXPECT_EQ(p1.name, "Clear Creek");
  EXPECT_EQ(p1.level[0], 1);
  EXPECT_EQ(p1.level[1], 3);
  EXPECT_EQ(p1.file, "pops\\clear.bse");  // as written, to its first blank
  EXPECT_EQ(c.run.pops(2).name, "");      // a blank name is kept blank
  EXPECT_EQ(c.run.pops(2).level[0], 2);
  EXPECT_EQ(c.run.pops(3).file.size(), 40u);
  EXPECT_EQ(c.run.pops(4).name, "Bear Creek");
  EXPECT_EQ(c.run.pops(5).name, "A stock");
  // The sixth row is not read: the table ends after np rows.
  EXPECT_EQ(c.run.parse.nline, 8);
}

TEST(Populations, MissingFieldsAndShortTables) {
  {
    ControlRun c;
    c.Tables(2, 1);
    c.Open("[ID #] [Population] [Lev1]\n1 North fork : 1\n2 South fork\n");
    Sparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3016);
    EXPECT_EQ(c.run.error.a1, "population");
    EXPECT_EQ(c.run.error.a2, "level 1");
    EXPECT_EQ(c.run.error.n1, 3);
  }
  {
    ControlRun c;
    c.Tables(3, 1);
    c.Open("[ID #] [Population]\n1 North fork\n2 South fork\n* Regions\n");
    Sparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3015);
    EXPECT_EQ(c.run.error.a1, "populations");
    EXPECT_EQ(c.run.error.n1, 2);
    EXPECT_EQ(c.run.error.n2, 3);
  }
  {
    ControlRun c;  // rows without a heading: counted, nothing read
    c.Tables(2, 1);
    c.Open("1 North fork : 1\n2 South fork : 2\n");
    Sparse(c.run);
    ASSERT_EQ(c.run.error.stop, 0);
    EXPECT_EQ(c.run.pops(1).name, "Population   1");
    EXPECT_EQ(c.run.par.nlevels, 0);
    EXPECT_DOUBLE_EQ(c.run.pops(2).estimate, 0.5);
  }
}

// Five populations in two level-1 regions and three level-2 regions, read up
// to the regions table.
void Hierarchy(ControlRun& c, const std::string& regions) {
  c.Tables(5, 1);
  c.Open(
      "[Population] [Lev1] [Lev2] [Estimate]\n"
      "A : 1 1 1\n"
      "B : 1 2 3\n"
      "C : 2 3 2\n"
      "D : 2 3 1\n"
      "E : 2 3 1\n"
      "* Regions\n" +
      regions);
  Sparse(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  Setclv(c.run);
  ASSERT_EQ(c.run.par.nregions, 5);
  c.RegionNames();
  ReadControlLine(c.run);
}

TEST(Regions, EstimatesRescaleThePopulations) {
  ControlRun c;
  Hierarchy(c,
            "[Level] [Label] [Estimate] [Region]\n"
            "1 2 3 South\n"
            "1 1 1 North\n"
            "* Run\n");
  Rparse(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.parse.last_type, 0);
  EXPECT_EQ(c.run.regions.name(1), "North");
  EXPECT_EQ(c.run.regions.name(2), "South");
  EXPECT_EQ(c.run.regions.name(3), "Region  3");
  EXPECT_DOUBLE_EQ(c.run.regions.estimate(1), 0.25);
  EXPECT_DOUBLE_EQ(c.run.regions.estimate(2), 0.75);
  EXPECT_DOUBLE_EQ(c.run.regions.estimate(3), 1.0 / 3.0);  // level 2 not given: 1 each
  // North (0.25) is shared by A and B as 1 : 3, South (0.75) by C, D, E as 2 : 1 : 1.
  EXPECT_DOUBLE_EQ(c.run.pops(1).estimate, 0.0625);
  EXPECT_DOUBLE_EQ(c.run.pops(2).estimate, 0.1875);
  EXPECT_DOUBLE_EQ(c.run.pops(3).estimate, 0.375);
  EXPECT_DOUBLE_EQ(c.run.pops(4).estimate, 0.1875);
  EXPECT_DOUBLE_EQ(c.run.pops(5).estimate, 0.1875);
  EXPECT_EQ(c.run.errstk.depth, 0);
}

TEST(Regions, EstimatesThatLeaveNothingStop) {
  ControlRun c;
  Hierarchy(c, "[Level] [Label] [Estimate]\n1 1 0\n1 2 0\n*\n");
  Rparse(c.run);
  EXPECT_EQ(c.run.error.last_code, 3024);
  EXPECT_EQ(c.run.errstk.depth, 0);
}

TEST(Regions, TableEndsWhenEveryRegionIsGiven) {
  ControlRun c;
  Hierarchy(c,
            "[Level] [Label] [Region]\n"
            "1 1 North\n"
            "1 1 North again\n"  // already given: not found
            "1 2 South\n"
            "2 1 a\n2 2 b\n2 3 c\n"
            "1 7 Nowhere\n");
  Rparse(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.error.warnings, 1);
  EXPECT_EQ(c.run.error.n1, 1);  // label 1 at level 1 was not found again
  EXPECT_EQ(c.run.error.n2, 1);
  EXPECT_EQ(c.run.parse.nline, 14);
  EXPECT_EQ(c.run.regions.name(1), "North");
  EXPECT_EQ(c.run.regions.name(5), "c");
  // No estimate column: the populations keep theirs.
  EXPECT_DOUBLE_EQ(c.run.pops(3).estimate, 0.25);
}

TEST(Regions, UnknownLabelWarns) {
  ControlRun c;
  Hierarchy(c, "[Level] [Label] [Region]\n1 7 Nowhere\n*\n");
  Rparse(c.run);
  EXPECT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.error.warnings, 1);
  EXPECT_EQ(c.run.error.n1, 7);
  EXPECT_EQ(c.run.error.n2, 1);
}

TEST(Regions, HeadingRules) {
  {
    ControlRun c;
    Hierarchy(c, "[Label] [Region]\n1 North\n*\n");
    Rparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3022);
    EXPECT_EQ(c.run.errstk.depth, 0);
  }
  {
    ControlRun c;
    Hierarchy(c, "[Level] [Label] [Region]\n1 1 North\n[Level] [Label]\n*\n");
    Rparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3021);
  }
  {
    ControlRun c;
    Hierarchy(c, "[Level] [Label] [Region]\n1 1 \n*\n");
    Rparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3016);
    EXPECT_EQ(c.run.error.a1, "region");
    EXPECT_EQ(c.run.error.a2, "region name");
  }
}

}  // namespace
}  // namespace velk
