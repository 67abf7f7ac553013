#pragma once
// The estimation run: from the data read to the estimate, its standard errors,
// regional sums and confidence intervals, and every report the options ask for.
#include "core/array.hpp"

namespace velk {

struct Run;
class Unit;

// One estimation on run.input: the genotype probability matrix, the
// maximisation from the initial estimates of the populations table (the
// estimate is left in run.pops(i).estimate), the regional sums, the
// infinitesimal jackknife, the normal and likelihood-profile intervals, and the
// iteration, estimates, condensed-mixture, conditional-probability, baseline
// and null-likelihood reports. Every way out closes its report files.
void Estmtr(Run& run);

// The normal-approximation intervals: the header, then for every region whose
// estimate (column 1 of `regional`) is at least 0.001 in single precision a line
// with its bounds estimate -/+ z deviation (column 2), clipped to [0, 1].
void NormalIntervals(Run& run, const Mat<double>& regional, Unit& out);

}  // namespace velk
