#pragma once
// The mixture as the estimation saw it: the condensed mixture (.cmx) and the
// conditional genotype (.gen) and population (.pop) probabilities.
#include <cstdint>

#include "core/array.hpp"
#include "core/run.hpp"

namespace velk {

// The condensed mixture: genotypes stored class by class.
struct MixtureCounts {
  int nclasses;
  const Vec<std::int32_t>& class_genotypes;    // per class: distinct genotypes
  const Vec<std::int32_t>& class_individuals;  // per class: individuals
  const Vec<std::int32_t>& geno_count;         // per genotype: individuals
};

// Writes the condensed mixture report (.cmx, slot 8): every genotype of every
// class with its count and copy counts (type, character, genotype), impossible
// genotypes (possible = 0) marked. Character names and types come from the run.
void Prtmix(Run& run, const MixtureCounts& mix, const Arr3<std::int8_t>& copies,
            const Vec<std::int32_t>& possible);

// Writes, with `genotypes` set, the conditional genotype probabilities (.gen,
// slot 3) from P (population x genotype), with class totals and the count of
// individuals by most probable population; otherwise the conditional population
// probabilities (.pop, slot 2) from the posterior membership matrix in `p`.
void Prtgen(Run& run, const MixtureCounts& mix, const Mat<double>& p, bool genotypes);

}  // namespace velk
