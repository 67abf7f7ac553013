#pragma once
// Baseline type frequencies under the three models and the probability of one
// genotype in one population: the columns of P are built from these.
#include <cstddef>
#include <cstdint>

#include "core/array.hpp"
#include "core/run.hpp"

namespace velk {

// A genotype's copies of character c (a record holds max_types counts a
// character) into x; returns how many copies there are (0: not scored).
inline int CharacterCopies(const Run& run, const std::int8_t* copies, int c,
                           const std::int8_t*& x) {
  const int t = run.chars(c).ntypes;
  x = copies + static_cast<std::ptrdiff_t>(c - 1) * run.par.max_types;
  int n = 0;
  for (int k = 0; k < t; ++k) n += x[k];
  return n;
}

// The first of t types that shows (t when none): the one type of a character
// of ploidy 1.
inline int ShownType(const std::int8_t* x, int t) {
  int k = 0;
  while (k < t && x[k] <= 0) ++k;
  return k;
}

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

// The predictive model's probability of one scored character's n copies x over
// the multinomial term: with Dirichlet parameters a_k = mass f_k summing to
// mass, prod_k prod_{j<x_k} (a_k + j) / prod_{j<n} (mass + j) divided by
// prod_k (a_k / mass)^x_k. A heterozygote gets mass / (mass + 1), a
// homozygote (1 + 1 / a) / (1 + 1 / mass). f[k * stride] is type k's frequency.
double PredictiveFactor(const std::int8_t* x, int t, int n, const double* f, std::ptrdiff_t stride,
                        double mass);

// The multinomial term n! prod f(k)^x(k) / prod x(k)! of one scored character
// of n copies in one population (0 when a factorial stops the run).
double MultinomialTerm(Run& run, const std::int8_t* x, int t, int n, const double* f);

}  // namespace velk
