#pragma once
// Leave-one-out self-assignment of the reference individuals: every
// individual's posterior population probabilities under the run's frequency
// model, its own gene copies taken out of its population's counts and total
// (exactly: the frequencies of that population are made again from the counts
// without it), with equal prior proportions for all populations.
//
// Characters without data in a population have the frequencies the model gives
// them (1/t under the plain model, the prior under the others); under the
// Pella-Masuda model the prior and its weights are those of the whole baseline.
// An individual whose genotype has probability 0 in every population is not
// assigned. The work is linear in individuals x populations x scored types.
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "data/reference.hpp"

namespace velk {

struct Run;

struct SelfAssignment {
  Mat<double> posterior;  // (population, individual); NaN when not assigned
  Vec<int> assigned;      // per individual: most probable population (0 none)
  Vec<int> region;        // per individual: first-level region of largest posterior sum (0 none)
  Vec<double> region_posterior;
  Vec<double> log_likelihood;  // per individual: ln P(genotype) in its assigned population
  Vec<double> z;               // its z-score (NaN when it cannot be formed)
  Vec<int> region_of;          // per population: its region of the first level (0 none)
  int nregions1 = 0;
};

// Out of memory: message 3000.
void SelfAssign(Run& run, const ReferenceFish& fish, SelfAssignment& out);

// The mean and variance of ln P(G) over the genotypes G of `n` copies of one
// character (types t, ploidy) drawn from frequencies f: the moments the
// z-score compares an individual's log-likelihood with.
void LogMoments(const double* f, int t, int ploidy, int n, double& mean, double& var);

// ln P of one individual's copies (type fastest, run.par.max_types per
// character) in population j, from j's `counts` (type, character, population)
// and `totals` (character, population) with those copies taken out, by the
// run's model: the term of its own population in the leave-one-out.
// Unscored characters add nothing; `left` is scratch of run.par.max_types
// values.
double OwnLogLikelihood(const Run& run, const Arr3<std::int16_t>& counts,
                        const Mat<std::int32_t>& totals, const std::int8_t* copies, int j,
                        double* left);

}  // namespace velk
