#pragma once
// The estimates as the window shell shows and exports them: the columns the
// run computed, each value as the estimates report prints it, and the
// CSV text.
#include <string>
#include <vector>

#include "core/results.hpp"

namespace velk::gui {

struct EstimateColumn {
  const char* heading;
  double EstimateRow::*field;  // null for the level, number and name columns
  int decimals;                // as the report prints it; -1: two significant digits
};

// "Level", "ID" and "Name", then every value column holding at least one
// computed value, in the report's order.
std::vector<EstimateColumn> EstimateColumns(const std::vector<EstimateRow>& rows);

// Which rows the Estimates tab shows: the regions (at first, when the run has
// any), the populations, or both.
enum class EstimateScope { kRegions, kPopulations, kBoth };
std::vector<EstimateRow> ShownRows(const std::vector<EstimateRow>& rows, EstimateScope scope);

// The tab's columns for `shown`: "Name", for populations "Region", then the
// value columns that hold a number on every row, then those that hold one on
// some, then "Level" and "ID".
std::vector<EstimateColumn> ShownColumns(const std::vector<EstimateRow>& shown);

// The name of the level-1 region that holds population `row` ("" none).
std::string RegionOf(const std::vector<EstimateRow>& rows, const EstimateRow& row);

// "Population", or "Region level n".
std::string LevelName(int level);

// The value in column `c` of `row` as shown ("" when not computed).
std::string CellText(const EstimateRow& row, const EstimateColumn& c);

// The table as a CSV file with a heading line (RFC 4180 quoting; values in full
// precision).
std::string CsvText(const std::vector<EstimateRow>& rows);

// Equal-width bins over the values (NaN left out): the lower edge of the first,
// the width, and the count of each.
struct Histogram {
  double low = 0, width = 0;
  std::vector<int> counts;
};
Histogram MakeHistogram(const std::vector<double>& values, int bins);

}  // namespace velk::gui
