#pragma once
// Working storage of the maximisation steps. The maximisation driver owns one
// StepWork per maximisation, sizes it once on entry (and the conjugate-gradient
// and IRLS parts when it enters those modes) and hands it to every step, so
// that no step allocates anything.
#include <cstdint>

#include "core/array.hpp"

namespace velk {

struct StepWork {
  // Per genotype: its largest probability over the populations. The floors on a
  // genotype's mixture probability in the line searches are taken relative to
  // it, so that a step does not depend on how many characters were scored.
  // Fill with Colmax whenever the genotype matrix changes.
  Vec<double> colmax;

  // Scratch of np doubles each (gradient, scaled directions, regressors).
  Vec<double> w1;
  Vec<double> w2;

  // Conjugate gradient: the direction d, the previous squared gradient norm (0
  // or below marks a restart) and the restart counter.
  Vec<double> d;
  double prev_norm = -1.0;
  int restart = 0;

  // IRLS: tableau (np x 3np: proportions, multipliers, artificials), right
  // side, cost vector, basis list, solution, active set, a second list of tied
  // rows, the entering column's copy for the pivot, and the step's direction.
  Mat<double> tableau;
  Vec<double> rhs;
  Vec<double> cost;
  Vec<std::int32_t> basis;
  Vec<double> solution;
  Vec<std::int32_t> active;
  Vec<std::int32_t> ties;
  Vec<double> pivot;
  Vec<double> dir;
};

// Sizes the parts every mode uses: colmax (ngenotypes) and the scratch (np).
// Allocation failure throws std::bad_alloc, which the driver turns into its
// out-of-memory message.
void StepWorkInit(StepWork& work, int np, int ngenotypes);

// Largest probability of every genotype over the populations, into colmax.
void Colmax(int np, int ngenotypes, const Mat<double>& P, Vec<double>& colmax);

// The conjugate-gradient direction (zeroed) and its state; freed on leaving the mode.
void CgAlloc(StepWork& work, int np);
void CgFree(StepWork& work);

// The IRLS arrays, allocated once on entering IRLS mode; every population active.
void IrlsAlloc(StepWork& work, int np);

}  // namespace velk
