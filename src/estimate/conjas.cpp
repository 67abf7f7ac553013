#include "estimate/conjas.hpp"

#include <cmath>

#include "core/error.hpp"
#include "core/run.hpp"
#include "estimate/irls.hpp"
#include "estimate/likelihood.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

// The constrained gradient r_i = 2 sqrt(theta_i) (s_i - lambda) into r, with
// lambda the Lagrange multiplier of the member's group sum; n is the possible
// sample size.
void Gradient(const OptimData& data, const Groups& groups, const IterateState& at, double n,
              Vec<double>& r) {
  const Vec<double>& theta = at.theta;
  const Vec<double>& score = at.score;
  if (groups.k < 2) {
    const double lambda = n / groups.total(1);
    for (int i = 1; i <= at.Populations(); ++i)
      r(i) = 2.0 * std::sqrt(theta(i)) * (score(i) - lambda);
    return;
  }
  const int ngenotypes = data.Genotypes();
  ForEachGroup(groups, [&](int, int first, int size, double total) {
    double lambda = 0.0;
    if (total > 0.0) {
      double sum = 0.0;
      for (int g = 1; g <= ngenotypes; ++g) {
        if (at.possible(g) == 0) continue;
        double share = 0.0;
        for (int j = first; j < first + size; ++j) {
          const int i = groups.members(j);
          share += data.P(i, g) * theta(i);
        }
        const double qg = at.q[g - 1] == 0.0 ? kProbFloor : at.q[g - 1];
        const double a = static_cast<double>(data.count(g)) / qg;
        // share / q(g) is at most 1 even when count / q(g) overflows.
        sum += std::isfinite(a) ? a * share : static_cast<double>(data.count(g)) * (share / qg);
      }
      lambda = sum / total;
    }
    for (int j = first; j < first + size; ++j) {
      const int i = groups.members(j);
      r(i) = 2.0 * std::sqrt(theta(i)) * (score(i) - lambda);
    }
  });
}

// The line search along work.d from the first trial t: halved until a trial
// gains more than ftol = |L| tau, or gives up when the step shrinks below eps.
StepOutcome LineSearch(Run& run, const OptimData& data, const Groups& groups,
                       const Tolerances& tol, double t, IterateState& at, StepWork& work) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const double ftol = std::fabs(at.L) * tol.tau;
  do {
    Normal(groups, t, work.d, at);
    const double trial =
        Hood(np, ngenotypes, data.P, data.lscale, at.newtheta, at.possible, data.count);
    if (at.L - trial <= ftol) {
      if (std::fabs(at.L - trial) <= ftol) {
        Error(run, 1007, {.x1 = tol.tau, .x2 = at.conv.pctmax});
        return StepOutcome::kNoGain;
      }
      Dcopy(np, at.newtheta.Data(), 1, at.theta.Data(), 1);
      at.L = trial;
      return StepOutcome::kMoved;
    }
    t = t / 2.0;
  } while (tol.eps <= at.conv.change);

  Error(run, 1006, {.a1 = "conjugate gradient"});
  return StepOutcome::kShrunk;
}

}  // namespace

StepOutcome Conjas(Run& run, const OptimData& data, const Groups& groups, const Tolerances& tol,
                   IterateState& at, StepWork& work) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const double n =
      static_cast<double>(Idot(ngenotypes, at.possible.Data(), 1, data.count.Data(), 1));

  Vec<double>& r = work.w1;
  Gradient(data, groups, at, n, r);
  const double gg = Ddot(np, r.Data(), 1, r.Data(), 1);

  // Fletcher-Reeves direction; a restart (previous norm 0 or below) takes beta = 1
  // on the zeroed direction, a steepest-ascent step.
  const double beta = work.prev_norm <= 0.0 ? 1.0 : gg / work.prev_norm;
  Vec<double>& d = work.d;
  for (int i = 1; i <= np; ++i) d(i) = beta * d(i) + r(i);
  work.prev_norm = gg;

  const double t = Csolve(Taymax(data, at, work));
  return LineSearch(run, data, groups, tol, t, at, work);
}

std::array<double, 4> Taymax(const OptimData& data, const IterateState& at, StepWork& work) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const Vec<double>& theta = at.theta;
  const Vec<double>& d = work.d;
  Vec<double>& sd = work.w1;
  Vec<double>& dd = work.w2;
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
    if (at.possible(g) == 0) continue;
    const double c = static_cast<double>(data.count(g));
    n += c;
    // The floor is relative to the genotype's largest probability, so that the
    // coefficients do not change when a genotype's column of P is scaled.
    // A column of zeros has u = v = 0 and adds nothing.
    const double floor = kTaymaxFloor * work.colmax(g);
    const double qf = at.q[g - 1] > floor ? at.q[g - 1] : floor;
    if (!(qf > 0.0)) continue;
    const double* pg = data.P.Ptr(1, g);
    const double u = Ddot(np, sd.Data(), 1, pg, 1);
    const double v = Ddot(np, dd.Data(), 1, pg, 1);
    s1 += c * u / qf;
    s2 += c * (v - 2.0 * u * u / qf) / qf;
  }
  std::array<double, 4> coef{};
  coef[0] = 2.0 * s1 - 2.0 * n * b;
  coef[1] = 4.0 * n * b * b + 2.0 * s2 - 2.0 * n * a;
  coef[2] = 0.0;
  coef[3] = 0.0;
  return coef;
}

void Normal(const Groups& groups, double t, const Vec<double>& d, IterateState& at) {
  const Vec<double>& theta = at.theta;
  Vec<double>& newtheta = at.newtheta;
  Convergence& conv = at.conv;
  conv.change = 0.0;
  ForEachGroup(groups, [&](int, int first, int size, double total) {
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
  });
}

}  // namespace velk
