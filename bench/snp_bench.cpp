// Large SNP panels: the estimate (genotype matrix, maximisation, jackknife) of
// 100 populations and 2,000 fish, 2 % of the loci missing at random, under the
// Rannala-Mountain model, for 96 to 20,000 loci and the three kinds of genotype
// tolerance (argument 2: 0 unset, 1 "1e-300", 2 "0"). Each case reports its
// largest error against the log-space EM of the tests' support code
// (max_err: proportions; rel_L: log-likelihood, relative), the search's passes
// and the process's peak resident memory so far (peak_MB: run one case alone
// to read its own).
//
//   build-bench/bench/velk_bench --benchmark_filter='BM_SnpEstimate/5000/0$'
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "dataset.hpp"
#include "estimate/ijack.hpp"
#include "estimate/optim.hpp"
#include "support/reference_em.hpp"

namespace velk::bench {
namespace {

constexpr int kPopulations = 100;
constexpr int kFish = 2000;
constexpr double kMissing = 0.02;

// Peak resident memory of the process in MB (VmHWM).
double PeakMb() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0.0;
  char line[256];
  double kb = 0.0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atof(line + 6);
  }
  std::fclose(f);
  return kb / 1024.0;
}

struct Panel {
  Panel() : run(process, platform) {}
  QuietPlatform platform;
  NullBuffer null_buffer;
  std::ostream null_stream{&null_buffer};
  Process process;
  Run run;
  std::vector<double> logp;  // the reference's log-probabilities
};

Panel& Data(int loci) {
  static std::map<int, std::unique_ptr<Panel>> cache;
  auto& slot = cache[loci];
  if (!slot) {
    slot = std::make_unique<Panel>();
    Run& run = slot->run;
    Error(run, 1);
    slot->process.random.console = &slot->null_stream;
    test::MakeSnpPanel(run, kPopulations, loci, kFish, kMissing, 977u + loci, 200);
    run.opt.rannala_mountain = 1;
    run.par.max_iterations = 1000;
    run.par.eps = 1.0e-9;
    run.par.ftol = 1.0e-15;
    run.par.gpa = 99.99999;
    slot->logp = test::LogProbabilities(run);
  }
  return *slot;
}

void BM_SnpEstimate(benchmark::State& state) {
  const int loci = static_cast<int>(state.range(0));
  Panel& d = Data(loci);
  Run& run = d.run;
  const int np = kPopulations;
  const double tolerance[] = {std::numeric_limits<double>::quiet_NaN(), 1.0e-300, 0.0};
  run.par.geno_tol = tolerance[state.range(1)];
  Mat<double> P;
  Vec<double> lscale;
  Vec<double> theta;
  Vec<std::int32_t> possible;
  OptimResult res;
  Jackknife jack;
  const RegionMembers regions{0, run.regions.size, run.regions.members};
  for (auto _ : state) {
    int nmissing = 0;
    Gmatrx(run, P, lscale, nmissing);
    theta = Vec<double>(np, 1.0 / np);
    possible = Vec<std::int32_t>(run.input.ngenotypes, 1);
    Groups groups = OneGroup(np);
    res = OptimResult{};
    res.nposs = run.input.sample_size;
    Optim(run, RunOptimData(run, P, lscale), OptimSwitches{}, groups, theta, possible, res);
    if (run.error.stop == 0)
      Ijack(run, np, run.input.ngenotypes, run.input.sample_size, theta, run.input.geno_count, P,
            possible, regions, jack);
  }
  state.counters["peak_MB"] = PeakMb();
  state.counters["passes"] = res.iterations;
  if (run.error.stop != 0) {
    state.SetLabel("stopped with message " + std::to_string(run.error.last_code));
    run.error.stop = 0;
    return;
  }
  // The reference on the same possible genotypes, scaled to the possible fraction.
  std::vector<int> flags(possible.begin(), possible.end());
  const test::Reference ref = test::ReferenceEm(run, d.logp, flags);
  const double rho = static_cast<double>(res.nposs) / run.input.sample_size;
  double err = 0.0;
  for (int i = 1; i <= np; ++i)
    err = std::max(err, std::fabs(theta(i) - rho * ref.theta[static_cast<std::size_t>(i - 1)]));
  state.counters["max_err"] = err;
  // The search's shares sum to the possible fraction rho, so its log-likelihood
  // is the reference's plus nposs * log(rho).
  const double ref_L = ref.L + res.nposs * std::log(rho);
  state.counters["rel_L"] = std::fabs(res.L - ref_L) / std::fabs(ref_L);
  state.counters["screened"] = run.input.sample_size - res.nposs;
  Lastcd(run);
}
BENCHMARK(BM_SnpEstimate)
    ->ArgsProduct({{96, 500, 1000, 2000, 5000, 20000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace velk::bench
