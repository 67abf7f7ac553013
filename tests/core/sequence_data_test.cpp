// The run sequence's data stages: the baseline arrays and reader, the status
// lines, the mixture reader, the missing-baseline rule for simulations and
// allocation failures.
#include <gtest/gtest.h>

#include <string>

#include "control/sections.hpp"
#include "core/error.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

using test::RunFixture;
using test::TempDir;

// A run that has read its control file: one population "Pop" and one locus
// "Loc1" with two types, the baseline in `text`, reports under the folder.
struct DataRun {
  explicit DataRun(const std::string& text) {
    test::WriteFile(tmp / "base.txt", text);
    test::WriteFile(tmp / "mix.txt", "Test mixture\n11\n20\n11\n");
    Run& run = f.run;
    run.files.output = tmp / "run1";
    run.files.baseline = tmp / "base.txt";
    run.files.mixture = tmp / "mix.txt";
    run.par.npop = 1;
    run.par.nchar = 1;
    run.par.max_types = 2;
    run.pops.Resize(1);
    run.pops(1).id = 1;
    run.pops(1).name = "Pop";
    run.chars.Resize(1);
    run.chars(1).name = "Loc1";
    run.chars(1).ntypes = 2;
  }
  void Sequence() {
    Errpush(f.run, "Reading control file");
    RunSequence(f.run);
  }
  // Whether some status shown holds `text`.
  bool Shown(const std::string& text) const {
    for (const std::string& s : f.platform.statuses)
      if (s.find(text) != std::string::npos) return true;
    return false;
  }
  TempDir tmp;
  RunFixture f;
};

TEST(RunSequenceData, EstimationReadsTheBaselineThenTurnsToTheMixture) {
  DataRun d("1 Pop\nLoc1 3 5\n");
  d.Sequence();
  velk::Run& run = d.f.run;
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_TRUE(d.Shown("Reading baseline file(s)...\r"));
  EXPECT_TRUE(d.Shown("Reading mixture file...\r"));
  EXPECT_EQ(run.input.sample_size, 3) << "the mixture has been read";
  EXPECT_EQ(run.errstk.depth, 0);
  EXPECT_EQ(run.input.base_counts.Size1(), 0) << "the arrays are released at the end";
  EXPECT_EQ(run.input.missing_freqs.Rows(), 0);
}

TEST(RunSequenceData, BaselineFailureStopsBeforeTheMixture) {
  DataRun d("1 Pop\nLoc9 3 5\n");
  d.Sequence();
  velk::Run& run = d.f.run;
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.last_code, 3010);
  EXPECT_FALSE(d.Shown("Reading mixture file..."));
  EXPECT_EQ(run.errstk.depth, 0);
  EXPECT_EQ(run.input.base_totals.Rows(), 0);
}

TEST(RunSequenceData, SimulationWithMissingBaselineIs3032) {
  DataRun d("1 Pop\nLoc1 3 5\n");
  velk::Run& run = d.f.run;
  run.par.nchar = 2;
  run.chars.Resize(2);
  run.chars(1).name = "Loc1";
  run.chars(1).ntypes = 2;
  run.chars(2).name = "Loc2";
  run.chars(2).ntypes = 2;
  run.par.kind = 2;
  run.opt.estimation = 0;
  d.Sequence();
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.last_code, 3032);
  EXPECT_FALSE(d.Shown("Reading mixture file..."));

  DataRun e("1 Pop\nLoc1 3 5\n");  // the same without the missing locus runs on
  e.f.run.par.kind = 2;
  e.f.run.opt.estimation = 0;
  e.Sequence();
  EXPECT_EQ(e.f.run.error.stop, 0);
  EXPECT_FALSE(e.Shown("Reading mixture file..."));
}

TEST(RunSequenceData, SizesNoMemoryCouldHoldAre3000) {
  {
    DataRun d("1 Pop\nLoc1 3 5\n");
    d.f.run.par.max_types = 2000000000;
    d.f.run.par.npop = 2000000000;  // the product overflows 64 bits
    d.Sequence();
    EXPECT_EQ(d.f.run.error.stop, 1);
    EXPECT_EQ(d.f.run.error.last_code, 3000);
    EXPECT_FALSE(d.Shown("Reading baseline file(s)..."));
    EXPECT_EQ(d.f.run.errstk.depth, 0);
  }
  {
    DataRun d("1 Pop\nLoc1 3 5\n");
    d.f.run.par.max_genotypes = 1000000000;  // copy counts of a billion genotypes
    d.f.run.par.max_types = 99;
    d.f.run.chars(1).ntypes = 2;
    d.Sequence();
    EXPECT_EQ(d.f.run.error.stop, 1);
    EXPECT_EQ(d.f.run.error.last_code, 3000);
    EXPECT_TRUE(d.Shown("Reading baseline file(s)..."));
    EXPECT_EQ(d.f.run.input.copies.Size3(), 0);
  }
}

}  // namespace
}  // namespace velk
