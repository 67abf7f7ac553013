// The run sequence: what follows once the control file has been read up to its
// "run" line and closed. It checks the output base name, answers a load-only
// request from the options, creates the output directories and then runs the
// data readers, the estimation and the resampling in their fixed order.
#include <array>
#include <string>

#include "control/sections.hpp"
#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"

namespace velk {

namespace {

// Load Results List: the reports an earlier run of this control file has
// written, worked out from its options.
void LoadOnlyFlags(Run& run) {
  const Opt& o = run.opt;
  std::array<int, kReportSlots>& f = run.output.written;
  f.fill(0);
  int estimation = o.estimation != 0 ? 1 : 0;
  f[0] = 1;
  f[5] = estimation;
  f[6] = 1 - estimation;
  f[7] = (estimation && (o.resample_mixture || o.resample_baseline)) ? 1 : 0;
  f[4] = o.print_iterations != 0;
  f[9] = o.print_resamples != 0;
  f[1] = o.print_baseline != 0;
  f[8] = o.print_mixture != 0;
  f[3] = o.print_genotypes != 0;
  f[2] = o.print_populations != 0;
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
      run.error.a1 = prefix;
      Error(run, 3035);
      return;
    }
  }
}

}  // namespace

void RunSequence(Run& run) {
  if (Trim(run.files.output) == "USER") {
    run.error.a1 = "output";
    Error(run, 3027);
    Errpop(run);
    return;
  }
  if (run.load_only) {
    LoadOnlyFlags(run);
    Errpop(run);
    return;
  }
  MakeOutputDirectories(run);
  if (run.error.stop) {
    Errpop(run);
    return;
  }
  Errpop(run);
  Errpush(run, "Executing VELK");

  // The data stages follow here, in this order, each followed by a test of the
  // stop flag: allocate the baseline arrays and read the baseline (Base); the
  // Pella-Masuda prior (Pella) when that model is on; the mixture arrays; a
  // simulation with missing baseline stops with 3032; for an estimation the
  // mixture (Getmix) and the estimation (Estmtr); for a simulation, or an
  // estimation with resampling, the simulation and bootstrap loop (Simltr).
  // Every array lives in the run and is released with it.

  Errpop(run);
}

}  // namespace velk
