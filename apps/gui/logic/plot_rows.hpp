#pragma once
// What the Plot tab draws, without Qt: the units in the order shown with the
// region that holds each population, axis ticks at round values, and the
// estimates read back from a finished run's estimates table.
#include <string>
#include <string_view>
#include <vector>

#include "core/results.hpp"

namespace velk::gui {

enum class PlotLevel { kRegions, kPopulations };
enum class PlotOrder { kByEstimate, kTableOrder };

// One row of the dot-and-whisker plot.
struct PlotRow {
  std::string name;    // trimmed
  std::string region;  // populations: the level-1 region that holds it ("" none)
  int group = 0;       // populations: the level-1 region's number, 0 none
  double estimate = kNotComputed;
  double normal_lo = kNotComputed, normal_hi = kNotComputed;
  double likelihood_lo = kNotComputed, likelihood_hi = kNotComputed;
};

// The regions of level 1 (or the populations) with an estimate, largest first
// or as the table holds them (populations then region by region, in the
// table's order within each); only those whose estimate or upper bound reaches
// `min_share`.
std::vector<PlotRow> PlotRows(const std::vector<EstimateRow>& rows, PlotLevel level,
                              PlotOrder order, double min_share);

// Round tick spacing for an axis from 0 to `top`: 1, 2, 2.5 or 5 times a power
// of ten, giving at most `most` intervals.
double TickStep(double top, int most);

// The rows of an estimates table (.estimates.csv) as the run held them; empty
// when the text is no such table.
std::vector<EstimateRow> ReadEstimateTable(std::string_view csv);

}  // namespace velk::gui
