// The run sequence up to the data stages: the output name check, the report
// flags of a load-only run, the output folders and the context swap.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "control/sections.hpp"
#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

using test::RunFixture;
using test::TempDir;

std::string Dir(const TempDir& tmp) {
  return tmp.Path().string() + "/";
}

// Enters the sequence as the control-file reader does, with its context pushed.
void Sequence(Run& run) {
  Errpush(run, "Reading control file");
  RunSequence(run);
}

TEST(RunSequence, OutputNameMissingStopsAlsoWhenLoadingOnly) {
  for (int load_only : {0, 1}) {
    RunFixture f;
    velk::Run& run = f.run;
    run.load_only = load_only;
    run.files.output = "USER";
    Sequence(run);
    EXPECT_EQ(run.error.stop, 1);
    EXPECT_EQ(run.error.last_code, 3027);
    EXPECT_EQ(run.error.a1, "output");
    EXPECT_EQ(run.output.written[0], 0) << "no flags for a load that failed";
    EXPECT_EQ(run.errstk.depth, 0);
  }
}

TEST(RunSequence, LoadOnlyEstimationFlagsFollowTheOptions) {
  RunFixture f;
  velk::Run& run = f.run;
  run.load_only = 1;
  run.files.output = "out/run1";
  run.opt.estimation = 1;
  run.opt.print_baseline = 1;
  run.opt.resample_baseline = 1;
  run.opt.print_iterations = 1;
  run.opt.print_likelihoods = 1;  // .rlk is never loaded
  run.opt.print_genotypes = 1;
  Sequence(run);
  EXPECT_EQ(run.error.stop, 0);
  std::array<int, kReportSlots> want{1, 1, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(run.output.written, want);
  EXPECT_EQ(run.errstk.depth, 0);
  EXPECT_FALSE(std::filesystem::exists("out")) << "a load creates no folders";
}

TEST(RunSequence, LoadOnlySimulationHasNoBootstrapReport) {
  RunFixture f;
  velk::Run& run = f.run;
  run.load_only = 1;
  run.files.output = "run1";
  run.opt.estimation = 0;
  run.opt.resample_mixture = 1;
  run.opt.print_resamples = 1;
  run.opt.print_mixture = 1;
  run.opt.print_populations = 1;
  Sequence(run);
  std::array<int, kReportSlots> want{1, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0};
  EXPECT_EQ(run.output.written, want);
}

TEST(RunSequence, CreatesEveryMissingFolderAtBothSeparatorsAndKeepsExistingOnes) {
  TempDir tmp;
  RunFixture f;
  velk::Run& run = f.run;
  run.opt.estimation = 0;  // a simulation: no mixture to read
  run.files.output = Dir(tmp) + "results\\new/deeper\\run1";
  Sequence(run);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_TRUE(std::filesystem::is_directory(Dir(tmp) + "results/new/deeper"));
  EXPECT_FALSE(std::filesystem::exists(Dir(tmp) + "results/new/deeper/run1"));
  EXPECT_EQ(run.errstk.depth, 0) << "both contexts popped";

  std::string longname(90, 'x');  // prefixes longer than 69 characters
  run.files.output = Dir(tmp) + "results//" + longname + "/run";
  Sequence(run);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_TRUE(std::filesystem::is_directory(Dir(tmp) + "results/" + longname));
}

TEST(RunSequence, FolderThatCannotBeMadeIsFatal3035) {
  TempDir tmp;
  test::WriteFile(Dir(tmp) + "plain", "a file, not a folder\n");
  RunFixture f;
  velk::Run& run = f.run;
  run.files.output = Dir(tmp) + "plain\\sub\\run1";
  Sequence(run);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.last_code, 3035);
  EXPECT_EQ(run.error.a1, Dir(tmp) + "plain");
  EXPECT_EQ(run.errstk.depth, 0);
}

TEST(RunSequence, DrivePrefixAndRootAreNotCreated) {
  RunFixture f;
  velk::Run& run = f.run;
  f.platform.fake_directories = true;
  f.platform.attributes["C:/results"] = -1;
  f.platform.attributes["/abs"] = -1;
  run.files.output = "C:\\results\\run1";
  Sequence(run);
  EXPECT_EQ(f.platform.made_directories, (std::vector<std::string>{"C:/results"}));
  run.files.output = "/abs/run1";
  f.platform.made_directories.clear();
  Sequence(run);
  EXPECT_EQ(f.platform.made_directories, (std::vector<std::string>{"/abs"}));
}

}  // namespace
}  // namespace velk
