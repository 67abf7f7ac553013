// The estimates as the shell shows and exports them.
#include "estimate_text.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

TEST(EstimateText, OnlyComputedColumnsAsTheReportPrintsThemAndCsvInFullPrecision) {
  EstimateRow pop{.level = 0, .id = 2, .name = "Lower Fork   "};
  pop.estimate = 0.036249, pop.se = 0.01384, pop.cv = 0.3817, pop.score = -0.04;
  EstimateRow region{.level = 1, .id = 1, .name = "North, \"main\""};
  region.estimate = 0.44616, region.se = 0.0319, region.cv = 0.0716;
  region.normal_lo = 0.39371, region.normal_hi = 0.49861;
  const std::vector<EstimateRow> rows{pop, region};

  std::vector<std::string> headings;
  for (const EstimateColumn& c : EstimateColumns(rows)) headings.push_back(c.heading);
  EXPECT_EQ(headings, (std::vector<std::string>{"Level", "ID", "Name", "Estimate", "Std. error",
                                                "CV", "Normal lower", "Normal upper", "Score"}));
  std::vector<std::string> cells;
  for (const EstimateColumn& c : EstimateColumns(rows)) cells.push_back(CellText(pop, c));
  EXPECT_EQ(cells, (std::vector<std::string>{"Population", "2", "Lower Fork", "0.0362", "0.0138",
                                             "0.38", "", "", "-0.0"}));
  EXPECT_EQ(CellText(region, EstimateColumns(rows)[0]), "Region level 1");
  EXPECT_EQ(CsvText(rows),
            "Level,ID,Name,Estimate,Std. error,CV,Normal lower,Normal upper,Score\r\n"
            "Population,2,Lower Fork,0.036249,0.01384,0.3817,,,-0.04\r\n"
            "Region level 1,1,\"North, \"\"main\"\"\",0.44616,0.0319,0.0716,0.39371,0.49861,\r\n");
}

// Populations shown alone: their region, the columns full on every row first,
// the likelihood columns (regions only) gone, level and number last.
TEST(EstimateText, ShownColumnsPutNumbersFirst) {
  EstimateRow pop{.level = 0, .id = 2, .name = "Fork"};
  pop.parents = {1, 0, 0};
  pop.estimate = 0.3, pop.score = 1.5;
  EstimateRow other = pop;
  other.normal_lo = 0.1;
  EstimateRow region{.level = 1, .id = 1, .name = "North  "};
  region.estimate = 0.4, region.likelihood_lo = 0.2;
  const std::vector<EstimateRow> rows{pop, other, region};
  std::vector<std::string> headings;
  for (const EstimateColumn& c : ShownColumns(ShownRows(rows, EstimateScope::kPopulations)))
    headings.push_back(c.heading);
  EXPECT_EQ(headings, (std::vector<std::string>{"Name", "Region", "Estimate", "Score", "Normal lower", "Level", "ID"}));
  EXPECT_EQ(RegionOf(rows, pop), "North");
  EXPECT_EQ(ShownRows(rows, EstimateScope::kRegions).size(), 1u);
}

TEST(EstimateText, HistogramBinsEveryValueOnceAndAlikeValuesGetOneBin) {
  const Histogram h = MakeHistogram({0.1, 0.2, 0.2, 0.5, NAN}, 4);
  EXPECT_DOUBLE_EQ(h.low, 0.1);
  EXPECT_DOUBLE_EQ(h.width, 0.1);
  EXPECT_EQ(h.counts, (std::vector<int>{1, 2, 0, 1}));
  const Histogram same = MakeHistogram({0.3, 0.3}, 5);
  EXPECT_EQ(same.counts, (std::vector<int>{0, 0, 2, 0, 0}));
  EXPECT_TRUE(MakeHistogram({NAN}, 5).counts.empty());
}

}  // namespace
}  // namespace velk::gui
