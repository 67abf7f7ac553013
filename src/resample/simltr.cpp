#include "resample/simltr.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/layout/layout.hpp"
#include "core/report_file.hpp"
#include "core/run.hpp"
#include "core/velk.hpp"
#include "estimate/groups.hpp"
#include "estimate/ijack.hpp"
#include "estimate/likelihood.hpp"
#include "estimate/optim.hpp"
#include "report/fields.hpp"
#include "report/prtest.hpp"
#include "report/prtfrq.hpp"
#include "report/prtmix.hpp"
#include "resample/draws.hpp"
#include "resample/smstat.hpp"

namespace velk {

namespace {

constexpr int kIterationSlot = 4;
constexpr int kResampleSlot = 9;
constexpr int kStudentSlot = 11;
constexpr int kLikelihoodSlot = 12;
// The iteration history is written only for runs of at most this many resamples.
constexpr int kMostHistoryResamples = 10;

// Which data set a resample maximises over.
enum class Source {
  kDrawn,     // the simulated or redrawn mixture (work.mix)
  kObserved,  // the observed mixture with new genotype probabilities (Clprob)
};

// Everything the driver owns for the whole loop; released with it.
struct Driver {
  bool simulation = false;
  bool model = false;  // Rannala-Mountain or Pella-Masuda frequencies
  int np = 0;
  int nr = 0;
  int R = 0;

  // The seed variable and the three recorded seeds of the likelihood file.
  std::int32_t seed = 0;
  std::int32_t seed_baseline = 0;
  std::int32_t seed_mixture = 0;
  std::int32_t seed_after = 0;

  Arr3<std::int16_t> observed;  // the observed baseline counts
  bool baseline_saved = false;
  Vec<double> expected;   // true proportions (simulation) or the observed estimate
  Vec<double> reference;  // proportions of the second likelihood of the .rlk file
  Vec<double> start;      // 1/np for every population

  Vec<double> theta;
  Vec<std::int32_t> possible;
  Groups groups;
  OptimResult res;
  OptimWork optim;
  DrawWork draws;
  Smstat acc;
  Jackknife jack;

  // Missing baseline (bootstrap): the observed estimates, kept while every
  // resample's maximisation rewrites the arrays, and their running sums.
  int nmissing = 0;
  Vec<double> missing_totals;
  Mat<double> missing_freqs;
  Vec<double> sum_totals, sq_totals;
  Mat<double> sum_freqs, sq_freqs;
  bool missing_saved = false;

  int done = 0;  // resamples completed
};

// Sets up the driver; false when the run stopped.
bool Begin(Run& run, Driver& d) {
  const Par& par = run.par;
  const Opt& opt = run.opt;
  Input& in = run.input;
  d.simulation = opt.estimation == 0;
  d.model = opt.rannala_mountain != 0 || opt.pella_masuda != 0;
  d.np = par.npop;
  d.nr = par.nregions;
  d.R = std::max(par.nresamples, 0);
  d.seed = par.seed;
  // A zero seed is not negative and would continue whatever the generator
  // last did: it restarts the generator instead, as its first use does.
  if (d.seed == 0) run.process.random.shuffled.started = false;

  try {
    d.observed = in.base_counts;
    d.baseline_saved = true;
    d.expected.Resize(d.np);
    d.reference.Resize(d.np);
    d.start.Resize(d.np);
    d.theta.Resize(d.np);
    for (int i = 1; i <= d.np; ++i) {
      d.expected(i) = run.pops(i).estimate;
      d.reference(i) = opt.external_reference != 0 ? run.pops(i).estimate_copy : d.expected(i);
      d.start(i) = 1.0 / d.np;
    }
    d.groups = OneGroup(d.np);
    JackknifeInit(d.jack, d.np, d.nr);
    if (!d.simulation && in.nmissing_base > 0) {
      d.nmissing = in.nmissing_base;
      d.missing_totals = in.missing_totals;
      d.missing_freqs = in.missing_freqs;
      d.missing_saved = true;
      d.sum_totals.Resize(in.missing_totals.Size());
      d.sq_totals.Resize(in.missing_totals.Size());
      d.sum_freqs.Resize(in.missing_freqs.Rows(), in.missing_freqs.Cols());
      d.sq_freqs.Resize(in.missing_freqs.Rows(), in.missing_freqs.Cols());
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }

  AllocateDraws(run, d.draws);
  if (run.error.stop) return false;
  try {
    const int flags = std::max({d.draws.capacity, in.ngenotypes, 1});
    d.possible.Resize(flags, 1);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }

  const bool fit = !d.simulation && opt.resample_mixture != 0;
  const Vec<double>* region_sd =
      !d.simulation && run.regions.sd.Size() >= d.nr ? &run.regions.sd : nullptr;
  SmstatBegin(run, d.acc, d.expected, region_sd, fit ? in.ngenotypes : 0);
  return run.error.stop == 0;
}

// Opens the resample files and writes their headers; false when the run stopped.
bool OpenFiles(Run& run, Driver& d, int& history) {
  const Opt& opt = run.opt;
  history = 0;
  if (d.R <= kMostHistoryResamples && d.simulation && opt.print_iterations != 0) {
    if (OpenReport(run, kIterationSlot, ".itr", "iteration", "Iterations output to ")) history = 1;
    if (run.error.stop) return false;
  }
  if (opt.print_resamples != 0) {
    if (OpenReportFile(run, kResampleSlot, ".rsm", "Resample Estimates")) {
      Unit& rsm = run.output.unit[kResampleSlot];
      rsm.Write("(a,i3)", {"Number of populations: ", d.np});
      rsm.Write("(a,i5)", {"Number of resamples: ", d.R});
      for (int i = 1; i <= d.np; ++i) rsm.Write("(a)", {Padded(run.pops(i).name, kNameWidth)});
    }
    if (run.error.stop) return false;
  }
  if (opt.print_likelihoods != 0) {
    OpenReportFile(run, kLikelihoodSlot, ".rlk", "Bootstrap Likelihoods");
    if (run.error.stop) return false;
  }
  if (opt.studentized != 0) {
    if (OpenReportFile(run, kStudentSlot, ".rst", "Studentized Resample Estimates")) {
      Unit& rst = run.output.unit[kStudentSlot];
      rst.Write("(/2x,a/)", {"Studentized Bootstrap Resample Estimates"});
      rst.Write("(a,i3)", {"Number of regions: ", d.nr});
      rst.Write("(a,i5)", {"Number of resamples: ", d.R});
    }
    if (run.error.stop) return false;
  }
  run.error.status += "\tResampling: ";
  run.platform.ShowStatus(run.error.status);
  return true;
}

// The lines written to the log when a model simulation is asked for without
// baseline resampling; the run then stops.
void ModelWithoutBaseline(Run& run) {
  run.output.unit[0].Write("(/a/a/a/a/)",
                           {" *** Fatal Error: Reading control file.",
                            "     You selected the Rannala-Mountain or Pella-Masuda ",
                            "     model of baseline allele frequencies.  You must   ",
                            "     select the resample baseline option for simulations."});
  Error(run, 0);
}

// Draws the data of one resample; returns where its mixture is.
Source Draw(Run& run, Driver& d) {
  const Opt& opt = run.opt;
  Input& in = run.input;
  const bool baseline = opt.resample_baseline != 0;
  const bool mixture = opt.resample_mixture != 0;
  if (!d.model) {
    if (baseline) {
      d.seed_baseline = d.seed;
      Basim(run, d.observed, in.base_counts, d.seed, d.draws);
      if (run.error.stop) return Source::kDrawn;
    }
    if (d.simulation) {
      // Individuals always come from the observed counts; their probabilities
      // from the working (perhaps redrawn) baseline.
      d.seed_mixture = d.seed;
      MixsimJR(run, d.observed, d.expected, run.par.sample_size, 0, d.seed, d.draws);
      d.seed_after = d.seed;
      return Source::kDrawn;
    }
    if (!mixture) {
      Clprob(run, 0, d.draws);
      return Source::kObserved;
    }
    Distrb(run, 0, d.seed, d.draws);
    return Source::kDrawn;
  }
  if (d.simulation) {
    if (!baseline) {
      ModelWithoutBaseline(run);
      return Source::kDrawn;
    }
    d.seed_mixture = d.seed;
    MixsimJR(run, d.observed, d.expected, run.par.sample_size, 1, d.seed, d.draws);
    d.seed_after = d.seed;
    return Source::kDrawn;
  }
  if (!mixture) {
    Clprob(run, 1, d.draws);
    return Source::kObserved;
  }
  Distrb(run, baseline ? 1 : 0, d.seed, d.draws);
  return Source::kDrawn;
}

// Adds the resample's missing-baseline estimates to the running sums.
void AddMissing(const Run& run, Driver& d) {
  if (!d.missing_saved) return;
  const Vec<double>& t = run.input.missing_totals;
  const Mat<double>& f = run.input.missing_freqs;
  for (int e = 1; e <= std::min(t.Size(), d.sum_totals.Size()); ++e) {
    d.sum_totals(e) += t(e);
    d.sq_totals(e) += t(e) * t(e);
  }
  const int rows = std::min(f.Rows(), d.sum_freqs.Rows());
  const int cols = std::min(f.Cols(), d.sum_freqs.Cols());
  for (int e = 1; e <= cols; ++e)
    for (int k = 1; k <= rows; ++k) {
      d.sum_freqs(k, e) += f(k, e);
      d.sq_freqs(k, e) += f(k, e) * f(k, e);
    }
}

// One resample r: draw, maximise, write its lines and add it to the summary.
void Resample(Run& run, Driver& d, int history) {
  const Opt& opt = run.opt;
  Input& in = run.input;
  const int np = d.np;

  d.possible.Fill(1);
  for (int i = 1; i <= np; ++i) d.theta(i) = d.start(i);
  d.groups.total(1) = 1.0;

  const Source source = Draw(run, d);
  if (run.error.stop) return;

  const bool drawn = source == Source::kDrawn;
  const OptimData data = drawn ? DrawnOptimData(run, d.draws) : RunOptimData(run, d.draws.P);
  const int ngen = drawn ? d.draws.mix.ngenotypes : in.ngenotypes;
  const int n =
      d.simulation ? run.par.sample_size : (drawn ? d.draws.mix.sample_size : in.sample_size);
  if (d.possible.Size() < ngen) {
    try {
      d.possible.Resize(ngen, 1);
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return;
    }
  }

  OptimSwitches sw;
  sw.history = history;
  sw.irls = opt.irls;
  sw.screen = 1;
  // The model draws are made with the data; the baseline update of a
  // maximisation estimates missing frequencies as the estimation does (with
  // draws it would neither accept a step nor update).
  sw.draw = 0;
  d.res.nposs = n;
  Optim(run, data, sw, d.groups, d.theta, d.possible, d.res, d.optim);
  if (run.error.stop) return;
  const bool unfinished = run.error.last_code == 1008;
  const int sample = d.simulation ? run.par.sample_size : in.sample_size;
  if (d.res.nposs < sample) {
    run.error.x1 = run.par.geno_tol;
    run.error.n1 = d.res.nposs;
    Error(run, 100);
    if (run.error.stop) return;
  }
  AddMissing(run, d);

  Unit& rsm = run.output.unit[kResampleSlot];
  if (rsm.IsOpen()) {
    std::vector<Item> values;
    values.reserve(static_cast<std::size_t>(np));
    for (int i = 1; i <= np; ++i) values.emplace_back(d.theta(i));
    rsm.Write("(100(f6.4,1x))", values);
  }
  Unit& rlk = run.output.unit[kLikelihoodSlot];
  if (rlk.IsOpen()) {
    const float at_estimate =
        static_cast<float>(Hood(np, ngen, data.P, d.theta, d.possible, data.count));
    const float at_reference =
        static_cast<float>(Hood(np, ngen, data.P, d.reference, d.possible, data.count));
    rlk.Write("(g13.7,2x,g13.7,1x,i10,1x,i10,1x,i10)",
              {at_estimate, at_reference, d.seed_baseline, d.seed_mixture, d.seed_after});
  }

  const Vec<double>* region_se = nullptr;
  if (opt.studentized != 0 && d.nr > 0) {
    try {
      Ijack(run, np, ngen, n, d.theta, data.count, data.P, d.possible, RunRegions(run), d.jack);
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
    }
    if (run.error.stop) return;
    region_se = &d.jack.regional_sd;
  }

  const bool counts = !d.simulation && opt.resample_mixture != 0;
  SmstatAdd(run, d.acc,
            SmstatResample{.theta = d.theta,
                           .ngenotypes = ngen,
                           .counts = counts ? &d.draws.drawn : nullptr,
                           .region_se = region_se,
                           .unfinished = unfinished});
}

// Closes one resample file with its status line.
void CloseFile(Run& run, int slot, const char* extension, const char* label) {
  Unit& unit = run.output.unit[static_cast<std::size_t>(slot)];
  if (!unit.IsOpen()) return;
  if (!CloseReport(run, slot)) return;
  std::string line(1, '\t');
  line.append(label);
  line.append(ReportName(run, extension));
  AppendStatus(run, line);
}

// The baseline summary with the resamples' means and deviations of the
// missing-baseline estimates.
void BaselineSummary(Run& run, Driver& d) {
  if (!d.missing_saved || d.done < 1) {
    Prtfrq(run);
    return;
  }
  const int R = d.done;
  Vec<double> mean_t(d.sum_totals.Size()), sd_t(d.sum_totals.Size());
  Mat<double> mean_f(d.sum_freqs.Rows(), d.sum_freqs.Cols()),
      sd_f(d.sum_freqs.Rows(), d.sum_freqs.Cols());
  auto stats = [R](double sum, double sq, double& mean, double& sd) {
    mean = sum / R;
    sd = R > 1 ? std::sqrt(std::max(0.0, (sq - R * mean * mean) / (R - 1))) : 0.0;
  };
  for (int e = 1; e <= mean_t.Size(); ++e)
    stats(d.sum_totals(e), d.sq_totals(e), mean_t(e), sd_t(e));
  for (int e = 1; e <= mean_f.Cols(); ++e)
    for (int k = 1; k <= mean_f.Rows(); ++k)
      stats(d.sum_freqs(k, e), d.sq_freqs(k, e), mean_f(k, e), sd_f(k, e));
  const MissingEntries estimate{.totals = run.input.missing_totals,
                                .freqs = run.input.missing_freqs};
  const MissingEntries mean{.totals = mean_t, .freqs = mean_f};
  const MissingEntries sd{.totals = sd_t, .freqs = sd_f};
  Prtfrq(run, estimate, &mean, &sd);
}

// The observed baseline and missing-baseline estimates back in the run's arrays.
void Restore(Run& run, Driver& d) {
  if (run.opt.resample_baseline != 0 && d.baseline_saved) run.input.base_counts = d.observed;
  if (d.missing_saved) {
    run.input.missing_totals = d.missing_totals;
    run.input.missing_freqs = d.missing_freqs;
  }
}

bool StopRequested(const Run& run) {
  return run.stop_request != nullptr && run.stop_request->load(std::memory_order_relaxed);
}

void Drive(Run& run, Driver& d) {
  // Nothing to estimate without populations (the control-file reader never
  // leaves a run so; a caller that fills a run by hand may).
  if (run.par.npop < 1 || run.pops.Size() < run.par.npop) return;
  if (!Begin(run, d)) return;
  int history = 0;
  if (!OpenFiles(run, d, history)) return;

  int r = 0;
  for (r = 1; r <= d.R; ++r) {
    if (StopRequested(run)) {
      AppendStatus(run, Fmt("(i5)", {d.done}));
      run.error.n1 = d.done;
      Error(run, 3037);
      return;
    }
    run.platform.ShowStatus(run.error.status + Fmt("(i5)", {r}));
    Resample(run, d, history);
    if (run.error.stop) {
      // The counter stays where the run stopped.
      AppendStatus(run, Fmt("(i5)", {r}));
      return;
    }
    d.done = r;
  }
  AppendStatus(run, Fmt("(i5)", {d.R}));

  if (run.output.unit[kStudentSlot].IsOpen()) {
    SmstatStudentize(d.acc);
    Vec<double> t;
    for (int k = 1; k <= d.acc.count; ++k) {
      SmstatStudentRow(d.acc, k, t);
      Prtvec(run.output.unit[kStudentSlot], t, d.nr);
    }
  }
  CloseFile(run, kResampleSlot, ".rsm", "Bootstrap Contribution Estimates in ");
  CloseFile(run, kLikelihoodSlot, ".rlk", "Bootstrap Maximum Likelihood Estimates in ");
  CloseFile(run, kStudentSlot, ".rst", "Bootstrap Regional Studentized Estimates in ");
  if (run.error.stop) return;

  if (!d.simulation && run.opt.resample_mixture != 0)
    SmstatFit(d.acc, run.input.sample_size, d.draws.proportions);
  SmstatReport(run, d.acc);
  if (run.error.stop) return;

  if (d.simulation && run.opt.print_genotypes != 0) {
    const DrawnMixture& mix = d.draws.mix;
    const MixtureCounts counts{.nclasses = mix.nclasses,
                               .class_genotypes = mix.class_genotypes,
                               .class_individuals = mix.class_individuals,
                               .geno_count = mix.count};
    Prtgen(run, counts, d.draws.P, true);
    if (run.error.stop) return;
  }
  Restore(run, d);
  if (run.opt.print_baseline != 0) {
    BaselineSummary(run, d);
    if (run.error.stop) return;
  }
}

}  // namespace

void Simltr(Run& run) {
  Errpush(run, run.opt.estimation == 0 ? "Executing Simulation" : "Executing Bootstrap");
  {
    Driver d;
    Drive(run, d);
    // Common exit: the observed data back in place, every file closed (kept).
    Restore(run, d);
  }
  if (run.error.iostat > 0) {
    run.error.a1 = "Iteration History";
    Error(run, 3008);
  }
  for (int slot : {kIterationSlot, kResampleSlot, kStudentSlot, kLikelihoodSlot})
    CloseReport(run, slot);
  Errpop(run);
}

}  // namespace velk
