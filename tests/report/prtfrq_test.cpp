// Baseline summary and Pella-Masuda weights: whole reports checked by hand, and page rules.
#include "report/prtfrq.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/baseline.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::Golden;
using test::ReadFile;

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
  run.input.pm_weight = test::VecOf({2.0, 3.0});
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
  test::ExpectGolden(Report(), "prtfrq_sim.bsl");
}

// Twelve types widen the page to 6 * 12 + 44 = 116, filled, so an empty line
// follows the rule; characters of one, one, two and two types end their block
// at column 101: the rule writes the page width, an empty line from its "/",
// and the last underscore.
TEST_F(BaselineReport, WidePagesAndRulesLongerThanThePage) {
  Setup({{"Wide", 12, 2}}, {"One"}, {{std::vector<int>(12, 1)}});
  Prtfrq(run);
  test::ExpectGolden(Report(), "prtfrq_wide.bsl");
  Setup({{"A", 1, 1}, {"B", 1, 1}, {"C", 2, 2}, {"D", 2, 2}}, {"One"},
        {{{4}, {4}, {2, 2}, {2, 2}}});
  Prtfrq(run);
  test::ExpectGolden(Report(), "prtfrq_rule.bsl");
}

}  // namespace
}  // namespace velk
