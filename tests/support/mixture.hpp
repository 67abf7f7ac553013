#pragma once
// Small random mixtures for the estimation tests.
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

// np populations, ngenotypes genotypes in one class, all possible; P(i, g)
// uniform in (0, scale) and counts 1 to 6.
struct Mixture {
  int np = 0;
  int ngenotypes = 0;
  Mat<double> P;
  Vec<double> lscale;  // per genotype: 0, every column unscaled
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
  m.lscale = Vec<double>(ngenotypes, 0.0);
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

}  // namespace velk::test
