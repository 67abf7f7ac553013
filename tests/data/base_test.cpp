// The baseline reader: both layouts, count and frequency lines, bad baselines.
#include "data/base.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/run_fixture.hpp"

namespace velk {
namespace {

// A run with `npop` populations "Pop A", "Pop B", ... (IDs 1, 2, ...) and
// `nchar` loci "Loc1", "Loc2", ... (IDs 11, 12, ...), each with `maxtyp` types,
// its control file in a temporary folder and its log open there.
class BaseRun : public test::LoggedRun {
 public:
  BaseRun(int npop, int nchar, int maxtyp) {
    run.control_dir = dir.Path().string() + "/";
    run.par.npop = npop;
    run.par.nchar = nchar;
    run.par.max_types = maxtyp;
    run.pops.Resize(npop);
    for (int i = 1; i <= npop; ++i) {
      run.pops(i).id = i;
      run.pops(i).name = std::string("Pop ") + static_cast<char>('A' + i - 1);
    }
    run.chars.Resize(nchar);
    for (int c = 1; c <= nchar; ++c) run.chars(c) = {"Loc" + std::to_string(c), 10 + c, maxtyp, 2};
  }

  void File(const std::string& name, const std::string& text) { test::WriteFile(dir / name, text); }
  void OneFile(const std::string& text) {
    File("base.txt", text);
    run.files.baseline = dir / "base.txt";
  }
  void Read() {
    run.input.base_counts.Resize(run.par.max_types, run.par.nchar, run.par.npop);
    run.input.base_totals.Resize(run.par.nchar, run.par.npop);
    Base(run);
  }
  // Every population's counts and totals: "10 20 30 /60, 4 0 4 /8; 1 2 0 /3, ...".
  std::string Table() const {
    std::ostringstream t;
    for (int i = 1; i <= run.par.npop; ++i) {
      for (int c = 1; c <= run.par.nchar; ++c) {
        for (int k = 1; k <= run.par.max_types; ++k) t << run.input.base_counts(k, c, i) << ' ';
        t << '/' << run.input.base_totals(c, i);
        t << (c < run.par.nchar ? ", " : i < run.par.npop ? "; " : "");
      }
    }
    return t.str();
  }
};

// One baseline file: the counts and totals of every population, the characters
// missing, the messages, and a piece of the log.
TEST(Base, CountAndFrequencyLinesFillTheTable) {
  struct Case {
    const char* what;
    int npop, nchar, maxtyp;
    std::vector<int> ploidy;
    std::string text;
    const char* table;
    int missing, warnings, errors;
    const char* log;
  };
  // clang-format off
  const Case cases[] = {
      {"count lines of named and numbered characters; an isolocus's line is its copies", 2, 2, 3,
       {2, 4}, "\\ baseline of the test\n#1 Upper river : spring run\nLoc1 10 20 30\n"
       "\\ Loc2 1 1 1\n12 4 0 4\nOther 5 5 5\n99 5 5 5\n#2     Lower   \n11 1 2\nLoc2 0 0 7 8\n",
       "10 20 30 /60, 4 0 4 /8; 1 2 0 /3, 0 0 7 /7", 0, 1, 0, "Reading Pop B = Lower."},
      // 2.8 -> 3, 4.2 -> 4; Loc2 has no sample size: the character is missing.
      {"frequency lines become counts of ploidy x N", 1, 3, 2, {2, 2, 1},
       "1 Only\nLoc1 25 0.5 0.5\nLoc2 0.25 0.75\nLoc3 7 .4 .6\n", "25 25 /50, 0 0 /0, 3 4 /7",
       1, 1, 0, "is missing from the baseline."},
      {"a later line replaces the character; other populations are passed over", 2, 2, 2, {2, 2},
       "#7 not ours\nLoc1 9 9\n#1 first\nLoc1 1 2\nLoc2 3 4\n#1 again\nLoc1 5\n#2 other\n"
       "Loc1 7 7\n#junk that is no header\n", "5 0 /5, 3 4 /7; 7 7 /14, 0 0 /0", 1, 2, 0,
       "Reading Pop A = again."},
      // 2.5 -> 3, 7.5 -> 8: halves round away from zero; 11 is not 10.
      {"rounded counts that miss the total", 1, 1, 2, {2}, "1 P\nLoc1 5 0.25 0.75\n", "3 8 /10",
       0, 1, 0, "Sum of allele/type frequencies is    11, but    10 is expected"},
      // 16.65 each -> 17, and the total stays 50.
      {"rounded thirds", 1, 1, 3, {2}, "1 P\nLoc1 25 0.333 0.333 0.334\n", "17 17 17 /50", 0, 1,
       0, "is    51, but    50 is expected"},
      // A sum of 0.999 is silent; 0.998 is normalised: 49.95 and 50.05.
      {"a sum near one", 1, 1, 2, {2}, "1 P\nLoc1 50 0.499 0.5\n", "50 50 /100", 0, 0, 0, ""},
      {"a sum normalised", 1, 1, 2, {2}, "1 P\nLoc1 50 0.498 0.5\n", "50 50 /100", 0, 1, 0,
       "Sum of baseline freqencies is 0.9980 for population\n     Pop A, character Loc1\n"},
      {"a sum far from one is an error; the rest is still read", 1, 2, 2, {2, 2},
       "1 P\nLoc1 25 3.5 3.5\nLoc2 3 3\n", "25 25 /50, 3 3 /6", 0, 0, 1,
       "Sum of baseline freqencies is 7.00000 for population"},
      {"the largest count", 1, 1, 2, {2}, "1 a\nLoc1 32767 0\n", "32767 0 /32767", 0, 0, 0, ""},
      // A: Loc2 missing; B: no character of ours (empty); C: a short line; D absent.
      {"missing data, absent and empty populations", 4, 2, 3, {2, 2},
       "#1 a\nLoc1 1 2 3\n#2 b\nLoc9 1 1\n#3 c\nLoc1 1 2\nLoc2 1 1 1\n", nullptr, 1 + 2 + 2, 4,
       2, "Only read   2 types/alleles but  3 were expected\n     for character Loc1, population "
       "Pop C."},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BaseRun b(c.npop, c.nchar, c.maxtyp);
    for (int k = 1; k <= c.nchar; ++k) b.run.chars(k).ploidy = c.ploidy[k - 1];
    b.OneFile(c.text);
    b.Read();
    EXPECT_EQ(c.table ? b.Table() : "", c.table ? c.table : "");
    EXPECT_EQ(b.run.input.nmissing_base, c.missing);
    EXPECT_EQ(b.run.error.warnings, c.warnings);
    EXPECT_EQ(b.run.error.errors, c.errors);
    EXPECT_EQ(b.run.error.stop, c.errors ? 1 : 0);
    EXPECT_EQ(b.run.error.last_code == 3010, c.errors > 0);
    EXPECT_EQ(b.run.errstk.depth, 0);
    EXPECT_NE(b.Log().find(c.log), std::string::npos) << b.Log();
  }
}

TEST(Base, PerPopulationFilesFromThePathOrTheControlFolder) {
  BaseRun b(3, 2, 2);
  b.File("pops/a.txt", "Stock A: from the path\nLoc1 4 6\n#\nLoc2 9 9\n");
  b.File("pops/b.txt", "\\ comment\n#Stock B\r\n12 25 0.5 0.5\r\nLoc1 1 1\r\n");
  b.run.files.path = b.dir / "pops/";
  b.run.pops(1).file = "a.txt";
  b.run.pops(2).file = "b.txt";
  b.run.pops(3).file = "none.txt";
  b.Read();
  // The rest of a file after a # line is ignored.
  EXPECT_EQ(b.Table(), "4 6 /10, 0 0 /0; 1 1 /2, 25 25 /50; 0 0 /0, 0 0 /0");
  EXPECT_EQ(std::vector<int>({b.run.error.stop, b.run.error.last_code, b.run.input.nmissing_base}),
            std::vector<int>({1, 3010, 1 + 2}));
  const std::string log = b.Log();
  EXPECT_NE(log.find("Reading Pop B = Stock B."), std::string::npos) << log;
  EXPECT_NE(log.find("Could not open baseline file\n     " + (b.dir / "pops/none.txt")),
            std::string::npos);

  // Without a path the names are taken from the control file's folder, with
  // either separator.
  BaseRun c(1, 1, 2);
  c.File("sub/a.txt", "A\nLoc1 3 3\n");
  c.run.pops(1).file = "sub\\a.txt";
  c.Read();
  EXPECT_EQ(c.run.error.stop, 0) << c.Log();
  EXPECT_EQ(c.Table(), "3 3 /6");
}

// A baseline that cannot be opened stops at once, naming it; counts the 16-bit
// array cannot hold, totals beyond 32 bits (these name the file) and fields
// that cannot be read are 3011 on the record, nothing wrapped.
TEST(Base, UnopenableFilesAndUnreadableRecordsStop) {
  BaseRun none(1, 1, 2);
  none.run.files.baseline = none.dir / "nowhere.txt";
  none.Read();
  EXPECT_EQ(std::vector<int>({none.run.error.stop, none.run.error.warnings, none.run.error.fatals}),
            std::vector<int>({1, 1, 0}));  // message 0 stops without a heading
  EXPECT_NE(none.Log().find("Could not open baseline file\n     " + (none.dir / "nowhere.txt")),
            std::string::npos);
  const std::vector<std::pair<std::string, bool>> lines = {
      {"Loc1 32768", true},                             // just above 32767
      {"Loc1 20000 1.0 0", true},                       // computed count 40000
      {"Loc1 -3 0.5 0.5", true},                        // negative sample size
      {"Loc1 1073741824 0.5 0.5", true},                // total beyond 32 bits
      {"Loc1 1 -0.5 1.5", true},                        // a negative computed count
      {"99999999999 1 1", false},                       // a character ID beyond 32 bits
      {"Loc1 n.a.", false},                             // no sample size
      {"Loc1 25 0.5 " + std::string(100, '1'), false},  // a frequency of 100 digits
  };
  for (const auto& [bad, names_file] : lines) {
    SCOPED_TRACE(bad);
    BaseRun b(1, 1, 2);
    b.OneFile("1 a\n\\ c\n" + bad + "\n");
    b.Read();
    EXPECT_EQ(b.run.error.stop, 1);
    EXPECT_EQ(b.run.error.last_code, 3011);
    const std::string log = b.Log();
    EXPECT_NE(log.find("Bad baseline record.  Record number     3\n"), std::string::npos);
    EXPECT_EQ(log.find("Reading baseline file = " + (b.dir / "base.txt")) != std::string::npos,
              names_file);
  }
}

}  // namespace
}  // namespace velk
