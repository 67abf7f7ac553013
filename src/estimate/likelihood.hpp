#pragma once
// The statistical core of an estimate: the mixture log-likelihood and its
// score, the screening of impossible genotypes and the guaranteed percent of
// the maximum.
//
// Arrays are the caller's; nothing here keeps state between calls, and Hood,
// Genes and Genexp allocate nothing. P(i, g) * exp(lscale(g)) is the probability
// of genotype g in population i (population fastest; model/gmatrx.hpp); the
// genotypes are stored class by class. The score, the EM step and the line
// searches use only ratios within a column, which the scale does not change.
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "estimate/optim_data.hpp"

namespace velk {

struct Run;

// Mixture probabilities at or below this count as this in the log-likelihood
// (and a zero one as this in the score).
inline constexpr double kProbFloor = 1.0e-99;

// Mixture log-likelihood: the sum over genotypes flagged exactly 1 of
// count(g) * (ln(q(g)) + lscale(g)), q(g) = sum_i theta_i P(i, g), with 1.0e-99 in
// place of a q(g) of 0 (the floor the score divisions use too).
[[nodiscard]] double Hood(int np, int ngenotypes, const Mat<double>& P, const Vec<double>& lscale,
                          const Vec<double>& theta, const Vec<std::int32_t>& possible,
                          const Vec<std::int32_t>& count);

// Whether a genotype tolerance bound was set: an unset bound is NaN.
inline bool BoundSet(double bound) {
  return bound == bound;
}

// Marks a genotype impossible (at.possible = 0) when bound is strictly above its
// largest probability over the populations (compared through the logarithms),
// possible otherwise; an unset bound (NaN) marks impossible only a genotype
// whose probability is 0 in every population. Then Genes. True when some
// genotype was marked impossible.
[[nodiscard]] bool Setfrq(const OptimData& data, double bound, IterateState& at);

// Per class k: at.S(., k) = sum of the probabilities of its possible genotypes,
// and at.possible_individuals(k) = its individuals less those of its impossible
// genotypes.
void Genes(const OptimData& data, IterateState& at);

// Mixture probability at.q[g - 1] of every genotype, expected mass at.u[k - 1] of
// each class outside its possible genotypes (0.0 for a class without possible
// individuals), and at.score (derivative of Hood by theta_i), all for at.theta.
// q and u are usually the two parts of one work vector (genotypes, then classes).
void Genexp(const OptimData& data, IterateState& at);

// Guaranteed percent of the maximum likelihood for at.theta, from at.score, into
// at.conv.pctmax; per group the member with the largest score (best) and that
// score. nposs is the possible sample size.
void Pctmax(int nposs, const Groups& groups, IterateState& at, Vec<int>& best,
            Vec<double>& best_score);

// The bound on the log-likelihood still to gain over the proportions that the
// percent of maximum comes from, in its tight form: by concavity and Jensen,
// L* - L <= N ln(sum_k T_k max_{i in k} score_i / N) = N ln(1 + gap / N), where
// gap = -ln(pctmax / 100) is the linear bound the percent reports. 0 at the
// maximum; conservative for a baseline update (its frequencies held fixed).
[[nodiscard]] double GapToMaximum(double pctmax, int nposs);

}  // namespace velk
