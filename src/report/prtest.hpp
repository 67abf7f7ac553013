#pragma once
// The estimates report (.est): the summary of one estimation, the characters
// used, every region's and population's estimate and, with standard errors, the
// correlation and covariance tables. Prcov and Prtvec are shared with the
// resampling reports.
#include <cstdint>
#include <string>

#include "core/array.hpp"
#include "core/layout/unit.hpp"
#include "core/run.hpp"
#include "model/groups.hpp"

namespace velk {

// What the estimates report prints of one estimation; the estimation driver
// fills it. Titles, names, characters, region levels and the baseline-model
// switches come from the run.
struct EstimatesReport {
  // The mixture as the estimation saw it.
  int nclasses;
  int ngenotypes;
  int possible_size;  // individuals whose genotype is possible
  const Vec<std::int32_t>& class_genotypes;
  const Vec<std::int32_t>& class_individuals;
  // The maximisation.
  int iterations;
  double log_likelihood;
  const Convergence& record;
  // Populations: estimates, deviations, score vector and the covariance table
  // (correlations below the diagonal, covariances on and above it).
  const Vec<double>& theta;
  const Vec<double>& sd;
  const Vec<double>& score;
  const Mat<double>& cov;
  // Regions: column 1 estimate, column 2 deviation; the region table in the
  // same convention as `cov`.
  const Mat<double>& regional;
  const Mat<double>& region_cov;
  // Standard errors were computed (infinitesimal jackknife).
  bool standard_errors;
};

// Writes the estimates report on the estimates unit (slot 5), which the
// estimation driver has opened; nothing is written when it is not open.
void Prtest(Run& run, const EstimatesReport& est);

// The n x n correlation/covariance table of the entries index(1..n) of `m`
// (correlation below the diagonal, covariance on and above it), columns in
// blocks of five. Writes nothing for n = 0.
void Prcov(Unit& unit, const Vec<std::string>& names, const Mat<double>& m, int n,
           const Vec<std::int32_t>& index);

// The values v(1..n) on one line; nothing for n = 0.
void Prtvec(Unit& unit, const Vec<double>& v, int n);

}  // namespace velk
