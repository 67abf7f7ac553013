// The baseline reader: both layouts, count and frequency lines, the frequency
// rules and their messages, and bad baselines that must stop with a message.
#include "data/base.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_fixture.hpp"

namespace velk {
namespace {

using test::WriteFile;

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

  void File(const std::string& name, const std::string& text) { WriteFile(dir / name, text); }
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

// Whether `block` occurs as consecutive lines of `log`.
bool HasLines(const std::vector<std::string>& log, const std::vector<std::string>& block) {
  return std::search(log.begin(), log.end(), block.begin(), block.end()) != log.end();
}

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST(Base, OneFileWithCountLinesNamedAndNumberedCharacters) {
  BaseRun b(2, 2, 3);
  b.run.chars(2).ploidy = 4;  // an isolocus: its count line is copies, not 4 x anything
  b.OneFile(
      "\\ baseline of the test\n#1 Upper river : spring run\nLoc1 10 20 30\n\\ Loc2 1 1 1\n"
      "12 4 0 4\nOther 5 5 5\n99 5 5 5\n#2     Lower   \n11 1 2\nLoc2 0 0 7 8\n");
  b.Read();
  EXPECT_EQ(b.run.error.stop, 0);
  // Pop B, Loc2: at most max_types values.
  EXPECT_EQ(b.Table(), "10 20 30 /60, 4 0 4 /8; 1 2 0 /3, 0 0 7 /7");
  EXPECT_EQ(b.run.input.nmissing_base, 0);
  EXPECT_EQ(b.run.errstk.depth, 0);
  std::string log = b.Log();
  EXPECT_NE(log.find("Reading Pop A = Upper river."), std::string::npos) << log;
  EXPECT_NE(log.find("Reading Pop B = Lower."), std::string::npos) << log;
}

TEST(Base, FrequencyLinesBecomeCountsOfPloidyTimesN) {
  BaseRun b(1, 3, 2);
  b.run.chars(3).ploidy = 1;
  // Loc2 has no sample size: total 0, the character is missing.
  b.OneFile("1 Only\nLoc1 25 0.5 0.5\nLoc2 0.25 0.75\nLoc3 7 .4 .6\n");
  b.Read();
  EXPECT_EQ(b.Table(), "25 25 /50, 0 0 /0, 3 4 /7");  // 2.8 -> 3, 4.2 -> 4
  EXPECT_EQ(b.run.input.nmissing_base, 1);
  EXPECT_EQ(b.run.error.stop, 0);
  EXPECT_EQ(Occurrences(b.Log(), "is missing from the baseline."), 1);
}

// Frequency lines: the counts, the total of ploidy x N, and the messages.
TEST(Base, FrequencyRoundingAndSums) {
  const std::string head = " *** Warning: Reading baseline frequencies.";
  struct Case {
    const char* line;
    const char* table;
    int types, warnings, errors;
    std::vector<std::string> message;
  };
  // clang-format off
  const Case cases[] = {
      // 2.5 -> 3, 7.5 -> 8: halves round away from zero; 11 is not 10.
      {"Loc1 5 0.25 0.75", "3 8 /10", 2, 1, 0,
       {head, "     Sum of allele/type frequencies is    11, but    10 is expected",
        "     for population Pop A, character Loc1."}},
      // 16.65 each -> 17, and the total stays 50.
      {"Loc1 25 0.333 0.333 0.334", "17 17 17 /50", 3, 1, 0,
       {head, "     Sum of allele/type frequencies is    51, but    50 is expected",
        "     for population Pop A, character Loc1."}},
      // A sum of 0.999 is silent; normalised: 49.95 and 50.05.
      {"Loc1 50 0.499 0.5", "50 50 /100", 2, 0, 0, {}},
      {"Loc1 50 0.498 0.5", "50 50 /100", 2, 1, 0,
       {head, "     Sum of baseline freqencies is 0.9980 for population",
        "     Pop A, character Loc1", "     Frequencies have been normalized to one."}},
      // An error, and the rest of the baseline is still read.
      {"Loc1 25 3.5 3.5\nLoc2 3 3", "25 25 /50, 3 3 /6", 2, 0, 1,
       {" *** Error: Reading baseline frequencies.",
        "     Sum of baseline freqencies is 7.00000 for population", "     Pop A, character Loc1.",
        "", " *** Fatal Error: Reading baseline frequencies.",
        "     Too many errors to continue. Correct the baseline(s)",
        "     file before continuing analysis.", " "}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string text = c.line;
    BaseRun b(1, 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n')), c.types);
    b.OneFile("1 P\n" + text + "\n");
    b.Read();
    EXPECT_EQ(b.Table(), c.table);
    EXPECT_EQ(b.run.error.warnings, c.warnings);
    EXPECT_EQ(b.run.error.errors, c.errors);
    EXPECT_EQ(b.run.error.stop, c.errors);
    EXPECT_EQ(b.run.error.last_code == 3010, c.errors == 1);
    if (!c.message.empty()) {
      EXPECT_TRUE(HasLines(b.LogLines(), c.message)) << b.Log();
    }
  }
}

// A later line replaces the character; other populations before ours and anything
// after the last one are passed over silently.
TEST(Base, PopulationReadTwiceKeepsTheLaterValuesOthersArePassedOver) {
  BaseRun b(2, 2, 2);
  b.OneFile(
      "#7 not ours\nLoc1 9 9\n#1 first\nLoc1 1 2\nLoc2 3 4\n#1 again\nLoc1 5\n#2 other\n"
      "Loc1 7 7\n#junk that is no header\n");
  b.Read();
  EXPECT_EQ(b.Table(), "5 0 /5, 3 4 /7; 7 7 /14, 0 0 /0");
  // Pop B, Loc2 is missing.
  EXPECT_EQ(std::vector<int>({b.run.input.nmissing_base, b.run.error.stop, b.run.error.errors}),
            std::vector<int>({1, 0, 0}));
  EXPECT_EQ(Occurrences(b.Log(), "Reading Pop A ="), 2);
}

// A: Loc2 missing; B: no character of ours (empty); C: a short line; D absent.
TEST(Base, MissingDataAndAbsentOrEmptyPopulationsStopWith3010) {
  BaseRun b(4, 2, 3);
  b.OneFile("#1 a\nLoc1 1 2 3\n#2 b\nLoc9 1 1\n#3 c\nLoc1 1 2\nLoc2 1 1 1\n");
  b.Read();
  EXPECT_EQ(std::vector<int>({b.run.error.stop, b.run.error.last_code, b.run.input.nmissing_base,
                              b.run.errstk.depth}),
            std::vector<int>({1, 3010, 1 + 2 + 2, 0}));
  EXPECT_EQ(Occurrences(b.Log(), "for population Pop B"), 2);
  const std::vector<std::string> log = b.LogLines();
  for (const std::vector<std::string>& block :
       {std::vector<std::string>{"     Locus Loc2 for population Pop A",
                                 "     is missing from the baseline."},
        {"     Only read   2 types/alleles but  3 were expected",
         "     for character Loc1, population Pop C."},
        {" *** Error: Reading baseline frequencies.", "     Population Pop B is missing",
         "     from the baseline."},
        {" *** Error: Reading baseline frequencies.", "     Population Pop D is missing",
         "     from the baseline."}})
    EXPECT_TRUE(HasLines(log, block)) << block[1];
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
  for (const std::string& shown :
       std::vector<std::string>{"Reading Pop A = Stock A.", "Reading Pop B = Stock B.",
                                "Could not open baseline file\n     " + (b.dir / "pops/none.txt"),
                                "Population Pop C is missing"})
    EXPECT_NE(log.find(shown), std::string::npos) << shown << "\n" << log;

  // Without a path the names are taken from the control file's folder, with
  // either separator.
  BaseRun c(1, 1, 2);
  c.File("sub/a.txt", "A\nLoc1 3 3\n");
  c.run.pops(1).file = "sub\\a.txt";
  c.Read();
  EXPECT_EQ(c.run.error.stop, 0) << c.Log();
  EXPECT_EQ(c.Table(), "3 3 /6");
}

TEST(Base, UnopenableBaselineFileStopsAtOnceNamingTheFile) {
  BaseRun b(1, 1, 2);
  b.run.files.baseline = b.dir / "nowhere.txt";
  b.Read();
  EXPECT_EQ(std::vector<int>({b.run.error.stop, b.run.error.warnings, b.run.error.fatals}),
            std::vector<int>({1, 1, 0}));  // message 0 stops without a heading
  EXPECT_TRUE(HasLines(
      b.LogLines(), {"", " *** Warning: Reading baseline frequencies.",
                     "     Could not open baseline file", "     " + (b.dir / "nowhere.txt"), " "}));
}

// Counts the 16-bit array cannot hold and totals beyond 32 bits (which name the
// file), and fields that cannot be read: 3011 on the record, nothing wrapped.
TEST(Base, UnreadableRecordsAndCountsOutsideSixteenBitsAre3011) {
  const std::vector<std::pair<std::string, bool>> lines = {
      {"Loc1 32768", true},               // just above 32767
      {"Loc1 20000 1.0 0", true},         // computed count 40000
      {"Loc1 -3 0.5 0.5", true},          // negative sample size
      {"Loc1 1073741824 0.5 0.5", true},  // total beyond 32 bits
      {"Loc1 1 -0.5 1.5", true},          // a negative computed count
      {"99999999999 1 1", false},         // a character ID beyond 32 bits
      {"Loc1 n.a.", false},               // no sample size
  };
  for (const auto& [bad, names_file] : lines) {
    BaseRun b(1, 1, 2);
    b.OneFile("1 a\n\\ c\n" + bad + "\n");
    b.Read();
    EXPECT_EQ(b.run.error.stop, 1) << bad;
    EXPECT_EQ(b.run.error.last_code, 3011) << bad;
    EXPECT_EQ(b.run.error.n1, 3) << bad;
    const std::vector<std::string> log = b.LogLines();
    EXPECT_TRUE(HasLines(log, {" *** Fatal Error: Reading baseline frequencies.",
                               "     Bad baseline record.  Record number     3", " "}))
        << bad;
    const std::vector<std::string> note = {
        " *** Note: Reading baseline frequencies.",
        "     Reading baseline file = " + (b.dir / "base.txt") + "."};
    EXPECT_EQ(HasLines(log, note), names_file) << bad;
  }
  BaseRun ok(1, 1, 2);
  ok.OneFile("1 a\nLoc1 32767 0\n");
  ok.Read();
  EXPECT_EQ(ok.Table(), "32767 0 /32767");
}

}  // namespace
}  // namespace velk
