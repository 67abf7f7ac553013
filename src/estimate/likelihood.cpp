#include "estimate/likelihood.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/run.hpp"
#include "numeric/kernels.hpp"

namespace velk {

double Hood(int np, int ngenotypes, const Mat<double>& P, const Vec<double>& lscale,
            const Vec<double>& theta, const Vec<std::int32_t>& possible,
            const Vec<std::int32_t>& count) {
  const double* th = theta.Data();
  double hood = 0.0;
  double scales = 0.0;  // the columns' scales, which do not depend on theta
  for (int g = 1; g <= ngenotypes; ++g) {
    if (possible(g) != 1) continue;
    const double q = Ddot(np, th, 1, P.Ptr(1, g), 1);
    // Only a zero mixture probability takes the floor. A fish scored at a few
    // hundred loci has probabilities far below 1.0e-99 in every population;
    // flooring those too made the likelihood flat, so the search stopped on its
    // first step with the starting shares.
    const double floored = q > 0.0 ? q : kProbFloor;
    hood = hood + static_cast<double>(count(g)) * std::log(floored);
    if (lscale(g) != 0.0) scales = scales + static_cast<double>(count(g)) * lscale(g);
  }
  return hood + scales;
}

bool Setfrq(const OptimData& data, double bound, IterateState& at) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const Mat<double>& P = data.P;
  const bool set = BoundSet(bound);
  const double lbound = bound > 0.0 ? std::log(bound) : 0.0;
  bool any_impossible = false;
  for (int g = 1; g <= ngenotypes; ++g) {
    const double m = Dmax(np, P.Ptr(1, g), 1);
    const double lscale = data.lscale(g);
    bool impossible = false;
    if (!set) {
      impossible = !(m > 0.0);
    } else if (lscale == 0.0) {
      impossible = bound > m;
    } else {
      // A scaled column: its true largest probability is m exp(lscale(g)).
      impossible = bound > 0.0 && (m == 0.0 || lbound > std::log(m) + lscale);
    }
    if (impossible) {
      at.possible(g) = 0;
      any_impossible = true;
    } else {
      at.possible(g) = 1;
    }
  }
  Genes(data, at);
  return any_impossible;
}

void Genes(const OptimData& data, IterateState& at) {
  const int np = at.Populations();
  int g = 0;
  for (int k = 1; k <= data.nclasses; ++k) {
    double* s = at.S.Ptr(1, k);
    Dhset(np, 0.0, s, 1);
    at.possible_individuals(k) = data.class_individuals(k);
    for (int j = 1; j <= data.class_genotypes(k); ++j) {
      ++g;
      if (at.possible(g) != 0) {
        // A scaled column's true probabilities (0 below the range of a double).
        const double scale = data.lscale(g) == 0.0 ? 1.0 : std::exp(data.lscale(g));
        Dhaxpy(np, scale, data.P.Ptr(1, g), 1, s, 1);
      } else {
        at.possible_individuals(k) -= data.count(g);
      }
    }
  }
}

void Genexp(const OptimData& data, IterateState& at) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const double* th = at.theta.Data();
  double* sc = at.score.Data();
  Dhset(np, 0.0, sc, 1);

  for (int g = 1; g <= ngenotypes; ++g) {
    const double* pg = data.P.Ptr(1, g);
    const double qg = Ddot(np, th, 1, pg, 1);
    at.q[g - 1] = qg;
    if (at.possible(g) != 1) continue;
    // A possible genotype that no population with a share can carry divides by
    // the likelihood's floor instead of by zero.
    const double c = static_cast<double>(data.count(g));
    const double qf = qg == 0.0 ? kProbFloor : qg;
    const double a = c / qf;
    if (std::isfinite(a)) {
      Dhaxpy(np, a, pg, 1, sc, 1);
    } else {
      // q(g) so small that count / q(g) overflows: each P(i, g) / q(g) is still
      // at most 1 / theta_i, so take the quotients one by one.
      for (int i = 0; i < np; ++i) sc[i] += pg[i] * c / qf;
    }
  }

  for (int k = 1; k <= data.nclasses; ++k) {
    double uk = 0.0;
    if (at.possible_individuals(k) > 0) {
      const double* s = at.S.Ptr(1, k);
      for (int i = 0; i < np; ++i) uk += (1.0 - s[i]) * th[i];
    }
    at.u[k - 1] = uk;
  }
}

void Pctmax(int nposs, const Groups& groups, IterateState& at, Vec<int>& best,
            Vec<double>& best_score) {
  const Vec<double>& score = at.score;
  for (int k = 1; k <= groups.k; ++k) {
    best(k) = 0;
    best_score(k) = 0.0;
  }
  double gap = 0.0;
  if (groups.k == 1) {
    const int b = Idmax(at.Populations(), score.Data(), 1);
    best(1) = b;
    if (b >= 1) best_score(1) = score(b);
    gap = groups.total(1) * best_score(1) - static_cast<double>(nposs);
  } else {
    ForEachGroup(groups, [&](int k, int first, int size, double total) {
      if (size >= 1) {
        int b = groups.members(first);
        for (int j = first + 1; j < first + size; ++j) {
          const int i = groups.members(j);
          if (score(i) > score(b)) b = i;
        }
        best(k) = b;
        best_score(k) = score(b);
      }
      for (int j = first; j < first + size; ++j) {
        const int i = groups.members(j);
        const double d = i == best(k) ? total : 0.0;
        gap = gap + score(i) * (d - at.theta(i));
      }
    });
  }
  at.conv.pctmax = 100.0 * std::exp(-gap);
}

double GapToMaximum(double pctmax, int nposs) {
  if (!(pctmax > 0.0)) return std::numeric_limits<double>::infinity();
  const double gap = std::max(-std::log(pctmax / 100.0), 0.0);
  const double n = std::max(nposs, 1);
  return n * std::log1p(gap / n);
}

}  // namespace velk
