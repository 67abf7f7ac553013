#pragma once
// Constraint groups of the mixture proportions and the convergence record that
// the likelihood routines and the maximisation steps share.
#include "core/array.hpp"

namespace velk {

// The populations split into k groups whose proportions must sum to fixed
// totals. Members are listed group after group, each group's members together.
struct Groups {
  int k = 0;
  Vec<int> size;      // per group: number of members
  Vec<int> members;   // population indices, group after group
  Vec<double> total;  // per group: the sum its proportions must keep
};

// Walks lists kept one after the other, as the groups' members and the regions'
// members are: for r = 1..n, f(r, first, size) with size = sizes(r) and the
// list's members at positions first .. first + size - 1.
template <class F>
void ForEachList(int n, const Vec<int>& sizes, F&& f) {
  for (int r = 1, first = 1; r <= n; first += sizes(r), ++r) f(r, first, sizes(r));
}

// For every group k = 1..g.k in order, f(k, first, size, total): its members are
// g.members(first .. first + size - 1) and their proportions sum to total.
template <class F>
void ForEachGroup(const Groups& g, F&& f) {
  ForEachList(g.k, g.size, [&](int k, int first, int size) { f(k, first, size, g.total(k)); });
}

// theta rescaled group by group to the groups' totals; a group whose
// proportions sum to 0 gets its total in equal shares.
inline void ScaleToTotals(const Groups& groups, Vec<double>& theta) {
  ForEachGroup(groups, [&](int, int first, int size, double total) {
    double sum = 0.0;
    for (int j = first; j < first + size; ++j) sum += theta(groups.members(j));
    for (int j = first; j < first + size; ++j) {
      double& t = theta(groups.members(j));
      t = sum > 0.0 ? t * total / sum : total / size;
    }
  });
}

// One group holding populations 1..np in order with total 1.0: the ordinary
// estimation.
inline Groups OneGroup(int np) {
  Groups g;
  g.k = 1;
  g.size = Vec<int>(1, np);
  g.members = Vec<int>(np);
  for (int i = 1; i <= np; ++i) g.members(i) = i;
  g.total = Vec<double>(1, 1.0);
  return g;
}

// Convergence record: the largest change of the proportions in the last step
// (written by the steps) and the guaranteed percent of the maximum (Pctmax).
struct Convergence {
  double change = 0.0;
  double pctmax = 0.0;
};

}  // namespace velk
