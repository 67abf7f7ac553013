#include "estimate/em.hpp"

#include <cmath>

#include "estimate/likelihood.hpp"
#include "numeric/kernels.hpp"

namespace velk {

void Em(const OptimData& data, int n0, const Groups& groups, IterateState& at) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const Vec<double>& theta = at.theta;
  Vec<double>& newtheta = at.newtheta;
  Convergence& conv = at.conv;
  conv.change = 0.0;

  // a_i = sum over possible genotypes of P(i, g) * count(g) / q(g), gathered in
  // newtheta genotype by genotype (each a_i still sums over g in order).
  double* a = newtheta.Data();
  Dhset(np, 0.0, a, 1);
  for (int g = 1; g <= ngenotypes; ++g) {
    if (at.possible(g) == 0) continue;
    const double* pg = data.P.Ptr(1, g);
    const double c = static_cast<double>(data.count(g));
    // A possible genotype that no population with a share can carry divides by
    // the likelihood's floor, as in the score, instead of by zero.
    const double qg = at.q[g - 1] == 0.0 ? kProbFloor : at.q[g - 1];
    for (int i = 0; i < np; ++i) a[i] += pg[i] * c / qg;
  }

  const double n = static_cast<double>(n0);
  ForEachGroup(groups, [&](int, int first, int size, double total) {
    if (size == 1) {
      newtheta(groups.members(first)) = total;
    } else if (size > 1) {
      double s = 0.0;
      for (int j = first; j < first + size; ++j) {
        const int i = groups.members(j);
        newtheta(i) = theta(i) * newtheta(i) / n;
        s += newtheta(i);
      }
      if (s > 1.0e-10) {
        const double f = total / s;
        for (int j = first; j < first + size; ++j) {
          const int i = groups.members(j);
          newtheta(i) = newtheta(i) * f;
          const double change = std::fabs(newtheta(i) - theta(i));
          if (change > conv.change) conv.change = change;
        }
      }
    }
  });
}

bool Restart(int np, const Groups& groups, const Vec<double>& theta, const Vec<int>& best,
             double eps, StepWork& work) {
  ++work.restart;
  bool small = false;
  for (int k = 1; k <= groups.k; ++k) {
    if (best(k) >= 1 && theta(best(k)) < eps) small = true;
  }
  if (work.restart <= np && !small) return false;

  Dhset(np, 0.0, work.d.Data(), 1);
  work.prev_norm = -1.0;
  work.restart = 1;
  if (small) {
    for (int k = 1; k <= groups.k; ++k) {
      if (best(k) >= 1 && theta(best(k)) < 0.001) work.d(best(k)) = 1.0;
    }
  }
  return true;
}

}  // namespace velk
