#include "run/estmtr.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "core/status.hpp"
#include "estimate/ijack.hpp"
#include "estimate/likeci.hpp"
#include "estimate/likelihood.hpp"
#include "estimate/optim.hpp"
#include "estimate/upgmat.hpp"
#include "model/gmatrx.hpp"
#include "model/groups.hpp"
#include "numeric/distributions.hpp"
#include "report/estimate_table.hpp"
#include "report/individual_table.hpp"
#include "report/prtest.hpp"
#include "report/prtfrq.hpp"
#include "report/prtmix.hpp"

namespace velk {

namespace {

// 0.001 as a single-precision constant: the smallest estimate with a normal interval.
constexpr double kNormalThreshold = static_cast<double>(0.001f);
constexpr double kLargeEpsilon = 0.0009;
constexpr int kRuleLength = 70;

// Everything the estimation owns; released with it on every way out.
struct Estimation {
  Vec<std::int32_t> possible;
  Vec<double> theta;
  Mat<double> P;
  Vec<double> lscale;    // per genotype: log-scale of its column of P
  Mat<double> regional;  // nr x 2: estimate, deviation
  Jackknife jack;
  Groups groups;
  OptimResult res;
};

void Allocate(Run& run, Estimation& e) {
  const int np = run.par.npop;
  const int nr = std::max(run.par.nregions, 1);
  e.possible.Resize(std::max(run.input.ngenotypes, 1), 1);
  e.theta.Resize(np);
  for (int i = 1; i <= np; ++i) e.theta(i) = run.pops(i).estimate;
  e.regional.Resize(nr, 2, 0.0);
  JackknifeInit(e.jack, np, run.par.nregions);
  e.groups = OneGroup(np);
}

// Message 3040 when no mixture individual can tell anything: no record was
// accepted, or no genotype has a character scored. True when there is one.
bool Usable(Run& run) {
  const Input& in = run.input;
  if (in.sample_size < 1 || in.ngenotypes < 1) {
    Error(run, 3040, {.a1 = "the mixture has no records"});
    return false;
  }
  const std::size_t len =
      static_cast<std::size_t>(in.copies.Size1()) * static_cast<std::size_t>(in.copies.Size2());
  for (int g = 1; g <= in.ngenotypes && g <= in.copies.Size3(); ++g) {
    const std::int8_t* x = in.copies.Ptr(1, 1, g);
    for (std::size_t k = 0; k < len; ++k) {
      if (x[k] != 0) return true;
    }
  }
  Error(run, 3040, {.a1 = "every individual is missing every character"});
  return false;
}

// Warning 1020 in the log and on the status text when screening removed more
// than 5 % of the individuals.
void ScreeningWarning(Run& run, int n0, int nposs) {
  const int removed = n0 - nposs;
  if (static_cast<long long>(removed) * 20 <= n0) return;
  Error(run, 1020, {.n1 = removed, .n2 = n0, .x1 = run.par.geno_tol});
  char bound[64];
  if (run.par.geno_tol == run.par.geno_tol)
    std::snprintf(bound, sizeof bound, "probability below the genotype tolerance %.3g",
                  run.par.geno_tol);
  else
    std::snprintf(bound, sizeof bound, "probability 0 in every population");
  AppendStatus(run, "Warning: screening removed " + std::to_string(removed) + " of " +
                        std::to_string(n0) + " individuals as impossible (" + bound + ")");
}

// Warning 1021 when the control file set the guaranteed percent of maximum and
// the search ended below it; it names the setting to change.
void GpaWarning(Run& run, const OptimResult& res) {
  if (!run.par.gpa_set || res.ended_by == 102 || res.conv.pctmax > run.par.gpa) return;
  const char* advice = res.ended_by == 1007   ? "lower the likelihood tolerance"
                       : res.ended_by == 1008 ? "raise the maximum number of iterations"
                                              : "lower the estimate convergence tolerance";
  // The guaranteed percent as set, with as many decimals as it needs (99.9999
  // must not read as 100.0).
  char gpa[32];
  std::snprintf(gpa, sizeof gpa, "%.6f", run.par.gpa);
  std::string text = gpa;
  while (text.back() == '0' && text[text.size() - 2] != '.') text.pop_back();
  Error(run, 1021, {.a1 = advice, .a2 = text, .x2 = res.conv.pctmax});
}

// The estimation proper; returns at once when the run stops.
void Estimate(Run& run, Estimation& e) {
  const Opt& opt = run.opt;
  const int np = run.par.npop;
  const int nr = run.par.nregions;
  const int n0 = run.input.sample_size;
  const int ngen = run.input.ngenotypes;

  if (run.par.eps > kLargeEpsilon) {
    Error(run, 1004, {.x1 = run.par.eps});
    if (run.error.stop) return;
  }
  try {
    Allocate(run, e);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  }

  if (!Usable(run)) return;
  int nmissing = 0;
  Gmatrx(run, e.P, e.lscale, nmissing);
  if (run.error.stop) return;

  if (opt.print_iterations) {
    OpenReport(run, Report::kIterations, "iteration", "Iterations output to ");
    if (run.error.stop) return;
  }

  OptimSwitches sw;
  sw.history = opt.print_iterations;
  sw.irls = opt.irls;
  sw.screen = 1;
  sw.draw = 0;
  const OptimData data = RunOptimData(run, e.P, e.lscale);
  e.res.nposs = n0;
  Optim(run, data, sw, e.groups, e.theta, e.possible, e.res);
  if (run.error.stop) return;
  for (int i = 1; i <= np; ++i) run.pops(i).estimate = e.theta(i);

  if (e.res.nposs < n0) {
    Error(run, 100, {.n1 = e.res.nposs, .x1 = run.par.geno_tol});
    if (run.error.stop) return;
    ScreeningWarning(run, n0, e.res.nposs);
    if (run.error.stop) return;
  }
  GpaWarning(run, e.res);
  if (run.error.stop) return;

  const RegionMembers regions = RunRegions(run);
  Clsum(regions, e.theta, e.regional.Ptr(1, 1));

  const bool resampling = opt.resample_mixture != 0 || opt.resample_baseline != 0;
  // The estimates report; with the output base name "USER" nothing is opened
  // and the writers below write nothing.
  OpenReport(run, Report::kEstimates, "Estimates", "Estimates output to ");
  if (run.error.stop) return;
  Unit& out = run.output.unit[Report::kEstimates];
  const bool jackknife = opt.compute_jackknife != 0;
  // A studentized bootstrap needs the observed regional deviations even when
  // the estimates report shows no standard errors.
  const bool studentized =
      opt.studentized != 0 && (opt.resample_mixture != 0 || opt.resample_baseline != 0);
  if (jackknife || studentized) {
    try {
      Ijack(run, np, ngen, n0, e.theta, run.input.geno_count, e.P, e.possible, regions, e.jack);
      run.regions.sd = Vec<double>(std::max(nr, 0));
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
    }
    if (run.error.stop) return;
    for (int r = 1; r <= nr; ++r) run.regions.sd(r) = e.jack.regional_sd(r);
  }
  if (jackknife)
    for (int r = 1; r <= nr; ++r) e.regional(r, 2) = e.jack.regional_sd(r);
  const EstimatesReport report{.nclasses = run.input.nclasses,
                              .ngenotypes = ngen,
                              .possible_size = e.res.nposs,
                              .class_genotypes = run.input.class_genotypes,
                              .class_individuals = run.input.class_individuals,
                              .iterations = e.res.iterations,
                              .log_likelihood = e.res.L,
                              .record = e.res.conv,
                              .theta = e.theta,
                              .sd = e.jack.sd,
                              .score = e.res.score,
                              .cov = e.jack.cov,
                              .regional = e.regional,
                              .region_cov = e.jack.region_cov,
                              .standard_errors = jackknife};
  Prtest(run, report);
  if (run.error.stop) return;
  std::vector<EstimateRow>& rows = run.results.estimates;
  rows = EstimateRows(run, report);

  // Profile intervals: asked for, or asked for every unit (then, without
  // regions, for every population).
  const bool profile = opt.compute_ci != 0 || opt.all_likelihood_intervals;
  const bool every = opt.all_likelihood_intervals;
  if (jackknife || profile) {
    if (nr == 0 && !every) {
      Error(run, 1016);
      if (run.error.stop) return;
    } else {
      out.Write("(/2x,i2,a)", {run.par.confidence, "% Confidence Intervals"});
      if (jackknife && nr > 0) NormalIntervals(run, e.regional, out);
      if (profile) {
        // The units: the regions, or else the populations one to a unit.
        Mat<double> units_est = e.regional;
        Vec<int> one(np, 1), each(np);
        for (int i = 1; i <= np; ++i) each(i) = i;
        const bool pops = nr == 0;
        if (pops) {
          units_est.Resize(np, 2, 0.0);
          for (int i = 1; i <= np; ++i) {
            units_est(i, 1) = e.theta(i);
            units_est(i, 2) = jackknife ? e.jack.sd(i) : 0.0;
          }
        }
        Vec<std::string> pop_names(np);
        for (int i = 1; i <= np; ++i) pop_names(i) = run.pops(i).name;
        const ProfileEstimate est{.theta = e.theta,
                                  .L = e.res.L,
                                  .nposs = e.res.nposs,
                                  .n0 = n0,
                                  .possible = e.possible,
                                  .regional = units_est,
                                  .jackknife = jackknife};
        const std::vector<ProfileInterval> found =
            Likeci(run, data, sw, est, pops ? RegionMembers{np, one, each} : regions,
                   pops ? pop_names : run.regions.name, out, every);
        if (run.error.stop) return;
        // A search that gave up (-1.0 in the report) found no bound.
        auto bound = [](double b) { return b < 0.0 ? kNotComputed : b; };
        for (const ProfileInterval& f : found) {
          EstimateRow& row = rows[static_cast<std::size_t>((pops ? 0 : np) + f.unit - 1)];
          row.likelihood_lo = bound(f.lo);
          row.likelihood_hi = bound(f.hi);
          row.p_lo = f.p_lo;
          row.p_hi = f.p_hi;
        }
      }
      out.Write("(70a/)", std::vector<Item>(kRuleLength, "_"));
    }
  }
  run.results.facts = EstimateFacts(report);
  run.results.estimated = true;
  if (opt.print_tables) {
    // A bootstrap adds its own facts to the run table once it is done.
    WriteEstimateTable(run, rows);
    if (!run.error.stop && !resampling) WriteRunTable(run, &run.results.facts, nullptr);
    if (!run.error.stop) WriteIndividualTables(run, e.P, e.theta);
    if (run.error.stop) return;
  }

  const MixtureCounts mix{.nclasses = run.input.nclasses,
                          .class_genotypes = run.input.class_genotypes,
                          .class_individuals = run.input.class_individuals,
                          .geno_count = run.input.geno_count};
  if (opt.print_mixture) {
    Prtmix(run, mix, run.input.copies, e.possible);
    if (run.error.stop) return;
  }
  if (opt.print_genotypes) {
    Prtgen(run, mix, Unscaled(e.P, e.lscale, ngen), true);
    if (run.error.stop) return;
  }
  if (opt.print_populations) {
    // Posterior membership in a matrix of its own: P stays the genotype probabilities.
    Mat<double> W;
    try {
      W.Resize(np, std::max(ngen, 1));
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return;
    }
    Posterior(np, ngen, e.P, e.theta, W);
    Prtgen(run, mix, W, false);
    if (run.error.stop) return;
  }
  if (opt.print_baseline && !resampling) {
    Prtfrq(run);
    if (run.error.stop) return;
  }
  if (opt.pella_masuda) {
    prweight(run);
    if (run.error.stop) return;
  }

  if (opt.print_likelihoods && opt.external_reference && !resampling) {
    if (OpenReport(run, Report::kLikelihoods, "Bootstrap null likelihood",
                   "Bootstrap Null Likelihood Ratio Estimates in ")) {
      Vec<double> null(np);
      for (int i = 1; i <= np; ++i) null(i) = run.pops(i).estimate_copy;
      const Vec<std::int32_t>& count = run.input.geno_count;
      Unit& rlk = run.output.unit[Report::kLikelihoods];
      rlk.Write("(g12.6,2x, g12.6)", {Hood(np, ngen, e.P, e.lscale, e.theta, e.possible, count),
                                      Hood(np, ngen, e.P, e.lscale, null, e.possible, count)});
      CloseReport(run, Report::kLikelihoods);
    }
    if (run.error.stop) return;
  }
}

}  // namespace

void NormalIntervals(Run& run, const Mat<double>& regional, Unit& out) {
  out.Write("(/t32,a,/2x,a,t35,a,t43,a)", {"Normal Distribution", "Population", "lower", "upper"});
  const double c = run.par.confidence / 100.0;
  const double z = DNORIN((1.0 + c) / 2.0);
  for (int r = 1; r <= run.par.nregions; ++r) {
    const double est = regional(r, 1);
    if (!(est >= kNormalThreshold)) continue;
    const double sd = regional(r, 2);
    out.Write("(2x,a30,t34,f5.3,t42,f5.3)",
              {Padded(run.regions.name(r), kNameWidth), std::max(est - z * sd, 0.0),
               std::min(est + z * sd, 1.0)});
  }
}

void Estmtr(Run& run) {
  Errpush(run, "VELK estimation procedure");
  {
    Estimation e;
    Estimate(run, e);
  }
  // Every way out: the report files the estimation opened are closed, kept;
  // one that could not be written whole stops the run.
  for (int slot : {Report::kIterations, Report::kEstimates, Report::kLikelihoods})
    CloseReport(run, slot);
  Errpop(run);
}

}  // namespace velk
