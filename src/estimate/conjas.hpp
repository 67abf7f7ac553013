#pragma once
// The conjugate-gradient step of the maximisation, in the square-root
// parametrisation x_i = sqrt(theta_i), with its line search.
#include <array>
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "estimate/optim_data.hpp"
#include "estimate/stepwork.hpp"

namespace velk {

struct Run;

// Relative floor on a genotype's mixture probability in the line coefficients:
// q' = max(q(g), kTaymaxFloor * colmax(g)).
inline constexpr double kTaymaxFloor = 1.0e-30;

// One conjugate-gradient iteration. at.q and at.score belong to at.theta
// (Genexp); the direction, the previous squared gradient norm and colmax are in
// work, the restart rule (em.hpp) having run before. kMoved: at.theta and at.L
// became the accepted point. Otherwise they stay and the step has written
// warning 1007 (kNoGain: relative function convergence) or 1006 (kShrunk: too
// many step reductions). at.conv.change receives the largest change of the
// last trial; at.newtheta is the trial point's storage.
[[nodiscard]] StepOutcome Conjas(Run& run, const OptimData& data, const Groups& groups,
                                 const Tolerances& tol, IterateState& at, StepWork& work);

// First and second derivative of the constrained log-likelihood along work.d at
// at.theta, as the coefficient set (D1, D2, 0, 0) for Csolve. work.w1 and
// work.w2 are its scratch.
[[nodiscard]] std::array<double, 4> Taymax(const OptimData& data, const IterateState& at,
                                           StepWork& work);

// The point reached with step t: (sqrt(theta_i) + t d_i)^2 scaled to each
// group's total (a group of one gets its total), into at.newtheta;
// at.conv.change receives the largest change of a scaled member.
void Normal(const Groups& groups, double t, const Vec<double>& d, IterateState& at);

}  // namespace velk
