#pragma once
// Small random mixtures for the estimation tests, and an independent plain EM
// that finds their maximum-likelihood proportions.
#include <cmath>
#include <cstdint>

#include "core/array.hpp"

namespace velk::test {

// A reproducible uniform generator on (0, 1) (64-bit linear congruential).
class Uniform {
 public:
  explicit Uniform(std::uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}
  double Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return (static_cast<double>(state_ >> 11) + 0.5) / 9007199254740992.0;
  }

 private:
  std::uint64_t state_;
};

// np populations, ngenotypes distinct genotypes in one class, every genotype
// possible; P(i, g) uniform in (0, scale) and counts 1 to 6.
struct Mixture {
  int np = 0;
  int ngenotypes = 0;
  Mat<double> P;
  Vec<std::int32_t> count;
  Vec<std::int32_t> possible;
  Vec<std::int32_t> class_genotypes;
  Vec<std::int32_t> class_individuals;
  int n = 0;  // individuals
};

inline Mixture RandomMixture(int np, int ngenotypes, std::uint64_t seed, double scale = 1.0) {
  Uniform u(seed);
  Mixture m;
  m.np = np;
  m.ngenotypes = ngenotypes;
  m.P = Mat<double>(np, ngenotypes);
  m.count = Vec<std::int32_t>(ngenotypes);
  m.possible = Vec<std::int32_t>(ngenotypes, 1);
  for (int g = 1; g <= ngenotypes; ++g) {
    for (int i = 1; i <= np; ++i) m.P(i, g) = scale * u.Next();
    m.count(g) = 1 + static_cast<int>(6.0 * u.Next());
    m.n += m.count(g);
  }
  m.class_genotypes = Vec<std::int32_t>(1, ngenotypes);
  m.class_individuals = Vec<std::int32_t>(1, m.n);
  return m;
}

// Plain EM from equal proportions until no proportion moves by more than 1e-15
// (or 10^6 passes): theta_i <- theta_i * sum_g count(g) P(i, g) / q(g) / N.
inline Vec<double> PlainEm(const Mixture& m) {
  Vec<double> theta(m.np, 1.0 / m.np);
  Vec<double> next(m.np);
  for (int pass = 0; pass < 1000000; ++pass) {
    for (int i = 1; i <= m.np; ++i) next(i) = 0.0;
    for (int g = 1; g <= m.ngenotypes; ++g) {
      if (m.possible(g) != 1) continue;
      double q = 0.0;
      for (int i = 1; i <= m.np; ++i) q += theta(i) * m.P(i, g);
      for (int i = 1; i <= m.np; ++i) next(i) += m.count(g) * theta(i) * m.P(i, g) / q;
    }
    double n = 0.0;
    for (int g = 1; g <= m.ngenotypes; ++g) n += m.possible(g) == 1 ? m.count(g) : 0;
    double change = 0.0;
    for (int i = 1; i <= m.np; ++i) {
      next(i) /= n;
      change = std::fmax(change, std::fabs(next(i) - theta(i)));
      theta(i) = next(i);
    }
    if (change <= 1.0e-15) break;
  }
  return theta;
}

}  // namespace velk::test
