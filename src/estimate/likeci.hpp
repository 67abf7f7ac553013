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

// Trials per search before it is given up (message 1013): the bracket and
// its closing together.
inline constexpr int kProfileTrials = 40;
// A bound is closed when its likelihood-ratio statistic is this close to the
// threshold (the profile log-likelihood within half of it), or when the
// bracket around it is narrower than kBoundWidth.
inline constexpr double kBoundStatistic = 1.0e-3;
inline constexpr double kBoundWidth = 1.0e-9;

// One bound's search: the unit's members (the other populations make the
// second constraint group), its number and its name in the messages, the
// first step h and the normal quantile z of the confidence level. `lower`
// selects the search below the estimate.
struct BoundSearch {
  const Vec<int>& group;
  int region = 0;
  std::string name;
  double h = 0.0;
  double z = 0.0;
  bool lower = true;
};

// What one bound's search found: the bound (0.0 or 1.0 when the profile is
// still above the threshold at the edge; -1.0 after message 1013, when a
// trial could not be maximised or the trials ran out), the chi-square P-value
// of the trial taken as the bound (NaN after 1013), and the maximisations made.
struct BoundFound {
  double bound = -1.0;
  double p = 0.0;
  int maximisations = 0;
};

// Brackets the crossing of the profile statistic with the threshold z^2
// between the estimate (or a trial inside) and a trial outside, stepping out
// from the normal approximation's bound, then closes it by regula falsi.
[[nodiscard]] BoundFound ProfileBound(Run& run, const OptimData& data, const OptimSwitches& sw,
                                      const ProfileEstimate& est, const BoundSearch& search);

// The interval found for one unit (a region, or a population when `Likeci`
// was given the populations as units). A bound whose search gave up is -1.0.
struct ProfileInterval {
  int unit = 0;
  double lo = 0.0, hi = 0.0;
  double p_lo = 0.0, p_hi = 0.0;
};

// The units of the intervals: the regions, or the populations one to a unit
// (with est.regional holding their estimates), with their names; `every`
// asks for every unit, not only those whose estimate is at least 0.01.
struct ProfileUnits {
  RegionMembers members;
  const Vec<std::string>& names;
  bool every = false;
};

// Writes the likelihood intervals of every unit whose estimate is at least
// 0.01 (in single precision), or of every unit when units.every is set, on
// `out`: the header, then one line per unit. Works on copies of P and of the
// missing-baseline estimates, so the estimate's own are left as they are.
// Returns the intervals found, in unit order.
std::vector<ProfileInterval> Likeci(Run& run, const OptimData& data, const OptimSwitches& sw,
                                    const ProfileEstimate& est, const ProfileUnits& units,
                                    Unit& out);

}  // namespace velk
