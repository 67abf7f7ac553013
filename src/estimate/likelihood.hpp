#pragma once
// The statistical core of an estimate: baseline type frequencies, genotype
// probabilities, the mixture log-likelihood and its score, the screening of
// impossible genotypes and the guaranteed percent of the maximum.
//
// Arrays are the caller's; nothing here keeps state between calls, and Hood,
// Genes and Genexp allocate nothing. P(i, g) is the probability of genotype g in
// population i (population fastest); the genotypes are stored class by class.
#include <cstdint>

#include "core/array.hpp"
#include "estimate/groups.hpp"

namespace velk {

struct Run;

// Mixture probabilities at or below this count as this in the log-likelihood
// (and a zero one as this in the score).
inline constexpr double kProbFloor = 1.0e-99;

// Frequency table freq (largest number of types x characters) of population
// `pop` from `counts` (type, character, population) and `totals` (character,
// population): the observed baseline or a resampled one. The model comes from
// run.opt (Rannala-Mountain wins over Pella-Masuda; neither: counts / total).
// With `draw` nonzero the model frequencies are a Dirichlet draw instead of the
// posterior mean. nmissing receives the number of characters without baseline
// data under the plain model (they get uniform frequencies).
void Relfrq(Run& run, const Arr3<std::int16_t>& counts, const Mat<std::int32_t>& totals, int pop,
            Mat<double>& freq, int& nmissing, int draw);

// Probability of one genotype in the population whose frequency table is freq
// (types x characters). `copies` points at the genotype's copy counts, type
// fastest, with freq.Rows() types per character. Characters not scored (no
// copies) contribute nothing. Returns 0.0 with the run stopped when a factorial
// is out of range.
double Gprob(Run& run, const std::int8_t* copies, const Mat<double>& freq);

// x^m for m >= 1 by repeated squaring, the way integer powers are evaluated in
// Gprob (x^2 = x*x, x^3 = x*(x*x), x^4 = (x*x)*(x*x)).
inline double Ipow(double x, int m) {
  unsigned n = static_cast<unsigned>(m);
  double y = (n % 2 != 0) ? x : 1.0;
  while ((n >>= 1) != 0) {
    x = x * x;
    if (n % 2 != 0) y = y * x;
  }
  return y;
}

// pp(i) times f(i)^e for the np populations: a first or second power is
// multiplied out, a higher one taken by Ipow.
inline void MultiplyPower(int np, double* pp, const double* f, int e) {
  if (e == 1) {
    for (int i = 0; i < np; ++i) pp[i] = pp[i] * f[i];
  } else if (e == 2) {
    for (int i = 0; i < np; ++i) pp[i] = pp[i] * (f[i] * f[i]);
  } else {
    for (int i = 0; i < np; ++i) pp[i] = pp[i] * Ipow(f[i], e);
  }
}

// The multinomial term n! prod f(k)^x(k) / prod x(k)! of one scored character
// of n copies in one population (0 when a factorial stops the run).
double MultinomialTerm(Run& run, const std::int8_t* x, int t, int n, const double* f);

// Mixture log-likelihood: the sum over genotypes flagged exactly 1 of
// count(g) * ln(q(g)), q(g) = sum_i theta_i P(i, g), with 1.0e-99 in place of a
// q(g) of 0 (the floor the score divisions use too).
double Hood(int np, int ngenotypes, const Mat<double>& P, const Vec<double>& theta,
            const Vec<std::int32_t>& possible, const Vec<std::int32_t>& count);

// Marks a genotype impossible (possible = 0, any_impossible = 1) when bound is
// strictly above its largest probability over the populations, possible
// otherwise; then Genes.
void Setfrq(int np, int nclasses, const Mat<double>& P, const Vec<std::int32_t>& class_genotypes,
            const Vec<std::int32_t>& class_individuals, Mat<double>& S, Vec<std::int32_t>& possible,
            int& any_impossible, Vec<std::int32_t>& possible_individuals,
            const Vec<std::int32_t>& count, double bound);

// Per class k: S(., k) = sum of P(., g) over its possible genotypes, and
// possible_individuals(k) = its individuals less those of its impossible genotypes.
void Genes(int np, int nclasses, const Mat<double>& P, const Vec<std::int32_t>& class_genotypes,
           const Vec<std::int32_t>& class_individuals, Mat<double>& S,
           const Vec<std::int32_t>& possible, Vec<std::int32_t>& possible_individuals,
           const Vec<std::int32_t>& count);

// Mixture probability q[g - 1] of every genotype, expected mass u[k - 1] of each
// class outside its possible genotypes (0.0 for a class without possible
// individuals), and the score (derivative of Hood by theta_i). q and u are
// usually the two parts of one work vector (genotypes, then classes).
void Genexp(int np, int nclasses, const Vec<double>& theta, const Vec<std::int32_t>& count,
            double* q, double* u, const Mat<double>& P, const Mat<double>& S,
            const Vec<std::int32_t>& class_genotypes, const Vec<std::int32_t>& possible,
            const Vec<std::int32_t>& possible_individuals, Vec<double>& score);

// Guaranteed percent of the maximum likelihood for theta, from its score, into
// conv.pctmax; per group the member with the largest score (best) and that score.
// nposs is the possible sample size.
void Pctmax(int np, int nposs, const Groups& groups, const Vec<double>& theta,
            const Vec<double>& score, Convergence& conv, Vec<int>& best, Vec<double>& best_score);

}  // namespace velk
