#include "run/estmtr.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/paths.hpp"
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
#include "resample/bias.hpp"
#include "resample/gibbs.hpp"

namespace velk {

namespace {

// 0.001 as a single-precision constant: the smallest estimate with a normal interval.
constexpr double kNormalThreshold = static_cast<double>(0.001f);
constexpr double kLargeEpsilon = 0.0009;

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
  OptimSwitches sw;  // the switches of the maximisation, for the profile searches
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
// accepted, or no genotype has a character scored and no fish is of known
// origin. True when there is one.
bool Usable(Run& run) {
  const Input& in = run.input;
  if (in.sample_size < 1 || in.ngenotypes < 1) {
    Error(run, 3040, {.a1 = "the mixture has no records"});
    return false;
  }
  if (in.geno_known.Size() > 0) return true;
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

// The log-likelihood the estimates report prints to one decimal: a search
// whose bound on what is still to gain is below half that unit is at the
// maximum as far as the report can tell.
constexpr double kPrintedLikelihood = 0.05;

// What to change so that a search short of its guaranteed percent reaches it,
// with a value that does: the tolerance or the limit that ended it.
std::string PercentAdvice(const Run& run, const OptimResult& res) {
  char advice[128];
  if (res.ended_by == SearchOutcome::kIterationLimit) {
    std::snprintf(advice, sizeof advice, "raise the maximum number of iterations to %d",
                  std::max(10 * run.par.max_iterations, 1000));
  } else if (res.ended_by == SearchOutcome::kLikelihoodTolerance) {
    std::snprintf(advice, sizeof advice, "lower the likelihood tolerance to %.0e",
                  std::min(run.par.ftol * 1.0e-3, 1.0e-12));
  } else {
    std::snprintf(advice, sizeof advice, "lower the estimate convergence tolerance to %.0e",
                  std::min(run.par.eps * 1.0e-3, 1.0e-8));
  }
  return advice;
}

// Warning 1021 when the control file set the guaranteed percent of maximum and
// the bound on the log-likelihood still to gain says the estimate is short of
// it by more than the report can show (half its printed unit); it names the
// setting to change and a value.
void GpaWarning(Run& run, const OptimResult& res) {
  if (!run.par.gpa_set || res.ended_by == SearchOutcome::kPercentOfMaximum ||
      res.conv.pctmax > run.par.gpa)
    return;
  const double allowed = std::max(-std::log(run.par.gpa / 100.0), kPrintedLikelihood);
  if (!(GapToMaximum(res.conv.pctmax, res.nposs) > allowed)) return;
  // The guaranteed percent as set, with as many decimals as it needs (99.9999
  // must not read as 100.0).
  char gpa[32];
  std::snprintf(gpa, sizeof gpa, "%.6f", run.par.gpa);
  std::string text = gpa;
  while (text.back() == '0' && text[text.size() - 2] != '.') text.pop_back();
  Error(run, 1021, {.a1 = PercentAdvice(run, res), .a2 = text, .x2 = res.conv.pctmax});
}

// The maximisation of the likelihood from the control file's start, with its
// warnings; false when the run stopped.
[[nodiscard]] bool Maximise(Run& run, Estimation& e) {
  const Opt& opt = run.opt;
  const int n0 = run.input.sample_size;
  if (run.par.eps > kLargeEpsilon) {
    Error(run, 1004, {.x1 = run.par.eps});
    if (run.error.stop) return false;
  }
  try {
    Allocate(run, e);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  if (!Usable(run)) return false;
  int nmissing = 0;
  Gmatrx(run, e.P, e.lscale, nmissing);
  if (run.error.stop) return false;
  if (opt.print_iterations) {
    OpenReport(run, Report::kIterations, "iteration", "Iterations output to ");
    if (run.error.stop) return false;
  }
  e.sw = OptimSwitches{.history = opt.print_iterations, .irls = opt.irls, .screen = 1, .draw = 0};
  e.res.nposs = n0;
  Optim(run, RunOptimData(run, e.P, e.lscale), e.sw, e.groups, e.theta, e.possible, e.res);
  if (run.error.stop) return false;
  for (int i = 1; i <= run.par.npop; ++i) run.pops(i).estimate = e.theta(i);
  if (e.res.nposs < n0) {
    Error(run, 100, {.n1 = e.res.nposs, .x1 = run.par.geno_tol});
    if (run.error.stop) return false;
    ScreeningWarning(run, n0, e.res.nposs);
    if (run.error.stop) return false;
  }
  GpaWarning(run, e.res);
  return !run.error.stop;
}

// The jackknife's covariance, when the report shows standard errors or a
// studentized bootstrap needs the observed regional deviations; false when the
// run stopped.
[[nodiscard]] bool Jackknife(Run& run, Estimation& e, const RegionMembers& regions) {
  const Opt& opt = run.opt;
  const int nr = run.par.nregions;
  const bool jackknife = opt.compute_jackknife != 0;
  const bool studentized =
      opt.studentized != 0 && (opt.resample_mixture != 0 || opt.resample_baseline != 0);
  if (jackknife || studentized) {
    try {
      const JackknifePoint at{.P = e.P, .count = run.input.geno_count, .possible = e.possible,
                              .theta = e.theta, .ngenotypes = run.input.ngenotypes,
                              .n = run.input.sample_size};
      static_cast<void>(Ijack(run, at, regions, e.jack));  // 2005 is reported in run
      run.regions.sd = Vec<double>(std::max(nr, 0));
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
    }
    if (run.error.stop) return false;
    for (int r = 1; r <= nr; ++r) run.regions.sd(r) = e.jack.regional_sd(r);
  }
  if (jackknife)
    for (int r = 1; r <= nr; ++r) e.regional(r, 2) = e.jack.regional_sd(r);
  return true;
}

EstimatesReport ReportOf(const Run& run, const Estimation& e) {
  return EstimatesReport{.nclasses = run.input.nclasses,
                         .ngenotypes = run.input.ngenotypes,
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
                         .standard_errors = run.opt.compute_jackknife != 0};
}

// The profile-likelihood bounds of the regions, or without regions of every
// population, into the report and the estimate rows; false when the run stopped.
[[nodiscard]] bool ProfileIntervals(Run& run, Estimation& e, const RegionMembers& regions,
                                    bool every, Unit& out) {
  const int np = run.par.npop;
  const bool jackknife = run.opt.compute_jackknife != 0;
  // The units: the regions, or else the populations one to a unit.
  Mat<double> units_est = e.regional;
  Vec<int> one(np, 1), each(np);
  for (int i = 1; i <= np; ++i) each(i) = i;
  const bool pops = run.par.nregions == 0;
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
                            .n0 = run.input.sample_size,
                            .possible = e.possible,
                            .regional = units_est,
                            .jackknife = jackknife};
  // The searches rebuild P for the populations with missing baseline, as the
  // maximisation did: the reports after them see the matrix they leave.
  const std::vector<ProfileInterval> found =
      Likeci(run, RunOptimData(run, e.P, e.lscale), e.sw, est,
             ProfileUnits{.members = pops ? RegionMembers{np, one, each} : regions,
                          .names = pops ? pop_names : run.regions.name,
                          .every = every},
             out);
  if (run.error.stop) return false;
  // A search that gave up (-1.0 in the report) found no bound.
  auto bound = [](double b) { return b < 0.0 ? kNotComputed : b; };
  std::vector<EstimateRow>& rows = run.results.estimates;
  for (const ProfileInterval& f : found) {
    EstimateRow& row = rows[static_cast<std::size_t>((pops ? 0 : np) + f.unit - 1)];
    row.likelihood_lo = bound(f.lo);
    row.likelihood_hi = bound(f.hi);
    row.p_lo = f.p_lo;
    row.p_hi = f.p_hi;
  }
  return true;
}

// The "Confidence Intervals" section of the report: normal intervals of the
// regions with the jackknife, profile bounds when asked for (every unit with
// "Compute all likelihood intervals"); false when the run stopped.
[[nodiscard]] bool Intervals(Run& run, Estimation& e, const RegionMembers& regions) {
  const Opt& opt = run.opt;
  const bool jackknife = opt.compute_jackknife != 0;
  const bool profile = opt.compute_ci != 0 || opt.all_likelihood_intervals;
  const bool every = opt.all_likelihood_intervals;
  if (!jackknife && !profile) return true;
  if (run.par.nregions == 0 && !every) {
    Error(run, 1016);
    return !run.error.stop;
  }
  Unit& out = run.output.unit[Report::kEstimates];
  out.Write("(/2x,i2,a)", {run.par.confidence, "% Confidence Intervals"});
  if (jackknife && run.par.nregions > 0) NormalIntervals(run, e.regional, out);
  if (profile && !ProfileIntervals(run, e, regions, every, out)) return false;
  out.Write("(70a/)", std::vector<Item>(kRuleLength, "_"));
  return true;
}

// The "Bias-corrected Region Estimates" section (a parametric bootstrap of
// the regions), their cells of the estimates table; warning 1070 without
// regions. False when the run stopped.
[[nodiscard]] bool BiasSection(Run& run, const Estimation& e) {
  const int nr = run.par.nregions;
  if (nr < 1) {
    Error(run, 1070);
    return !run.error.stop;
  }
  Vec<double> regional(nr);
  for (int r = 1; r <= nr; ++r) regional(r) = e.regional(r, 1);
  BiasCorrected b;
  if (!BiasCorrectRegions(run, e.theta, regional, b)) return false;
  Unit& out = run.output.unit[Report::kEstimates];
  const bool held = !Trim(run.files.reference).empty();
  out.Write("(/2x,a,/2x,a,i5,a,a)",
            {"Bias-corrected Region Estimates", "Parametric bootstrap at the estimate, ",
             b.resamples, " resamples of ",
             held ? "held-out reference individuals" : "individuals drawn from the baseline"});
  out.Write("(/t34,a,t44,a,t51,a,t61,i2,a)",
            {"Estimate", "Bias", "Corrected", run.par.confidence, "% Interval"});
  std::vector<EstimateRow>& rows = run.results.estimates;
  const std::size_t np = static_cast<std::size_t>(run.par.npop);
  for (int r = 1; r <= nr; ++r) {
    const auto k = static_cast<std::size_t>(r - 1);
    out.Write("(2x,a30,t34,f7.4,t42,f7.4,t52,f7.4,t61,f5.3,t68,f5.3)",
              {Padded(run.regions.name(r), kNameWidth), b.estimate[k], b.bias[k], b.corrected[k],
               b.lower[k], b.upper[k]});
    if (np + k < rows.size()) {
      rows[np + k].bias_corrected = b.corrected[k];
      rows[np + k].bias_lo = b.lower[k];
      rows[np + k].bias_hi = b.upper[k];
    }
  }
  if (b.stalls > 0)
    out.Write("(/2x,a,i6,a)", {"The resamples' searches ended", b.stalls,
                               " times on a routine convergence test (1006, 1007)."});
  out.Write("(70a/)", std::vector<Item>(kRuleLength, "_"));
  return !run.error.stop;
}

// The condensed mixture and the conditional genotype and population reports,
// as asked for; false when the run stopped.
[[nodiscard]] bool MixtureReports(Run& run, const Estimation& e) {
  const Opt& opt = run.opt;
  const int np = run.par.npop;
  const int ngen = run.input.ngenotypes;
  const MixtureCounts mix{.nclasses = run.input.nclasses,
                          .class_genotypes = run.input.class_genotypes,
                          .class_individuals = run.input.class_individuals,
                          .geno_count = run.input.geno_count};
  if (opt.print_mixture) {
    Prtmix(run, mix, run.input.copies, e.possible);
    if (run.error.stop) return false;
  }
  if (opt.print_genotypes) {
    Prtgen(run, mix, Unscaled(e.P, e.lscale, ngen), true);
    if (run.error.stop) return false;
  }
  if (opt.print_populations) {
    // Posterior membership in a matrix of its own: P stays the genotype probabilities.
    Mat<double> W;
    try {
      W.Resize(np, std::max(ngen, 1));
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return false;
    }
    Posterior(np, ngen, e.P, e.theta, W);
    Prtgen(run, mix, W, false);
    if (run.error.stop) return false;
  }
  return true;
}

// The likelihoods of the estimate and of the external reference's proportions
// (.rlk), the null of a later bootstrap test.
void NullLikelihoods(Run& run, const Estimation& e) {
  if (!OpenReport(run, Report::kLikelihoods, "Bootstrap null likelihood",
                  "Bootstrap Null Likelihood Ratio Estimates in "))
    return;
  const int np = run.par.npop;
  const int ngen = run.input.ngenotypes;
  Vec<double> null(np);
  for (int i = 1; i <= np; ++i) null(i) = run.pops(i).estimate_copy;
  const Vec<std::int32_t>& count = run.input.geno_count;
  Unit& rlk = run.output.unit[Report::kLikelihoods];
  rlk.Write("(g12.6,2x, g12.6)", {Hood(np, ngen, e.P, e.lscale, e.theta, e.possible, count),
                                  Hood(np, ngen, e.P, e.lscale, null, e.possible, count)});
  CloseReport(run, Report::kLikelihoods);
}

// The estimation proper, step by step; returns at once when the run stops.
void Estimate(Run& run, Estimation& e) {
  const Opt& opt = run.opt;
  if (!Maximise(run, e)) return;
  const RegionMembers regions = RunRegions(run);
  Clsum(regions, e.theta, e.regional.Ptr(1, 1));

  const bool resampling = opt.resample_mixture != 0 || opt.resample_baseline != 0;
  // The estimates report; with the output base name "USER" nothing is opened
  // and the writers below write nothing.
  OpenReport(run, Report::kEstimates, "Estimates", "Estimates output to ");
  if (run.error.stop || !Jackknife(run, e, regions)) return;
  const EstimatesReport report = ReportOf(run, e);
  Prtest(run, report);
  if (run.error.stop) return;
  run.results.estimates = EstimateRows(run, report);
  if (!Intervals(run, e, regions)) return;
  if (opt.bias_corrected != 0 && !BiasSection(run, e)) return;
  Mat<double> bayes_membership;  // the sampler's, for the individuals table
  if (opt.bayesian != 0 && !BayesianEstimate(run,
                                             GibbsData{.P = e.P,
                                                       .possible = e.possible,
                                                       .count = run.input.geno_count,
                                                       .ngenotypes = run.input.ngenotypes,
                                                       .membership = opt.print_tables != 0},
                                             &bayes_membership))
    return;
  run.results.facts = EstimateFacts(report);
  run.results.estimated = true;
  if (opt.print_tables) {
    // A bootstrap adds its own facts to the run table once it is done.
    WriteEstimateTable(run, run.results.estimates);
    if (!run.error.stop && !resampling) WriteRunTable(run, &run.results.facts, nullptr);
    if (!run.error.stop)
      WriteIndividualTables(run, e.P, e.theta,
                            bayes_membership.Rows() > 0 ? &bayes_membership : nullptr);
    if (run.error.stop) return;
  }
  if (!MixtureReports(run, e)) return;
  if (opt.print_baseline && !resampling) {
    Prtfrq(run);
    if (run.error.stop) return;
  }
  if (opt.pella_masuda) {
    prweight(run);
    if (run.error.stop) return;
  }
  if (opt.print_likelihoods && opt.external_reference && !resampling) NullLikelihoods(run, e);
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
