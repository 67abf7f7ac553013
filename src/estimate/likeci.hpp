#pragma once
// Likelihood-profile confidence intervals of the regional estimates: for every
// region a secant search below and above its estimate for the totals at which
// the likelihood-ratio statistic reaches the confidence level.
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "estimate/ijack.hpp"
#include "estimate/optim.hpp"

namespace velk {

struct Run;
class Unit;

// The estimate the intervals belong to.
struct ProfileEstimate {
  const Vec<double>& theta;           // the estimate (sums to the possible fraction)
  double L = 0.0;                     // log-likelihood at the estimate
  int nposs = 0;                      // possible sample size
  int n0 = 0;                         // mixture sample size
  const Vec<std::int32_t>& possible;  // possible flags of the estimate
  const Mat<double>& regional;        // nr x 2: estimate, deviation
  bool jackknife = false;             // column 2 of `regional` holds deviations
};

// Trials per search before it is given up (message 1013).
inline constexpr int kProfileTrials = 11;

// One bound's search for region members `group` (the other populations make
// the second constraint group). `lower` selects the search below the estimate.
// Returns the bound, 0.0 or 1.0 at the edges, or -1.0 after message 1013;
// `p_value`, when given, receives the chi-square P-value of the trial taken as
// the bound (NaN after message 1013).
double ProfileBound(Run& run, const OptimData& data, const OptimSwitches& sw,
                    const ProfileEstimate& est, const Vec<int>& group, int region,
                    const std::string& name, double h, double z, bool lower,
                    double* p_value = nullptr);

// The interval found for one unit (a region, or a population when `Likeci`
// was given the populations as units). A bound whose search gave up is -1.0.
struct ProfileInterval {
  int unit = 0;
  double lo = 0.0, hi = 0.0;
  double p_lo = 0.0, p_hi = 0.0;
};

// Writes the likelihood intervals of every region whose estimate is at least
// 0.01 (in single precision), or of every region when `every` is set, on
// `out`: the header, then one line per region. `regions` may as well list the
// populations one to a unit, with est.regional holding their estimates.
// Works on copies of P and of the missing-baseline estimates, so the estimate's
// own are left as they are. Returns the intervals found, in unit order.
std::vector<ProfileInterval> Likeci(Run& run, const OptimData& data, const OptimSwitches& sw,
                                    const ProfileEstimate& est, const RegionMembers& regions,
                                    const Vec<std::string>& names, Unit& out, bool every = false);

}  // namespace velk
