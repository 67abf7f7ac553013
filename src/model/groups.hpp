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
