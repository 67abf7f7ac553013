#pragma once
// The baseline update of the EM mode: the frequencies of the characters that a
// population lacks in the baseline, estimated from the mixture through the
// posterior membership of every genotype; and that posterior membership.
#include <cstdint>
#include <vector>

#include "core/array.hpp"
#include "model/gfactor.hpp"
#include "model/missing_baseline.hpp"
#include "estimate/optim_data.hpp"

namespace velk {

struct Run;

// Relative floor of the posterior membership: a genotype whose mixture
// probability does not exceed kPosteriorFloor times its largest probability
// over the populations keeps its unscaled products.
inline constexpr double kPosteriorFloor = 1.0e-50;

// W(i, g) = theta_i P(i, g) / sum_i' theta_i' P(i', g) for genotypes 1..ngenotypes.
// W may be P itself.
void Posterior(int np, int ngenotypes, const Mat<double>& P, const Vec<double>& theta,
               Mat<double>& W);

// What the baseline update keeps within one maximisation: the posterior
// membership, the frequency table of the population being rebuilt, and every
// population's table for the characters it has baseline data for (taken once,
// on the first update, so that a drawn baseline stays the same draw).
struct BaselineWork {
  Mat<double> W;       // np x genotypes
  Mat<double> freq;    // largest number of types x characters
  Arr3<double> known;  // (type, character, population): tables from the baseline data
  Vec<int> ready;      // per population: 1 once its table is in `known`
  // The genotypes' copy patterns, numbered on the first update (the copies
  // stay fixed from one BaselineWorkInit to the next), and their factors.
  GenotypePatterns patterns;
  bool indexed = false;
  std::vector<double> factors;
  // The missing-baseline entries the estimates are stored under.
  MissingBaseline missing;
};

// Sizes the work for np populations and the genotypes of `data`, and numbers
// the missing-baseline entries of its baseline totals (allocation failure
// throws std::bad_alloc).
void BaselineWorkInit(const Run& run, const OptimData& data, int np, BaselineWork& work);

// One baseline update at theta. For every population lacking baseline data,
// each character without data is a missing-baseline entry e (work.missing):
// its type frequencies become the expected gene copies of the population's
// share of the mixture, stored with their total in data.missing_freqs(., e) and
// data.missing_totals(e); the population's column of data.P is then rebuilt.
// Returns the largest change of an estimated frequency. `draw` asks for
// Dirichlet draws of the model frequencies of the characters with data (taken
// once per work).
[[nodiscard]] double Upgmat(Run& run, const OptimData& data, const Vec<double>& theta, bool draw,
                            BaselineWork& work);

}  // namespace velk
