#pragma once
// Constraint groups for the estimation tests, from member lists and totals, and
// an independent plain EM under them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "model/groups.hpp"
#include "support/arrays.hpp"
#include "support/mixture.hpp"

namespace velk::test {

inline Groups MakeGroups(const std::vector<std::vector<int>>& members,
                         const std::vector<double>& totals) {
  Groups g;
  g.k = static_cast<int>(members.size());
  g.size = Vec<int>(g.k);
  g.total = Vec<double>(g.k);
  int n = 0;
  for (const auto& m : members) n += static_cast<int>(m.size());
  g.members = Vec<int>(n);
  for (int k = 1, j = 0; k <= g.k; ++k) {
    g.size(k) = static_cast<int>(members[k - 1].size());
    g.total(k) = totals[k - 1];
    for (int i : members[k - 1]) g.members(++j) = i;
  }
  return g;
}

// EM with genotype weights `w` (the counts when empty; weight 0 leaves a genotype
// out), each group scaled to its total, until no share moves by more than `tol`.
inline Vec<double> GroupEm(const Mixture& m, const Groups& g, std::vector<double> w = {},
                           double tol = 1.0e-15) {
  if (w.empty())
    for (int x = 1; x <= m.ngenotypes; ++x) w.push_back(m.count(x));
  Vec<double> theta(m.np), next(m.np);
  for (int k = 1, j = 0; k <= g.k; ++k)
    for (int n = 1; n <= g.size(k); ++n) theta(g.members(++j)) = g.total(k) / g.size(k);
  for (int pass = 0; pass < 1000000; ++pass) {
    next.Fill(0.0);
    for (int x = 1; x <= m.ngenotypes; ++x) {
      if (w[x - 1] == 0.0) continue;
      double q = 0.0;
      for (int i = 1; i <= m.np; ++i) q += theta(i) * m.P(i, x);
      for (int i = 1; i <= m.np; ++i) next(i) += w[x - 1] * theta(i) * m.P(i, x) / q;
    }
    double change = 0.0;
    for (int k = 1, j = 0; k <= g.k; j += g.size(k), ++k) {
      double sum = 0.0;
      for (int n = 1; n <= g.size(k); ++n) sum += next(g.members(j + n));
      for (int n = 1; n <= g.size(k); ++n) {
        const int i = g.members(j + n);
        const double v = sum > 0.0 ? next(i) * g.total(k) / sum : 0.0;
        change = std::max(change, std::fabs(v - theta(i)));
        theta(i) = v;
      }
    }
    if (change <= tol) break;
  }
  return theta;
}

// The maximum-likelihood proportions of the possible genotypes, from equal ones.
inline Vec<double> PlainEm(const Mixture& m) {
  std::vector<int> all(static_cast<std::size_t>(m.np));
  std::vector<double> w;
  for (int i = 1; i <= m.np; ++i) all[static_cast<std::size_t>(i - 1)] = i;
  for (int x = 1; x <= m.ngenotypes; ++x) w.push_back(m.possible(x) == 1 ? m.count(x) : 0.0);
  return GroupEm(m, MakeGroups({all}, {1.0}), w);
}

}  // namespace velk::test
