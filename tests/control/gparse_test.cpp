// The control-file reader: headers, section order, end-of-section and run-line
// checks, and every section's forms read into the description of the analysis.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "control/describe.hpp"
#include "control/sections.hpp"
#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"
#include "support/tiny_reports.hpp"

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
    fixture_->process.default_seed = {true, 20240611};  // default seeds as in every run
    velk::Run& run = fixture_->run;
    run.control_dir = Dir();
    run.check_only = 1;
    run.inputs.Control().Open(ctl);
    // As the run driver: lines before the analysis header are passed over.
    while (ReadControlLine(run) && run.parse.line.find_first_not_of(' ') != std::string::npos &&
           run.parse.line[run.parse.line.find_first_not_of(' ')] != '*') {
    }
    static_cast<void>(Gparse(run, kind));  // the tests read the messages
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
    EXPECT_TRUE(!c.a1 || Log().find(c.a1) != std::string::npos) << Log();
    EXPECT_TRUE(!c.log || Log().find(c.log) != std::string::npos) << Log();
    EXPECT_TRUE(!c.code || Log().ends_with("\n \n")) << "a stopped run's log ends with a blank";
    EXPECT_TRUE(c.code || run.par.nchar == 2);
  }
}

// Control files of every section's forms, each with the messages it met and
// what it was read into (as `velk --check` describes it), as
// tests/golden/control_files.txt holds them.
TEST_F(GparseTest, EverySectionsFormsAsTheGoldenDescriptions) {
  const std::string H = kHead, P = kParams, F = kFiles, R = "* Run\n", S = "* Simulation: s\n";
  auto opt = [&](const std::string& lines) { return H + "* Options\n" + lines + P + F + R; };
  auto par = [&](const std::string& lines) { return H + "* Parameters\n" + lines + F + R; };
  auto files = [&](const std::string& lines) { return H + P + "* Files\n" + lines + R; };
  // A table after parameters of `nc` characters and `np` stocks.
  auto table = [&](int nc, int np, const std::string& section) {
    return H + "* Parameters\nNumber of characters: " + std::to_string(nc) +
           "\nNumber of stocks: " + std::to_string(np) + "\n" + F + section + R;
  };
  // Five populations in two level-1 regions and three level-2 regions.
  auto regions = [&](const std::string& rows) {
    return table(1, 5,
                 "* Populations\n[Population] [Lev1] [Lev2] [Estimate]\nA : 1 1 1\nB : 1 2 3\n"
                 "C : 2 3 2\nD : 2 3 1\nE : 2 3 1\n* Regions\n" +
                     rows);
  };
  const std::string
      sim_options =
          "Resample mixture: yes\nResample baseline: yes\nPrint genotype probabilities: yes\n"
          "Print population probabilities: yes\nPrint mixture: yes\nCompute confidence: yes\n"
          "Print baseline: yes\nIRLS: yes\n",
      chars = "* Characters\n/ comment\n[ID #] [# Types] [Character] [Kind]\n";
  struct Case {
    const char* what;
    std::string text;
    int kind = 1;
  };
  // clang-format off
  const Case cases[] = {
      // Options: free sentences, comments and blank lines pass, the first keyword decides.
      {"options in free sentences", opt(
       "/ Print baseline summary: no\r\nPlease RESAMPLE the mixture: Yes\r\n"
       "Resample baseline frequencies: True\r\n\r\nPrint the baseline summary: yes  \r\n"
       "Print condensed mixture: y\r\nPrint conditional stock probabilities: on\r\n"
       "Print conditional genotype probabilities: T\r\nPrint bootstrap estimates: true\r\n"
       "Print iteration history: yes\r\nPrint resample likelihoods: yes\r\n"
       "Compute confidence intervals: yes\r\nCompute jackknife: OFF\r\n"
       "Compute studentized intervals: yes\r\nCompute external reference: yes\r\n"
       "IRLS: .TRUE.\r\nPella-Masuda model: yes\r\nPrint tables: TRUE\r\n")},
      {"options: keyword order, keywords ending the line, misspellings", opt(
       "Resample printing of iterations: yes\nCompute and resample the mixture: yes\n"
       "Print baseline\nPrint: mixture\nRanala-Mountain model: yes\nCompute standard errors: yes\n"
       "Print mixture: .false.\n")},
      {"Rannala-Mountain first rules Pella-Masuda out",
       opt("Rannala-Mountain model: yes\nPella-Masuda model: yes\n")},
      {"Rannala-Mountain after Pella-Masuda", opt("Pella-Masuda model: yes\nRannala-Mountain model: yes\n")},
      {"the predictive model takes the Rannala-Mountain prior",
       opt("Pella-Masuda model: yes\nPredictive genotype model: yes\n")},
      {"a simulation clears the mixture's options",
       S + "* Options\n" + sim_options + P + "* Files\nBaseline: b.bse\nOutput: o\n" + R, 2},
      {"the same options in an estimation", opt(sim_options)},
      {"all likelihood intervals", opt("Compute ALL likelihood confidence intervals: yes\n")},
      {"likelihood intervals", opt("Compute likelihood confidence intervals: yes\n")},
      {"all confidence intervals", opt("Compute all confidence intervals: yes\nPrint tables: no\n")},
      {"hundred percent simulations by region", S + "* Options\nHundred percent simulations: yes (by "
       "region)\nLeave-one-out: yes\n" + P + "* Files\nBaseline: b.bse\n" + R, 2},
      {"all likelihood intervals in a simulation", S + "* Options\nCompute all likelihood "
       "intervals: yes\nPrint tables: yes\nHundred percent simulations: yes\n" + P +
       "* Files\nBaseline: b.bse\n" + R, 2},
      {"a bad logical", opt("IRLS: on\n\nCompute confidence intervals: maybe\n")},
      {"the end of the file in the options", H + "* Options\nPrint mixture: yes\n"},
      // Parameters: any case, the value after the words.
      {"parameters in free sentences", par(
       "\\ Comment: Seed 5\r\n/ Number of stocks 99\r\nThe Number of STOCKS in this analysis is: 12\r\n"
       "\r\nnumber of characters in analysis: 7   \r\n   Maximum number of iterations allowed: 500\r\n"
       "MAXIMUM NUMBER OF GENOTYPES: 250\r\nThe maximum number of classes is 4\r\n"
       "Maximum missing loci: 3\r\nThe estimate convergence tolerance: 0.00001\r\n"
       "Genotype tolerance: 1e-12\r\nAlgorithm switch tolerance = 0.05\r\n"
       "Relative function tolerance: 1e-8\r\nNumber of resamples: 200\r\n"
       "Mixture sample size: 150\r\nSeed: 12345\r\nSecond seed: 678\r\n"
       "Guaranteed percent of maximum: 99\r\nConfidence level: 95\r\n")},
      {"parameters: keyword order and fall-back", par(
       "Maximum number of iterations: 50\nNumber of maximum iterations: 60\n"
       "Maximum number of stocks: 7\nGenotype tolerance: 1e-12\nMaximum number of genotypes: 321\n"
       "GPAs wanted: 95\nNumber: 5\nTolerance of the estimate: 0.5\nSeed\nLevel of confidence\n"
       "Max iterations: 9\nSize of the mixture sample: 77\n      * Seed: 5\nNumber of characters: 10\n"
       "Maximum number of missing loci: 99\n")},
      {"missing loci below zero", par("Number of characters: 10\nNumber of stocks: 2\nMaximum missing: -3\n")},
      // Files: names resolved from the control file's folder ("~/" below).
      {"file names anywhere on their lines", files(
       "\r\n/ Mixture file: commented.mix\r\n\\ Baseline: commented.bse\r\n"
       "The BASELINE file for this run is: C:\\data\\x.bse\r\n"
       "  and the MIXTURE, sampled in 2002: C:\\data\\m.mix  \r\n"
       "PATH to the stock files:C:\\data\\\r\nNothing to see on this line.\r\n")},
      {"relative file names", files("Baseline: data\\base.bse\nMixture: ../mix/m.mix\n"
       "Path: pops\\chinook\nOutput: out/run1.est\n")},
      {"a drive without the keyword's colon", files("Baseline file C:\\data\\x.bse\nMixture: m\n")},
      {"an output name with points in its folders", files("Baseline: b\nMixture: m\n"
       "Output: /tmp/a.b/c.d/run.x.y\n")},
      {"an output name with a folder's point", files("Baseline: b\nMixture: m\nOutput: C:\\my.dir\\run1\n")},
      {"an output name that is only an extension", files("Baseline: b\nMixture: m\nOutput: .est\n")},
      {"an empty mixture name", files("Baseline: b.bse\nMixture file:   \n")},
      {"an output keyword ending the line", files("Output\n")},
      {"no mixture in an estimation", files("Baseline: b.bse\n")},
      {"the end of the file in the files section", H + P + "* Files\nBaseline: b.bse\n"},
      // Tables: columns in any order, left out, cut; rows before the heading read nothing.
      {"characters in any column order", table(2, 1, "* Characters\n[Character] [Kind] [ID #] [# Types]\n"
       "Ots-2 : ISOLOCUS 7 3\nmt : mtDNA 8 12\n")},
      {"characters without names or types", table(2, 1, "* Characters\n[ID #] [Kind]\n11 phenotype\n"
       "12 nongenetic\n")},
      {"character rows before the heading; long names cut", table(2, 1, "* Characters\n"
       "1 4 Locus A : locus\n\n[Character]\nA very long character name\n")},
      {"a character of an unknown kind", table(1, 1, chars + "1 2 Ots-2 : diploid\n*\n")},
      {"a character without a name", table(1, 1, chars + "1 2 : locus\n*\n")},
      {"a character without types", table(1, 1, "* Characters\n[ID #] [# Types]\n1\n*\n")},
      {"types that are not a number", table(1, 1, "* Characters\n[# Types] [ID #]\nfour\n*\n")},
      {"a kind that is a number", table(1, 1, "* Characters\n[Kind] [ID #]\n7 locus\n*\n")},
      {"too few characters", table(4, 1, "* Characters\n[ID #]\n1\n2\n3\n")},
      {"too many characters", table(4, 1, "* Characters\n[ID #]\n1\n2\n3\n4\n5\n6\n*\n")},
      {"the end of the file in a table", H + "* Parameters\nNumber of characters: 4\n"
       "Number of stocks: 1\n* Characters\n[ID #]\n1\n"},
      {"population levels, names and files", table(1, 3, "* Populations\n"
       "\\ the stocks of the upper basin\r\n[id#] [Lev2] [POPULATION] [Lev1] [File]\r\n"
       "101 3 Clear Creek : 1 pops\\clear.bse  spawners 2001\r\n102 0 : 2 b.bse\r\n"
       "103 3 Snake River: 2 a23456789012345678901234567890123456789012345.bse\r\n"
       "104 4 Bear Creek : 2 z.bse\r\n")},
      {"population estimates", table(1, 3, "* Populations\n[Estimate] [Population]\n2 A\n1 B\n1 C\n")},
      {"population rows without a heading", table(1, 2, "* Populations\n1 North fork : 1\n"
       "2 South fork : 2\n")},
      {"population estimates of zero", table(1, 2, "* Populations\n[ID #] [Estimate]\n1 0\n2 0.0\n")},
      {"a negative population estimate", table(1, 2, "* Populations\n[ID #] [Estimate]\n1 2\n2 -1\n")},
      {"a population without its level", table(1, 2, "* Populations\n[ID #] [Population] [Lev1]\n"
       "1 North fork : 1\n2 South fork\n")},
      {"too few populations", table(1, 3, "* Populations\n[ID #] [Population]\n1 North fork\n"
       "2 South fork\n")},
      // Regions from the populations' labels, level by level.
      {"regions of one level", table(1, 4, "* Populations\n[Lev1] [Population]\n3 A\n1 B\n3 C\n2 D\n")},
      {"regions of two levels", table(1, 6, "* Populations\n[Lev1] [Lev2] [Population]\n1 1 A\n"
       "1 1 B\n1 2 C\n2 3 D\n2 3 E\n2 3 F\n")},
      {"populations in no region", table(1, 4, "* Populations\n[Lev1] [Lev2] [Population]\n0 5 A\n"
       "2 5 B\n2 0 C\n1 4 D\n")},
      {"a level without regions", table(1, 3, "* Populations\n[Lev1] [Lev2] [Population]\n1 0 A\n"
       "2 0 B\n2 0 C\n")},
      {"more regions than populations", table(1, 4, "* Populations\n[Lev1] [Lev2] [Population]\n"
       "1 1 A\n1 2 B\n2 3 C\n2 4 D\n")},
      {"region estimates rescale the populations",
       regions("[Level] [Label] [Estimate] [Region]\n1 2 3 South\n1 1 1 North\n")},
      {"the region table ends when every region is given",
       regions("[Level] [Label] [Region]\n1 1 North\n1 1 North again\n1 2 South\n2 1 a\n2 2 b\n"
               "2 3 c\n1 7 Nowhere\n")},
      {"an unknown region label", regions("[Level] [Label] [Region]\n1 7 Nowhere\n*\n")},
      {"region estimates of zero", regions("[Level] [Label] [Estimate]\n1 1 0\n1 2 0\n*\n")},
      {"a region table without levels", regions("[Label] [Region]\n1 North\n*\n")},
      {"a second region heading", regions("[Level] [Label] [Region]\n1 1 North\n[Level] [Label]\n*\n")},
      {"a region without a name", regions("[Level] [Label] [Region]\n1 1 \n*\n")},
      // Headers in the first columns, defaults where the tables are left out, the terse form.
      {"headers in the first five columns", H + P + "   * popu\n[ID #] [Population]\n1 A\n2 B\n3 C\n"
       "4 D\n* Regions\n1 1 Upper\n" + F + "# * run\n"},
      {"defaults where the tables are left out", table(12, 4, "")},
      {"the terse form", "*estimation:T\n*opti\nprin base: y\n*para\nnumb char 2\nnumb stoc 3\n"
       "maxi iter 200\n*file\nbase: C:\\data\\t.bse\nmixt: m.mix\noutp: o\n*char\n"
       "[id#][#types][character]\n1 4 A\n2 2 B\n*popu\n[population][lev1]\nN : 1\nS : 1\nM : 2\n"
       "*regi\n[level][label][region]\n1 1 Up\n1 2 Down\n*run\n"},
  };
  // clang-format on
  // The small file's description comes whole; each case then keeps only the
  // lines its description does not share with it: what the case's lines changed.
  std::string all = "=== the small file\n" + Describe(Read(H + P + F + R)), line;
  std::set<std::string> plain;
  for (std::istringstream in(all); std::getline(in, line);) plain.insert(line);
  for (const Case& c : cases) {
    velk::Run& run = Read(c.text, c.kind);
    all += "=== " + std::string(c.what) + "\n";
    for (const RunMessage& m : run.messages) all += std::to_string(m.number) + " " + m.text + "\n";
    if (run.error.stop) continue;
    for (std::istringstream in(Describe(run)); std::getline(in, line);)
      if (!plain.contains(line)) all += line + "\n";
  }
  // The control file's folder is another in every run.
  for (std::size_t at; (at = all.find(Dir())) != std::string::npos;)
    all.replace(at, Dir().size(), "~/");
  test::ExpectGolden(all, "control_files.txt");
}

}  // namespace
}  // namespace velk
