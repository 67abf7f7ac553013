#pragma once
// A run's results in memory: the estimate of every population and region and,
// for simulations and bootstraps, every resample's estimates. The front ends
// show them; the tables are written from them.
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace velk {

inline constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

// One population (level 0) or region (levels 1-3) of an estimation. Values that
// were not computed are NaN.
struct EstimateRow {
  int level = 0;  // 0 population, 1-3 region level
  int id = 0;     // population or region number
  std::string name;
  std::array<int, 3> parents{};  // the regions of levels 1-3 that hold it, 0 none
  double estimate = kNotComputed, se = kNotComputed, cv = kNotComputed;
  double normal_lo = kNotComputed, normal_hi = kNotComputed;
  double likelihood_lo = kNotComputed, likelihood_hi = kNotComputed;
  double p_lo = kNotComputed, p_hi = kNotComputed;  // P-values at the likelihood bounds
  double score = kNotComputed;  // populations: score minus the sample size, as reported
  // Regions with "Bias-corrected regions": the corrected estimate and its interval.
  double bias_corrected = kNotComputed, bias_lo = kNotComputed, bias_hi = kNotComputed;
};

// The facts of an estimation as a whole.
struct RunFacts {
  double log_likelihood = 0.0;
  int iterations = 0;
  double percent_of_maximum = 0.0;
  double gap_to_maximum = 0.0;  // bound on the log-likelihood still to gain
  double maximum_update = 0.0;
  int observations = 0;   // individuals of the mixture
  int possible_size = 0;  // individuals whose genotype is possible
  int ngenotypes = 0;
  int nclasses = 0;
};

struct RunResults {
  std::vector<EstimateRow> estimates;
  bool estimated = false;  // `facts` holds an estimation's
  RunFacts facts;
  // Simulations and bootstraps: the units (regions, then populations, by name)
  // and each unit's estimate in every resample.
  std::vector<std::string> resample_units;
  std::vector<std::vector<double>> resample_estimates;
};

}  // namespace velk
