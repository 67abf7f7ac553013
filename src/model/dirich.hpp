#pragma once
// Random Dirichlet draw of a set of type frequencies.

namespace velk {

struct Process;

// One draw x(1..n) from the Dirichlet distribution with parameters alpha(1..n):
// a gamma variate of rate 1 per nonzero parameter (0.0 for a zero one, without
// a draw), then every component divided by their sum. x may be alpha itself.
// The callers pass at least one positive parameter.
void Dirich(Process& process, int n, const double* alpha, double* x);

}  // namespace velk
