// The control-file reader: section headers, the order of the sections, the
// checks at the end of a section and at the run line, default names, and the
// hand-over to the run sequence.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "control/describe.hpp"
#include "control/sections.hpp"
#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

// A control file in a fresh folder, read by Gparse as the run driver hands it
// over: open on the control unit, its first line (the analysis header) read.
class GparseTest : public ::testing::Test {
 protected:
  // Reads `text` (lines joined by '\n'); `kind` 1 estimation, 2 simulation.
  velk::Run& Read(const std::string& text, int kind = 1, bool check_only = true) {
    std::string ctl = tmp_ / "run.ctl";
    test::WriteFile(ctl, text);
    fixture_ = std::make_unique<test::RunFixture>(tmp_ / "run.log");
    velk::Run& run = fixture_->run;
    run.control_dir = tmp_.Path().string() + "/";
    run.check_only = check_only ? 1 : 0;
    run.load_only = load_only_;
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
  int load_only_ = 0;
};

// The analysis header and a small description that reaches the run line.
const char* kHead = "* Estimation: Small\n";
const char* kParams = "* Parameters\nNumber of characters: 2\nNumber of stocks: 3\n";
const char* kFiles = "* Files\nBaseline file: b.bse\nMixture file: m.mix\nOutput: out\n";

TEST_F(GparseTest, CompleteExampleReadsIntoItsDescription) {
  velk::Run& run = Read(
      "* Estimation: Test mixture\n"
      "* Options\n"
      "Print baseline summary: yes\n"
      "* Parameters\n"
      "Number of characters in analysis: 2\n"
      "Number of stocks in analysis: 3\n"
      "Maximum number of iterations: 200\n"
      "* Files\n"
      "Baseline file: C:\\data\\test.bse\n"
      "Mixture file: C:\\data\\test.mix\n"
      "Output file: C:\\results\\test\n"
      "* Characters\n"
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
  ASSERT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.title, "Test mixture");
  EXPECT_EQ(run.par.kind, 1);
  EXPECT_EQ(run.opt.estimation, 1);
  EXPECT_EQ(run.opt.print_baseline, 1);
  EXPECT_EQ(run.par.nchar, 2);
  EXPECT_EQ(run.par.npop, 3);
  EXPECT_EQ(run.par.max_iterations, 200);
  EXPECT_EQ(run.par.max_types, 4);
  EXPECT_EQ(run.files.output, "C:/results/test");
  EXPECT_EQ(run.chars(1).name, "Locus A");
  EXPECT_EQ(run.chars(2).ntypes, 2);
  EXPECT_EQ(run.pops(3).name, "Main stem");
  EXPECT_DOUBLE_EQ(run.pops(2).estimate, 1.0 / 3);
  EXPECT_DOUBLE_EQ(run.pops(2).estimate_copy, 1.0 / 3);
  EXPECT_EQ(run.par.nlevels, 1);
  ASSERT_EQ(run.par.nregions, 2);
  EXPECT_EQ(run.regions.name(1), "Upper river");
  EXPECT_EQ(run.regions.name(2), "Lower river");
  EXPECT_EQ(run.regions.size(1), 2);
  EXPECT_EQ(run.regions.members(1), 1);
  EXPECT_EQ(run.regions.members(2), 2);
  EXPECT_EQ(run.regions.members(3), 3);
  EXPECT_EQ(run.parse.nline, 25);
  EXPECT_FALSE(run.inputs.Control().IsOpen());
  EXPECT_EQ(run.errstk.depth, 0);
  EXPECT_EQ(run.date.year, 2024);

  std::string d = Describe(run);
  EXPECT_NE(d.find("Upper river | 1 2\n"), std::string::npos) << d;
  EXPECT_NE(d.find("Lower river | 3\n"), std::string::npos) << d;
}

TEST_F(GparseTest, FreeSentencesCrlfAndCommentsReadAsTheTerseForm) {
  std::string terse =
      "*estimation:T\n*opti\nprint base: y\n*para\nnumb char 2\nnumb stoc 3\n"
      "*file\nbase: b.bse\nmixt: m.mix\noutp: o\n*char\n[id#][#types][character]\n1 4 A\n"
      "2 2 B\n*popu\n[population][lev1]\nN : 1\nS : 1\nM : 2\n*regi\n[level][label][region]\n"
      "1 1 Up\n1 2 Down\n*run\n";
  std::string verbose =
      "Notes before the header are ignored.\r\n"
      "  * ESTIMATION of the spring run:   T\r\n"
      "   * Now the Options we want\r\n"
      "/ Print baseline summary: no  (commented out)\r\n"
      "Please Print the BASELINE summary: Yes\r\n"
      "* The Parameters of this analysis\r\n"
      "\\ a comment line\r\n"
      "The Number of CHARACTERS in analysis: 2\r\n"
      "\r\n"
      "Number of stocks in the analysis is 3\r\n"
      "* Files to read\r\n"
      "Baseline file: b.bse\r\n"
      "Mixture file: m.mix\r\n"
      "Output file: o\r\n"
      "* That is all for now\r\n"
      "Anything at all here.\r\n"
      "* Characters\r\n"
      "[ID #]  [# Types]  [Character]\r\n"
      "1 4 A\r\n"
      "2 2 B\r\n"
      "* Populations\r\n"
      "[Population] [Lev1]\r\n"
      "N : 1\r\n"
      "S : 1\r\n"
      "M : 2\r\n"
      "after the last row: a comment\r\n"
      "* Regions\r\n"
      "[Level] [Label] [Region]\r\n"
      "1 1 Up\r\n"
      "1 2 Down\r\n"
      "* RUN it\r\n";
  std::string want = Describe(Read(terse));
  ASSERT_EQ(fixture_->run.error.stop, 0) << Log();
  std::string got = Describe(Read(verbose));
  ASSERT_EQ(fixture_->run.error.stop, 0) << Log();
  EXPECT_EQ(got, want);
  EXPECT_NE(got.find("Up | 1 2\n"), std::string::npos) << got;
}

TEST_F(GparseTest, HandsOverToTheRunSequence) {
  std::string text = std::string(kHead) + kParams + kFiles;
  text.replace(text.find("Output: out"), 11, "Output: res\\new/run1.est");
  // The sequence goes on to read the baseline (every population and character has data)
  // and the mixture.
  test::WriteFile(tmp_ / "b.bse", "#1\n1 5 5\n2 5 5\n#2\n1 5 5\n2 5 5\n#3\n1 5 5\n2 5 5\n");
  test::WriteFile(tmp_ / "m.mix", "Mixture\n110000000 200000000\n");
  velk::Run& run = Read(text + "* Run\n", 1, false);
  EXPECT_EQ(run.error.stop, 0) << Log();
  EXPECT_TRUE(std::filesystem::is_directory(Dir() + "res/new"));
  EXPECT_EQ(run.errstk.depth, 0);
}

TEST_F(GparseTest, SectionKeywordIsTheFirstMatchingWordOfTheHeader) {
  // "Parameters of this run" opens the parameters; "the run parameters" ends.
  std::string rest = std::string("Number of characters: 2\nNumber of stocks: 3\n") + kFiles;
  velk::Run& a = Read(std::string(kHead) + "* Parameters of this run\n" + rest + "* Run\n");
  EXPECT_EQ(a.error.stop, 0) << Log();
  EXPECT_EQ(a.par.nchar, 2);

  velk::Run& b = Read(std::string(kHead) + "* the run parameters\n" + rest + "* Run\n");
  EXPECT_EQ(b.error.last_code, 3031);
  EXPECT_EQ(b.error.a1, "populations & characters");
  EXPECT_NE(Log().find("Must set parameters before initializing populations & characters."),
            std::string::npos)
      << Log();

  velk::Run& c = Read(std::string(kHead) + "*** Param\n" + rest + "*RUN\n");
  EXPECT_EQ(c.error.stop, 0) << Log();
  EXPECT_EQ(c.par.npop, 3);
}

TEST_F(GparseTest, RunningIsNotRun) {
  velk::Run& run = Read(std::string(kHead) + kParams + kFiles + "* running\n");
  EXPECT_EQ(run.error.last_code, 3014);
  EXPECT_NE(Log().find("Premature end-of-file reading control file,"), std::string::npos) << Log();
  velk::Run& ok = Read(std::string(kHead) + kParams + kFiles + "* running\n* run\n");
  EXPECT_EQ(ok.error.stop, 0);
}

TEST_F(GparseTest, HeaderWithoutKeywordMakesCommentLines) {
  velk::Run& run =
      Read(std::string(kHead) + "Anything before the first section.\n" + kParams +
           "* end\nNumber of characters: 5\n[ID #] [Character]\n" + kFiles + "* Run\n");
  EXPECT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.par.nchar, 2);
}

TEST_F(GparseTest, StarMustBeInTheFirstFiveColumns) {
  velk::Run& a = Read(std::string(kHead) + kParams + kFiles + "* end\n     * Run\n");
  EXPECT_EQ(a.error.last_code, 3014) << "a star in column 6 makes no header";
  velk::Run& b = Read(std::string(kHead) + kParams +
                      "   * popu\n[ID #] [Population]\n1 A\n2 B\n3 C\n" + kFiles + "# * run\n");
  EXPECT_EQ(b.error.stop, 0) << Log() << b.error.last_code;
  EXPECT_EQ(b.pops(2).name, "B");
}

TEST_F(GparseTest, SectionsBeforeTheParametersAreFatal) {
  velk::Run& a = Read(std::string(kHead) + "* Characters\n1 4 A : locus\n" + kParams + "* Run\n");
  EXPECT_EQ(a.error.last_code, 3031);
  EXPECT_EQ(a.error.a1, "characters");
  EXPECT_NE(Log().find("*** Fatal Error: Reading control file."), std::string::npos) << Log();
  EXPECT_NE(Log().find("Must set parameters before initializing characters."), std::string::npos);
  EXPECT_TRUE(Log().ends_with("\n \n")) << "the log of a stopped run ends with one blank line";

  velk::Run& b = Read(std::string(kHead) + "* Populations\n" + kParams + "* Run\n");
  EXPECT_EQ(b.error.last_code, 3031);
  EXPECT_EQ(b.error.a1, "populations");

  velk::Run& c = Read(std::string(kHead) + kParams + "* Regions\n" + kFiles + "* Run\n");
  EXPECT_EQ(c.error.last_code, 3004);
  EXPECT_EQ(c.errstk.depth, 0);
}

TEST_F(GparseTest, ParameterChecks) {
  velk::Run& a = Read(std::string(kHead) + "* Parameters\nNumber of stocks: 3\n* Run\n");
  EXPECT_EQ(a.error.last_code, 3002);
  EXPECT_NE(Log().find("Number of characters in analysis: xx"), std::string::npos) << Log();

  velk::Run& b = Read(std::string(kHead) + "* Parameters\nNumber of characters: 3\n* Run\n");
  EXPECT_EQ(b.error.last_code, 3003);
  EXPECT_EQ(b.chars.Size(), 3) << "the character tables come first";

  std::string sim = std::string("* Simulation: s\n") + kParams;
  velk::Run& c = Read(sim + "Number of resamples: 0\n* Run\n", 2);
  EXPECT_EQ(c.error.last_code, 3033);
  velk::Run& d = Read(sim + "Confidence level: 100\n* Run\n", 2);
  EXPECT_EQ(d.error.last_code, 3034);
  // In an estimation the resampling checks count only when the options came first.
  velk::Run& e = Read(std::string(kHead) + kParams + "Number of resamples: 0\n" + kFiles +
                      "* Options\nResample mixture: yes\n* Run\n");
  EXPECT_EQ(e.error.stop, 0) << Log();
  velk::Run& g = Read(std::string(kHead) + "* Options\nResample mixture: yes\n" + kParams +
                      "Number of resamples: 0\n* Run\n");
  EXPECT_EQ(g.error.last_code, 3033);
  velk::Run& h = Read(std::string(kHead) + "* Options\nCompute confidence intervals: yes\n" +
                      kParams + "Confidence level: 0\n* Run\n");
  EXPECT_EQ(h.error.last_code, 3034);
}

TEST_F(GparseTest, DefaultsWithoutTables) {
  velk::Run& run =
      Read(std::string(kHead) + "* Parameters\nNumber of characters: 12\nNumber of stocks: 4\n" +
           kFiles + "* Run\n");
  ASSERT_EQ(run.error.stop, 0) << Log();
  ASSERT_EQ(run.chars.Size(), 12);
  EXPECT_EQ(run.chars(12).id, 12);
  EXPECT_EQ(run.chars(7).ntypes, 9);
  EXPECT_EQ(run.chars(7).ploidy, 2);
  EXPECT_EQ(run.par.max_types, 9) << "the defaults' 9 types size the baseline";
  ASSERT_EQ(run.pops.Size(), 4);
  EXPECT_EQ(run.pops(4).id, 4);
  EXPECT_DOUBLE_EQ(run.pops(1).estimate, 0.25);
  EXPECT_EQ(run.par.nlevels, 0);
  EXPECT_EQ(run.par.nregions, 0);
  EXPECT_EQ(run.regions.size.Size(), 1);
  // Seeds drawn by the process: the first negative, the second positive.
  EXPECT_LT(run.par.seed, 0);
  EXPECT_GT(run.par.seco, 0);
}

TEST_F(GparseTest, DefaultNamesThroughTheirLayouts) {
  velk::Run& run =
      Read(std::string(kHead) + "* Parameters\nNumber of characters: 12\n" +
           "Number of stocks: 4\n* Populations\n[Lev1]\n1\n1\n2\n2\n" + kFiles + "* Run\n");
  ASSERT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.chars(1).name, "CHAR- 1");
  EXPECT_EQ(run.chars(12).name, "CHAR-12");
  EXPECT_EQ(run.pops(4).name, "Population   4");
  ASSERT_EQ(run.par.nregions, 2);
  EXPECT_EQ(run.regions.name(1), "Region  1");
  EXPECT_EQ(run.regions.name(2), "Region  2");
}

TEST_F(GparseTest, RunLineNeedsTheFiles) {
  velk::Run& a = Read(std::string(kHead) + kParams + "* Run\n");
  EXPECT_EQ(a.error.last_code, 3005);
  EXPECT_EQ(a.error.a1, "Estimation");
  EXPECT_EQ(a.error.a2, "baseline file");
  EXPECT_NE(Log().find("Inadequate information to invoke VELK Estimation."), std::string::npos)
      << Log();
  EXPECT_NE(Log().find("Missing baseline file."), std::string::npos);

  // A file for the first population names the baseline; a simulation needs no mixture.
  velk::Run& b = Read(std::string("* Simulation: s\n") + kParams +
                          "* Populations\n[ID #] [File]\n1 p1.bse\n2 p2.bse\n3 p3.bse\n* Run\n",
                      2);
  EXPECT_EQ(b.error.stop, 0) << Log();
}

TEST_F(GparseTest, EndOfFileBeforeTheRunLine) {
  velk::Run& run = Read(std::string(kHead) + kParams + kFiles);
  EXPECT_EQ(run.error.last_code, 3014);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.errstk.depth, 0);
}

TEST_F(GparseTest, PopulationRowsAfterTheLastAreComments) {
  velk::Run& run = Read(std::string(kHead) + kParams +
                        "* Populations\n[ID #] [Population]\n1 A\n2 B\n3 C\n4 D\n"
                        "* Regions\n1 1 Upper\n" +
                        kFiles + "* Run\n");
  EXPECT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.pops(3).name, "C");
  EXPECT_EQ(run.par.nregions, 0) << "no hierarchy: the regions are comments";
}

TEST_F(GparseTest, LoadOnlyReportsFromTheOptions) {
  load_only_ = 1;
  velk::Run& run = Read(std::string(kHead) + "* Options\nPrint baseline summary: yes\n" + kParams +
                            kFiles + "* Run\n",
                        1, false);
  EXPECT_EQ(run.error.stop, 0) << Log();
  EXPECT_EQ(run.output.written[0], 1);
  EXPECT_EQ(run.output.written[1], 1);
  EXPECT_EQ(run.output.written[5], 1);
  EXPECT_EQ(run.output.written[12], 0);
  EXPECT_FALSE(std::filesystem::exists(Dir() + "out")) << "nothing written";
}

}  // namespace
}  // namespace velk
