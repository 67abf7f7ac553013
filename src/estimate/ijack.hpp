#pragma once
// Regional sums and the infinitesimal-jackknife covariance of an estimate:
// Clsum adds the populations of each region, Ijack builds the covariance of the
// proportions and Sumcov turns it into regional variances, deviations and the
// correlation/covariance tables of the reports.
#include <cstdint>

#include "core/array.hpp"

namespace velk {

struct Run;

// The regions as lists: per region its number of member populations, and one
// member list in which each region's members are consecutive.
struct RegionMembers {
  int nr = 0;
  const Vec<int>& size;
  const Vec<int>& members;
};

// The run's own regions (run.par.nregions, run.regions).
RegionMembers RunRegions(const Run& run);

// sums[r - 1] = the sum of x over the members of region r, for r = 1..nr.
void Clsum(const RegionMembers& regions, const Vec<double>& x, double* sums);

// What the jackknife hands back. Both tables hold correlations below the
// diagonal and covariances on and above it.
struct Jackknife {
  Vec<double> sd;           // per population: standard deviation
  Vec<double> regional_sd;  // per region
  Mat<double> cov;          // np x np
  Mat<double> region_cov;   // max(nr, 1) x max(nr, 1)
};

// Sizes the jackknife for np populations and nr regions, every entry 0.0
// (allocation failure throws std::bad_alloc).
void JackknifeInit(Jackknife& jack, int np, int nr);

// Relative floor of a genotype's mixture probability in the jackknife: q(g) is
// taken as at least kJackFloor times the genotype's largest probability over
// the populations, so that the result does not depend on the scale of a
// genotype's column of P.
inline constexpr double kJackFloor = 1.0e-10;

// The estimate a jackknife is taken at and the data it was made from.
struct JackknifePoint {
  const Mat<double>& P;               // np x genotypes
  const Vec<std::int32_t>& count;     // per genotype: individuals
  const Vec<std::int32_t>& possible;  // per genotype: those flagged 1 are used
  const Vec<double>& theta;           // np: the estimate
  int ngenotypes = 0;
  int n = 0;  // the sample size the estimate was made for
};

// Infinitesimal-jackknife covariance of at.theta for the genotypes flagged 1.
// A singular information matrix gives deviations of 0.0 and message 2005;
// returns false then.
bool Ijack(Run& run, const JackknifePoint& at, const RegionMembers& regions, Jackknife& jack);

// From the full covariance in jack.cov: the regional variances and covariances
// into jack.region_cov, the deviations, and both tables turned into
// correlations below the diagonal (every row, the last one too).
void Sumcov(int np, const RegionMembers& regions, Jackknife& jack);

}  // namespace velk
