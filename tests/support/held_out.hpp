#pragma once
// A baseline of few reference individuals at many close SNPs, its files, and
// held-out hundred percent simulations computed apart from the engine: draw
// reference individuals of the unit, score each with its own copies taken out
// of its population's counts, and estimate by EM.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/mixture.hpp"

namespace velk::test {

struct SnpBaseline {
  int np = 0, nloci = 0;
  std::vector<int> pop;         // per individual: population 0..np-1
  std::vector<std::uint8_t> a;  // (individual, locus): copies of the first type, 0..2
  std::vector<int> counts;      // (population, locus): copies of the first type
  int Copies(int f, int l) const { return a[static_cast<std::size_t>(f) * nloci + l]; }
  int& Count(int i, int l) { return counts[static_cast<std::size_t>(i) * nloci + l]; }
};

// per_pop individuals of each of np populations at nloci SNPs whose
// frequencies differ between populations by at most `spread`.
inline SnpBaseline CloseSnps(int np, int per_pop, int nloci, double spread, std::uint64_t seed) {
  Uniform u(seed);
  SnpBaseline b{np, nloci, {}, {}, std::vector<int>(static_cast<std::size_t>(np) * nloci, 0)};
  std::vector<double> q(static_cast<std::size_t>(np) * nloci);
  for (int l = 0; l < nloci; ++l) {
    const double p = 0.3 + 0.4 * u.Next();
    for (int i = 0; i < np; ++i)
      q[static_cast<std::size_t>(i) * nloci + l] = p + spread * (u.Next() - 0.5);
  }
  for (int i = 0; i < np; ++i)
    for (int n = 0; n < per_pop; ++n) {
      b.pop.push_back(i);
      for (int l = 0; l < nloci; ++l) {
        const double f = q[static_cast<std::size_t>(i) * nloci + l];
        const int x = (u.Next() < f ? 1 : 0) + (u.Next() < f ? 1 : 0);
        b.a.push_back(static_cast<std::uint8_t>(x));
        b.Count(i, l) += x;
      }
    }
  return b;
}

// The baseline file: every population's counts of both types.
inline std::string SnpBaselineFile(SnpBaseline& b, int per_pop) {
  std::ostringstream s;
  for (int i = 0; i < b.np; ++i) {
    s << "#" << i + 1 << " P" << i + 1 << "\n";
    for (int l = 0; l < b.nloci; ++l)
      s << "L" << l + 1 << " " << b.Count(i, l) << " " << 2 * per_pop - b.Count(i, l) << "\n";
  }
  return s.str();
}

// The reference individuals file.
inline std::string SnpReferenceFile(const SnpBaseline& b) {
  std::ostringstream s;
  s << "* characters\nID\nPOP\n";
  for (int l = 0; l < b.nloci; ++l) s << "L" << l + 1 << "\n";
  s << "* end\n";
  for (std::size_t f = 0; f < b.pop.size(); ++f) {
    s << "f" << f + 1 << " " << b.pop[f] + 1;
    for (int l = 0; l < b.nloci; ++l)
      s << " " << b.Copies(static_cast<int>(f), l) << 2 - b.Copies(static_cast<int>(f), l);
    s << "\n";
  }
  return s.str();
}

// ln P of every individual in every population (plain model), its own
// population's counts without its copies: lp[f * np + i].
inline std::vector<double> HeldOutLogP(SnpBaseline& b, int per_pop) {
  std::vector<double> lp;
  for (std::size_t f = 0; f < b.pop.size(); ++f)
    for (int i = 0; i < b.np; ++i) {
      double v = 0.0;
      const bool own = b.pop[f] == i;
      for (int l = 0; l < b.nloci; ++l) {
        const int x = b.Copies(static_cast<int>(f), l);
        const double n1 = b.Count(i, l) - (own ? x : 0);
        const double n = 2.0 * per_pop - (own ? 2 : 0);
        v += (x == 1 ? std::log(2.0) : 0.0) + x * std::log(n1 / n) + (2 - x) * std::log(1 - n1 / n);
      }
      lp.push_back(v);
    }
  return lp;
}

// The mean EM estimate of population k's share over `resamples` mixtures of
// n reference individuals of k, drawn with replacement.
inline double HeldOutMean(const SnpBaseline& b, const std::vector<double>& lp, int k, int n,
                          int resamples, std::uint64_t seed) {
  Uniform u(seed);
  std::vector<int> members;
  for (std::size_t f = 0; f < b.pop.size(); ++f)
    if (b.pop[f] == k) members.push_back(static_cast<int>(f));
  const auto np = static_cast<std::size_t>(b.np);
  double sum = 0.0;
  std::vector<double> e(np * static_cast<std::size_t>(n)), th(np), next(np);
  for (int r = 0; r < resamples; ++r) {
    for (int m = 0; m < n; ++m) {
      const auto f = static_cast<std::size_t>(members[static_cast<std::size_t>(
          std::min(u.Next() * static_cast<double>(members.size()), members.size() - 1.0))]);
      const double top = *std::max_element(lp.begin() + f * np, lp.begin() + (f + 1) * np);
      for (std::size_t i = 0; i < np; ++i) e[m * np + i] = std::exp(lp[f * np + i] - top);
    }
    std::fill(th.begin(), th.end(), 1.0 / b.np);
    for (int it = 0; it < 20000; ++it) {
      std::fill(next.begin(), next.end(), 0.0);
      for (int m = 0; m < n; ++m) {
        double q = 0.0;
        for (std::size_t i = 0; i < np; ++i) q += th[i] * e[m * np + i];
        for (std::size_t i = 0; i < np; ++i) next[i] += th[i] * e[m * np + i] / q / n;
      }
      double change = 0.0;
      for (std::size_t i = 0; i < np; ++i) change = std::max(change, std::abs(next[i] - th[i]));
      th = next;
      if (change < 1e-10) break;
    }
    sum += th[static_cast<std::size_t>(k)];
  }
  return sum / resamples;
}

}  // namespace velk::test
