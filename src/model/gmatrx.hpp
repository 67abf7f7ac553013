#pragma once
// The genotype probability matrix: P(i, g), the probability of mixture genotype
// g in baseline population i, population fastest.
#include <cstdint>

#include "core/array.hpp"

namespace velk {

struct Run;

// Every population's frequency table laid out population fastest, so that one
// genotype's probabilities in all populations come from contiguous runs, and the
// scratch space for computing them.
struct PopulationFrequencies {
  Arr3<double> f;  // (population, type, character): Relfrq of each population
  Vec<double> p;   // per population: scratch product
  Vec<int> types;  // per type: scratch list of scored types
  Vec<int> nums;   // per type: their copy counts
};

// Fills `tables` with Relfrq of populations 1..np in order (a Dirichlet draw each
// when `draw` is nonzero) from `counts` (type, character, population) and
// `totals` (character, population). nmissing receives the number of (population,
// character) pairs without baseline data. Allocation failure: message 3000.
void Popfrq(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals, int draw,
            PopulationFrequencies& tables, int& nmissing);

// col[0..np-1] = the probability of one genotype (copy counts at `copies`, type
// fastest, run.par.max_types per character) in every population: for each
// population exactly Gprob under its table. Stops with the run when a factorial
// is out of range.
void Gpcol(Run& run, PopulationFrequencies& tables, const std::int8_t* copies, double* col);

// Fills P(1..np, 1..ngenotypes) from the baseline `counts` and `totals` and the
// genotypes' `copies` (type, character, genotype), with the frequency model of
// run.opt; each population's frequencies are a Dirichlet draw when `draw` is
// nonzero. P is resized to np x ngenotypes unless it already has np rows and room
// for the genotypes. nmissing receives the number of (population, character)
// pairs without baseline data. Allocation failure: message 3000.
void Gmatrx(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals,
            const Arr3<std::int8_t>& copies, int ngenotypes, Mat<double>& P, int& nmissing,
            int draw = 0);

// The same for the run's own baseline and mixture (run.input).
void Gmatrx(Run& run, Mat<double>& P, int& nmissing);

}  // namespace velk
