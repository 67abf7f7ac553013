#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;

// The names of the files section, resolved, and the names a run cannot do without.
TEST(Fparse, NamesAreResolvedOrStopTheRun) {
  struct Case {
    std::string text;
    // nullptr: not checked; "~" stands for the control file's folder.
    const char *baseline, *mixture, *path, *output;
    int code = 0;
    const char* a1 = "";
    int estimation = 1;
  };
  // clang-format off
  const Case cases[] = {
      // Comments, keywords anywhere on the line, and the section ends at the next header.
      {"\r\n/ Mixture file: commented.mix\r\n\\ Baseline: commented.bse\r\n"
       "The BASELINE file for this run is: C:\\data\\x.bse\r\n"
       "  and the MIXTURE, sampled in 2002: C:\\data\\m.mix  \r\n"
       "PATH to the stock files:C:\\data\\\r\nNothing to see on this line.\r\n* Populations\r\n",
       "C:/data/x.bse", "C:/data/m.mix", "C:/data/", "USER", 108},  // a line not understood
      // Relative names are taken from the control file's folder.
      {"Baseline: data\\base.bse\nMixture: ../mix/m.mix\nPath: pops\\chinook\n"
       "Output: out/run1.est\n*\n", "~data/base.bse", "~../mix/m.mix", "~pops/chinook/",
       "~out/run1"},
      // Without its own colon the first ":" after the keyword is the drive's.
      {"Baseline file C:\\data\\x.bse\nMixture: m\n*\n", "/data/x.bse", nullptr, nullptr, nullptr},
      // The output name is cut in its own name only.
      {"Output: C:\\my.dir\\run1\n* run\n", nullptr, nullptr, nullptr, "C:/my.dir/run1", 0, "", 0},
      {"Output: C:\\results\\run1.est\n* run\n", nullptr, nullptr, nullptr, "C:/results/run1", 0,
       "", 0},
      {"Output: /tmp/a.b/c.d/run.x.y\n* run\n", nullptr, nullptr, nullptr, "/tmp/a.b/c.d/run.x",
       0, "", 0},
      {"Output: .est\n* run\n", nullptr, nullptr, nullptr, "USER", 0, "", 0},
      {"Baseline: b.bse\nMixture file:   \n*\n", nullptr, nullptr, nullptr, nullptr, 3026,
       "mixture"},
      {"Output\n*\n", nullptr, nullptr, nullptr, nullptr, 3026, "outp"},  // the keyword ends the line
      {"Baseline: b.bse\n* Characters\n", nullptr, nullptr, nullptr, nullptr, 3027, "Mixture"},
      {"Baseline: b.bse\n* Characters\n", nullptr, nullptr, nullptr, nullptr, 0, "", 0},  // a simulation
      {"Baseline: b.bse\nMixture: m.mix\n", nullptr, nullptr, nullptr, nullptr, 3014,
       "control file"},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    ControlRun c;
    c.run.opt.estimation = k.estimation;
    c.Open(k.text);
    Fparse(c.run);
    EXPECT_EQ(c.run.error.last_code, k.code);
    EXPECT_EQ(c.run.error.stop, k.code > 3000 ? 1 : 0);
    EXPECT_EQ(k.code > 3000 ? c.run.error.a1 : "", k.a1);
    const Files& f = c.run.files;
    for (auto [got, want] : {std::pair{f.baseline, k.baseline},
                             {f.mixture, k.mixture},
                             {f.path, k.path},
                             {f.output, k.output}}) {
      if (want) {
        EXPECT_EQ(got, want[0] == '~' ? c.run.control_dir + (want + 1) : want);
      }
    }
  }
}

}  // namespace
}  // namespace velk
