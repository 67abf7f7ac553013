// The genotype probabilities and the likelihood: Gprob for one genotype in one
// population, Gpcol for one genotype in every population, the whole matrix
// (Gmatrx, with posterior-mean and with Dirichlet-drawn frequencies), Hood and
// Genexp. The argument is the data set (dataset.hpp: 0 the chinook size, 1 the
// larger multi-allelic one).
#include <benchmark/benchmark.h>

#include "model/gmatrx.hpp"
#include "estimate/likelihood.hpp"
#include "model/gprob.hpp"
#include "dataset.hpp"

namespace velk::bench {
namespace {

void Label(benchmark::State& state, const Dataset& d) {
  state.SetLabel(d.shape.name);
}

// Gprob: one genotype in one population's frequency table, genotypes in turn.
void BM_Gprob(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  Run& run = d.run;
  Mat<double> freq(run.par.max_types, run.par.nchar);
  int nmissing = 0;
  Relfrq(run, run.input.base_counts, run.input.base_totals, 1, freq, nmissing, 0);
  const int n = d.ngen();
  int g = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Gprob(run, run.input.copies.Ptr(1, 1, g), freq));
    g = g == n ? 1 : g + 1;
  }
  state.counters["loci"] = run.par.nchar;
  Label(state, d);
}
BENCHMARK(BM_Gprob)->Arg(0)->Arg(1);

// Gpcol: one genotype in every population.
void BM_Gpcol(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  Run& run = d.run;
  PopulationFrequencies tables;
  int nmissing = 0;
  Popfrq(run, run.input.base_counts, run.input.base_totals, 0, tables, nmissing);
  Vec<double> col(d.np());
  const int n = d.ngen();
  int g = 1;
  for (auto _ : state) {
    double lscale = 0.0;
    Gpcol(run, tables, run.input.copies.Ptr(1, 1, g), col.Data(), lscale);
    benchmark::DoNotOptimize(col.Data());
    g = g == n ? 1 : g + 1;
  }
  state.counters["populations"] = d.np();
  Label(state, d);
}
BENCHMARK(BM_Gpcol)->Arg(0)->Arg(1);

// Gmatrx: the whole matrix P; second argument 1 draws every population's
// frequencies from its Dirichlet posterior (the bootstrap's baseline draw).
void BM_Gmatrx(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  Run& run = d.run;
  const int draw = static_cast<int>(state.range(1));
  Mat<double> P(d.np(), d.ngen());
  Vec<double> lscale;
  int nmissing = 0;
  for (auto _ : state) {
    Gmatrx(run, run.input.base_counts, run.input.base_totals, run.input.copies, d.ngen(), P, lscale,
           nmissing, draw);
    benchmark::DoNotOptimize(P.Data());
  }
  state.counters["cells"] = benchmark::Counter(static_cast<double>(d.np()) * d.ngen(),
                                               benchmark::Counter::kIsIterationInvariantRate);
  Label(state, d);
}
BENCHMARK(BM_Gmatrx)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(
    benchmark::kMillisecond);

// Hood: the mixture log-likelihood at the start (equal proportions).
void BM_Hood(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Hood(d.np(), d.ngen(), d.P, d.lscale, d.theta, d.possible, d.run.input.geno_count));
  }
  Label(state, d);
}
BENCHMARK(BM_Hood)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Genexp: mixture probabilities, class masses and the score.
void BM_Genexp(benchmark::State& state) {
  Dataset& d = Data(static_cast<int>(state.range(0)));
  const Input& in = d.run.input;
  for (auto _ : state) {
    Genexp(d.np(), in.nclasses, d.theta, in.geno_count, d.q(), d.u(), d.P, d.S, in.class_genotypes,
           d.possible, d.possible_individuals, d.score);
    benchmark::DoNotOptimize(d.score.Data());
  }
  Label(state, d);
}
BENCHMARK(BM_Genexp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velk::bench
