#pragma once
// Bias-corrected region estimates ("Bias-corrected regions: yes"): a parametric
// bootstrap of the estimate. Mixtures of the sample's size are simulated at the
// estimated proportions (held-out reference individuals when the control file
// names a reference individuals file, else individuals drawn from the baseline
// counts), each maximised from 1/np as the estimate was. A region's bias is the
// mean of its resample estimates less its estimate; the corrected estimate is
// the estimate less the bias, and its interval the resamples' percentile
// interval at the confidence level shifted by the bias, both clipped to [0, 1].
#include <vector>

#include "core/array.hpp"

namespace velk {

struct Run;

// Per region (1..nregions, index r - 1).
struct BiasCorrected {
  std::vector<double> estimate, bias, corrected, lower, upper;
  int resamples = 0;
  int stalls = 0;  // the searches' routine convergence warnings (1006, 1007), not written
};

// The parametric bootstrap of the regions at the estimate `theta` (np) with
// region estimates `regional` (nregions). Draws from the run's "Random seed" on
// the shuffled generator, whose state is left as it was, so that the stages
// after it draw as without it. False when the run stopped.
[[nodiscard]] bool BiasCorrectRegions(Run& run, const Vec<double>& theta,
                                      const Vec<double>& regional, BiasCorrected& out);

}  // namespace velk
