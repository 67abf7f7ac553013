// The run sequence: what follows once the control file has been read up to its
// "run" line and closed. It checks the output base name, answers a load-only
// request from the options, creates the output directories and then runs the
// data readers, the estimation and the resampling in their fixed order.
#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>

#include "control/sections.hpp"
#include "data/full_names.hpp"
#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "run/sequence.hpp"
#include "run/velk.hpp"
#include "data/base.hpp"
#include "data/getmix.hpp"
#include "model/pella.hpp"
#include "run/estmtr.hpp"
#include "run/leave_one_out.hpp"
#include "resample/simltr.hpp"

namespace velk {

namespace {

// Load Results List: the reports an earlier run of this control file has
// written, worked out from its options.
void LoadOnlyFlags(Run& run) {
  const Opt& o = run.opt;
  std::array<int, kReportSlots>& f = run.output.written;
  f.fill(0);
  // An estimation without a mixture is a leave-one-out of the baseline alone.
  int estimation = o.estimation != 0 && !run.files.mixture.empty() ? 1 : 0;
  const int simulation = o.estimation == 0 ? 1 : 0;
  // Hundred percent simulations write their report and table instead of a
  // simulation's; leave-one-out adds its own to any run.
  // Scenario simulations write theirs instead of both.
  const int scenarios = simulation && !run.files.scenarios.empty() ? 1 : 0;
  const int hundred = simulation && o.hundred_percent && !scenarios ? 1 : 0;
  const int many = hundred + scenarios;
  f[Report::kLog] = 1;
  f[Report::kEstimates] = estimation;
  f[Report::kSimulation] = simulation - many;
  f[Report::kBootstrap] = (estimation && (o.resample_mixture || o.resample_baseline)) ? 1 : 0;
  f[Report::kIterations] = o.print_iterations != 0;
  f[Report::kResamples] = o.print_resamples != 0;
  f[Report::kBaseline] = o.print_baseline != 0;
  f[Report::kMixture] = o.print_mixture != 0;
  f[Report::kGenotypes] = o.print_genotypes != 0;
  f[Report::kPopulations] = o.print_populations != 0;
  f[Report::kHundredPercent] = hundred;
  f[Report::kScenarios] = scenarios;
  f[Report::kLeaveOneOut] = o.leave_one_out ? 1 : 0;
  // The tables: those of the estimation, and those of a simulation or bootstrap.
  std::array<int, kTableCount>& t = run.output.tables;
  const int resampling = estimation ? f[Report::kBootstrap] : simulation - many;
  const int tables = o.print_tables ? 1 : 0;
  t = {tables * estimation, tables * (estimation + simulation - many),
       tables * estimation, tables * estimation,
       tables * resampling, tables * resampling,
       tables * hundred,    tables * f[Report::kLeaveOneOut]};
}

// Every folder on the way to the output base name that is missing is created,
// outermost first. The root, an empty prefix and a drive prefix such as "C:"
// count as existing.
void MakeOutputDirectories(Run& run) {
  // The files section has already taken a relative name from the control
  // file's folder; both "\" and "/" separate folders.
  std::string base = NativeName(Trim(run.files.output));
  for (std::size_t p = 0; p < base.size(); ++p) {
    if (base[p] != '/') continue;
    std::string prefix = base.substr(0, p);
    if (prefix.empty() || prefix.back() == '/') continue;
    if (prefix.size() == 2 && prefix[1] == ':') continue;
    int attributes = run.platform.FileAttributes(prefix);
    if (attributes != -1 && (attributes & 16) != 0) continue;
    if (!run.platform.MakeDirectory(prefix)) {
      Error(run, 3035, {.a1 = prefix});
      return;
    }
  }
}

// No single array of the run may take more than this many bytes: sizes beyond
// it (a capacity of billions, or extents whose product overflows) are refused
// as out of memory before anything is allocated.
constexpr long double kMaxArrayBytes = 4294967296.0L;  // 4 GiB

// Whether an array of these extents and element size can be allocated at all.
bool Fits(std::initializer_list<long long> extents, std::size_t element) {
  long double bytes = static_cast<long double>(element);
  for (long long e : extents) bytes *= static_cast<long double>(std::max(e, 0LL));
  return bytes <= kMaxArrayBytes;
}

// Runs `allocate` when `fits`; a refused or failed allocation is message 3000.
template <class F>
bool Allocate(Run& run, bool fits, F&& allocate) {
  if (fits) {
    try {
      allocate();
      return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  Error(run, 3000);
  return false;
}

// Every array of the run's input block released.
void FreeArrays(Input& in) {
  in.base_counts.Free();
  in.base_totals.Free();
  in.copies.Free();
  in.geno_count.Free();
  in.class_genotypes.Free();
  in.class_individuals.Free();
  in.pm_prior.Free();
  in.pm_weight.Free();
  in.missing_totals.Free();
  in.missing_freqs.Free();
}

// A stop the front end asked for (a signal, the Stop command), seen between two
// stages: message 3037, as between two resamples.
bool StopAsked(Run& run) {
  if (run.stop_request == nullptr || !run.stop_request->load()) return false;
  Error(run, 3037, {.n1 = -1});
  return true;
}

// The population and character of the first baseline entry without data, as
// the message's text arguments.
MessageArgs FirstMissingEntry(const Run& run) {
  const Input& in = run.input;
  const int np = std::min({run.par.npop, in.base_totals.Cols(), run.pops.Size()});
  const int nc = std::min({run.par.nchar, in.base_totals.Rows(), run.chars.Size()});
  for (int i = 1; i <= np; ++i)
    for (int c = 1; c <= nc; ++c)
      if (in.base_totals(c, i) < 1) return {.a1 = Trim(run.pops(i).name), .a2 = Trim(run.chars(c).name)};
  return {};
}

// The baseline, the frequency model and the mixture, each stage returning at
// once when the run has been stopped.
void DataStages(Run& run) {
  const Par& par = run.par;
  Input& in = run.input;
  const int maxtyp = par.max_types;
  const int nc = par.nchar;
  const int np = par.npop;

  if (!Allocate(
          run, Fits({maxtyp, nc, np}, sizeof(std::int16_t)) && Fits({nc, np}, sizeof(std::int32_t)),
          [&] {
            in.base_counts.Resize(maxtyp, nc, np);
            in.base_totals.Resize(nc, np);
          }))
    return;

  if (!ReadFullNames(run)) return;
  AppendStatus(run, "Reading baseline file(s)...");
  Base(run);
  if (run.error.stop || StopAsked(run)) return;

  if (!Allocate(run, Fits({maxtyp, nc}, sizeof(double)), [&] {
        in.pm_prior.Resize(maxtyp, nc);
        in.pm_weight.Resize(nc);
      }))
    return;
  if (run.opt.pella_masuda) {
    Pella(run);
    if (run.error.stop || StopAsked(run)) return;
  }

  // The mixture arrays at the capacities of the parameters, and the
  // missing-baseline totals and frequencies (at least one entry each).
  if (!AllocateMixtureArrays(run)) return;

  if (run.opt.estimation == 0 && in.nmissing_base > 0) {
    // Under the frequency models an entry without data has the model's prior
    // frequencies, which the simulated individuals are drawn from; the plain
    // model has nothing to draw from.
    if (run.opt.rannala_mountain != 0 || run.opt.pella_masuda != 0) {
      Error(run, 110);
    } else {
      Error(run, 3032, FirstMissingEntry(run));
      return;
    }
  }

  // Scenarios, like hundred percent simulations, are a simulation's runs.
  if (run.opt.estimation != 0 && !run.files.scenarios.empty()) Error(run, 1060);
  if (run.opt.estimation != 0 && !run.files.mixture.empty()) {
    // Hundred percent simulations replace a simulation's runs; an estimation
    // or bootstrap has none to replace, so the option is said to do nothing.
    if (run.opt.hundred_percent) Error(run, 1022);
    AppendStatus(run, "Reading mixture file...");
    Getmix(run);
    if (run.error.stop || StopAsked(run)) return;
    AppendStatus(run, "Performing estimation...");
    Estmtr(run);
    if (run.error.stop || StopAsked(run)) return;
  }

  if (run.opt.leave_one_out) {
    LeaveOneOut(run);
    if (run.error.stop || StopAsked(run)) return;
  }

  const bool resampling = run.opt.resample_mixture != 0 || run.opt.resample_baseline != 0;
  if (run.opt.estimation == 0 || resampling) {
    AppendStatus(run,
                 run.opt.estimation == 0 ? "Performing simulation..." : "Performing bootstrap...");
    Simltr(run);
    if (run.error.stop) return;
  }
}

}  // namespace

void RunSequence(Run& run) {
  if (Trim(run.files.output) == "USER") {
    Error(run, 3027, {.a1 = "output"});
    Errpop(run);
    return;
  }
  if (run.load_only) {
    LoadOnlyFlags(run);
    Errpop(run);
    return;
  }
  // The input files are all named now: the log leaves memory for its file.
  if (PlaceLog(run)) MakeOutputDirectories(run);
  if (run.error.stop) {
    Errpop(run);
    return;
  }
  Errpop(run);
  Errpush(run, "Executing VELK");

  DataStages(run);
  FreeArrays(run.input);
  Errpop(run);
}

}  // namespace velk
