#pragma once
// The genotype probability matrix: P(i, g), the probability of mixture genotype
// g in baseline population i, population fastest.
//
// A genotype scored at many characters has probabilities far below the range
// of a double. Its column is then kept scaled: P(., g) holds the probabilities
// divided by the largest of them, and lscale(g) the logarithm of that divisor,
// so that the probability is P(i, g) * exp(lscale(g)). A column whose largest
// probability is at least kScaleBound is kept as it is, with lscale(g) = 0, so
// that the arithmetic on ordinary data is untouched; a column of zeros is kept
// as zeros with lscale(g) = 0.
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
  Vec<double> lp;  // per population: scratch sum of logarithms
  Vec<int> types;  // per type: scratch list of scored types
  Vec<int> nums;   // per type: their copy counts
  // The predictive model only: (population, character) the Dirichlet total of
  // the frequencies (baseline copies plus the prior's one); empty otherwise.
  Mat<double> mass;
};

// Fills `tables` with Relfrq of populations 1..np in order (a Dirichlet draw each
// when `draw` is nonzero) from `counts` (type, character, population) and
// `totals` (character, population). nmissing receives the number of (population,
// character) pairs without baseline data. Allocation failure: message 3000.
void Popfrq(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals, int draw,
            PopulationFrequencies& tables, int& nmissing);

// Columns whose largest probability is below this are kept scaled.
inline constexpr double kScaleBound = 1.0e-100;

// col[0..np-1] = the probability of one genotype (copy counts at `copies`, type
// fastest, run.par.max_types per character) in every population: for each
// population exactly Gprob under its table, or, when the largest of them is below
// kScaleBound, the column scaled to a largest value of 1 with the logarithm of
// the scale in lscale (0 otherwise). Stops with the run when a factorial is out
// of range.
void Gpcol(Run& run, PopulationFrequencies& tables, const std::int8_t* copies, double* col,
           double& lscale);

// Scales a column from its logarithms lp[0..np-1] (minus infinity for a zero):
// col = exp(lp - lscale) with lscale the largest of them; a column of zeros
// stays zeros with lscale 0.
void ScaleColumn(int np, const double* lp, double* col, double& lscale);

// The true probabilities of genotypes 1..ngenotypes, P(i, g) * exp(lscale(g)),
// for a report (a probability below the range of a double becomes 0).
Mat<double> Unscaled(const Mat<double>& P, const Vec<double>& lscale, int ngenotypes);

// Fills P(1..np, 1..ngenotypes) from the baseline `counts` and `totals` and the
// genotypes' `copies` (type, character, genotype), with the frequency model of
// run.opt; each population's frequencies are a Dirichlet draw when `draw` is
// nonzero. P is resized to np x ngenotypes unless it already has np rows and room
// for the genotypes, lscale to at least ngenotypes. nmissing receives the number
// of (population, character) pairs without baseline data. Allocation failure:
// message 3000.
void Gmatrx(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals,
            const Arr3<std::int8_t>& copies, int ngenotypes, Mat<double>& P, Vec<double>& lscale,
            int& nmissing, int draw = 0);

// The same for the run's own baseline and mixture (run.input), with the
// columns of the genotypes that stand for fish of known origin (KnownColumns).
void Gmatrx(Run& run, Mat<double>& P, Vec<double>& lscale, int& nmissing);

// A fish of known origin enters the likelihood through its population's share
// alone: its column is the indicator of population `pop` (1 there, 0
// elsewhere, unscaled).
void KnownColumn(int np, int pop, double* col, double& lscale);

// Column g of P becomes KnownColumn when known(g) names a population (known,
// per genotype its known fish's population or 0, may be shorter than the
// genotypes: those after it are of unknown fish).
void KnownColumnOf(const Vec<std::int32_t>& known, int g, Mat<double>& P, Vec<double>& lscale);

// KnownColumnOf for genotypes 1..ngenotypes; row i only (the baseline update
// rebuilds one population's row) when `row` is given.
void KnownColumns(const Vec<std::int32_t>& known, int ngenotypes, Mat<double>& P,
                  Vec<double>& lscale, int row = 0);

}  // namespace velk
