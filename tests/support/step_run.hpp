#pragma once
// The maximisation-step state over a test mixture (no baseline update):
// Refresh recomputes what the driver does after every step.
#include <cstdint>

#include "estimate/likelihood.hpp"
#include "estimate/optim_data.hpp"
#include "estimate/stepwork.hpp"
#include "model/groups.hpp"
#include "support/mixture.hpp"
#include "support/run_fixture.hpp"

namespace velk::test {

// The maximisation-step tests take the common run fixture.
using StepRun = RunFixture;

// Holds everything the steps' bundles point to; not copyable, as they point
// into it.
struct StepState {
  StepState(const Mixture& mixture, Groups g) : m(mixture), groups(std::move(g)) {
    StepWorkInit(work, m.np, m.ngenotypes);
    Colmax(m.np, m.ngenotypes, m.P, work.colmax);
    Genes(data, at);
  }
  StepState(const StepState&) = delete;
  StepState& operator=(const StepState&) = delete;

  // L, q, u, score and percent of maximum for theta.
  void Refresh() {
    L = Hood(m.np, m.ngenotypes, m.P, m.lscale, theta, m.possible, m.count);
    Genexp(data, at);
    int n = 0;
    for (int g = 1; g <= m.ngenotypes; ++g) n += m.possible(g) * m.count(g);
    Pctmax(n, groups, at, best, best_score);
  }

  Mixture m;
  Groups groups;
  Vec<double> theta = Vec<double>(m.np), trial = Vec<double>(m.np);
  Mat<double> S = Mat<double>(m.np, 1);
  Vec<std::int32_t> nposs = Vec<std::int32_t>(1);
  Vec<double> qu = Vec<double>(m.ngenotypes + 1), score = Vec<double>(m.np);
  Vec<int> best = Vec<int>(groups.k);
  Vec<double> best_score = Vec<double>(groups.k);
  Convergence conv;
  StepWork work;
  double L = 0.0;
  // No baseline update: empty baseline arrays.
  Arr3<std::int8_t> copies;
  Mat<std::int32_t> base_totals;
  Arr3<std::int16_t> base_counts;
  Vec<double> missing_totals;
  Mat<double> missing_freqs;

  OptimData data{.P = m.P,
                 .lscale = m.lscale,
                 .count = m.count,
                 .class_genotypes = m.class_genotypes,
                 .class_individuals = m.class_individuals,
                 .nclasses = 1,
                 .copies = copies,
                 .base_totals = base_totals,
                 .base_counts = base_counts,
                 .nmissing = 0,
                 .missing_totals = missing_totals,
                 .missing_freqs = missing_freqs};
  IterateState at{.theta = theta,
                  .newtheta = trial,
                  .L = L,
                  .possible = m.possible,
                  .S = S,
                  .possible_individuals = nposs,
                  .q = qu.Data(),
                  .u = qu.Data() + m.ngenotypes,
                  .score = score,
                  .conv = conv};
};

}  // namespace velk::test
