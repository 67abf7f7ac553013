#pragma once
// The Bayesian estimate: a Gibbs sampler of the mixture proportions given the
// baseline (the genotype probabilities of the estimate), run as several
// chains from dispersed starts, and the posterior summaries of every
// population and region.
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "estimate/ijack.hpp"

namespace velk {

struct Run;

// The sampler's settings ("Number of sweeps", "Burn-in sweeps", "Thinning
// interval", "Number of chains", "Prior by region").
struct GibbsSettings {
  int sweeps = 2000;
  int burn_in = 100;
  int thinning = 1;
  int chains = 4;
  bool prior_by_region = false;
};

// What one maximisation left for the sampler: the genotype probabilities
// (populations x genotypes, any scale per column), which genotypes are
// possible, and how many individuals carry each.
struct GibbsData {
  const Mat<double>& P;
  const Vec<std::int32_t>& possible;
  const Vec<std::int32_t>& count;
  int ngenotypes = 0;
  // Sum each genotype's membership probabilities over the kept sweeps (for
  // the individuals table).
  bool membership = false;
};

// The kept draws of every chain: draws[chain][k * np + (i - 1)] is the share of
// population i in the chain's k-th kept sweep.
struct GibbsChains {
  int np = 0;
  int kept = 0;  // kept sweeps per chain
  std::vector<std::uint64_t> seeds;
  std::vector<std::vector<double>> draws;
  // With GibbsData::membership, per chain: membership[chain][(g - 1) * np + (i -
  // 1)] is the sum over its kept sweeps of theta_i P(i, g) / q_g at the shares
  // the sweep drew genotype g's individuals from.
  std::vector<std::vector<double>> membership;
};

// Every genotype's posterior membership averaged over the kept sweeps of all
// chains (populations x genotypes); empty without GibbsData::membership.
Mat<double> AveragedMembership(const GibbsChains& chains, int ngenotypes);

// The Dirichlet prior of the proportions: 1/np for every population, or split
// evenly over the first-level regions and then over each region's populations
// (a population in no first-level region shares the remainder evenly).
std::vector<double> GibbsPrior(const Run& run, bool by_region);

// The seed of chain k (0-based), derived from the run's seed.
std::uint64_t ChainSeed(const Run& run, int k);

// Runs the chains (on up to `threads` threads; the draws do not depend on
// it). Each sweep draws every possible genotype's individuals into populations
// with probabilities proportional to theta_i P(i, g), then theta from the
// Dirichlet of the prior plus those counts.
GibbsChains RunGibbs(const Run& run, const GibbsData& data, const GibbsSettings& s, int threads);

// The summary of one unit (a population or a region) over all chains.
struct PosteriorSummary {
  double mean = 0.0, sd = 0.0, median = 0.0, lo = 0.0, hi = 0.0;
  double below = 0.0;  // share of the draws below kAbsentShare
  double rhat = 0.0;   // NaN with one chain
  double ess = 0.0;    // effective sample size over the chains
};

// A share below this counts as absent.
inline constexpr double kAbsentShare = 0.001;

// Summaries of units 1..np (populations) then of the regions, at confidence
// level `confidence` (percent): the equal-tailed credible interval.
std::vector<PosteriorSummary> SummariseGibbs(const GibbsChains& chains,
                                             const RegionMembers& regions, int confidence);

// The Bayesian estimate of an estimation: runs the sampler on P, writes the
// section of the estimates report, NAME.bayes.csv and, with "Print bootstrap
// estimates", NAME.traces.csv. False when the run stopped (message 3053 for
// settings the sampler cannot take). `membership`, when given (with
// GibbsData::membership), gets AveragedMembership.
[[nodiscard]] bool BayesianEstimate(Run& run, const GibbsData& data,
                                    Mat<double>* membership = nullptr);

}  // namespace velk
