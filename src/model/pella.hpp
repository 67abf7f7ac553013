#pragma once
// The Pella-Masuda prior of baseline type frequencies: per character, the mean
// of the populations' sample frequencies (the prior means) and a total weight
// estimated from the populations' spread around that mean.
#include "core/array.hpp"

namespace velk {

struct Run;

// Most fixed-point steps of the weight iteration before the character is given
// up as not converging.
inline constexpr int kPwghtMaxSteps = 1000000;

// Fills run.input.pm_prior (type, character) and run.input.pm_weight (character)
// from the baseline counts and totals: Pmean once, then Pwght per character;
// every weight below 1.0 is raised to 1.0. A character without baseline data in
// any population, or whose weight cannot be estimated, writes its lines to the
// log and stops the run.
void Pella(Run& run);

// Prior means: p(k, c) is the average of count(k, c, i) / total(c, i) over the
// populations i with data for c; types beyond t(c) are not touched.
void Pmean(Run& run, Mat<double>& prior);

// Weight of character c by the fixed-point iteration w = A(w) / B(w), starting
// from w on entry (1.0 in Pella) and leaving the last value in w.
void Pwght(Run& run, double& w, const Mat<double>& prior, int c);

}  // namespace velk
