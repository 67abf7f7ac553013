// The Plot tab's rows, ticks and the estimates table read back.
#include "plot_rows.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

TEST(PlotTicks, RoundStepsThatHoldTheTop) {
  const struct {
    double top;
    double step;
  } cases[] = {{0.92, 0.2}, {0.8, 0.1}, {0.5, 0.1}, {0.23, 0.05}, {0.12, 0.02}, {0.018, 0.0025}, {1.0, 0.2}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(TickStep(c.top, 8), c.step) << c.top;
}

// Regions largest first; populations in table order go region by region, each
// named with its region; the floor drops those that reach it by no bound.
TEST(PlotRows, OrderRegionsAndFloor) {
  auto row = [](int level, int id, const char* name, int region, double e, double hi) {
    EstimateRow r{.level = level, .id = id, .name = name};
    r.parents = {region, 0, 0};
    r.estimate = e, r.normal_lo = e / 2, r.normal_hi = hi;
    return r;
  };
  const std::vector<EstimateRow> rows{
      row(0, 1, "Ann  ", 2, 0.30, 0.40), row(0, 2, "Bee", 1, 0.005, 0.02), row(0, 3, "Cat", 2, 0.004, 0.009),
      row(0, 4, "Dan", 1, 0.69, 0.80),   row(1, 1, "North ", 0, 0.70, 0.8), row(1, 2, "South", 0, 0.30, 0.4)};
  auto names = [](const std::vector<PlotRow>& r) {
    std::vector<std::string> n;
    for (const PlotRow& p : r) n.push_back(p.name + "/" + p.region);
    return n;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(names(PlotRows(rows, PlotLevel::kRegions, PlotOrder::kByEstimate, 0)), (V{"North/", "South/"}));
  EXPECT_EQ(names(PlotRows(rows, PlotLevel::kPopulations, PlotOrder::kTableOrder, 0.01)),
            (V{"Bee/North", "Dan/North", "Ann/South"}));
  EXPECT_EQ(names(PlotRows(rows, PlotLevel::kPopulations, PlotOrder::kByEstimate, 0)),
            (V{"Dan/North", "Ann/South", "Bee/North", "Cat/South"}));
}

TEST(EstimateTable, ReadsQuotedNamesAndLeavesEmptyCellsNotComputed) {
  const std::string csv =
      "\"mixture_collection\",\"level\",\"id\",\"name\",\"level1_region\",\"estimate\",\"normal_upper\"\r\n"
      "\"rec1\",0,7,\"Fork, \"\"upper\"\"\",3,0.25,\r\n"
      "\"rec1\",1,3,\"North\",,1e-14,0.5\r\n";
  const std::vector<EstimateRow> rows = ReadEstimateTable(csv);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].name, "Fork, \"upper\"");
  EXPECT_EQ(rows[0].parents[0], 3);
  EXPECT_EQ(rows[0].id, 7);
  EXPECT_TRUE(std::isnan(rows[0].normal_hi));
  EXPECT_EQ(rows[1].level, 1);
  EXPECT_DOUBLE_EQ(rows[1].estimate, 1e-14);
  EXPECT_TRUE(ReadEstimateTable("a,b\n1,2\n").empty());
}

}  // namespace
}  // namespace velk::gui
