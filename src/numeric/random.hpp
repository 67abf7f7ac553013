#pragma once
// The two pseudo-random generators of the process and the draws built on them.
//
// - The lagged subtract-with-borrow generator (ZBQLINI, ZBQLU01) feeds only the
//   gamma generator ZBQLGAM, which the Dirichlet draw of baseline frequencies uses.
//   It is seeded once per process from the second seed.
// - The shuffled linear congruential generator Dran2 feeds every draw of
//   populations, types, genotypes and counts (Dmtnom, Mtnom1). Its running state
//   is the caller's seed variable, restarted whenever that variable is negative.
//
// Both work in fixed 32-bit integer arithmetic, so that a pair of seeds repeats a
// run bit for bit. Their state lives in the Process; the routines take it by
// reference.
#include <cstdint>

#include "core/array.hpp"
#include "core/random_state.hpp"

namespace velk {

struct Process;

// Seeds the lagged generator with |seed|; only the first call of a process takes
// effect, the second prints a warning and later ones do nothing.
void ZBQLINI(Process& process, int seed);

// Next uniform of the lagged generator, in [0, 1) (0.0 is possible, 1.0 is not).
double ZBQLU01(Process& process);

// Gamma variate with density proportional to x^(g-1) exp(-h x): shape g, rate h.
// Illegal parameters print an error and give 0.0.
double ZBQLGAM(Process& process, double g, double h);

// Next uniform of the shuffled generator, in [0, 1). idum is the caller's seed
// variable: a negative value (or the first call of the process) restarts the
// generator from it; it is rewritten on every call.
double Dran2(Process& process, std::int32_t& idum);

// Multinomial draw of n trials over categories 1..k with probabilities p(1..k),
// used as given (not normalised): counts(1..k) are cleared and receive the draw.
void Dmtnom(Process& process, int n, int k, const Vec<double>& p, Vec<std::int32_t>& counts,
            std::int32_t& idum);

// One category j in 1..k drawn with probabilities p(1..k).
void Mtnom1(Process& process, int k, const Vec<double>& p, int& j, std::int32_t& idum);

}  // namespace velk
