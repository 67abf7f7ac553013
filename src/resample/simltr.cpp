#include "resample/simltr.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/layout/layout.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "core/status.hpp"
#include "data/reference.hpp"
#include "estimate/ijack.hpp"
#include "estimate/likelihood.hpp"
#include "estimate/optim.hpp"
#include "model/groups.hpp"
#include "numeric/kernels.hpp"
#include "numeric/random.hpp"
#include "report/prtest.hpp"
#include "report/prtfrq.hpp"
#include "report/prtmix.hpp"
#include "resample/draws.hpp"
#include "resample/hundred.hpp"
#include "resample/resample_table.hpp"
#include "resample/scenarios.hpp"
#include "resample/smstat.hpp"
#include "resample/workers.hpp"

namespace velk {

namespace {

// The iteration history is written only for runs of at most this many resamples.
constexpr int kMostHistoryResamples = 10;

// Which data set a resample maximises over.
enum class Source {
  kDrawn,     // the simulated or redrawn mixture (work.mix)
  kObserved,  // the observed mixture with new genotype probabilities (Clprob)
};

// The storage of one resample: its data, its estimate and, when it is
// estimated on another thread, what that thread hands back.
struct Work {
  int r = 0;  // the resample
  Source source = Source::kDrawn;
  std::int32_t seed_baseline = 0;
  std::int32_t seed_mixture = 0;
  std::int32_t seed_after = 0;

  DrawWork draws;
  Vec<double> theta;
  Vec<std::int32_t> possible;
  Groups groups;
  OptimResult res;
  OptimWork optim;
  Jackknife jack;
  // The true proportions the resample's mixture was drawn at, when drawn for
  // it (within-region shares of a scenario); otherwise empty.
  Vec<double> truth;
  int ngen = 0;  // genotypes of the resample's mixture
  int n = 0;     // its sample size
  bool unfinished = false;

  // Another thread: the resample's own working baseline (when redrawn) and
  // missing-baseline estimates; otherwise the run's arrays are used.
  bool own_arrays = false;
  Arr3<std::int16_t> base;
  Vec<double> missing_totals;
  Mat<double> missing_freqs;

  // Another thread: a run of its own whose messages are held, the messages of
  // the draw (held on the driving thread), of the maximisation and of the
  // jackknife, the last code after each part, and the generators' state after
  // the draw.
  std::unique_ptr<Run> own;
  std::vector<HeldMessage> draw_messages;
  std::vector<HeldMessage> messages;
  std::size_t jack_first = 0;  // first message of the jackknife
  int code_optim = 0, severity_optim = 0;
  int code_jack = 0, severity_jack = 0;
  bool stopped = false;  // the estimation ended with a stopping message
  RandomState random_after;
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

  // One Work for a run on the driving thread alone; one per resample in flight
  // when other threads estimate (the last one committed is `last`).
  std::vector<std::unique_ptr<Work>> work;
  Work* last = nullptr;
  Smstat acc;

  // Missing baseline (bootstrap): the observed estimates, kept while every
  // resample's maximisation rewrites the arrays, and their running sums.
  int nmissing = 0;
  Vec<double> missing_totals;
  Mat<double> missing_freqs;
  Vec<double> sum_totals, sq_totals;
  Mat<double> sum_freqs, sq_freqs;
  bool missing_saved = false;

  int done = 0;  // resamples completed

  // One unit of hundred percent simulations: its true proportions and seed,
  // and the counter's text ("Unit 7 of 39, resample "); otherwise unset.
  const Vec<double>* truth = nullptr;
  std::int32_t unit_seed = 0;
  std::string unit_counter;

  // Held-out simulated individuals: the reference individuals they come from.
  const HeldOutPool* held = nullptr;

  // A scenario whose populations' shares within their regions are drawn for
  // every resample (into `expected`); otherwise unset.
  const WithinRegionShares* within = nullptr;
};

// The counter shown after the status text while resample r is drawn.
std::string Counter(const Driver& d, int r) {
  if (d.unit_counter.empty()) return Fmt("(i5)", {r});
  return d.unit_counter + std::to_string(r) + " of " + std::to_string(d.R);
}

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
  d.seed = d.truth != nullptr ? d.unit_seed : par.seed;
  // A zero seed is not negative and would continue whatever the generator
  // last did: it restarts the generator instead, as its first use does.
  if (d.seed == 0) run.process.random.shuffled.started = false;

  try {
    d.observed = in.base_counts;
    d.baseline_saved = true;
    d.expected.Resize(d.np);
    d.reference.Resize(d.np);
    d.start.Resize(d.np);
    for (int i = 1; i <= d.np; ++i) {
      d.expected(i) = d.truth != nullptr ? (*d.truth)(i) : run.pops(i).estimate;
      d.reference(i) = opt.external_reference != 0 ? run.pops(i).estimate_copy : d.expected(i);
      d.start(i) = 1.0 / d.np;
    }
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

  const bool fit = !d.simulation && opt.resample_mixture != 0;
  const Vec<double>* region_sd =
      !d.simulation && run.regions.sd.Size() >= d.nr ? &run.regions.sd : nullptr;
  SmstatBegin(run, d.acc, d.expected, region_sd, fit ? in.ngenotypes : 0);
  return run.error.stop == 0;
}

// Adds the storage of one resample to the driver; false when the run stopped.
// `own`: the resample is estimated on another thread.
bool AddWork(Run& run, Driver& d, bool own) {
  Input& in = run.input;
  try {
    d.work.push_back(std::make_unique<Work>());
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  Work& w = *d.work.back();
  AllocateDraws(run, w.draws);
  if (run.error.stop) return false;
  try {
    w.theta.Resize(d.np);
    if (d.within != nullptr) w.truth.Resize(d.np);
    w.groups = OneGroup(d.np);
    JackknifeInit(w.jack, d.np, d.nr);
    const int flags = std::max({w.draws.capacity, in.ngenotypes, 1});
    w.possible.Resize(flags, 1);
    if (own) {
      w.own_arrays = true;
      w.draws.defer_columns = true;
      if (run.opt.resample_baseline != 0) w.base = in.base_counts;
      w.missing_totals = in.missing_totals;
      w.missing_freqs = in.missing_freqs;
      // A run of the thread's own: the sizes, switches and tables the
      // estimation reads; its messages are held for the driving thread.
      w.own = std::make_unique<Run>(run.process, run.platform);
      Run& o = *w.own;
      o.par = run.par;
      o.opt = run.opt;
      o.chars = run.chars;
      o.input.pm_prior = in.pm_prior;
      o.input.pm_weight = in.pm_weight;
      o.input.nmissing_base = in.nmissing_base;
      o.error.warnings = 0;
      o.held = &w.messages;
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  return true;
}

// Opens the resample files and writes their headers; false when the run stopped.
bool OpenFiles(Run& run, Driver& d, int& history) {
  const Opt& opt = run.opt;
  history = 0;
  if (d.R <= kMostHistoryResamples && d.simulation && opt.print_iterations != 0) {
    if (OpenReport(run, Report::kIterations, "iteration", "Iterations output to ")) history = 1;
    if (run.error.stop) return false;
  }
  if (opt.print_resamples != 0) {
    if (OpenReportFile(run, Report::kResamples, "Resample Estimates")) {
      Unit& rsm = run.output.unit[Report::kResamples];
      rsm.Write("(a,i3)", {"Number of populations: ", d.np});
      rsm.Write("(a,i5)", {"Number of resamples: ", d.R});
      for (int i = 1; i <= d.np; ++i) rsm.Write("(a)", {Padded(run.pops(i).name, kNameWidth)});
    }
    if (run.error.stop) return false;
  }
  if (opt.print_likelihoods != 0) {
    OpenReportFile(run, Report::kLikelihoods, "Bootstrap Likelihoods");
    if (run.error.stop) return false;
  }
  if (opt.studentized != 0) {
    if (OpenReportFile(run, Report::kStudentized, "Studentized Resample Estimates")) {
      Unit& rst = run.output.unit[Report::kStudentized];
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

// The simulated mixture of one resample: held-out individuals when the run
// has them, else individuals drawn from the observed counts.
void Simulate(Run& run, Driver& d, Frequencies frequencies, Work& w) {
  if (d.within != nullptr) {
    DrawWithinRegion(run.process, *d.within, d.expected);
    for (int i = 1; i <= d.np; ++i) w.truth(i) = d.expected(i);
  }
  if (d.held != nullptr)
    HeldOutMixture(run, *d.held, d.expected, run.par.sample_size, frequencies, d.seed, w.draws);
  else
    MixsimJR(run, d.observed, d.expected, run.par.sample_size, frequencies, d.seed, w.draws);
}

// Draws the data of one resample into `w`.
void Draw(Run& run, Driver& d, Work& w) {
  const Opt& opt = run.opt;
  Input& in = run.input;
  const bool baseline = opt.resample_baseline != 0;
  const bool mixture = opt.resample_mixture != 0;

  w.possible.Fill(1);
  for (int i = 1; i <= d.np; ++i) w.theta(i) = d.start(i);
  w.groups.total(1) = 1.0;
  w.seed_baseline = d.seed_baseline;
  w.seed_mixture = d.seed_mixture;
  w.seed_after = d.seed_after;
  w.source = Source::kDrawn;

  if (!d.model) {
    if (baseline) {
      d.seed_baseline = w.seed_baseline = d.seed;
      Basim(run, d.observed, in.base_counts, d.seed, w.draws);
      if (run.error.stop) return;
    }
    if (d.simulation) {
      // Individuals come from the observed counts (or are reference
      // individuals held out); their probabilities from the working (perhaps
      // redrawn) baseline.
      d.seed_mixture = w.seed_mixture = d.seed;
      Simulate(run, d, Frequencies::kBaseline, w);
      d.seed_after = w.seed_after = d.seed;
      return;
    }
    if (!mixture) {
      Clprob(run, Frequencies::kBaseline, w.draws);
      w.source = Source::kObserved;
      return;
    }
    Distrb(run, Frequencies::kBaseline, d.seed, w.draws);
    return;
  }
  if (d.simulation) {
    if (!baseline) {
      ModelWithoutBaseline(run);
      return;
    }
    d.seed_mixture = w.seed_mixture = d.seed;
    Simulate(run, d, Frequencies::kDirichlet, w);
    d.seed_after = w.seed_after = d.seed;
    return;
  }
  if (!mixture) {
    Clprob(run, Frequencies::kDirichlet, w.draws);
    w.source = Source::kObserved;
    return;
  }
  Distrb(run, baseline ? Frequencies::kDirichlet : Frequencies::kBaseline, d.seed, w.draws);
}

// The data of the resample's maximisation. `in` is the run's input, read only;
// a resample estimated on another thread has its own working baseline and
// missing-baseline estimates.
OptimData Data(Input& in, Work& w) {
  const bool drawn = w.source == Source::kDrawn;
  DrawnMixture& mix = w.draws.mix;
  const bool own_base = w.own_arrays && w.base.Size1() > 0;
  return OptimData{.P = w.draws.P,
                   .lscale = w.draws.lscale,
                   .count = drawn ? mix.count : in.geno_count,
                   .class_genotypes = drawn ? mix.class_genotypes : in.class_genotypes,
                   .class_individuals = drawn ? mix.class_individuals : in.class_individuals,
                   .nclasses = drawn ? mix.nclasses : in.nclasses,
                   .copies = drawn ? mix.copies : in.copies,
                   .base_totals = in.base_totals,
                   .base_counts = own_base ? w.base : in.base_counts,
                   .nmissing = in.nmissing_base,
                   .missing_totals = w.own_arrays ? w.missing_totals : in.missing_totals,
                   .missing_freqs = w.own_arrays ? w.missing_freqs : in.missing_freqs,
                   .known = drawn ? &mix.known : &in.geno_known};
}

// The maximisation of one resample on `erun` (the run itself, or the thread's
// own run), with message 100 when genotypes were screened out.
void Maximise(Run& erun, Input& in, const Driver& d, Work& w, int history) {
  const bool drawn = w.source == Source::kDrawn;
  const OptimData data = Data(in, w);
  w.ngen = drawn ? w.draws.mix.ngenotypes : in.ngenotypes;
  w.n = d.simulation ? erun.par.sample_size : (drawn ? w.draws.mix.sample_size : in.sample_size);
  if (w.possible.Size() < w.ngen) {
    try {
      w.possible.Resize(w.ngen, 1);
    } catch (const std::bad_alloc&) {
      Error(erun, 3000);
      return;
    }
  }

  OptimSwitches sw;
  sw.history = history;
  sw.irls = erun.opt.irls;
  sw.screen = 1;
  // The model draws are made with the data; the baseline update of a
  // maximisation estimates missing frequencies as the estimation does (with
  // draws it would neither accept a step nor update).
  sw.draw = 0;
  w.res.nposs = w.n;
  Optim(erun, data, sw, w.groups, w.theta, w.possible, w.res, w.optim);
  if (erun.error.stop) return;
  w.unfinished = erun.error.last_code == 1008;
  const int sample = d.simulation ? erun.par.sample_size : in.sample_size;
  if (w.res.nposs < sample) {
    Error(erun, 100, {.n1 = w.res.nposs, .x1 = erun.par.geno_tol});
  }
}

// Adds the resample's missing-baseline estimates to the running sums.
void AddMissing(Run& run, Driver& d, Work& w) {
  Input& in = run.input;
  if (w.own_arrays && in.nmissing_base > 0) {
    // The run's arrays hold the last resample's estimates, as when the
    // resamples are estimated on the driving thread.
    in.missing_totals = w.missing_totals;
    in.missing_freqs = w.missing_freqs;
  }
  if (!d.missing_saved) return;
  const Vec<double>& t = in.missing_totals;
  const Mat<double>& f = in.missing_freqs;
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

// The resample's lines in the .rsm and .rlk files.
void Lines(Run& run, Driver& d, Work& w) {
  const int np = d.np;
  Unit& rsm = run.output.unit[Report::kResamples];
  if (rsm.IsOpen()) {
    std::vector<Item> values;
    values.reserve(static_cast<std::size_t>(np));
    for (int i = 1; i <= np; ++i) values.emplace_back(w.theta(i));
    rsm.Write("(100(f6.4,1x))", values);
  }
  Unit& rlk = run.output.unit[Report::kLikelihoods];
  if (rlk.IsOpen()) {
    const OptimData data = Data(run.input, w);
    const float at_estimate =
        static_cast<float>(Hood(np, w.ngen, data.P, data.lscale, w.theta, w.possible, data.count));
    // The second likelihood is at the true proportions, the resample's own when drawn for it.
    const bool own = w.truth.Size() == np && run.opt.external_reference == 0;
    const float at_reference = static_cast<float>(
        Hood(np, w.ngen, data.P, data.lscale, own ? w.truth : d.reference, w.possible, data.count));
    rlk.Write("(g13.7,2x,g13.7,1x,i10,1x,i10,1x,i10)",
              {at_estimate, at_reference, w.seed_baseline, w.seed_mixture, w.seed_after});
  }
}

// The studentized intervals' jackknife of one resample on `erun`.
void Jack(Run& erun, Run& run, const Driver& d, Work& w) {
  if (erun.opt.studentized == 0 || d.nr < 1) return;
  const OptimData data = Data(run.input, w);
  try {
    const JackknifePoint at{.P = data.P, .count = data.count, .possible = w.possible,
                            .theta = w.theta, .ngenotypes = w.ngen, .n = w.n};
    static_cast<void>(Ijack(erun, at, RunRegions(run), w.jack));  // 2005 is reported in erun
  } catch (const std::bad_alloc&) {
    Error(erun, 3000);
  }
}

// The resample's part of the summary.
void Add(Run& run, Driver& d, Work& w) {
  const bool counts = !d.simulation && run.opt.resample_mixture != 0;
  const bool student = run.opt.studentized != 0 && d.nr > 0;
  SmstatAdd(run, d.acc,
            SmstatResample{.theta = w.theta,
                           .ngenotypes = w.ngen,
                           .counts = counts ? &w.draws.drawn : nullptr,
                           .region_se = student ? &w.jack.regional_sd : nullptr,
                           .unfinished = w.unfinished});
}

// One resample r on the driving thread: draw, maximise, write its lines and
// add it to the summary.
void Resample(Run& run, Driver& d, Work& w, int history) {
  Draw(run, d, w);
  if (run.error.stop) return;
  Maximise(run, run.input, d, w, history);
  if (run.error.stop) return;
  AddMissing(run, d, w);
  Lines(run, d, w);
  Jack(run, run, d, w);
  if (run.error.stop) return;
  Add(run, d, w);
}

// Closes one resample file with its status line.
void CloseFile(Run& run, int slot, const char* label) {
  Unit& unit = run.output.unit[static_cast<std::size_t>(slot)];
  if (!unit.IsOpen()) return;
  if (!CloseReport(run, slot)) return;
  std::string line(1, '\t');
  line.append(label);
  line.append(ReportName(run, kReportTable[static_cast<std::size_t>(slot)].extension));
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

// ------------------------------------------------ resamples on several threads
//
// The driving thread draws the resamples one after another, exactly as alone
// (the same generators in the same order), each into a Work of its own, and
// hands it to an estimation thread: the genotype probabilities that the draw
// left, the maximisation and the jackknife run there on a run of the thread's
// own, whose messages are held. The driving thread takes the finished
// resamples strictly in order and does everything else as alone: the held
// messages go to the log, then the lines, the summary and the counter. A
// stopping message or a stop request ends the drawing; the resamples already
// drawn are finished and written as the resamples 1..n of a run alone would
// be, and after a stopping message the generators are left as that run would
// leave them.

// Whether the resamples can be estimated on other threads: more than one
// thread, no iteration history, no model simulation without baseline
// resampling (it stops at the first resample), and every genotype's
// probability computable without a message (factorials of at most 32).
bool Parallel(const Run& run, const Driver& d, int history, int nthreads) {
  if (nthreads < 2 || d.R < 2 || history != 0) return false;
  if (d.model && d.simulation && run.opt.resample_baseline == 0) return false;
  const int maxtyp = run.par.max_types;
  for (int c = 1; c <= run.par.nchar; ++c) {
    const Character& ch = run.chars(c);
    if (ch.ploidy > 32 || ch.ntypes > maxtyp) return false;
    if (d.simulation || ch.ploidy < 2) continue;
    const Input& in = run.input;
    for (int g = 1; g <= in.ngenotypes; ++g) {
      const std::int8_t* x = in.copies.Ptr(1, c, g);
      int n = 0;
      for (int k = 0; k < ch.ntypes; ++k) n += x[k];
      if (n < 0 || n > 32) return false;
    }
  }
  return true;
}

// The estimation of one resample on its own run (an estimation thread).
void Estimate(Run& run, const Driver& d, Work& w) {
  Run& own = *w.own;
  own.error.stop = 0;
  w.messages.clear();
  try {
    FillColumns(own, w.draws);
    if (own.error.stop == 0) Maximise(own, run.input, d, w, 0);
  } catch (const std::bad_alloc&) {
    Error(own, 3000);
  }
  w.code_optim = own.error.last_code;
  w.severity_optim = own.error.last_severity;
  w.jack_first = w.messages.size();
  if (own.error.stop == 0) Jack(own, run, d, w);
  w.code_jack = own.error.last_code;
  w.severity_jack = own.error.last_severity;
}

// Writes the held messages first..last-1 of `messages`; false when one stopped the run.
bool ReplayAll(Run& run, const std::vector<HeldMessage>& messages, std::size_t first,
               std::size_t last) {
  for (std::size_t k = first; k < last; ++k) {
    Replay(run, messages[k]);
    if (run.error.stop) return false;
  }
  return true;
}

// A finished resample, taken in order on the driving thread.
void Commit(Run& run, Driver& d, Work& w) {
  if (!ReplayAll(run, w.draw_messages, 0, w.draw_messages.size())) return;
  if (!ReplayAll(run, w.messages, 0, w.jack_first)) return;
  run.error.last_code = w.code_optim;
  run.error.last_severity = w.severity_optim;
  AddMissing(run, d, w);
  Lines(run, d, w);
  if (!ReplayAll(run, w.messages, w.jack_first, w.messages.size())) return;
  run.error.last_code = w.code_jack;
  run.error.last_severity = w.severity_jack;
  Add(run, d, w);
}

// Pipeline's answer when the system gives it no threads.
constexpr int kNoThreads = -2;

// The loop over the resamples with `nthreads` estimation threads. Returns the
// resamples drawn when a stop request ended the drawing, -1 otherwise.
int Pipeline(Run& run, Driver& d, int nthreads) {
  const int nslots = nthreads + 1;
  for (int k = 0; k < nslots; ++k)
    if (!AddWork(run, d, true)) return -1;
  // Every factorial the estimation threads use is made here, once.
  Dfact(run, 32);
  Input& in = run.input;
  const bool redraw_base = run.opt.resample_baseline != 0;

  std::unique_ptr<Workers> pool;
  try {
    pool = std::make_unique<Workers>(nthreads, nslots, [&run, &d](int slot) {
      Estimate(run, d, *d.work[static_cast<std::size_t>(slot)]);
    });
  } catch (const std::system_error&) {
    return kNoThreads;  // nothing drawn yet: the driving thread does it alone
  }
  Workers& workers = *pool;
  auto slot_of = [nslots](int r) { return (r - 1) % nslots; };

  int drawn = 0;
  int committed = 0;
  bool drawing = true;
  bool requested = false;
  for (;;) {
    while (drawing && drawn < d.R && drawn - committed < nslots) {
      if (StopRequested(run)) {
        requested = true;
        drawing = false;
        break;
      }
      const int r = drawn + 1;
      run.platform.ShowStatus(run.error.status + Counter(d, r));
      const int slot = slot_of(r);
      Work& w = *d.work[static_cast<std::size_t>(slot)];
      w.r = r;
      w.draw_messages.clear();
      w.messages.clear();
      w.jack_first = 0;
      // The draw writes the run's working baseline: the resample's own.
      if (redraw_base) std::swap(in.base_counts, w.base);
      run.held = &w.draw_messages;
      Draw(run, d, w);
      run.held = nullptr;
      if (redraw_base) std::swap(in.base_counts, w.base);
      w.random_after = run.process.random;
      drawn = r;
      if (run.error.stop) {
        // Written when its turn comes; nothing more is drawn.
        run.error.stop = 0;
        drawing = false;
        continue;
      }
      w.own->errstk = run.errstk;
      workers.Post(slot);
    }
    if (committed == drawn) break;
    const int r = committed + 1;
    const int slot = slot_of(r);
    Work& w = *d.work[static_cast<std::size_t>(slot)];
    workers.Wait(slot);
    Commit(run, d, w);
    d.last = &w;
    // A report file that failed (a full disk) stops the run here, not at its close.
    if (!run.error.stop) ReportsSound(run);
    if (run.error.stop) {
      // The counter stays where the run stopped; the generators are as that
      // resample left them.
      std::ostream* console = run.process.random.console;
      run.process.random = w.random_after;
      run.process.random.console = console;
      AppendStatus(run, Fmt("(i5)", {r}));
      return -1;
    }
    committed = r;
    d.done = r;
    run.platform.ShowProgress(r, d.R);
  }
  if (redraw_base && d.last != nullptr) in.base_counts = d.last->base;
  return requested ? drawn : -1;
}

// The loop over the resamples on the driving thread alone. Returns the
// resamples done when a stop request ended it, -1 otherwise.
int Sequence(Run& run, Driver& d, int history) {
  if (!AddWork(run, d, false)) return -1;
  Work& w = *d.work.back();
  for (int r = 1; r <= d.R; ++r) {
    if (StopRequested(run)) return d.done;
    run.platform.ShowStatus(run.error.status + Counter(d, r));
    w.r = r;
    Resample(run, d, w, history);
    d.last = &w;
    if (!run.error.stop) ReportsSound(run);
    if (run.error.stop) {
      // The counter stays where the run stopped.
      AppendStatus(run, Fmt("(i5)", {r}));
      return -1;
    }
    d.done = r;
    run.platform.ShowProgress(r, d.R);
  }
  return -1;
}

// Every area's estimate in every resample, for the front ends.
void KeepResamples(Run& run, const Smstat& acc) {
  RunResults& out = run.results;
  out.resample_units.clear();
  out.resample_estimates.assign(static_cast<std::size_t>(acc.narea), {});
  for (int a = 1; a <= acc.narea; ++a) {
    out.resample_units.push_back(Trim(acc.name(a)));
    std::vector<double>& v = out.resample_estimates[static_cast<std::size_t>(a - 1)];
    for (int r = 1; r <= acc.count; ++r) v.push_back(acc.values(a, r));
  }
}

// The resampling loop, on the worker threads when it can run there, else on
// this one: the resample at which the user asked to stop, or a negative value
// when every resample was made.
int ResampleLoop(Run& run, Driver& d, int history) {
  const int nthreads = std::min(ResampleThreads(run.threads), std::max(d.R, 1));
  int requested = Parallel(run, d, history, nthreads) ? Pipeline(run, d, nthreads) : kNoThreads;
  if (requested == kNoThreads && !run.error.stop) requested = Sequence(run, d, history);
  return requested;
}

// The resample estimates and likelihoods, closed kept, each named on the status.
void CloseResampleFiles(Run& run) {
  CloseFile(run, Report::kResamples, "Bootstrap Contribution Estimates in ");
  CloseFile(run, Report::kLikelihoods, "Bootstrap Maximum Likelihood Estimates in ");
}

void Drive(Run& run, Driver& d) {
  // Nothing to estimate without populations (the control-file reader never
  // leaves a run so; a caller that fills a run by hand may).
  if (run.par.npop < 1 || run.pops.Size() < run.par.npop) return;
  if (!Begin(run, d)) return;
  int history = 0;
  if (!OpenFiles(run, d, history)) return;

  run.platform.ShowProgress(0, d.R);
  const int requested = ResampleLoop(run, d, history);
  if (run.error.stop) return;
  if (requested >= 0) {
    AppendStatus(run, Fmt("(i5)", {d.done}));
    Error(run, 3037, {.n1 = d.done});
    return;
  }
  AppendStatus(run, Fmt("(i5)", {d.R}));

  if (run.output.unit[Report::kStudentized].IsOpen()) {
    SmstatStudentize(d.acc);
    Vec<double> t;
    for (int k = 1; k <= d.acc.count; ++k) {
      SmstatStudentRow(d.acc, k, t);
      Prtvec(run.output.unit[Report::kStudentized], t, d.nr);
    }
  }
  CloseResampleFiles(run);
  CloseFile(run, Report::kStudentized, "Bootstrap Regional Studentized Estimates in ");
  if (run.error.stop) return;

  if (!d.simulation && run.opt.resample_mixture != 0)
    SmstatFit(d.acc, run.input.sample_size, d.work.front()->draws.proportions);
  SmstatReport(run, d.acc);
  if (run.error.stop) return;
  KeepResamples(run, d.acc);
  if (run.opt.print_tables) {
    WriteResampleTables(run, d.acc);
    if (run.error.stop) return;
  }

  if (d.simulation && run.opt.print_genotypes != 0) {
    // The last simulated mixture.
    Work& last = d.last != nullptr ? *d.last : *d.work.front();
    const DrawnMixture& mix = last.draws.mix;
    const MixtureCounts counts{.nclasses = mix.nclasses,
                               .class_genotypes = mix.class_genotypes,
                               .class_individuals = mix.class_individuals,
                               .geno_count = mix.count};
    Prtgen(run, counts, Unscaled(last.draws.P, last.draws.lscale, mix.ngenotypes), true);
    if (run.error.stop) return;
  }
  Restore(run, d);
  if (run.opt.print_baseline != 0) {
    BaselineSummary(run, d);
    if (run.error.stop) return;
  }
}

// The lagged generator as a process of its own leaves it after its parameters
// section: seeded afresh with `seco`. Whether the process has seeded it stays
// as it was, so that a later control file's seeding is treated as before.
void SeedLagged(Process& process, std::int32_t seco) {
  const LaggedGenerator::Seeding seeding = process.random.lagged.seeding;
  process.random.lagged = LaggedGenerator{};
  ZBQLINI(process, seco);
  if (seeding != LaggedGenerator::Seeding::kNotSeeded) process.random.lagged.seeding = seeding;
}

// A run of many simulations, one a unit: the units (their names, true
// proportions and seeds), what the .rsm file's line before each unit's
// resamples calls it, and per unit its within-region draws (none when empty).
struct UnitRuns {
  const HundredUnits& units;
  const char* word;  // "Unit", "Scenario"
  const std::vector<WithinRegionShares>& within;
};

// The resampling loop once per unit, each unit with its true proportions and
// seeds; `add` takes each unit's accumulators. False when the run stopped.
template <class Add>
[[nodiscard]] bool RunUnits(Run& run, const HeldOutPool* held, const UnitRuns& runs, Add add) {
  const HundredUnits& units = runs.units;
  // Neither the iteration history, the studentized intervals nor the last
  // simulated mixture belong to a run of many simulations.
  Opt& opt = run.opt;
  const Opt kept = opt;
  opt.print_iterations = 0;
  opt.studentized = 0;
  opt.print_genotypes = 0;
  int history = 0;
  {
    Driver files;
    files.np = run.par.npop;
    files.nr = run.par.nregions;
    files.R = std::max(run.par.nresamples, 0);
    if (!OpenFiles(run, files, history)) {
      opt = kept;
      return false;
    }
  }
  const std::string word = runs.word;
  std::string last;
  for (int u = 1; u <= units.count; ++u) {
    Driver d;
    d.truth = &units.truth[static_cast<std::size_t>(u) - 1];
    d.unit_seed = units.seed(u);
    d.held = held;
    if (!runs.within.empty()) d.within = &runs.within[static_cast<std::size_t>(u) - 1];
    d.unit_counter =
        word + " " + std::to_string(u) + " of " + std::to_string(units.count) + ", resample ";
    SeedLagged(run.process, units.seco(u));
    if (Begin(run, d)) {
      Unit& rsm = run.output.unit[Report::kResamples];
      if (rsm.IsOpen()) rsm.Write("(a,i4,2x,a)", {word, u, Trim(units.name(u))});
      const int requested = ResampleLoop(run, d, history);
      if (!run.error.stop && requested >= 0) {
        AppendStatus(run, Counter(d, d.done));
        Error(run, 3037, {.n1 = d.done});
      }
      if (!run.error.stop) add(u, d.acc);
      last = Counter(d, d.R);
    }
    Restore(run, d);
    if (run.error.stop) break;
  }
  if (!run.error.stop) {
    AppendStatus(run, last);
    CloseResampleFiles(run);
  }
  opt = kept;
  return run.error.stop == 0;
}

// Hundred percent simulations: the simulation once per unit, then the report
// of all units.
void DriveHundred(Run& run, const HeldOutPool* held) {
  if (run.par.npop < 1 || run.pops.Size() < run.par.npop) return;
  HundredUnits units;
  if (!HundredSetUp(run, units)) return;
  HundredSummary sum;
  HundredBegin(units, std::max(run.par.nresamples, 0), sum);
  const std::vector<WithinRegionShares> equal;
  if (!RunUnits(run, held, UnitRuns{.units = units, .word = "Unit", .within = equal},
                [&](int u, const Smstat& acc) { HundredAdd(units, u, acc, sum); }))
    return;
  HundredReport(run, units, sum);
}

// Scenario simulations: the simulation once per scenario of the scenarios
// file, then the report of all scenarios.
void DriveScenarios(Run& run, const HeldOutPool* held) {
  if (run.par.npop < 1 || run.pops.Size() < run.par.npop) return;
  if (run.opt.hundred_percent) {
    Error(run, 3060);
    return;
  }
  ScenarioRun sr;
  if (!ScenarioSetUp(run, sr)) return;
  ScenarioSummary sum;
  ScenarioBegin(sr, std::max(run.par.nresamples, 0), sum);
  if (!RunUnits(run, held, UnitRuns{.units = sr.units, .word = "Scenario", .within = sr.within},
                [&](int s, const Smstat& acc) { ScenarioAdd(sr, s, acc, sum); }))
    return;
  ScenarioReport(run, sr, sum);
}

// The reference individuals of held-out simulated individuals, by population;
// false when the run stopped.
[[nodiscard]] bool ReadHeldOut(Run& run, HeldOutPool& pool) {
  ReadReference(run, pool.fish);
  if (run.error.stop) return false;
  try {
    pool.of_pop.assign(static_cast<std::size_t>(std::max(run.par.npop, 0)), {});
    for (int n = 1; n <= pool.fish.count; ++n)
      pool.of_pop[static_cast<std::size_t>(pool.fish.pop(n)) - 1].push_back(n);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  return true;
}

}  // namespace

void Simltr(Run& run) {
  Errpush(run, run.opt.estimation == 0 ? "Executing Simulation" : "Executing Bootstrap");
  HeldOutPool pool;
  const bool held = run.opt.estimation == 0 && run.opt.held_out;
  const HeldOutPool* from = held ? &pool : nullptr;
  if (held && !ReadHeldOut(run, pool)) {
    Errpop(run);
    return;
  }
  if (run.opt.estimation == 0 && !run.files.scenarios.empty()) {
    DriveScenarios(run, from);
  } else if (run.opt.estimation == 0 && run.opt.hundred_percent) {
    DriveHundred(run, from);
  } else {
    Driver d;
    d.held = from;
    Drive(run, d);
    // Common exit: the observed data back in place, every file closed (kept).
    Restore(run, d);
  }
  for (int slot :
       {Report::kIterations, Report::kResamples, Report::kStudentized, Report::kLikelihoods})
    CloseReport(run, slot);
  Errpop(run);
}

}  // namespace velk
