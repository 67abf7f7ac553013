#pragma once
// Constraint groups for the estimation tests, from member lists and totals; an
// independent plain EM under them; and vectors written out as their values.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "estimate/groups.hpp"
#include "support/mixture.hpp"

namespace velk::test {

// The 1-based vector (x1, x2, ...).
template <typename T = double>
Vec<T> Values(std::initializer_list<T> x) {
  Vec<T> v(static_cast<int>(x.size()));
  int i = 0;
  for (T e : x) v(++i) = e;
  return v;
}

inline Groups MakeGroups(const std::vector<std::vector<int>>& members,
                         const std::vector<double>& totals) {
  Groups g;
  g.k = static_cast<int>(members.size());
  g.size = Vec<int>(g.k);
  g.total = Vec<double>(g.k);
  int n = 0;
  for (const auto& m : members) n += static_cast<int>(m.size());
  g.members = Vec<int>(n);
  int j = 0;
  for (int k = 1; k <= g.k; ++k) {
    g.size(k) = static_cast<int>(members[k - 1].size());
    g.total(k) = totals[k - 1];
    for (int i : members[k - 1]) g.members(++j) = i;
  }
  return g;
}

// Plain EM with real-valued genotype weights `w` (the counts when empty) whose
// M-step scales each group to its total, from shares even within each group,
// until no share moves by more than `tol` (or 200000 passes).
inline Vec<double> GroupEm(const Mixture& m, const Groups& g, std::vector<double> w = {},
                           double tol = 1.0e-15) {
  if (w.empty())
    for (int x = 1; x <= m.ngenotypes; ++x) w.push_back(m.count(x));
  Vec<double> theta(m.np), next(m.np);
  for (int k = 1, j = 0; k <= g.k; ++k)
    for (int n = 1; n <= g.size(k); ++n) theta(g.members(++j)) = g.total(k) / g.size(k);
  for (int pass = 0; pass < 200000; ++pass) {
    next.Fill(0.0);
    for (int x = 1; x <= m.ngenotypes; ++x) {
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

}  // namespace velk::test
