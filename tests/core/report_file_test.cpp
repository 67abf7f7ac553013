// Report files that cannot be written whole, and report names that are input
// files of the run.
#include "core/report_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/error.hpp"
#include "support/files.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

TEST(CloseReportTest, AWholeReportPassesQuietlyAndAFullDiskIsFatal3038) {
  test::StepRun s;
  test::TempDir dir;
  s.run.files.output = dir / "run";
  EXPECT_TRUE(CloseReport(s.run, 5));  // never opened
  ASSERT_TRUE(OpenReport(s.run, 5, ".est", "Estimates", "Estimates output to "));
  s.run.output.unit[5].Line("an estimate");
  EXPECT_TRUE(CloseReport(s.run, 5));
  EXPECT_EQ(s.run.error.stop, 0);
  EXPECT_EQ(test::ReadFile(dir / "run.est"), "an estimate\n");

  std::filesystem::create_symlink("/dev/full", dir.Path() / "full.est");
  s.run.files.output = dir / "full";
  ASSERT_TRUE(OpenReport(s.run, 5, ".est", "Estimates", "Estimates output to "));
  s.run.output.unit[5].Line("an estimate");
  EXPECT_FALSE(CloseReport(s.run, 5));
  EXPECT_EQ(s.run.error.stop, 1);
  EXPECT_EQ(s.run.error.last_code, 3038);
  EXPECT_FALSE(s.run.output.unit[5].IsOpen());
}

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
  EXPECT_TRUE(IsInputFile(run, dir / "base.bse"));
  EXPECT_TRUE(IsInputFile(run, dir / "mix.mix"));
  EXPECT_TRUE(IsInputFile(run, dir / "pop2.bse"));
  // The same file under another name (a link) is still the same file.
  std::filesystem::create_symlink(dir.Path() / "base.bse", dir.Path() / "link.est");
  EXPECT_TRUE(IsInputFile(run, dir / "link.est"));
  EXPECT_FALSE(IsInputFile(run, dir / "other.est"));
  EXPECT_FALSE(IsInputFile(run, dir / "absent.est"));
}

}  // namespace
}  // namespace velk
