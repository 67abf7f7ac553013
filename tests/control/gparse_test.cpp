// The control-file reader: headers, section order, end-of-section and run-line checks.
#include <gtest/gtest.h>

#include <string>

#include "control/describe.hpp"
#include "control/sections.hpp"
#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

// A control file read by Gparse as the run driver hands it over (its header read).
class GparseTest : public ::testing::Test {
 protected:
  // Reads `text` (lines joined by '\n'); `kind` 1 estimation, 2 simulation.
  velk::Run& Read(const std::string& text, int kind = 1) {
    std::string ctl = tmp_ / "run.ctl";
    test::WriteFile(ctl, text);
    fixture_ = std::make_unique<test::RunFixture>(tmp_ / "run.log");
    velk::Run& run = fixture_->run;
    run.control_dir = Dir();
    run.check_only = 1;
    run.inputs.Control().Open(ctl);
    // As the run driver: lines before the analysis header are passed over.
    while (ReadControlLine(run) && run.parse.line.find_first_not_of(' ') != std::string::npos &&
           run.parse.line[run.parse.line.find_first_not_of(' ')] != '*') {
    }
    Gparse(run, kind);
    run.output.unit[0].Close();
    return run;
  }
  std::string Log() const { return test::ReadFile(tmp_ / "run.log"); }
  std::string Dir() const { return tmp_.Path().string() + "/"; }

  test::TempDir tmp_;
  std::unique_ptr<test::RunFixture> fixture_;
};

// The analysis header and a small description that reaches the run line.
const std::string kHead = "* Estimation: Small\n";
const std::string kParams = "* Parameters\nNumber of characters: 2\nNumber of stocks: 3\n";
const std::string kFiles = "* Files\nBaseline file: b.bse\nMixture file: m.mix\nOutput: out\n";

// Each control file with the message it stops with (0: it reaches the run line).
TEST_F(GparseTest, SectionOrderHeadersAndRunLineChecks) {
  const std::string H = kHead, P = kParams, F = kFiles, sim = "* Simulation: s\n" + kParams,
                    rest = "Number of characters: 2\nNumber of stocks: 3\n" + kFiles;
  struct Case {
    std::string text;
    int code;
    const char* a1;   // nullptr: not checked
    const char* log;  // a text the log holds, or nullptr
    int kind = 1;
  };
  // clang-format off
  const Case cases[] = {
      // The section keyword is the first matching word of the header.
      {H + "* Parameters of this run\n" + rest + "* Run\n", 0, nullptr, nullptr},
      {H + "* the run parameters\n" + rest + "* Run\n", 3031, "populations & characters",
       "Must set parameters before initializing populations & characters."},
      {H + "*** Param\n" + rest + "*RUN\n", 0, nullptr, nullptr},
      {H + P + F + "* running\n", 3014, nullptr, "Premature end-of-file reading control file,"},
      {H + P + F + "* running\n* run\n", 0, nullptr, nullptr},
      // A header without a keyword makes comment lines, and a star after column five no header.
      {H + "Before the first section.\n" + P + "* end\nNumber of characters: 5\n" +
       "[ID #] [Character]\n" + F + "* Run\n", 0, nullptr, nullptr},
      {H + P + F + "* end\n     * Run\n", 3014, nullptr, nullptr},
      // Tables before the parameters are fatal.
      {H + "* Characters\n1 4 A : locus\n" + P + "* Run\n", 3031, "characters",
       "Must set parameters before initializing characters."},
      {H + "* Populations\n" + P + "* Run\n", 3031, "populations",
       "*** Fatal Error: Reading control file."},
      {H + P + "* Regions\n" + F + "* Run\n", 3004, nullptr, nullptr},
      {sim + "Number of resamples: 0\n* Run\n", 3033, nullptr, nullptr, 2},
      {sim + "Confidence level: 100\n* Run\n", 3034, nullptr, nullptr, 2},
      // In an estimation the resampling checks count only when the options came first.
      {H + P + "Number of resamples: 0\n" + F + "* Options\nResample mixture: yes\n* Run\n", 0,
       nullptr, nullptr},
      {H + "* Options\nResample mixture: yes\n" + P + "Number of resamples: 0\n* Run\n", 3033,
       nullptr, nullptr},
      {H + "* Options\nCompute confidence intervals: yes\n" + P + "Confidence level: 0\n* Run\n",
       3034, nullptr, nullptr},
      // The run line needs the files; a file for the first population names the
      // baseline, and a simulation needs no mixture.
      {H + P + "* Run\n", 3005, "Estimation", "Inadequate information to invoke VELK Estimation."},
      {sim + "* Populations\n[ID #] [File]\n1 p1.bse\n2 p2.bse\n3 p3.bse\n* Run\n", 0, nullptr,
       nullptr, 2},
      {H + P + "* Populations\n[ID #] [File]\n1 p1.bse\n2 p2.bse\n3 p3.bse\n* Run\n", 3005,
       "Estimation", "Inadequate information"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    velk::Run& run = Read(c.text, c.kind);
    EXPECT_EQ(run.error.last_code, c.code) << Log();
    EXPECT_EQ(run.error.stop, c.code ? 1 : 0);
    EXPECT_EQ(run.errstk.depth, 0);
    EXPECT_EQ(run.error.a1, c.a1 ? c.a1 : run.error.a1);
    EXPECT_TRUE(!c.log || Log().find(c.log) != std::string::npos) << Log();
    EXPECT_TRUE(!c.code || Log().ends_with("\n \n")) << "a stopped run's log ends with a blank";
    EXPECT_TRUE(c.code || run.par.nchar == 2);
  }
}

TEST_F(GparseTest, HeadersInTheFirstColumnsAndPopulationRowsAfterTheLast) {
  velk::Run& run = Read(kHead + kParams + "   * popu\n[ID #] [Population]\n1 A\n2 B\n3 C\n4 D\n" +
                        "* Regions\n1 1 Upper\n" + kFiles + "# * run\n");
  ASSERT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.pops(2).name, "B");
  EXPECT_EQ(run.pops(3).name, "C");
  EXPECT_EQ(run.par.nregions, 0) << "no hierarchy: the regions are comments";
}

// The example control file in its terse form (the command's check reads it in full).
TEST_F(GparseTest, TerseExampleReadsIntoItsDescription) {
  velk::Run& run = Read(
      "*estimation:T\n*opti\nprin base: y\n*para\nnumb char 2\nnumb stoc 3\nmaxi iter 200\n"
      "*file\nbase: C:\\data\\t.bse\nmixt: m.mix\noutp: o\n*char\n[id#][#types][character]\n"
      "1 4 A\n2 2 B\n*popu\n[population][lev1]\nN : 1\nS : 1\nM : 2\n*regi\n"
      "[level][label][region]\n1 1 Up\n1 2 Down\n*run\n");
  ASSERT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.par.max_types, 4);
  EXPECT_EQ(run.pops(3).name, "M");
  EXPECT_DOUBLE_EQ(run.pops(2).estimate_copy, 1.0 / 3);
  EXPECT_EQ(run.parse.nline, 25);
  EXPECT_FALSE(run.inputs.Control().IsOpen());
  EXPECT_EQ(run.errstk.depth, 0);
  EXPECT_EQ(run.date.year, 2024);
  EXPECT_NE(Describe(run).find("     2      2      2       2  B\n"), std::string::npos);
}

TEST_F(GparseTest, DefaultsWhereTheTablesAreLeftOut) {
  const std::string params =
      kHead + "* Parameters\nNumber of characters: 12\nNumber of stocks: 4\n";
  velk::Run& run = Read(params + kFiles + "* Run\n");
  ASSERT_EQ(run.error.stop, 0) << Log();
  ASSERT_EQ(run.chars.Size(), 12);
  EXPECT_EQ(run.chars(12).id, 12);
  EXPECT_EQ(run.chars(7).ntypes, 9);
  EXPECT_EQ(run.chars(7).ploidy, 2);
  EXPECT_EQ(run.par.max_types, 9) << "the defaults' 9 types size the baseline";
  EXPECT_DOUBLE_EQ(run.pops(1).estimate, 0.25);
  EXPECT_EQ(run.par.nregions, 0);
  EXPECT_LT(run.par.seed, 0);  // seeds drawn by the process: the first negative
}

}  // namespace
}  // namespace velk
