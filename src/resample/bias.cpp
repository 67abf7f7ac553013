#include "resample/bias.hpp"

#include <algorithm>
#include <new>
#include <string>

#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"
#include "data/reference.hpp"
#include "estimate/ijack.hpp"
#include "estimate/optim.hpp"
#include "model/groups.hpp"
#include "resample/draws.hpp"
#include "resample/smstat.hpp"

namespace velk {

namespace {

// The held-out pool of the reference individuals file; false when the run stopped.
[[nodiscard]] bool ReadPool(Run& run, HeldOutPool& pool) {
  ReadReference(run, pool.fish);
  if (run.error.stop) return false;
  pool.of_pop.assign(static_cast<std::size_t>(std::max(run.par.npop, 0)), {});
  for (int n = 1; n <= pool.fish.count; ++n)
    pool.of_pop[static_cast<std::size_t>(pool.fish.pop(n)) - 1].push_back(n);
  return true;
}

// What the resamples share: the draws, the observed missing-baseline
// estimates that each maximisation starts from, and the region estimates.
struct BiasWork {
  DrawWork draws;
  HeldOutPool pool;
  bool held = false;
  Vec<double> missing_totals;
  Mat<double> missing_freqs;
  Mat<double> values;  // (region, resample)
};

// One resample: a simulated mixture at theta, maximised; its region estimates
// into column r of work.values. False when the run stopped.
[[nodiscard]] bool Resample(Run& run, const Vec<double>& theta, const RegionMembers& regions,
                            int r, std::int32_t& seed, BiasWork& w) {
  const int np = run.par.npop;
  const int n = run.input.sample_size;
  if (w.held)
    HeldOutMixture(run, w.pool, theta, n, Frequencies::kBaseline, seed, w.draws);
  else
    MixsimJR(run, run.input.base_counts, theta, n, Frequencies::kBaseline, seed, w.draws);
  if (run.error.stop) return false;
  run.input.missing_totals = w.missing_totals;
  run.input.missing_freqs = w.missing_freqs;
  Vec<double> start(np, 1.0 / np);
  Groups groups = OneGroup(np);
  Vec<std::int32_t> possible(std::max(w.draws.mix.ngenotypes, 1), 1);
  OptimResult res;
  res.nposs = w.draws.mix.sample_size;
  const OptimSwitches sw{.history = 0, .irls = run.opt.irls, .screen = 1, .draw = 0};
  Optim(run, DrawnOptimData(run, w.draws), sw, groups, start, possible, res);
  if (run.error.stop) return false;
  Clsum(regions, start, w.values.Ptr(1, r));
  return true;
}

// The corrected estimates and their intervals from the resamples' values.
void Summarise(const Run& run, const Vec<double>& regional, BiasWork& w, BiasCorrected& out) {
  const int nr = run.par.nregions;
  const int R = w.values.Cols();
  const PercentileIndex at = PercentileIndices(run.par.confidence, R);
  std::vector<double> sorted(static_cast<std::size_t>(R));
  for (int k = 1; k <= nr; ++k) {
    double sum = 0.0;
    for (int r = 1; r <= R; ++r) sum += sorted[static_cast<std::size_t>(r - 1)] = w.values(k, r);
    std::sort(sorted.begin(), sorted.end());
    const double est = regional(k);
    const double bias = sum / R - est;
    auto clip = [](double x) { return std::clamp(x, 0.0, 1.0); };
    out.estimate.push_back(est);
    out.bias.push_back(bias);
    out.corrected.push_back(clip(est - bias));
    out.lower.push_back(clip(sorted[static_cast<std::size_t>(at.lo - 1)] - bias));
    out.upper.push_back(clip(sorted[static_cast<std::size_t>(at.hi - 1)] - bias));
  }
  out.resamples = R;
}

}  // namespace

bool BiasCorrectRegions(Run& run, const Vec<double>& theta, const Vec<double>& regional,
                        BiasCorrected& out) {
  Errpush(run, "Correcting the region estimates for bias");
  const ShuffledGenerator kept = run.process.random.shuffled;
  // One simulated genotype per individual at most, whatever capacity the
  // control file set for the observed mixture.
  const bool genotypes_given = run.par.genotypes_given;
  run.par.genotypes_given = false;
  BiasWork w;
  bool ok = false;
  try {
    w.held = !Trim(run.files.reference).empty();
    if (!w.held || ReadPool(run, w.pool)) {
      AllocateDraws(run, w.draws);
      w.missing_totals = run.input.missing_totals;
      w.missing_freqs = run.input.missing_freqs;
      w.values.Resize(std::max(run.par.nregions, 1), std::max(run.par.nresamples, 1));
      const RegionMembers regions = RunRegions(run);
      std::int32_t seed = run.par.seed;
      // A zero seed restarts the generator, as its first use does.
      if (seed == 0) run.process.random.shuffled.started = false;
      ok = !run.error.stop;
      run.error.fold_stalls = true;
      run.error.folded_stalls = 0;
      for (int r = 1; ok && r <= run.par.nresamples; ++r)
        ok = Resample(run, theta, regions, r, seed, w);
      run.error.fold_stalls = false;
      out.stalls = run.error.folded_stalls;
      run.input.missing_totals = w.missing_totals;
      run.input.missing_freqs = w.missing_freqs;
      if (ok) Summarise(run, regional, w, out);
    }
  } catch (const std::bad_alloc&) {
    run.error.fold_stalls = false;
    Error(run, 3000);
    ok = false;
  }
  run.process.random.shuffled = kept;
  run.par.genotypes_given = genotypes_given;
  Errpop(run);
  return ok && !run.error.stop;
}

}  // namespace velk
