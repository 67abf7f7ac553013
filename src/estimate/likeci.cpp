#include "estimate/likeci.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
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

// The profile at trial shares of one bound's unit: each trial maximises the
// likelihood with the unit's share fixed (warm-started from the last trial),
// writes note 103 and gives f = sqrt(lr) - z, negative inside the interval,
// positive outside; nearly linear in the share where the normal approximation
// holds, so that the root finder below closes in a few trials.
class Profile {
 public:
  Profile(Run& run, const OptimData& data, const OptimSwitches& sw, const ProfileEstimate& est,
          const BoundSearch& search)
      : run_(run), data_(data), sw_(sw), est_(est), search_(search),
        groups_(ProfileGroups(est.theta.Size(), search.group)), theta_(est.theta),
        possible_(est.possible),
        rho_(static_cast<double>(est.nposs) / static_cast<double>(est.n0)) {}

  // f at share t, or nullopt when the run stopped or the maximum is no number.
  // A share that leaves every possible genotype without a population that
  // can give it is outside at once (its likelihood is 0).
  [[nodiscard]] std::optional<double> At(double t) {
    ++trials_;
    groups_.total(1) = t;
    groups_.total(2) = std::min(std::max(rho_ - t, 0.0), 1.0);
    if (!AnyGenotypeGiven()) {
      lr_ = std::numeric_limits<double>::infinity();
      p_ = 1.0;
      return lr_;
    }
    ScaleToTotals(groups_, theta_);
    ++maximisations_;
    OptimResult res;
    res.nposs = est_.nposs;
    Optim(run_, data_, sw_, groups_, theta_, possible_, res);
    if (run_.error.stop || !std::isfinite(res.L)) return std::nullopt;
    lr_ = -2.0 * (res.L - est_.L);
    p_ = DCHIDF(lr_, 1.0);
    Error(run_, 103, {.a1 = search_.name, .a2 = search_.lower ? "Lower bound" : "Upper bound",
                      .x1 = t, .x2 = lr_, .x3 = p_});
    return std::sqrt(std::max(lr_, 0.0)) - search_.z;
  }
  // Whether some possible genotype has a positive probability in a population
  // of a group whose total is positive.
  bool AnyGenotypeGiven() const {
    bool given = false;
    ForEachGroup(groups_, [&](int, int first, int size, double total) {
      if (!(total > 0.0)) return;
      for (int j = first; j < first + size && !given; ++j)
        for (int g = 1; g <= possible_.Size() && !given; ++g)
          given = possible_(g) == 1 && data_.P(groups_.members(j), g) > 0.0;
    });
    return given;
  }

  // The statistic and P-value of the last trial; the trials made.
  double Statistic() const { return lr_; }
  double PValue() const { return p_; }
  int Trials() const { return trials_; }
  int Maximisations() const { return maximisations_; }

 private:
  Run& run_;
  const OptimData& data_;
  const OptimSwitches& sw_;
  const ProfileEstimate& est_;
  const BoundSearch& search_;
  Groups groups_;
  Vec<double> theta_;
  Vec<std::int32_t> possible_;
  double rho_ = 1.0;
  double lr_ = 0.0, p_ = 0.0;
  int trials_ = 0, maximisations_ = 0;
};

// A trial of the search: its share and f.
struct Point {
  double t = 0.0;
  double f = 0.0;
};

// The share where the line through a and b crosses f = 0.
double Crossing(const Point& a, const Point& b) {
  return a.t - a.f * (b.t - a.t) / (b.f - a.f);
}

}  // namespace

BoundFound ProfileBound(Run& run, const OptimData& data, const OptimSwitches& sw,
                        const ProfileEstimate& est, const BoundSearch& search) {
  const double ehat = est.regional(search.region, 1);
  const double edge = search.lower ? 0.0 : 1.0;
  Profile profile(run, data, sw, est, search);
  auto give_up = [&]() {
    if (!run.error.stop)
      Error(run, 1013, {.a1 = search.name,
                        .a2 = search.lower ? "Lower bound" : "Upper bound",
                        .n1 = profile.Trials()});
    return BoundFound{.bound = -1.0, .p = std::nan(""), .maximisations = profile.Maximisations()};
  };
  auto found = [&](double t) {
    return BoundFound{.bound = t, .p = profile.PValue(), .maximisations = profile.Maximisations()};
  };
  auto farther = [&](double a, double b) { return search.lower ? std::min(a, b) : std::max(a, b); };

  // Bracket: from the normal approximation's bound outwards, each trial aimed
  // past the crossing the last one predicts (at least twice as far out), until
  // f turns positive or the edge is reached still inside.
  Point in{.t = ehat, .f = -search.z};
  double t = std::clamp(ehat + (search.lower ? -1.0 : 1.0) * search.z * search.h, 0.0, 1.0);
  Point out;
  for (;;) {
    const std::optional<double> f = profile.At(t);
    if (!f) return give_up();
    if (*f >= 0.0) {
      out = Point{.t = t, .f = *f};
      break;
    }
    if (t == edge) return found(edge);
    in = Point{.t = t, .f = *f};
    if (profile.Trials() >= kProfileTrials) return give_up();
    const double predicted = *f > -search.z ? ehat + (t - ehat) * search.z / (*f + search.z)
                                            : edge;
    const double further = ehat + 2.0 * (t - ehat);
    const double aim = ehat + 1.25 * (predicted - ehat);
    t = std::clamp(farther(aim, further), 0.0, 1.0);
  }

  // Close the bracket: regula falsi with the Illinois halving of the end that
  // stays twice (bisection when the line leaves the bracket), until the
  // statistic is within kBoundStatistic of the threshold or the bracket is
  // narrower than kBoundWidth. The bound is the last trial's share.
  const double threshold = search.z * search.z;
  Point last = out;
  double f_in = in.f, f_out = out.f;
  int side = 0;  // +1: the last trial replaced `in`; -1: `out`
  while (std::fabs(profile.Statistic() - threshold) > kBoundStatistic &&
         std::fabs(out.t - in.t) > kBoundWidth) {
    if (profile.Trials() >= kProfileTrials) return give_up();
    double next = Crossing(Point{.t = in.t, .f = f_in}, Point{.t = out.t, .f = f_out});
    if (!(next > std::min(in.t, out.t) && next < std::max(in.t, out.t)))
      next = 0.5 * (in.t + out.t);
    const std::optional<double> f = profile.At(next);
    if (!f) return give_up();
    last = Point{.t = next, .f = *f};
    if (*f >= 0.0) {
      out = last;
      f_out = *f;
      if (side == -1) f_in *= 0.5;
      side = -1;
    } else {
      in = last;
      f_in = *f;
      if (side == 1) f_out *= 0.5;
      side = 1;
    }
  }
  return found(last.t);
}

std::vector<ProfileInterval> Likeci(Run& run, const OptimData& data, const OptimSwitches& sw,
                                    const ProfileEstimate& est, const ProfileUnits& units,
                                    Unit& out) {
  std::vector<ProfileInterval> found;
  int searches = 0, maximisations = 0;
  Errpush(run, "Likelihood CI procedure");
  // The searches' maximisations end by their tolerances as a matter of course:
  // their warnings 1006 and 1007 are counted and told once (note 111).
  run.error.fold_stalls = true;
  run.error.folded_stalls = 0;
  out.Write("(/t36,a/2x,a,t35,a,t43,a,t53,a,t61,a)",
            {"Likelihood", "Population", "lower ", "upper"});
  const double saved_switch = run.par.irls_switch;
  const double saved_percent = run.par.gpa;
  run.par.irls_switch = 1.0;
  // Each trial goes on to within a quarter of the statistic's tolerance of its
  // maximum, whatever percent the estimate itself was content with.
  run.par.gpa = std::max(run.par.gpa, 100.0 * std::exp(-0.25 * kBoundStatistic));

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
                 .missing_freqs = missing_freqs,
                 .known = data.known};
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
    const BoundFound lo = ProfileBound(run, copy, trial_sw, est, search);
    stopped = run.error.stop != 0;
    if (stopped) return;
    search.lower = false;
    const BoundFound hi = ProfileBound(run, copy, trial_sw, est, search);
    stopped = run.error.stop != 0;
    if (stopped) return;
    f.lo = lo.bound;
    f.p_lo = lo.p;
    f.hi = hi.bound;
    f.p_hi = hi.p;
    searches += 2;
    maximisations += lo.maximisations + hi.maximisations;
    // A bound not found prints as -1.000, one column wider than a share.
    const bool failed = f.lo < 0.0 || f.hi < 0.0;
    out.Write(failed ? "(2x,a30,t33,f6.3,t41,f6.3)" : "(2x,a30,t34,f5.3,t42,f5.3)",
              {Padded(units.names(r), kNameWidth), f.lo, f.hi});
  });
  run.par.irls_switch = saved_switch;
  run.par.gpa = saved_percent;
  run.error.fold_stalls = false;
  if (!stopped && searches > 0)
    Error(run, 111, {.n1 = searches, .n2 = maximisations, .n3 = run.error.folded_stalls});
  Errpop(run);
  return found;
}

}  // namespace velk
