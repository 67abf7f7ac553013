// The run sequence: output name, report flags, folders, stages and size checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "control/sections.hpp"
#include "run/sequence.hpp"
#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

// A run that has read its control file: one population "Pop" and one locus
// "Loc1" with two types, the baseline in `text`, reports under a fresh folder.
struct SeqRun {
  explicit SeqRun(const std::string& text = "1 Pop\nLoc1 3 5\n") {
    test::WriteFile(tmp / "base.txt", text);
    test::WriteFile(tmp / "mix.txt", "Test mixture\n11\n20\n11\n");
    run.files.output = tmp / "run1";
    run.files.baseline = tmp / "base.txt";
    run.files.mixture = tmp / "mix.txt";
    run.par.npop = run.par.nchar = 1;
    run.par.max_types = 2;
    run.pops.Resize(1);
    run.pops(1).id = 1;
    run.pops(1).name = "Pop";
    run.chars.Resize(1);
    run.chars(1).name = "Loc1";
    run.chars(1).ntypes = 2;
  }
  // Enters the sequence as the control-file reader does, with its context pushed.
  void Sequence() {
    Errpush(run, "Reading control file");
    RunSequence(run);
    EXPECT_EQ(run.errstk.depth, 0) << "both contexts popped";
  }
  std::string Dir() const { return tmp.Path().string() + "/"; }
  test::TempDir tmp;
  test::RunFixture f;
  velk::Run& run = f.run;
};

TEST(RunSequence, OutputNameAndLoadOnlyReportFlags) {
  for (int load_only : {0, 1}) {
    SeqRun s;
    s.run.load_only = load_only;
    s.run.files.output = "USER";
    s.Sequence();
    EXPECT_EQ(s.run.error.last_code, 3027);
    EXPECT_NE(s.run.messages.back().text.find("output"), std::string::npos);
    EXPECT_EQ(s.run.output.written[0], 0) << "no flags for a load that failed";
  }
  SeqRun e;
  e.run.load_only = 1;
  e.run.files.output = "out/run1";
  Opt& o = e.run.opt;
  o.print_baseline = o.resample_baseline = o.print_iterations = o.print_genotypes = 1;
  o.print_likelihoods = 1;  // .rlk is never loaded
  e.Sequence();
  EXPECT_EQ(e.run.error.stop, 0);
  EXPECT_EQ(e.run.output.written,
            (std::array<int, kReportSlots>{1, 1, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(std::filesystem::exists("out")) << "a load creates no folders";
}

// Folders are made at "/" and "\\" alike, prefixes longer than 69 characters
// too; a drive prefix and the root are not made.
TEST(RunSequence, CreatesEveryMissingFolderButNotADriveOrTheRoot) {
  SeqRun s;
  s.run.opt.estimation = 0;  // a simulation: no mixture to read
  const std::string longname(90, 'x');
  s.run.files.output = s.Dir() + "results\\new//" + longname + "/run";
  s.Sequence();
  EXPECT_EQ(s.run.error.stop, 0);
  EXPECT_TRUE(std::filesystem::is_directory(s.Dir() + "results/new/" + longname));
  SeqRun d;
  d.f.platform.fake_directories = true;
  d.f.platform.attributes["C:/results"] = d.f.platform.attributes["/abs"] = -1;
  d.run.files.output = "C:\\results\\run1";
  d.Sequence();
  EXPECT_EQ(d.f.platform.made_directories, (std::vector<std::string>{"C:/results"}));
  d.run.files.output = "/abs/run1";
  d.f.platform.made_directories.clear();
  d.Sequence();
  EXPECT_EQ(d.f.platform.made_directories, (std::vector<std::string>{"/abs"}));
}

// (Genotype capacities beyond memory are in the command's bad-input table.)
TEST(RunSequence, SizesThatOverflowAre3000) {
  SeqRun a;
  a.run.par.max_types = a.run.par.npop = 2000000000;  // the product overflows 64 bits
  a.Sequence();
  EXPECT_EQ(a.run.error.last_code, 3000);
}

}  // namespace
}  // namespace velk
