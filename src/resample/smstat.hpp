#pragma once
// Resample summaries: the accumulators of a simulation or bootstrap, filled once
// per resample, and the summary report (.sim or .bot) written after the loop with
// its percentile and studentized bootstrap intervals; StdzdBCI makes the
// studentized values of one resample.
//
// Reporting areas are the regions in region order (their group is their
// hierarchy level) followed by the populations in population order (one group
// below the finest region level). Every area gets its mean, deviation, root MSE
// and percentile intervals; the angle and distance are kept per group; the
// studentized intervals are the regions'.
//
// Renderings chosen where a value cannot be formed:
// - R = 1: a single resample shows no spread. Standard deviations (areas and the
//   angle and distance table) print as 0.0000, covariances as 0, correlations as
//   0.000. The percentile intervals are that one resample's value.
// - A zero standard deviation (an area whose resample values are all equal): the
//   deviation prints 0.0000, its covariances are exactly 0 and its correlation
//   with any area is printed as 0.000 (no linear association can be measured).
// - R = 0 (no resample added): every statistic is 0 and every interval [0, 1].
// No division by zero is made and no NaN reaches the report.
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "core/results.hpp"
#include "core/run.hpp"

namespace velk {

// The two order statistics of every interval, 1 <= lo <= hi <= R (both 0 when
// R = 0): lo = trunc((100 - C)(R + 1) / 200), at least 1; hi = R + 1 - lo.
struct PercentileIndex {
  int lo = 0;
  int hi = 0;
};
[[nodiscard]] PercentileIndex PercentileIndices(int confidence, int nresamples);

// The studentized values t(1..nr) of one resample: t = (r - e) / s with r the
// resample's regional estimates, e the observed ones and s the resample's
// regional standard errors. In this order per region: a standard error of 0
// divides as 1; an estimate within 0.0001 of the observed one is set equal to it
// (written back into `rr`); t = (r - e) / s; t is -999.0 where the standard error
// was 0 or the estimate is below the single-precision 0.001.
inline constexpr double kNoStudentized = -999.0;
void StdzdBCI(Vec<double>& rr, const Vec<double>& e, int nr, const Vec<double>& se, Vec<double>& t);

// One resample as the simulation driver hands it over.
struct SmstatResample {
  const Vec<double>& theta;                   // estimate, population order
  int ngenotypes = 0;                         // distinct genotypes of the resample
  const Vec<std::int32_t>* counts = nullptr;  // resampled count per observed genotype
  const Vec<double>* region_se = nullptr;     // regional standard errors (studentized)
  bool unfinished = false;                    // the optimisation ended with its finish flag set
};

// The accumulators of one simulation or bootstrap run.
struct Smstat {
  int np = 0;        // populations
  int nr = 0;        // regions
  int narea = 0;     // nr + np
  int ngroups = 0;   // groups: region levels, then the populations
  int capacity = 0;  // resamples the matrices hold
  int count = 0;     // resamples added

  // Areas, in report order.
  Vec<int> number;          // region or population number
  Vec<int> group;           // region level; the populations' group is ngroups
  Vec<std::string> name;    // 30 characters
  Vec<double> expected;     // true proportion (simulation) or observed estimate (bootstrap)

  // Running sums per area and per group.
  Vec<double> sum;    // estimates
  Vec<double> sqdev;  // squared deviations from the expected value
  Vec<double> angle_sum, angle_sq, dist_sum, dist_sq;
  // Every resample's estimate of every area: (area, resample). The percentile
  // intervals sort each row; the deviations and correlations come from it too.
  Mat<double> values;

  double genotype_sum = 0.0;  // distinct genotypes, summed over resamples
  Vec<double> geno_total;     // per observed genotype: resampled counts, summed
  int unfinished = 0;         // resamples whose optimisation ended unfinished

  // Studentized intervals: observed regional deviations and, per (region,
  // resample), the standard errors as added, replaced by the studentized values
  // by SmstatStudentize.
  bool studentized = false;
  bool student_done = false;
  Vec<double> observed_sd;
  Mat<double> student;

  // Goodness of fit of the mixture resampling (bootstrap with resampled mixture).
  bool has_fit = false;
  double chi_square = 0.0;
  double fit_df = 0.0;
  double p_value = 0.0;
};

// Sets up the accumulators for run.par.nresamples resamples: areas from the
// run's regions and populations, `expected` per population; `region_sd` the
// observed regional deviations when the studentized switch is on (may be null
// otherwise); `ngenotypes` the observed genotypes whose resampled counts are
// totalled (0 when the mixture is not resampled). Message 3000 when out of memory.
void SmstatBegin(Run& run, Smstat& acc, const Vec<double>& expected, const Vec<double>* region_sd,
                 int ngenotypes);

// Adds one resample (accumulating mode).
void SmstatAdd(const Run& run, Smstat& acc, const SmstatResample& resample);

// Replaces the stored standard errors by every resample's studentized values
// (StdzdBCI); done once, also by the report when the driver has not done it.
void SmstatStudentize(Smstat& acc);
// The studentized values of resample r, regions in order (for the .rst file).
void SmstatStudentRow(const Smstat& acc, int r, Vec<double>& t);

// Goodness of fit of the mixture resampling: with N the mixture sample size and
// p_g the observed proportion of genotype g, E_g = N p_g, O_g = total resampled
// count / R; chi-square = sum (O_g - E_g)^2 / E_g over genotypes with E_g > 0,
// DF = genotypes - 1, P-value = 1 - DCHIDF (1 when DF is 0).
void SmstatFit(Smstat& acc, int n, const Vec<double>& proportion);

// What the summary report prints of one area (region or population) and one
// group, at full precision.
struct AreaSummary {
  double mean = 0.0, sd = 0.0, rmse = 0.0, expected = 0.0;
  // Percentile intervals; [0, 1] when no resample was added.
  double symmetric_lo = 0.0, symmetric_hi = 1.0;
  double nonsymmetric_lo = 0.0, nonsymmetric_hi = 1.0;
  // Studentized intervals (regions, with the studentized switch): the bounds
  // as computed, and NaN where the report shows none (the baseline resampled).
  double studentized_shown_lo = 0.0, studentized_shown_hi = 1.0;
  double studentized_lo = kNotComputed, studentized_hi = kNotComputed;
};
struct LevelSummary {
  int level = 0;
  double angle_mean = 0.0, angle_sd = 0.0, distance_mean = 0.0, distance_sd = 0.0;
};
struct SmstatSummary {
  std::vector<AreaSummary> areas;    // area order
  std::vector<LevelSummary> levels;  // groups that hold areas, in order
  Mat<double> cov;                   // correlations below, covariances on and above the diagonal
};

// The report's statistics (studentizes the stored values first).
[[nodiscard]] SmstatSummary SmstatSummarize(const Run& run, Smstat& acc);

// Writes the summary report (.sim in a simulation on slot 6, .bot in a
// bootstrap on slot 7) and closes it. An output base name "USER" is refused with
// message 3008; a failed open is message 3030.
void SmstatReport(Run& run, Smstat& acc);

}  // namespace velk
