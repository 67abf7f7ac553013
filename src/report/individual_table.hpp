#pragma once
// Per-individual assignments: for every mixture individual in file order its
// most likely population and region of each level with their posterior
// probabilities, and how well its genotype fits that population
// (.individuals.csv; a last column "known" when the mixture names known
// populations, a known fish's fit computed from its own genotype); and the
// posterior of every population it may come from (.posteriors.csv, long form).
#include <cstdint>
#include <map>
#include <utility>

#include "core/array.hpp"
#include "core/run.hpp"

namespace velk {

// Posteriors below this are left out of the posteriors table.
inline constexpr double kSmallestPosterior = 1e-6;

// The individual's log-likelihood in one population at its scored
// characters, and the mean and variance of that log-likelihood over the
// genotypes the population's frequencies give at those characters.
struct GenotypeFit {
  double log_likelihood = 0.0;
  double mean = 0.0;
  double variance = 0.0;
};

// The moments of log p at one character: E log p and E (log p)^2; kept per
// population by (character, copies).
struct Moments {
  double mean = 0.0;
  double second = 0.0;
};
using FitCache = std::map<std::pair<int, int>, Moments>;

// `freq` the population's frequency table (type, character); `copies` the
// genotype's copy counts, run.par.max_types per character. Characters without
// copies are not scored. Natural logarithms. `cache`, when given, keeps the
// moments of the population's characters from one call to the next. `mass`,
// under the predictive genotype model, holds per character the Dirichlet total
// of the population's frequencies (nullptr: the multinomial model).
GenotypeFit FitGenotype(const Run& run, const Mat<double>& freq, const std::int8_t* copies,
                        FitCache* cache = nullptr, const double* mass = nullptr);

// Writes both tables from the estimate `theta`, the genotype probabilities P
// (population x genotype, columns in any scale) and the run's mixture records.
// `bayes`, when given, is every genotype's posterior membership averaged over
// the sampler's kept sweeps (population x genotype): the individuals table
// gains its most likely population and posterior, the posteriors table a
// column "bayes_posterior" (a row where either posterior is at least
// kSmallestPosterior).
void WriteIndividualTables(Run& run, const Mat<double>& P, const Vec<double>& theta,
                           const Mat<double>* bayes = nullptr);

}  // namespace velk
