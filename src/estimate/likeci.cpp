#include "estimate/likeci.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/error.hpp"
#include "core/layout/unit.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"
#include "numeric/distributions.hpp"
#include "core/fields.hpp"

namespace velk {

namespace {

// 0.01 as a single-precision constant: the smallest estimate that gets a line.
constexpr double kLikeciThreshold = static_cast<double>(0.01f);
constexpr double kAccept = 0.005;

// theta rescaled group by group to the new totals. A group whose proportions
// sum to 0 gets its new total in equal shares (the trial at a bound of 0 leaves
// nothing to rescale).
void Rescale(const Groups& groups, Vec<double>& theta) {
  ForEachGroup(groups, [&](int, int first, int size, double total) {
    double sum = 0.0;
    for (int j = first; j < first + size; ++j) sum += theta(groups.members(j));
    for (int j = first; j < first + size; ++j) {
      double& t = theta(groups.members(j));
      t = sum > 0.0 ? t * total / sum : total / size;
    }
  });
}

// Group 1: the members of `group`; group 2: every other of the np populations.
// The totals are the trial's.
Groups ProfileGroups(int np, const Vec<int>& group) {
  Groups groups;
  groups.k = 2;
  groups.size = Vec<int>(2);
  groups.size(1) = group.Size();
  groups.size(2) = np - group.Size();
  groups.members = Vec<int>(std::max(np, 1));
  groups.total = Vec<double>(2);
  Vec<int> in_region(np, 0);
  int m = 0;
  for (int i : group) {
    groups.members(++m) = i;
    in_region(i) = 1;
  }
  for (int i = 1; i <= np; ++i)
    if (!in_region(i)) groups.members(++m) = i;
  return groups;
}

// The secant search's state: the trial t, the last accepted point (t1, p1).
struct Secant {
  double t = 0.0;
  double t1 = 0.0;
  double p1 = 0.0;
};

// The next trial after a trial with P-value p, c the confidence level and ehat
// the estimate: the secant through the last accepted point when it falls
// between the estimate and the edge, otherwise a step of h or halfway back.
void NextTrial(const BoundSearch& search, double ehat, double c, double p, Secant& s) {
  const double h = search.h;
  // The secant through the last accepted point; equal P-values give no
  // candidate (NaN), which every test below rejects.
  const double ts = p != s.p1 ? s.t - (s.t - s.t1) * (p - c) / (p - s.p1) : std::nan("");
  if (search.lower) {
    if (ts < ehat && ts > 0.0) {
      s.t1 = s.t;
      s.p1 = p;
      s.t = ts;
    } else if (!(ts > 0.0)) {
      s.t = p <= c ? std::max(s.t - h, 0.0) : (ehat + s.t) / 2.0;
    } else {
      s.t = std::max(s.t - h, 0.0);
    }
  } else {
    if (ts < 1.0 && ts > ehat) {
      s.t1 = s.t;
      s.p1 = p;
      s.t = ts;
    } else if (ts < 1.0) {
      s.t = std::min(s.t + h, 1.0);
    } else {
      s.t = p <= c ? std::min(s.t + h, 1.0) : (ehat + s.t) / 2.0;
    }
  }
}

}  // namespace

double ProfileBound(Run& run, const OptimData& data, const OptimSwitches& sw,
                    const ProfileEstimate& est, const BoundSearch& search, double* p_value) {
  double p_unused = 0.0;
  double& p_bound = p_value != nullptr ? *p_value : p_unused;
  p_bound = std::nan("");
  const bool lower = search.lower;
  const std::string bound_name = lower ? "Lower bound" : "Upper bound";
  const int np = est.theta.Size();
  const double c = run.par.confidence / 100.0;
  const double ehat = est.regional(search.region, 1);
  const double rho = static_cast<double>(est.nposs) / static_cast<double>(est.n0);

  Groups groups = ProfileGroups(np, search.group);
  Vec<double> theta = est.theta;
  Vec<std::int32_t> possible = est.possible;
  const double zh = search.z * search.h;
  Secant s{.t = lower ? std::max(ehat - zh, 0.0) : std::min(ehat + zh, 1.0), .t1 = ehat};
  for (int trial = 1;; ++trial) {
    const double t = s.t = std::clamp(s.t, 0.0, 1.0);
    groups.total(1) = t;
    groups.total(2) = std::min(std::max(rho - t, 0.0), 1.0);
    Rescale(groups, theta);
    OptimResult res;
    res.nposs = est.nposs;
    Optim(run, data, sw, groups, theta, possible, res);
    if (run.error.stop) return -1.0;
    const double lr = -2.0 * (res.L - est.L);
    const double p = DCHIDF(lr, 1.0);
    Error(run, 103, {.a1 = search.name, .a2 = bound_name, .x1 = t, .x2 = lr, .x3 = p});
    p_bound = p;
    if (std::fabs(p - c) < kAccept) return t;
    if (lower && t <= 0.0 && p <= c) return 0.0;
    if (!lower && t >= 1.0 && p <= c) return 1.0;
    p_bound = std::nan("");
    if (trial >= kProfileTrials) {
      Error(run, 1013, {.a1 = search.name, .a2 = bound_name, .n1 = kProfileTrials - 1});
      return -1.0;
    }
    NextTrial(search, ehat, c, p, s);
  }
}

std::vector<ProfileInterval> Likeci(Run& run, const OptimData& data, const OptimSwitches& sw,
                                    const ProfileEstimate& est, const ProfileUnits& units,
                                    Unit& out) {
  std::vector<ProfileInterval> found;
  Errpush(run, "Likelihood CI procedure");
  out.Write("(/t36,a/2x,a,t35,a,t43,a,t53,a,t61,a)",
            {"Likelihood", "Population", "lower ", "upper"});
  const double saved_switch = run.par.irls_switch;
  run.par.irls_switch = 1.0;

  // The searches move P and the missing-baseline estimates: they work on copies.
  Mat<double> P = data.P;
  Vec<double> lscale = data.lscale;
  Vec<double> missing_totals = data.missing_totals;
  Mat<double> missing_freqs = data.missing_freqs;
  OptimData copy{.P = P,
                 .lscale = lscale,
                 .count = data.count,
                 .class_genotypes = data.class_genotypes,
                 .class_individuals = data.class_individuals,
                 .nclasses = data.nclasses,
                 .copies = data.copies,
                 .base_totals = data.base_totals,
                 .base_counts = data.base_counts,
                 .nmissing = data.nmissing,
                 .missing_totals = missing_totals,
                 .missing_freqs = missing_freqs};
  OptimSwitches trial_sw = sw;
  trial_sw.screen = 0;
  trial_sw.draw = 0;

  const double c = run.par.confidence / 100.0;
  const double z = DNORIN((1.0 + c) / 2.0);
  const RegionMembers& regions = units.members;
  bool stopped = false;
  ForEachList(regions.nr, regions.size, [&](int r, int first, int size) {
    if (stopped) return;
    Vec<int> group(size);
    for (int k = 1; k <= size; ++k) group(k) = regions.members(first + k - 1);
    const double ehat = est.regional(r, 1);
    if (!units.every && !(ehat >= kLikeciThreshold)) return;
    double h = est.jackknife ? est.regional(r, 2)
                             : std::sqrt(ehat * (1.0 - ehat) / static_cast<double>(est.nposs));
    // A step of 0 (a singular jackknife, an estimate of 1) could not move the
    // search: the binomial step stands in, and 0.01 when that is 0 too.
    if (!(h > 0.0)) h = std::sqrt(std::max(ehat * (1.0 - ehat), 0.0) / est.nposs);
    if (!(h > 0.0)) h = 0.01;
    BoundSearch search{.group = group, .region = r, .name = Trim(units.names(r)), .h = h, .z = z};
    ProfileInterval& f = found.emplace_back(ProfileInterval{.unit = r});
    f.lo = ProfileBound(run, copy, trial_sw, est, search, &f.p_lo);
    stopped = run.error.stop != 0;
    if (stopped) return;
    search.lower = false;
    f.hi = ProfileBound(run, copy, trial_sw, est, search, &f.p_hi);
    stopped = run.error.stop != 0;
    if (stopped) return;
    out.Write("(2x,a30,t34,f5.3,t42,f5.3)", {Padded(units.names(r), kNameWidth), f.lo, f.hi});
  });
  run.par.irls_switch = saved_switch;
  Errpop(run);
  return found;
}

}  // namespace velk
