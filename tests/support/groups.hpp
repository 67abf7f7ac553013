#pragma once
// Constraint groups for the estimation tests, from member lists and totals, and
// vectors written out as their values.
#include <initializer_list>
#include <vector>

#include "estimate/groups.hpp"

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

}  // namespace velk::test
