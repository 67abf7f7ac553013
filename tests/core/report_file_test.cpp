// Report names that are input files of the run (also through a link).
#include "core/report_file.hpp"
#include "core/reports.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

TEST(IsInputFileTest, ControlBaselineMixtureAndPerPopulationFiles) {
  test::StepRun s;
  test::TempDir dir;
  for (const char* name : {"run.ctl", "base.bse", "mix.mix", "pop2.bse", "other.est"})
    test::WriteFile(dir.Path() / name, "x\n");
  velk::Run& run = s.run;
  run.control_file = dir / "run.ctl";
  run.control_dir = dir.Path().string() + "/";
  run.files.baseline = dir / "base.bse";
  run.files.mixture = dir / "mix.mix";
  run.pops.Resize(2);
  run.pops(2).file = "pop2.bse";
  EXPECT_TRUE(IsInputFile(run, dir / "run.ctl"));
  EXPECT_TRUE(IsInputFile(run, dir / "pop2.bse"));
  // The same file under another name (a link) is still the same file.
  std::filesystem::create_symlink(dir.Path() / "base.bse", dir.Path() / "link.est");
  EXPECT_TRUE(IsInputFile(run, dir / "link.est"));
  EXPECT_FALSE(IsInputFile(run, dir / "other.est"));
  EXPECT_FALSE(IsInputFile(run, dir / "absent.est"));
}

// A pipe at a report's working name is refused: opened, it would hold the run
// until someone read it.
TEST(OpenReportTest, APipeAtTheWorkingNameIsRefused) {
  test::StepRun s;
  test::TempDir dir;
  s.run.files.output = dir / "out";
  ASSERT_EQ(mkfifo((dir / "out.est.part").c_str(), 0644), 0);
  EXPECT_FALSE(OpenReport(s.run, Report::kEstimates, "Estimates", "Estimates output to "));
  EXPECT_EQ(s.run.messages.back().number, 3030);
}

// A count wider than its field keeps the layout (asterisks) and is named in the
// log by one note a report, however often and however many.
TEST(CloseReportTest, CountsWiderThanTheirFieldAreNotedOnce) {
  test::LoggedRun r;
  r.run.files.output = r.dir / "out";
  ASSERT_TRUE(OpenReportFile(r.run, Report::kEstimates, "Estimates"));
  for (int n : {2000000, 743, 2000000, -1000}) r.run.output.unit[5].Write("(2x,a,i4)", {"N ", n});
  ASSERT_TRUE(CloseReport(r.run, 5));
  EXPECT_EQ(test::ReadFile(r.dir / "out.est"), "  N ****\n  N  743\n  N ****\n  N ****\n");
  EXPECT_NE(r.Log().find("The Estimates output shows the value 2000000 and 1 other\n"
                         "     as asterisks: they are wider than their fields."),
            std::string::npos)
      << r.Log();
}

}  // namespace
}  // namespace velk
