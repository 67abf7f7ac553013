#pragma once
// Likelihood-profile confidence intervals of the regional estimates: for every
// region a secant search below and above its estimate for the totals at which
// the likelihood-ratio statistic reaches the confidence level.
#include <cstdint>
#include <string>

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
// Returns the bound, 0.0 or 1.0 at the edges, or -1.0 after message 1013.
double ProfileBound(Run& run, const OptimData& data, const OptimSwitches& sw,
                    const ProfileEstimate& est, const Vec<int>& group, int region,
                    const std::string& name, double h, double z, bool lower);

// Writes the likelihood intervals of every region whose estimate is at least
// 0.01 (in single precision) on `out`: the header, then one line per region.
// Works on copies of P and of the missing-baseline estimates, so the estimate's
// own are left as they are.
void Likeci(Run& run, const OptimData& data, const OptimSwitches& sw, const ProfileEstimate& est,
            const RegionMembers& regions, const Vec<std::string>& names, Unit& out);

}  // namespace velk
