#include "estimate/conjas.hpp"

#include <cmath>

#include "core/error.hpp"
#include "core/run.hpp"
#include "estimate/irls.hpp"
#include "estimate/likelihood.hpp"
#include "numeric/kernels.hpp"

namespace velk {

void Conjas(Run& run, int np, int nclasses, const Vec<std::int32_t>& class_genotypes,
            Vec<double>& theta, Vec<double>& newtheta, const Mat<double>& P,
            const Vec<double>& lscale, const Vec<std::int32_t>& count, const Vec<double>& score,
            const double* q, const Vec<std::int32_t>& possible, double& L, const Groups& groups,
            double eps, double tau, Convergence& conv, StepWork& work) {
  const int ngenotypes = Isum(nclasses, class_genotypes.Data(), 1);
  const double n = static_cast<double>(Idot(ngenotypes, possible.Data(), 1, count.Data(), 1));
  const double ftol = std::fabs(L) * tau;

  // Constrained gradient r (in w1).
  Vec<double>& r = work.w1;
  if (groups.k < 2) {
    const double lambda = n / groups.total(1);
    for (int i = 1; i <= np; ++i) r(i) = 2.0 * std::sqrt(theta(i)) * (score(i) - lambda);
  } else {
    int first = 1;
    for (int k = 1; k <= groups.k; ++k) {
      const int size = groups.size(k);
      const double total = groups.total(k);
      double lambda = 0.0;
      if (total > 0.0) {
        double sum = 0.0;
        for (int g = 1; g <= ngenotypes; ++g) {
          if (possible(g) == 0) continue;
          double share = 0.0;
          for (int j = first; j < first + size; ++j) {
            const int i = groups.members(j);
            share += P(i, g) * theta(i);
          }
          const double qg = q[g - 1] == 0.0 ? kProbFloor : q[g - 1];
          const double a = static_cast<double>(count(g)) / qg;
          // share / q(g) is at most 1 even when count / q(g) overflows.
          sum += std::isfinite(a) ? a * share : static_cast<double>(count(g)) * (share / qg);
        }
        lambda = sum / total;
      }
      for (int j = first; j < first + size; ++j) {
        const int i = groups.members(j);
        r(i) = 2.0 * std::sqrt(theta(i)) * (score(i) - lambda);
      }
      first += size;
    }
  }
  const double gg = Ddot(np, r.Data(), 1, r.Data(), 1);

  // Fletcher-Reeves direction; a restart (previous norm 0 or below) takes beta = 1
  // on the zeroed direction, a steepest-ascent step.
  const double beta = work.prev_norm <= 0.0 ? 1.0 : gg / work.prev_norm;
  Vec<double>& d = work.d;
  for (int i = 1; i <= np; ++i) d(i) = beta * d(i) + r(i);
  work.prev_norm = gg;

  std::array<double, 4> coef{};
  Taymax(np, ngenotypes, theta, d, q, count, P, coef, possible, work.colmax, work.w1, work.w2);
  double t = Csolve(coef);

  do {
    Normal(theta, newtheta, t, d, groups, conv);
    const double trial = Hood(np, ngenotypes, P, lscale, newtheta, possible, count);
    if (L - trial <= ftol) {
      if (std::fabs(L - trial) <= ftol) {
        run.error.x1 = tau;
        run.error.x2 = conv.pctmax;
        Error(run, 1007);
        return;
      }
      Dcopy(np, newtheta.Data(), 1, theta.Data(), 1);
      L = trial;
      return;
    }
    t = t / 2.0;
  } while (eps <= conv.change);

  run.error.a1 = "conjugate gradient";
  Error(run, 1006);
}

void Taymax(int np, int ngenotypes, const Vec<double>& theta, const Vec<double>& d, const double* q,
            const Vec<std::int32_t>& count, const Mat<double>& P, std::array<double, 4>& coef,
            const Vec<std::int32_t>& possible, const Vec<double>& colmax, Vec<double>& sd,
            Vec<double>& dd) {
  for (int i = 1; i <= np; ++i) {
    sd(i) = std::sqrt(theta(i)) * d(i);
    dd(i) = d(i) * d(i);
  }
  const double a = Dsum(np, dd.Data(), 1);
  const double b = Dsum(np, sd.Data(), 1);

  double n = 0.0;
  double s1 = 0.0;
  double s2 = 0.0;
  for (int g = 1; g <= ngenotypes; ++g) {
    if (possible(g) == 0) continue;
    const double c = static_cast<double>(count(g));
    n += c;
    // The floor is relative to the genotype's largest probability, so that the
    // coefficients do not change when a genotype's column of P is scaled.
    // A column of zeros has u = v = 0 and adds nothing.
    const double floor = kTaymaxFloor * colmax(g);
    const double qf = q[g - 1] > floor ? q[g - 1] : floor;
    if (!(qf > 0.0)) continue;
    const double* pg = P.Ptr(1, g);
    const double u = Ddot(np, sd.Data(), 1, pg, 1);
    const double v = Ddot(np, dd.Data(), 1, pg, 1);
    s1 += c * u / qf;
    s2 += c * (v - 2.0 * u * u / qf) / qf;
  }
  coef[0] = 2.0 * s1 - 2.0 * n * b;
  coef[1] = 4.0 * n * b * b + 2.0 * s2 - 2.0 * n * a;
  coef[2] = 0.0;
  coef[3] = 0.0;
}

void Normal(const Vec<double>& theta, Vec<double>& newtheta, double t, const Vec<double>& d,
            const Groups& groups, Convergence& conv) {
  conv.change = 0.0;
  int first = 1;
  for (int k = 1; k <= groups.k; ++k) {
    const int size = groups.size(k);
    const double total = groups.total(k);
    if (size == 1) {
      newtheta(groups.members(first)) = total;
    } else if (size > 1) {
      double s = 0.0;
      for (int j = first; j < first + size; ++j) {
        const int i = groups.members(j);
        const double x = std::sqrt(theta(i)) + t * d(i);
        newtheta(i) = x * x;
        s += newtheta(i);
      }
      if (s > 0.0) {
        const double f = total / s;
        for (int j = first; j < first + size; ++j) {
          const int i = groups.members(j);
          newtheta(i) = newtheta(i) * f;
          const double change = std::fabs(newtheta(i) - theta(i));
          if (change > conv.change) conv.change = change;
        }
      }
    }
    first += size;
  }
}

}  // namespace velk
