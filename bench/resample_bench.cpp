// The resampling draws: the shuffled generator Dran2, the multinomial Dmtnom,
// the gamma generator ZBQLGAM, the baseline bootstrap Basim and the mixture
// bootstrap Distrb (its redraw and the genotype probabilities of the resample).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "resample/draws.hpp"
#include "numeric/random.hpp"
#include "dataset.hpp"

namespace velk::bench {
namespace {

// A process whose generators print nothing.
struct QuietProcess {
  QuietProcess() {
    process.random.console = &null_stream;
    ZBQLINI(process, 4242);
  }
  NullBuffer null_buffer;
  std::ostream null_stream{&null_buffer};
  Process process;
};

void BM_Dran2(benchmark::State& state) {
  QuietProcess p;
  std::int32_t seed = -12345;
  for (auto _ : state) benchmark::DoNotOptimize(Dran2(p.process, seed));
}
BENCHMARK(BM_Dran2);

// Dmtnom with n trials over k equally likely categories: (900, 2) is one locus
// of a SNP baseline population, (2256, 2256) the mixture bootstrap of the
// chinook data.
void BM_Dmtnom(benchmark::State& state) {
  QuietProcess p;
  const int n = static_cast<int>(state.range(0));
  const int k = static_cast<int>(state.range(1));
  Vec<double> prob(k, 1.0 / k);
  Vec<std::int32_t> counts(k);
  std::int32_t seed = -12345;
  for (auto _ : state) {
    Dmtnom(p.process, n, k, prob, counts, seed);
    benchmark::DoNotOptimize(counts.Data());
  }
}
BENCHMARK(BM_Dmtnom)->Args({900, 2})->Args({400, 8})->Args({2256, 2256})->Args({5000, 5000});

// ZBQLGAM with shape range(0) / 10 and rate 1: below one, moderate, and the
// size of a Rannala-Mountain posterior count of a SNP baseline.
void BM_ZBQLGAM(benchmark::State& state) {
  QuietProcess p;
  const double g = static_cast<double>(state.range(0)) / 10.0;
  for (auto _ : state) benchmark::DoNotOptimize(ZBQLGAM(p.process, g, 1.0));
}
BENCHMARK(BM_ZBQLGAM)->Arg(5)->Arg(50)->Arg(4500);

void Label(benchmark::State& state, const Dataset& d) {
  state.SetLabel(d.shape.name);
}

// Basim: one baseline bootstrap of every population and locus.
void BM_Basim(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  Run& run = d.run;
  DrawWork work;
  AllocateDraws(run, work);
  Arr3<std::int16_t> working = run.input.base_counts;
  std::int32_t seed = -12345;
  for (auto _ : state) {
    Basim(run, run.input.base_counts, working, seed, work);
    benchmark::DoNotOptimize(working.Data());
  }
  Label(state, d);
}
BENCHMARK(BM_Basim)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Distrb: one mixture bootstrap and the probabilities of its genotypes, with
// posterior-mean (second argument 0) or Dirichlet-drawn (1) frequencies.
void BM_Distrb(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  Run& run = d.run;
  DrawWork work;
  AllocateDraws(run, work);
  const Frequencies draw =
      state.range(1) != 0 ? Frequencies::kDirichlet : Frequencies::kBaseline;
  std::int32_t seed = -12345;
  for (auto _ : state) {
    Distrb(run, draw, seed, work);
    benchmark::DoNotOptimize(work.P.Data());
  }
  state.counters["genotypes"] = work.mix.ngenotypes;
  Label(state, d);
}
BENCHMARK(BM_Distrb)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(
    benchmark::kMillisecond);

}  // namespace
}  // namespace velk::bench
