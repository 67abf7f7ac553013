#include <gtest/gtest.h>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;

TEST(Fparse, ExampleSectionEndsAtTheNextHeader) {
  ControlRun c;
  c.Open(
      "Baseline file: C:\\data\\test.bse\n"
      "Mixture file: C:\\data\\test.mix\n"
      "Output file: C:\\results\\test\n"
      "* Characters\n");
  Fparse(c.run);
  EXPECT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.files.baseline, "C:/data/test.bse");
  EXPECT_EQ(c.run.files.mixture, "C:/data/test.mix");
  EXPECT_EQ(c.run.files.output, "C:/results/test");
  EXPECT_EQ(c.run.files.path, "");
  // The header line stays current, its "*" taken.
  EXPECT_EQ(c.run.parse.nline, 4);
  EXPECT_EQ(c.run.parse.last_type, 0);
  EXPECT_EQ(c.run.parse.pos, 2);
}

TEST(Fparse, RelativeNamesAreTakenFromTheControlFolder) {
  ControlRun c;
  c.Open(
      "Baseline: data\\base.bse\n"
      "Mixture: ../mix/m.mix\n"
      "Path: pops\\chinook\n"
      "Output: out/run1.est\n"
      "*\n");
  Fparse(c.run);
  const std::string dir = c.run.control_dir;
  EXPECT_EQ(c.run.files.baseline, dir + "data/base.bse");
  EXPECT_EQ(c.run.files.mixture, dir + "../mix/m.mix");
  EXPECT_EQ(c.run.files.path, dir + "pops/chinook/");
  EXPECT_EQ(c.run.files.output, dir + "out/run1");
}

TEST(Fparse, OutputNameIsCutInItsOwnNameOnly) {
  struct Case {
    const char* line;
    const char* output;
  };
  for (const Case& k :
       {Case{"Output: C:\\my.dir\\run1", "C:/my.dir/run1"},
        Case{"Output: C:\\results\\run1.est", "C:/results/run1"},
        Case{"Output: /tmp/a.b/c.d/run.x.y", "/tmp/a.b/c.d/run"}, Case{"Output: .est", "USER"}}) {
    ControlRun c;
    c.run.opt.estimation = 0;
    c.Open(std::string(k.line) + "\n* run\n");
    Fparse(c.run);
    EXPECT_EQ(c.run.error.stop, 0) << k.line;
    EXPECT_EQ(c.run.files.output, k.output) << k.line;
  }
}

TEST(Fparse, FreeSentencesMixedCaseCrlfAndComments) {
  ControlRun c;
  c.Open(
      "\r\n"
      "/ Mixture file: commented.mix\r\n"
      "\\ Baseline: commented.bse\r\n"
      "The BASELINE file for this run is: C:\\data\\x.bse\r\n"
      "  and the MIXTURE, sampled in 2002: C:\\data\\m.mix  \r\n"
      "PATH to the stock files:C:\\data\\\r\n"
      "Nothing to see on this line.\r\n"
      "* Populations\r\n");
  Fparse(c.run);
  EXPECT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.files.baseline, "C:/data/x.bse");
  EXPECT_EQ(c.run.files.mixture, "C:/data/m.mix");
  EXPECT_EQ(c.run.files.path, "C:/data/");
  EXPECT_EQ(c.run.files.output, "USER");
}

TEST(Fparse, NameAfterTheKeywordWithoutItsOwnColon) {
  ControlRun c;
  c.Open("Baseline file C:\\data\\x.bse\nMixture: m\n*\n");
  Fparse(c.run);
  // The first ":" after the keyword is the drive's.
  EXPECT_EQ(c.run.files.baseline, "/data/x.bse");
}

TEST(Fparse, MissingNamesStop) {
  {
    ControlRun c;
    c.Open("Baseline: b.bse\nMixture file:   \n*\n");
    Fparse(c.run);
    EXPECT_EQ(c.run.error.stop, 1);
    EXPECT_EQ(c.run.error.last_code, 3026);
    EXPECT_EQ(c.run.error.a1, "mixture");
    EXPECT_EQ(c.run.error.n1, 2);
  }
  {
    ControlRun c;
    c.Open("Output\n*\n");  // the keyword ends the line
    Fparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3026);
    EXPECT_EQ(c.run.error.a1, "outp");
    EXPECT_EQ(c.run.error.n1, 1);
  }
  {
    ControlRun c;  // an estimation needs its mixture file
    c.Open("Baseline: b.bse\n* Characters\n");
    Fparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3027);
    EXPECT_EQ(c.run.error.a1, "Mixture");
  }
  {
    ControlRun c;  // a simulation does not
    c.run.opt.estimation = 0;
    c.Open("Baseline: b.bse\n* Characters\n");
    Fparse(c.run);
    EXPECT_EQ(c.run.error.stop, 0);
  }
  {
    ControlRun c;  // the file ends before the next header
    c.Open("Baseline: b.bse\nMixture: m.mix\n");
    Fparse(c.run);
    EXPECT_EQ(c.run.error.last_code, 3014);
    EXPECT_EQ(c.run.error.a1, "control file");
  }
}

}  // namespace
}  // namespace velk
