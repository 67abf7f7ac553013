#pragma once
// An estimate made independently of the engine: log-probabilities straight from
// the baseline counts, and EM with SQUAREM steps (kept when the likelihood does
// not fall) until the duality gap max_i score_i - N is below a tolerance.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/run.hpp"

namespace velk::test {

struct Reference {
  std::vector<double> theta;  // per population, summing to 1
  double L = 0.0;             // log-likelihood (true probabilities)
};

// logp[(g - 1) * np + (i - 1)]: ln P(i, g) for the run's baseline and mixture
// (the predictive model's compound Dirichlet-multinomial when it is on).
inline std::vector<double> LogProbabilities(const Run& run) {
  const Input& in = run.input;
  const int np = run.par.npop, nc = run.par.nchar, ng = in.ngenotypes;
  const bool rm = run.opt.rannala_mountain != 0;
  std::vector<double> logp(static_cast<std::size_t>(np) * static_cast<std::size_t>(ng), 0.0);
  std::vector<double> lf(static_cast<std::size_t>(run.par.max_types));
  for (int i = 1; i <= np; ++i) {
    for (int c = 1; c <= nc; ++c) {
      const int t = run.chars(c).ntypes;
      const double total = in.base_totals(c, i);
      for (int k = 1; k <= t; ++k) {
        const double n = in.base_counts(k, c, i);
        const double f = rm ? (n + 1.0 / t) / (total + 1.0) : (total < 1 ? 1.0 / t : n / total);
        lf[static_cast<std::size_t>(k - 1)] = std::log(f);
      }
      for (int g = 1; g <= ng; ++g) {
        int n = 0;
        double l = 0.0;
        for (int k = 1; k <= t; ++k) {
          const int x = in.copies(k, c, g);
          if (x <= 0) continue;
          n += x;
          if (run.opt.predictive != 0) {
            // Dirichlet-multinomial: Gamma(a + x) / Gamma(a) per type.
            const double a = in.base_counts(k, c, i) + 1.0 / t;
            l += std::lgamma(a + x) - std::lgamma(a) - std::lgamma(x + 1.0);
          } else {
            l += x * lf[static_cast<std::size_t>(k - 1)] - std::lgamma(x + 1.0);
          }
        }
        if (n == 0) continue;
        if (run.opt.predictive != 0) l -= std::lgamma(total + 1.0 + n) - std::lgamma(total + 1.0);
        logp[static_cast<std::size_t>(g - 1) * np + (i - 1)] += l + std::lgamma(n + 1.0);
      }
    }
  }
  return logp;
}

// Maximises the likelihood of the genotypes with possible(g) = 1 (all when
// `possible` is empty) over theta summing to 1.
inline Reference ReferenceEm(const Run& run, const std::vector<double>& logp,
                             const std::vector<int>& possible = {}, double tol = 1e-9,
                             int limit = 200000) {
  const int np = run.par.npop, ng = run.input.ngenotypes;
  const auto unp = static_cast<std::size_t>(np);
  std::vector<double> e(logp.size()), top(static_cast<std::size_t>(ng)), count;
  double n = 0.0;
  for (int g = 1; g <= ng; ++g) {
    const bool use = possible.empty() || possible[static_cast<std::size_t>(g - 1)] == 1;
    count.push_back(use ? run.input.geno_count(g) : 0.0);
    n += count.back();
    const double* l = logp.data() + (g - 1) * unp;
    double m = -INFINITY;
    for (std::size_t i = 0; i < unp; ++i) m = std::max(m, l[i]);
    top[static_cast<std::size_t>(g - 1)] = m;
    for (std::size_t i = 0; i < unp; ++i) e[(g - 1) * unp + i] = std::exp(l[i] - m);
  }
  std::vector<double> score(unp);
  // The log-likelihood at th, and the score into `score`.
  auto eval = [&](const std::vector<double>& th) {
    std::fill(score.begin(), score.end(), 0.0);
    double L = 0.0;
    for (std::size_t g = 0; g < static_cast<std::size_t>(ng); ++g) {
      if (count[g] == 0.0) continue;
      const double* eg = e.data() + g * unp;
      double q = 0.0;
      for (std::size_t i = 0; i < unp; ++i) q += th[i] * eg[i];
      L += count[g] * (std::log(q) + top[g]);
      for (std::size_t i = 0; i < unp; ++i) score[i] += count[g] * eg[i] / q;
    }
    return L;
  };
  auto em = [&](const std::vector<double>& th) {
    eval(th);
    std::vector<double> out(unp);
    for (std::size_t i = 0; i < unp; ++i) out[i] = th[i] * score[i] / n;
    return out;
  };
  std::vector<double> th(unp, 1.0 / np);
  double L = eval(th);
  for (int it = 0; it < limit; ++it) {
    if (*std::max_element(score.begin(), score.end()) - n < tol) break;  // the duality gap
    const std::vector<double> t1 = em(th), t2 = em(t1);
    std::vector<double> rr(unp), v(unp), ts(unp);
    double r2 = 0.0, v2 = 0.0;
    for (std::size_t i = 0; i < unp; ++i) {
      rr[i] = t1[i] - th[i];
      v[i] = t2[i] - t1[i] - rr[i];
      r2 += rr[i] * rr[i];
      v2 += v[i] * v[i];
    }
    const double alpha = v2 > 0.0 ? std::min(-std::sqrt(r2 / v2), -1.0) : -1.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < unp; ++i) {
      ts[i] = std::max(th[i] - 2.0 * alpha * rr[i] + alpha * alpha * v[i], 0.0);
      sum += ts[i];
    }
    for (double& x : ts) x /= sum;
    std::vector<double> next = em(ts);
    const double ln = eval(next), l2 = eval(t2);
    if (!(ln >= l2)) next = t2;
    const double lnext = eval(next);
    if (!(lnext >= L)) break;  // rounding: no further gain
    th = next;
    L = lnext;
  }
  return {th, eval(th)};
}

}  // namespace velk::test
