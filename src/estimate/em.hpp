#pragma once
// The EM step of the maximisation, and the restart rule of the conjugate
// direction that the driver applies before every conjugate-gradient iteration.
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "estimate/optim_data.hpp"
#include "estimate/stepwork.hpp"

namespace velk {

// One EM step from at.theta into at.newtheta (theta is not changed). at.q holds
// the mixture probability of every genotype for theta (from Genexp); n0 is the
// sample size the driver was entered with, so that a theta summing to the
// possible fraction keeps that sum. A group of one population gets its total;
// a larger group is scaled to its total unless its sum is not above 1.0e-10.
// at.conv.change receives the largest change of a scaled member.
void Em(const OptimData& data, int n0, const Groups& groups, IterateState& at);

// The restart rule of the conjugate direction kept in work (d, prev_norm,
// restart). It counts this iteration itself (the driver adds nothing else) and
// restarts when the counter exceeds np or when some group's best member (from
// Pctmax) has a proportion below eps: d = 0, prev_norm = -1.0, counter = 1,
// and for a restart caused by a small proportion d = 1.0 at every group's best
// member whose proportion is below 0.001. The driver sets work.restart = np
// before its loop, so the first conjugate-gradient iteration restarts.
// Returns true when it restarted.
bool Restart(int np, const Groups& groups, const Vec<double>& theta, const Vec<int>& best,
             double eps, StepWork& work);

}  // namespace velk
