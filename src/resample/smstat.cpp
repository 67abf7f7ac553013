#include "resample/smstat.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "estimate/ijack.hpp"
#include "numeric/distributions.hpp"
#include "report/prtest.hpp"
#include "report/prtfrq.hpp"

namespace velk {

namespace {

std::vector<Item> Underscores() {
  return std::vector<Item>(static_cast<std::size_t>(kRuleLength), "_");
}

// 0.001 as a single-precision constant: the smallest regional estimate that
// gets a studentized value.
constexpr double kStudentFloor = 0.0010000000474974513;

// The areas' values of one resample: the regional sums, then the populations.
void AreaValues(const Run& run, const Smstat& acc, const Vec<double>& theta, double* values) {
  if (acc.nr > 0) Clsum(RunRegions(run), theta, values);
  for (int i = 1; i <= acc.np; ++i) values[acc.nr + i - 1] = theta(i);
}

// Angle and distance between x and y (the areas of one group).
void AngleDistance(const Vec<double>& x, const Vec<double>& y, const std::vector<int>& areas,
                   double& angle, double& distance) {
  double xx = 0.0, xy = 0.0, yy = 0.0;
  for (int a : areas) {
    xx += x(a) * x(a);
    xy += x(a) * y(a);
    yy += y(a) * y(a);
  }
  const double norms = std::sqrt(xx * yy);
  // A cosine a rounding step beyond 1 is 1: the angle of parallel vectors is 0.
  angle = norms > 0.0 ? std::acos(std::clamp(xy / norms, -1.0, 1.0)) : 0.0;
  distance = std::sqrt(std::max(0.0, xx - 2.0 * xy + yy));
}

// Mean and deviation of a running sum and sum of squares over r values; the
// deviation is 0 unless r > 1.
void MeanSd(double sum, double sq, int r, double& mean, double& sd) {
  mean = r > 0 ? sum / r : 0.0;
  sd = r > 1 ? std::sqrt(std::max(0.0, (sq - r * mean * mean) / (r - 1))) : 0.0;
}

// Correlation/covariance table of all areas' resample values in the form the
// table writer takes: covariances on and above the diagonal, correlations below.
// An area whose values are all equal has deviation and covariances exactly 0,
// and correlation 0 with every other area.
Mat<double> Covariances(const Smstat& acc, Vec<double>& sd) {
  const int n = acc.narea;
  const int r = acc.count;
  Mat<double> m(n, n);
  sd = Vec<double>(n);
  if (r < 2) return m;
  Vec<double> mean(n);
  std::vector<bool> constant(static_cast<std::size_t>(n) + 1, true);
  for (int a = 1; a <= n; ++a) {
    mean(a) = acc.sum(a) / r;
    for (int k = 2; k <= r; ++k)
      if (acc.values(a, k) != acc.values(a, 1)) constant[static_cast<std::size_t>(a)] = false;
  }
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      if (constant[static_cast<std::size_t>(i)] || constant[static_cast<std::size_t>(j)]) continue;
      double s = 0.0;
      for (int k = 1; k <= r; ++k)
        s += (acc.values(i, k) - mean(i)) * (acc.values(j, k) - mean(j));
      m(i, j) = s / (r - 1);
    }
    sd(i) = std::sqrt(std::max(0.0, m(i, i)));
  }
  for (int j = 1; j <= n; ++j)
    for (int i = j + 1; i <= n; ++i)
      m(i, j) = sd(i) > 0.0 && sd(j) > 0.0 ? std::clamp(m(j, i) / (sd(i) * sd(j)), -1.0, 1.0)
                                           : 0.0;
  return m;
}

// The sorted values of area a (row a of `m`, count columns).
std::vector<double> Sorted(const Mat<double>& m, int a, int count) {
  std::vector<double> v(static_cast<std::size_t>(count));
  for (int k = 1; k <= count; ++k) v[static_cast<std::size_t>(k - 1)] = m(a, k);
  if (count > 0) DSVRGN(count, v.data(), v.data());
  return v;
}

struct Interval {
  double lower;
  double upper;
};

// Writes one interval section: heading, the few-resamples warning, then either
// the "Unavailable" line or the header and a row per listed area.
void WriteIntervals(Unit& out, const Smstat& acc, int confidence, const char* title,
                    const std::vector<int>& areas, const std::vector<Interval>& bounds,
                    bool unavailable) {
  out.Write("(/6x,i2,a)", {confidence, title});
  if (acc.count < 100)
    out.Write("(6x,a)", {"*** More resamples recommended for reliable confidence intervals. ***"});
  if (unavailable) {
    out.Write("(6x,a)", {"*** Unavailable when baseline is resampled. ***"});
    return;
  }
  out.Write("(6x,a,t44,a,t54,a)", {"Area", "Lower", "Upper"});
  for (std::size_t k = 0; k < areas.size(); ++k) {
    const int a = areas[k];
    if (k > 0 && acc.group(a) != acc.group(areas[k - 1])) out.Write("()");
    out.Write("(1x,i6,2x,a30,1x,2(2x,f6.4,2x))",
              {acc.number(a), Padded(acc.name(a), kNameWidth), bounds[k].lower, bounds[k].upper});
  }
}

}  // namespace

PercentileIndex PercentileIndices(int confidence, int nresamples) {
  if (nresamples < 1) return {};
  const double x = static_cast<double>(100 - confidence) * (nresamples + 1) / 200.0;
  int lo = static_cast<int>(x);  // truncation toward zero
  lo = std::clamp(lo, 1, nresamples);
  return {lo, nresamples + 1 - lo};
}

void StdzdBCI(Vec<double>& rr, const Vec<double>& e, int nr, const Vec<double>& se,
              Vec<double>& t) {
  for (int i = 1; i <= nr; ++i) {
    const double s = se(i) == 0.0 ? 1.0 : se(i);
    if (std::fabs(rr(i) - e(i)) <= 0.0001) rr(i) = e(i);
    t(i) = (rr(i) - e(i)) / s;
    if (se(i) == 0.0 || rr(i) < kStudentFloor) t(i) = kNoStudentized;
  }
}

void SmstatBegin(Run& run, Smstat& acc, const Vec<double>& expected, const Vec<double>* region_sd,
                 int ngenotypes) {
  acc = Smstat{};
  const int np = run.par.npop;
  const int nr = run.par.nregions;
  try {
    acc.np = np;
    acc.nr = nr;
    acc.narea = np + nr;
    acc.capacity = std::max(run.par.nresamples, 0);
    int top = 0;
    for (int g = 1; g <= nr; ++g) top = std::max(top, run.regions.level(g));
    acc.ngroups = top + 1;

    acc.number = Vec<int>(acc.narea);
    acc.group = Vec<int>(acc.narea);
    acc.name = Vec<std::string>(acc.narea);
    acc.expected = Vec<double>(acc.narea);
    for (int g = 1; g <= nr; ++g) {
      acc.number(g) = g;
      acc.group(g) = run.regions.level(g);
      acc.name(g) = run.regions.name(g);
    }
    for (int i = 1; i <= np; ++i) {
      acc.number(nr + i) = i;
      acc.group(nr + i) = acc.ngroups;
      acc.name(nr + i) = run.pops(i).name;
    }
    AreaValues(run, acc, expected, acc.expected.Data());

    acc.sum = Vec<double>(acc.narea);
    acc.sqdev = Vec<double>(acc.narea);
    acc.angle_sum = Vec<double>(acc.ngroups);
    acc.angle_sq = Vec<double>(acc.ngroups);
    acc.dist_sum = Vec<double>(acc.ngroups);
    acc.dist_sq = Vec<double>(acc.ngroups);
    acc.values = Mat<double>(acc.narea, acc.capacity);
    acc.geno_total = Vec<double>(std::max(ngenotypes, 0));

    acc.studentized = run.opt.studentized != 0 && nr > 0;
    if (acc.studentized) {
      acc.observed_sd = Vec<double>(nr);
      if (region_sd)
        for (int g = 1; g <= std::min(nr, region_sd->Size()); ++g) acc.observed_sd(g) = (*region_sd)(g);
      acc.student = Mat<double>(nr, acc.capacity);
    }
  } catch (const std::bad_alloc&) {
    acc = Smstat{};
    Error(run, 3000);
  }
}

void SmstatAdd(const Run& run, Smstat& acc, const SmstatResample& resample) {
  if (acc.count >= acc.capacity) return;
  const int r = ++acc.count;
  if (acc.narea > 0) AreaValues(run, acc, resample.theta, acc.values.Ptr(1, r));
  for (int a = 1; a <= acc.narea; ++a) {
    const double x = acc.values(a, r);
    acc.sum(a) += x;
    acc.sqdev(a) += (x - acc.expected(a)) * (x - acc.expected(a));
  }
  const Vec<double> column = [&] {
    Vec<double> v(acc.narea);
    for (int a = 1; a <= acc.narea; ++a) v(a) = acc.values(a, r);
    return v;
  }();
  for (int l = 1; l <= acc.ngroups; ++l) {
    std::vector<int> areas;
    for (int a = 1; a <= acc.narea; ++a)
      if (acc.group(a) == l) areas.push_back(a);
    if (areas.empty()) continue;
    double angle = 0.0, distance = 0.0;
    AngleDistance(column, acc.expected, areas, angle, distance);
    acc.angle_sum(l) += angle;
    acc.angle_sq(l) += angle * angle;
    acc.dist_sum(l) += distance;
    acc.dist_sq(l) += distance * distance;
  }
  acc.genotype_sum += resample.ngenotypes;
  if (resample.counts)
    for (int g = 1; g <= std::min(acc.geno_total.Size(), resample.counts->Size()); ++g)
      acc.geno_total(g) += (*resample.counts)(g);
  if (resample.unfinished) ++acc.unfinished;
  if (acc.studentized)
    for (int g = 1; g <= acc.nr; ++g)
      acc.student(g, r) = resample.region_se && g <= resample.region_se->Size()
                              ? (*resample.region_se)(g)
                              : 0.0;
}

void SmstatStudentize(Smstat& acc) {
  if (!acc.studentized || acc.student_done) return;
  const int nr = acc.nr;
  Vec<double> rr(nr), e(nr), se(nr), t(nr);
  for (int g = 1; g <= nr; ++g) e(g) = acc.expected(g);
  for (int r = 1; r <= acc.count; ++r) {
    // A copy of the resample's regional estimates takes StdzdBCI's adjustment,
    // so that the percentile intervals keep the estimates themselves.
    for (int g = 1; g <= nr; ++g) {
      rr(g) = acc.values(g, r);
      se(g) = acc.student(g, r);
    }
    StdzdBCI(rr, e, nr, se, t);
    for (int g = 1; g <= nr; ++g) acc.student(g, r) = t(g);
  }
  acc.student_done = true;
}

void SmstatStudentRow(const Smstat& acc, int r, Vec<double>& t) {
  t = Vec<double>(acc.nr);
  if (!acc.studentized || r < 1 || r > acc.count) return;
  for (int g = 1; g <= acc.nr; ++g) t(g) = acc.student(g, r);
}

void SmstatFit(Smstat& acc, int n, const Vec<double>& proportion) {
  const int ng = std::min(acc.geno_total.Size(), proportion.Size());
  const double r = acc.count > 0 ? acc.count : 1.0;
  double chi = 0.0;
  for (int g = 1; g <= ng; ++g) {
    const double expected = n * proportion(g);
    const double observed = acc.geno_total(g) / r;
    if (expected > 0.0) chi += (observed - expected) * (observed - expected) / expected;
  }
  acc.has_fit = true;
  acc.chi_square = chi;
  acc.fit_df = ng - 1;
  // With a single genotype every resample repeats the mixture: no evidence against it.
  acc.p_value = acc.fit_df >= 1.0 ? 1.0 - DCHIDF(chi, acc.fit_df) : 1.0;
}

SmstatSummary SmstatSummarize(const Run& run, Smstat& acc) {
  SmstatStudentize(acc);
  SmstatSummary sum;
  const int r = acc.count;
  const double rd = r > 0 ? r : 1.0;
  Vec<double> sd;
  sum.cov = Covariances(acc, sd);
  const PercentileIndex k = PercentileIndices(run.par.confidence, r);
  const bool studentized = run.opt.studentized != 0;
  const bool available = studentized && run.opt.resample_baseline == 0;
  for (int a = 1; a <= acc.narea; ++a) {
    AreaSummary s;
    s.mean = acc.sum(a) / rd;
    s.sd = sd(a);
    s.rmse = std::sqrt(acc.sqdev(a) / rd);
    s.expected = acc.expected(a);
    if (r > 0) {
      const std::vector<double> v = Sorted(acc.values, a, r);
      const double xlo = v[static_cast<std::size_t>(k.lo - 1)];
      const double xhi = v[static_cast<std::size_t>(k.hi - 1)];
      const double e = acc.expected(a);
      s.symmetric_lo = xlo;
      s.symmetric_hi = xhi;
      s.nonsymmetric_lo = std::max(0.0, 2.0 * e - xhi);
      s.nonsymmetric_hi = std::min(1.0, 2.0 * e - xlo);
    }
    if (studentized && a <= acc.nr) {
      if (r > 0 && acc.studentized) {
        const std::vector<double> t = Sorted(acc.student, a, r);
        const double tlo = t[static_cast<std::size_t>(k.lo - 1)];
        const double thi = t[static_cast<std::size_t>(k.hi - 1)];
        const double e = acc.expected(a);
        const double sa = acc.observed_sd(a);
        s.studentized_shown_lo = thi == kNoStudentized ? 0.0 : std::max(0.0, e - sa * thi);
        s.studentized_shown_hi = tlo == kNoStudentized ? 1.0 : std::min(1.0, e - sa * tlo);
      }
      if (available) {
        s.studentized_lo = s.studentized_shown_lo;
        s.studentized_hi = s.studentized_shown_hi;
      }
    }
    sum.areas.push_back(s);
  }
  for (int l = 1; l <= acc.ngroups; ++l) {
    if (std::none_of(acc.group.begin(), acc.group.end(), [l](int g) { return g == l; })) continue;
    LevelSummary ls;
    ls.level = l;
    MeanSd(acc.angle_sum(l), acc.angle_sq(l), r, ls.angle_mean, ls.angle_sd);
    MeanSd(acc.dist_sum(l), acc.dist_sq(l), r, ls.distance_mean, ls.distance_sd);
    sum.levels.push_back(ls);
  }
  return sum;
}

void SmstatReport(Run& run, Smstat& acc) {
  const bool simulation = run.opt.estimation == 0;
  const int slot = simulation ? Report::kSimulation : Report::kBootstrap;
  const char* kind = simulation ? "Simulation" : "Bootstrap";
  if (Trim(run.files.output) == "USER") {
    Error(run, 3008, {.a1 = simulation ? "Simulation Output" : "Bootstrap Output"});
    return;
  }
  if (!OpenReport(run, slot, kind, simulation ? "Simulation output to " : "Bootstrap output to "))
    return;
  Unit& out = run.output.unit[static_cast<std::size_t>(slot)];
  SmstatStudentize(acc);

  const int r = acc.count;
  const double rd = r > 0 ? r : 1.0;
  const int confidence = run.par.confidence;
  const bool model = run.opt.rannala_mountain != 0 || run.opt.pella_masuda != 0;

  out.Write("(/2x,70a)", Underscores());
  out.Write("(/2x,a,a,a)", {kind, ": ", Padded(run.title, kTitleWidth)});
  out.Write("(/2x,a,f12.2)", {"Average number of genotypes :", acc.genotype_sum / rd});
  if (simulation) out.Write("(2x,a,i12)", {"Simulated sample size       :", run.par.sample_size});
  out.Write("(2x,a,i12)", {"Number of resamplings       :", r});
  out.Write("(2x,a,i12)", {"Random seed                 :", run.par.seed});
  if (run.opt.resample_baseline != 0 && model)
    out.Write("(2x,a,i12)", {"Second random seed          :", std::abs(run.par.seco)});
  if (simulation && run.opt.held_out)
    out.Write("(2x,a,1x,a)", {"Simulated individuals       :", "held out (reference individuals)"});
  WriteFrequencyModel(run, out);
  if (run.opt.pella_masuda != 0 && simulation) prweight(run);
  if (!simulation && run.opt.resample_mixture != 0 && acc.has_fit)
    out.Write("(2x,a,/5x,a,3x,a,3x,a,/5x,f10.1,2x,f6.0,2x,f6.4)",
              {"Mixture resampling goodness of fit", "Chi-Squared", "DF", "P-value", acc.chi_square,
               acc.fit_df, acc.p_value});
  // Any resample that ended unfinished asks for a look at the log, not only the last.
  if (acc.unfinished > 0)
    out.Write("(2x, a)", {"WARNING: Check *.log file for proper convergence."});

  // Area table.
  const SmstatSummary sum = SmstatSummarize(run, acc);
  out.Write("(/t45,a,/6x,a,t43,a,t53,a,t63,a,t73,a)",
            {"Mean", "Area", "Estimate", "Std.Dev.", "Root MSE", "Expected"});
  for (int a = 1; a <= acc.narea; ++a) {
    if (a > 1 && acc.group(a) != acc.group(a - 1)) out.Write("()");
    const AreaSummary& s = sum.areas[static_cast<std::size_t>(a - 1)];
    out.Write("(1x,i6,2x,a30,1x,4(2x,f6.4,2x))",
              {acc.number(a), Padded(acc.name(a), kNameWidth), s.mean, s.sd, s.rmse, s.expected});
  }

  // Percentile intervals.
  std::vector<int> all;
  std::vector<Interval> symmetric, nonsymmetric;
  for (int a = 1; a <= acc.narea; ++a) {
    const AreaSummary& s = sum.areas[static_cast<std::size_t>(a - 1)];
    all.push_back(a);
    symmetric.push_back({s.symmetric_lo, s.symmetric_hi});
    nonsymmetric.push_back({s.nonsymmetric_lo, s.nonsymmetric_hi});
  }
  WriteIntervals(out, acc, confidence, "% Symmetric Percentile Bootstrap Confidence Intervals", all,
                 symmetric, false);
  WriteIntervals(out, acc, confidence, "% Nonsymmetric Percentile Bootstrap Conf. Intervals", all,
                 nonsymmetric, false);

  // Studentized intervals, regions only.
  if (run.opt.studentized != 0) {
    std::vector<int> regions;
    std::vector<Interval> bounds;
    for (int g = 1; g <= acc.nr; ++g) {
      const AreaSummary& s = sum.areas[static_cast<std::size_t>(g - 1)];
      regions.push_back(g);
      bounds.push_back({s.studentized_shown_lo, s.studentized_shown_hi});
    }
    WriteIntervals(out, acc, confidence, "% Studentized Bootstrap Confidence Intervals", regions,
                   bounds, run.opt.resample_baseline != 0);
  }

  // Correlations of all areas, then the angle and distance per group.
  out.Write("(/70a)", Underscores());
  Vec<std::int32_t> index(acc.narea);
  for (int a = 1; a <= acc.narea; ++a) index(a) = a;
  Prcov(out, acc.name, sum.cov, acc.narea, index);
  out.Write("(//21x,a,10x,a,/10x,a,2(5x,a,6x,a))",
            {"angle deviation", "distance", "level", "mean", "std.dev.", "mean", "std.dev."});
  for (const LevelSummary& l : sum.levels)
    out.Write("(11x,i2,2x,2(3x,2(f6.3,4x)))",
              {l.level, l.angle_mean, l.angle_sd, l.distance_mean, l.distance_sd});
  out.Write("(/70a)", Underscores());

  // Population table and correlations.
  out.Write("(/t41,a,/6x,a,t39,a,t49,a,t59,a,t69,a)",
            {"Mean", "Population", "Estimate", "Std.Dev.", "Root MSE", "Expected"});
  double total = 0.0;
  for (int i = 1; i <= acc.np; ++i) {
    const int a = acc.nr + i;
    const AreaSummary& s = sum.areas[static_cast<std::size_t>(a - 1)];
    total += s.mean;
    out.Write("(1x,i3,2x,a30,4(2x,f6.4,2x))",
              {i, Padded(acc.name(a), kNameWidth), s.mean, s.sd, s.rmse, s.expected});
  }
  if (1.0 - total > 0.000001) out.Write("(6x,a,t39,f6.4)", {"Unknown", 1.0 - total});
  out.Write("(/70a)", Underscores());
  Mat<double> pcov(acc.np, acc.np);
  Vec<std::string> pnames(acc.np);
  Vec<std::int32_t> pindex(acc.np);
  for (int i = 1; i <= acc.np; ++i) {
    pnames(i) = acc.name(acc.nr + i);
    pindex(i) = i;
    for (int j = 1; j <= acc.np; ++j) pcov(i, j) = sum.cov(acc.nr + i, acc.nr + j);
  }
  Prcov(out, pnames, pcov, acc.np, pindex);
  CloseReport(run, slot);
}

}  // namespace velk
