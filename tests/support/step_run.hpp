#pragma once
// The maximisation-step state; Refresh recomputes what the driver does after
// every step.
#include <cstdint>

#include "model/groups.hpp"
#include "estimate/likelihood.hpp"
#include "estimate/stepwork.hpp"
#include "support/mixture.hpp"
#include "support/run_fixture.hpp"

namespace velk::test {

// The maximisation-step tests take the common run fixture.
using StepRun = RunFixture;

struct StepState {
  StepState(const Mixture& mixture, Groups g) : m(mixture), groups(std::move(g)) {
    StepWorkInit(work, m.np, m.ngenotypes);
    Colmax(m.np, m.ngenotypes, m.P, work.colmax);
    Genes(m.np, 1, m.P, m.lscale, m.class_genotypes, m.class_individuals, S, m.possible, nposs,
          m.count);
  }
  // L, q, u, score and percent of maximum for theta.
  void Refresh(const Vec<double>& theta) {
    L = Hood(m.np, m.ngenotypes, m.P, m.lscale, theta, m.possible, m.count);
    Genexp(m.np, 1, theta, m.count, q(), u(), m.P, S, m.class_genotypes, m.possible, nposs, score);
    int n = 0;
    for (int g = 1; g <= m.ngenotypes; ++g) n += m.possible(g) * m.count(g);
    Pctmax(m.np, n, groups, theta, score, conv, best, best_score);
  }
  double* q() { return qu.Data(); }
  double* u() { return qu.Ptr(m.ngenotypes + 1); }

  Mixture m;
  Groups groups;
  Mat<double> S = Mat<double>(m.np, 1);
  Vec<std::int32_t> nposs = Vec<std::int32_t>(1);
  Vec<double> qu = Vec<double>(m.ngenotypes + 1), score = Vec<double>(m.np);
  Vec<int> best = Vec<int>(groups.k);
  Vec<double> best_score = Vec<double>(groups.k), trial = Vec<double>(m.np);
  Convergence conv;
  StepWork work;
  double L = 0.0;
};

}  // namespace velk::test
