#pragma once
// Genotype probabilities from per-character factors. A character contributes
// the same factor to every genotype that carries the same copies of its types,
// so each distinct copy pattern of a character is numbered once, its factor is
// computed once per population, and a genotype's probability is the product of
// its characters' factors in character order (the same operations, in the same
// order, as Gpcol and Gprob perform on each genotype).
#include <cstdint>
#include <vector>

#include "core/array.hpp"

namespace velk {

struct Run;
struct PopulationFrequencies;

struct GenotypePatterns {
  int nc = 0;
  int ngenotypes = 0;
  std::vector<int> index;    // (character, genotype), character fastest: pattern or -1 (unscored)
  std::vector<int> pchar;    // per pattern: its character
  std::vector<int> pgeno;    // per pattern: the first genotype that carries it
  std::vector<double> work;  // per pattern (times populations): its factors
};

// Numbers the copy patterns of every character over genotypes 1..ngenotypes.
void Gpatrn(Run& run, const Arr3<std::int8_t>& copies, int ngenotypes, GenotypePatterns& pats);

// Column g of P and its log-scale for genotypes 1..ngenotypes from the
// population tables, equal bit for bit to Gpcol on each genotype whose column is
// kept unscaled (see gmatrx.hpp). Stops when Dfact stops the run.
void Gfcols(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
            PopulationFrequencies& tables, Mat<double>& P, Vec<double>& lscale,
            std::vector<double>& factors);

// Row i of P from one population's table `freq` (type, character), equal bit
// for bit to Gprob on each genotype whose column is unscaled (lscale(g) = 0);
// in a scaled column the probability divided by exp(lscale(g)). Stops when
// Dfact stops the run.
void Gfrow(Run& run, const GenotypePatterns& pats, const Arr3<std::int8_t>& copies,
           const Mat<double>& freq, int i, Mat<double>& P, const Vec<double>& lscale,
           std::vector<double>& factors);

}  // namespace velk
