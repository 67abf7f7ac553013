// The maximisation: one EM, one conjugate-gradient and one IRLS iteration, each
// with the expectations the driver recomputes after the step (Genexp, Pctmax),
// and a whole maximisation by Optim from equal proportions with the time per
// iteration. Every timed step starts from the same saved point, so that each
// iteration times the same work; restoring it costs a few copies of np or
// ngenotypes doubles, small beside the step.
#include <benchmark/benchmark.h>

#include "core/error.hpp"
#include "estimate/conjas.hpp"
#include "estimate/em.hpp"
#include "estimate/irls.hpp"
#include "estimate/likelihood.hpp"
#include "estimate/optim.hpp"
#include "dataset.hpp"

namespace velk::bench {
namespace {

// The state a step changes.
struct Point {
  Vec<double> theta;
  Vec<double> qu;
  Vec<double> score;
  Vec<int> best;
  Convergence conv;
  double L = 0.0;
  Vec<double> d;
  double prev_norm = -1.0;
  int restart = 0;

  void Save(const Dataset& s) {
    theta = s.theta;
    qu = s.qu;
    score = s.score;
    best = s.best;
    conv = s.conv;
    L = s.L;
    d = s.work.d;
    prev_norm = s.work.prev_norm;
    restart = s.work.restart;
  }
  void Restore(Dataset& s) const {
    s.theta = theta;
    s.qu = qu;
    s.score = score;
    s.best = best;
    s.conv = conv;
    s.L = L;
    s.work.d = d;
    s.work.prev_norm = prev_norm;
    s.work.restart = restart;
  }
};

// Equal proportions, and the likelihood and expectations there.
void Start(Dataset& s) {
  s.theta.Fill(1.0 / s.np());
  s.Refresh();
}

void EmIteration(Dataset& s) {
  const Input& in = s.run.input;
  Em(s.np(), s.ngen(), s.nposs, s.q(), s.P, s.theta, s.trial, in.geno_count, s.possible, s.groups,
     s.conv);
  s.L = Hood(s.np(), s.ngen(), s.P, s.lscale, s.trial, s.possible, in.geno_count);
  s.theta = s.trial;
  s.Expect();
}

void CgIteration(Dataset& s) {
  const Input& in = s.run.input;
  Restart(s.np(), s.groups, s.theta, s.best, s.run.par.eps, s.work);
  Conjas(s.run, s.np(), in.nclasses, in.class_genotypes, s.theta, s.trial, s.P, s.lscale,
         in.geno_count, s.score, s.q(), s.possible, s.L, s.groups, s.run.par.eps, s.run.par.ftol,
         s.conv, s.work);
  s.Expect();
}

void IrlsIteration(Dataset& s) {
  const Input& in = s.run.input;
  Abmat(s.np(), in.nclasses, in.geno_count, s.q(), s.u(), s.P, s.lscale, s.S, in.class_genotypes,
        s.possible_individuals, s.possible, s.groups, s.work);
  if (Wolfe(s.run, s.np(), s.work) == 0) {
    Newges(s.run, s.np(), s.ngen(), s.possible, s.theta, s.trial, s.P, s.lscale, in.geno_count,
           s.q(), s.L, s.run.par.eps, s.run.par.ftol, s.conv, s.work);
  }
  s.Expect();
}

void Label(benchmark::State& state, const Dataset& d) {
  state.SetLabel(d.shape.name);
}

// One EM iteration from equal proportions.
void BM_EmIteration(benchmark::State& state) {
  Dataset& s = Data(static_cast<int>(state.range(0)));
  Point saved;
  Start(s);
  saved.Save(s);
  for (auto _ : state) {
    saved.Restore(s);
    EmIteration(s);
    benchmark::DoNotOptimize(s.theta.Data());
  }
  Start(s);
  Label(state, s);
}
BENCHMARK(BM_EmIteration)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One conjugate-gradient iteration (restart rule, line search, expectations)
// from the point three iterations after equal proportions.
void BM_CgIteration(benchmark::State& state) {
  Dataset& s = Data(static_cast<int>(state.range(0)));
  Start(s);
  CgAlloc(s.work, s.np());
  s.work.restart = s.np();
  for (int k = 0; k < 3; ++k) CgIteration(s);
  Point saved;
  saved.Save(s);
  for (auto _ : state) {
    saved.Restore(s);
    CgIteration(s);
    benchmark::DoNotOptimize(s.theta.Data());
  }
  Lastcd(s.run);
  Start(s);
  Label(state, s);
}
BENCHMARK(BM_CgIteration)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One IRLS iteration (tableau, Wolfe's simplex, line search, expectations) from
// the point where conjugate gradient hands over (largest change below the
// switch threshold).
void BM_IrlsIteration(benchmark::State& state) {
  Dataset& s = Data(static_cast<int>(state.range(0)));
  Start(s);
  CgAlloc(s.work, s.np());
  s.work.restart = s.np();
  Lastcd(s.run);
  for (int k = 0; k < 500; ++k) {
    CgIteration(s);
    if (s.conv.change < s.run.par.irls_switch || Lastcd(s.run) != 0) break;
  }
  IrlsAlloc(s.work, s.np());
  Point saved;
  saved.Save(s);
  for (auto _ : state) {
    saved.Restore(s);
    s.work.active.Fill(1);
    IrlsIteration(s);
    benchmark::DoNotOptimize(s.theta.Data());
  }
  Lastcd(s.run);
  Start(s);
  Label(state, s);
}
BENCHMARK(BM_IrlsIteration)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A whole maximisation from equal proportions, IRLS off (second argument 0) or
// allowed (1). "passes" is the number of iterations it took; "per_pass" the
// time of one.
void BM_Optim(benchmark::State& state) {
  Dataset& s = Data(static_cast<int>(state.range(0)));
  Run& run = s.run;
  OptimSwitches sw;
  sw.irls = static_cast<int>(state.range(1));
  const OptimData data = RunOptimData(run, s.P, s.lscale);
  OptimWork work;
  OptimResult res;
  Vec<double> theta(s.np());
  Vec<std::int32_t> possible(s.ngen(), 1);
  double passes = 0.0;
  for (auto _ : state) {
    Groups groups = OneGroup(s.np());
    theta.Fill(1.0 / s.np());
    res.nposs = run.input.sample_size;
    Optim(run, data, sw, groups, theta, possible, res, work);
    passes += res.iterations;
    Lastcd(run);
  }
  state.counters["passes"] = res.iterations;
  state.counters["per_pass"] =
      benchmark::Counter(passes, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["logL"] = res.L;
  Label(state, s);
}
BENCHMARK(BM_Optim)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(
    benchmark::kMillisecond);

}  // namespace
}  // namespace velk::bench
