#pragma once
// The estimate of every population and region as rows: what the estimates
// report and its interval blocks print, kept for the front ends and the tables.
#include <vector>

#include "core/results.hpp"
#include "core/run.hpp"
#include "report/prtest.hpp"

namespace velk {

// Rows of the populations (level 0, population order) and then of the regions
// (region order, which is level by level): estimate, and with standard errors
// the standard error, CV (as the report computes it) and the normal bounds
// max(e - z sd, 0), min(e + z sd, 1) with z for the run's confidence level;
// the populations' score minus the number of observations. The likelihood bounds
// are left for the profile search.
std::vector<EstimateRow> EstimateRows(const Run& run, const EstimatesReport& est);

RunFacts EstimateFacts(const EstimatesReport& est);

// The estimates table (.estimates.csv: one row per population and region).
void WriteEstimateTable(Run& run, const std::vector<EstimateRow>& rows);

// The facts of a simulation or bootstrap as a whole, as its summary report
// prints them.
struct ResampleFacts {
  int resamples = 0;
  double average_genotypes = 0.0;
  int simulated_sample_size = 0;  // simulations only
  int seed = 0;
  int second_seed = 0;            // 0 when the report shows none
  double chi_square = kNotComputed, fit_df = kNotComputed, fit_p = kNotComputed;
  int unfinished = 0;             // resamples whose maximisation ended unfinished
};

// The run table (.run.csv): one row of named columns, the estimation's facts
// (`estimation`, may be null in a simulation) and the resampling's (may be
// null when there was none); cells of the missing part are empty.
void WriteRunTable(Run& run, const RunFacts* estimation, const ResampleFacts* resampling);

// Coefficient of variation as the estimates report prints it: deviation over
// estimate, 0 for an estimate of at most 0.00001.
double CoefficientOfVariation(double estimate, double sd);

}  // namespace velk
