#pragma once
// The genotype probability matrix: P(i, g), the probability of mixture genotype
// g in baseline population i, population fastest.
#include <cstdint>

#include "core/array.hpp"

namespace velk {

struct Run;

// Fills P(1..np, 1..ngenotypes) from the baseline `counts` (type, character,
// population) and `totals` (character, population) and the genotypes' `copies`
// (type, character, genotype), with the frequency model of run.opt; each
// population's frequencies are a Dirichlet draw when `draw` is nonzero. P is
// resized to np x ngenotypes unless it already has np rows and room for the
// genotypes. nmissing receives the number of (population, character) pairs
// without baseline data. Every P(i, g) equals Gprob of g under population i's
// Relfrq table. Allocation failure: message 3000.
void Gmatrx(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals,
            const Arr3<std::int8_t>& copies, int ngenotypes, Mat<double>& P, int& nmissing,
            int draw = 0);

// The same for the run's own baseline and mixture (run.input).
void Gmatrx(Run& run, Mat<double>& P, int& nmissing);

}  // namespace velk
