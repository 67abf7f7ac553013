// Baseline summary and Pella-Masuda weights: whole reports checked by hand, and page rules.
#include "report/prtfrq.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/baseline.hpp"
#include "support/files.hpp"
#include "support/groups.hpp"
#include "support/run_fixture.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::Golden;
using test::ReadFile;
using test::ReadLines;

// A run with a baseline set up by hand and the report written into a fresh folder.
class BaselineReport : public ::testing::Test, public test::RunFixture {
 protected:
  BaselineReport() { run.files.output = dir / "case"; }
  // Characters as {name, ntypes, ploidy}; counts[population][character][type].
  void Setup(const std::vector<std::tuple<std::string, int, int>>& chars,
             const std::vector<std::string>& pops,
             const std::vector<test::PopulationCounts>& counts) {
    std::vector<int> ntypes, ploidy;
    for (const auto& c : chars) {
      ntypes.push_back(std::get<1>(c));
      ploidy.push_back(std::get<2>(c));
    }
    test::SetBaseline(run, ntypes, counts, ploidy);
    for (int c = 1; c <= run.par.nchar; ++c)
      run.chars(c).name = std::get<0>(chars[static_cast<std::size_t>(c - 1)]);
    run.pops.Resize(run.par.npop);
    for (int i = 1; i <= run.par.npop; ++i)
      run.pops(i).name = pops[static_cast<std::size_t>(i - 1)];
  }

  // Missing-baseline entries: their number, and entry e's total and frequencies.
  static void Entries(Vec<double>& totals, Mat<double>& freqs, int maxtyp,
                      const std::vector<std::pair<double, std::vector<double>>>& entries) {
    totals.Resize(static_cast<int>(entries.size()));
    freqs.Resize(maxtyp, totals.Size());
    for (int e = 1; e <= totals.Size(); ++e) {
      const auto& [total, f] = entries[static_cast<std::size_t>(e - 1)];
      totals(e) = total;
      for (std::size_t k = 0; k < f.size(); ++k) freqs(static_cast<int>(k) + 1, e) = f[k];
    }
  }

  std::string Report() const { return ReadFile(dir / "case.bsl"); }
  std::vector<std::string> Lines() const { return ReadLines(dir / "case.bsl"); }

  test::TempDir dir;
};

// A locus, an isolocus and an mtDNA character fill the page exactly, a fourth goes to a
// second block; three characters without data, each with its Estimate row.
TEST_F(BaselineReport, PlainTableWithEstimatesInTwoBlocks) {
  run.title = "Test baseline";
  Setup({{"Loc1", 2, 2}, {"Iso2", 3, 4}, {"Mt3", 2, 1}, {"LongName10", 4, 2}},
        {"Alpha Creek", "Beta River", "Gamma Lake"},
        {{{30, 10}, {20, 12, 8}, {9, 3}, {10, 20, 5, 5}},
         {{0, 0}, {10, 10, 20}, {5, 5}, {0, 0, 0, 0}},
         {{16, 24}, {4, 4, 32}, {0, 0}, {2, 8, 6, 4}}});
  run.input.nmissing_base = 3;
  // Entries population by population: (2, Loc1), (2, LongName10), (3, Mt3).
  Entries(run.input.missing_totals, run.input.missing_freqs, 4,
          {{23.0, {0.6, 0.4}}, {15.0, {0.2, 0.3, 0.4, 0.1}}, {7.0, {0.25, 0.75}}});

  Prtfrq(run);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(Report(), Golden("prtfrq_plain.bsl"));
  EXPECT_EQ(run.output.written[1], 1);
  EXPECT_FALSE(run.output.unit[1].IsOpen());
}

// Both models: the sample table, both posterior means, and the weights table.
TEST_F(BaselineReport, ModelTablesAndWeights) {
  run.title = "Model run";
  Setup({{"Loc1", 2, 2}, {"Loc2", 3, 2}}, {"North Fork", "South Fork"},
        {{{6, 4}, {2, 2, 4}}, {{3, 1}, {0, 0, 0}}});
  run.input.nmissing_base = 1;
  Entries(run.input.missing_totals, run.input.missing_freqs, 3, {{9.0, {0.1, 0.2, 0.7}}});
  run.opt.rannala_mountain = 1;
  run.opt.pella_masuda = 1;
  run.input.pm_weight = test::Values({2.0, 3.0});
  run.input.pm_prior = Mat<double>(3, 2);
  run.input.pm_prior(1, 1) = run.input.pm_prior(2, 1) = run.input.pm_prior(3, 2) = 0.5;
  run.input.pm_prior(1, 2) = 0.2;
  run.input.pm_prior(2, 2) = 0.3;

  Prtfrq(run);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(Report(), Golden("prtfrq_models.bsl"));

  ASSERT_TRUE(run.output.unit[5].Open(dir / "case.est"));
  prweight(run);
  run.output.unit[5].Close();
  EXPECT_EQ(ReadFile(dir / "case.est"), Golden("prweight.est"));
}

// The simulation driver's Mean and Std.Dev. rows follow the Estimate row, and
// one empty line follows the last of them.
TEST_F(BaselineReport, MeanAndStdDevRowsFollowTheEstimate) {
  run.title = "Sim";
  Setup({{"Loc1", 2, 2}}, {"One", "Two"}, {{{3, 1}}, {{0, 0}}});
  run.input.nmissing_base = 1;
  Vec<double> et, mt, st;
  Mat<double> ef, mf, sf;
  Entries(et, ef, 2, {{10.0, {0.5, 0.5}}});
  Entries(mt, mf, 2, {{9.0, {0.45, 0.55}}});
  Entries(st, sf, 2, {{1.0, {0.05, 0.05}}});
  MissingEntries estimate{et, ef}, mean{mt, mf}, sd{st, sf};
  Prtfrq(run, estimate, &mean, &sd);
  ASSERT_EQ(run.error.stop, 0);
  const std::vector<std::string> lines = Lines();
  // Title (2), header (5), two rows of which the second has its label rows.
  ASSERT_EQ(lines.size(), 2u + 5u + 1u + 1u + 3u + 1u + 1u);
  // Columns 1-35 the population, 38-55 the field; labels from column 16.
  EXPECT_EQ(lines[8], "   2 Two" + std::string(34, ' ') + "0 ----- -----");
  EXPECT_EQ(lines[9], std::string(15, ' ') + "Estimate" + std::string(17, ' ') + "5.0 0.500 0.500");
  EXPECT_EQ(lines[10], std::string(15, ' ') + "Mean" + std::string(21, ' ') + "4.5 0.450 0.550");
  EXPECT_EQ(lines[11],
            std::string(15, ' ') + "Std.Dev." + std::string(17, ' ') + "0.5 0.050 0.050");
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13], std::string(56, '_'));
}

// Twelve types: page width 6 * 12 + 44 = 116, filled, so an empty line follows the rule.
TEST_F(BaselineReport, WideCharacterWidensThePage) {
  Setup({{"Wide", 12, 2}}, {"One"}, {{std::vector<int>(12, 1)}});
  Prtfrq(run);
  const std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 11u);
  // Name at 37 + max(0, 48 - 2).
  EXPECT_EQ(lines[3], std::string(10, ' ') + "locus" + std::string(67, ' ') + "Wide");
  EXPECT_EQ(lines[4].substr(40, 3), "(N)");
  EXPECT_EQ(lines[4].substr(40 + 3 + 54), "   10    11    12");
  EXPECT_EQ(lines[6], std::string(116, '_'));
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8].substr(35),
            "       6 0.083 0.083 0.083 0.083 0.083 0.083 0.083 0.083 0.083 "
            "0.083 0.083 0.083");
}

// Characters of one, one, two and two types end their block at column 101: the
// rule writes the page width, an empty line from its "/", and the last underscore.
TEST_F(BaselineReport, RuleLongerThanThePageContinues) {
  Setup({{"A", 1, 1}, {"B", 1, 1}, {"C", 2, 2}, {"D", 2, 2}}, {"One"}, {{{4}, {4}, {2, 2}, {2, 2}}});
  Prtfrq(run);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[6], std::string(100, '_'));
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], "_");
  // Fields at columns 38, 51, 64 and 83, one blank between them.
  EXPECT_EQ(lines[9].substr(35),
            "       4 1.000      4 1.000      2 0.500 0.500      2 0.500 0.500");
}

}  // namespace
}  // namespace velk
