// Report names that are input files of the run (also through a link).
#include "core/report_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/error.hpp"
#include "support/files.hpp"
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

}  // namespace
}  // namespace velk
