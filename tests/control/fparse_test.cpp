#include <gtest/gtest.h>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;

TEST(Fparse, NamesAreResolvedAndTheSectionEndsAtTheNextHeader) {
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
  ASSERT_EQ(c.run.parse.not_understood.size(), 1u);  // kept, and noted
  EXPECT_EQ(c.run.parse.not_understood[0].line, 7);
  // The header line stays current, its "*" taken.
  EXPECT_EQ(c.run.parse.nline, 8);
  EXPECT_EQ(c.run.parse.last_type, 0);
  EXPECT_EQ(c.run.parse.pos, 2);

  ControlRun r;  // relative names are taken from the control file's folder
  r.Open(
      "Baseline: data\\base.bse\nMixture: ../mix/m.mix\nPath: pops\\chinook\n"
      "Output: out/run1.est\n*\n");
  Fparse(r.run);
  const std::string dir = r.run.control_dir;
  EXPECT_EQ(r.run.files.baseline, dir + "data/base.bse");
  EXPECT_EQ(r.run.files.mixture, dir + "../mix/m.mix");
  EXPECT_EQ(r.run.files.path, dir + "pops/chinook/");
  EXPECT_EQ(r.run.files.output, dir + "out/run1");

  ControlRun d;  // without its own colon the first ":" after the keyword is the drive's
  d.Open("Baseline file C:\\data\\x.bse\nMixture: m\n*\n");
  Fparse(d.run);
  EXPECT_EQ(d.run.files.baseline, "/data/x.bse");
}

TEST(Fparse, OutputNameIsCutInItsOwnNameOnly) {
  for (auto [line, output] : {std::pair{"Output: C:\\my.dir\\run1", "C:/my.dir/run1"},
                              {"Output: C:\\results\\run1.est", "C:/results/run1"},
                              {"Output: /tmp/a.b/c.d/run.x.y", "/tmp/a.b/c.d/run.x"},
                              {"Output: /r/rec1.v2.final", "/r/rec1.v2"},
                              {"Output: .est", "USER"}}) {
    ControlRun c;
    c.run.opt.estimation = 0;
    c.Open(std::string(line) + "\n* run\n");
    Fparse(c.run);
    EXPECT_EQ(c.run.error.stop, 0) << line;
    EXPECT_EQ(c.run.files.output, output) << line;
  }
}

TEST(Fparse, MissingNamesStop) {
  struct Case {
    int estimation;
    const char* text;
    int code;
    const char* a1;
    int n1;  // -1: not checked
  };
  for (const Case& k : {Case{1, "Baseline: b.bse\nMixture file:   \n*\n", 3026, "mixture", 2},
                        {1, "Output\n*\n", 3026, "outp", 1},  // the keyword ends the line
                        {1, "Baseline: b.bse\n* Characters\n", 3027, "Mixture", -1},
                        {0, "Baseline: b.bse\n* Characters\n", 0, "", -1},  // a simulation
                        {1, "Baseline: b.bse\nMixture: m.mix\n", 3014, "control file", -1}}) {
    SCOPED_TRACE(k.text);
    ControlRun c;
    c.run.opt.estimation = k.estimation;
    c.Open(k.text);
    Fparse(c.run);
    EXPECT_EQ(c.run.error.stop, k.code ? 1 : 0);
    EXPECT_EQ(c.run.error.last_code, k.code);
    EXPECT_EQ(c.run.error.a1, k.code ? k.a1 : c.run.error.a1);
    EXPECT_EQ(c.run.error.n1, k.n1 >= 0 ? k.n1 : c.run.error.n1);
  }
}

}  // namespace
}  // namespace velk
