#include "estimate/likelihood.hpp"

#include <cmath>

#include "core/run.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

// Number of genotypes: the classes' genotypes together.
int CountGenotypes(int nclasses, const Vec<std::int32_t>& class_genotypes) {
  int n = 0;
  for (int k = 1; k <= nclasses; ++k) n += class_genotypes(k);
  return n;
}

}  // namespace

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

void Setfrq(int np, int nclasses, const Mat<double>& P, const Vec<double>& lscale,
            const Vec<std::int32_t>& class_genotypes, const Vec<std::int32_t>& class_individuals,
            Mat<double>& S, Vec<std::int32_t>& possible, int& any_impossible,
            Vec<std::int32_t>& possible_individuals, const Vec<std::int32_t>& count, double bound) {
  const int ngenotypes = CountGenotypes(nclasses, class_genotypes);
  const bool set = BoundSet(bound);
  const double lbound = bound > 0.0 ? std::log(bound) : 0.0;
  any_impossible = 0;
  for (int g = 1; g <= ngenotypes; ++g) {
    const double m = Dmax(np, P.Ptr(1, g), 1);
    bool impossible = false;
    if (!set) {
      impossible = !(m > 0.0);
    } else if (lscale(g) == 0.0) {
      impossible = bound > m;
    } else {
      // A scaled column: its true largest probability is m exp(lscale(g)).
      impossible = bound > 0.0 && (m == 0.0 || lbound > std::log(m) + lscale(g));
    }
    if (impossible) {
      possible(g) = 0;
      any_impossible = 1;
    } else {
      possible(g) = 1;
    }
  }
  Genes(np, nclasses, P, lscale, class_genotypes, class_individuals, S, possible,
        possible_individuals, count);
}

void Genes(int np, int nclasses, const Mat<double>& P, const Vec<double>& lscale,
           const Vec<std::int32_t>& class_genotypes, const Vec<std::int32_t>& class_individuals,
           Mat<double>& S, const Vec<std::int32_t>& possible,
           Vec<std::int32_t>& possible_individuals, const Vec<std::int32_t>& count) {
  int g = 0;
  for (int k = 1; k <= nclasses; ++k) {
    double* s = S.Ptr(1, k);
    Dhset(np, 0.0, s, 1);
    possible_individuals(k) = class_individuals(k);
    for (int j = 1; j <= class_genotypes(k); ++j) {
      ++g;
      if (possible(g) != 0) {
        // A scaled column's true probabilities (0 below the range of a double).
        const double scale = lscale(g) == 0.0 ? 1.0 : std::exp(lscale(g));
        Dhaxpy(np, scale, P.Ptr(1, g), 1, s, 1);
      } else {
        possible_individuals(k) -= count(g);
      }
    }
  }
}

void Genexp(int np, int nclasses, const Vec<double>& theta, const Vec<std::int32_t>& count,
            double* q, double* u, const Mat<double>& P, const Mat<double>& S,
            const Vec<std::int32_t>& class_genotypes, const Vec<std::int32_t>& possible,
            const Vec<std::int32_t>& possible_individuals, Vec<double>& score) {
  const int ngenotypes = CountGenotypes(nclasses, class_genotypes);
  const double* th = theta.Data();
  double* sc = score.Data();
  Dhset(np, 0.0, sc, 1);

  for (int g = 1; g <= ngenotypes; ++g) {
    const double* pg = P.Ptr(1, g);
    const double qg = Ddot(np, th, 1, pg, 1);
    q[g - 1] = qg;
    if (possible(g) != 1) continue;
    // A possible genotype that no population with a share can carry divides by
    // the likelihood's floor instead of by zero.
    const double c = static_cast<double>(count(g));
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

  for (int k = 1; k <= nclasses; ++k) {
    double uk = 0.0;
    if (possible_individuals(k) > 0) {
      const double* s = S.Ptr(1, k);
      for (int i = 0; i < np; ++i) uk += (1.0 - s[i]) * th[i];
    }
    u[k - 1] = uk;
  }
}

void Pctmax(int np, int nposs, const Groups& groups, const Vec<double>& theta,
            const Vec<double>& score, Convergence& conv, Vec<int>& best, Vec<double>& best_score) {
  for (int k = 1; k <= groups.k; ++k) {
    best(k) = 0;
    best_score(k) = 0.0;
  }
  double gap = 0.0;
  if (groups.k == 1) {
    const int b = Idmax(np, score.Data(), 1);
    best(1) = b;
    if (b >= 1) best_score(1) = score(b);
    gap = groups.total(1) * best_score(1) - static_cast<double>(nposs);
  } else {
    int first = 1;
    for (int k = 1; k <= groups.k; ++k) {
      const int size = groups.size(k);
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
        const double d = i == best(k) ? groups.total(k) : 0.0;
        gap = gap + score(i) * (d - theta(i));
      }
      first += size;
    }
  }
  conv.pctmax = 100.0 * std::exp(-gap);
}

}  // namespace velk
