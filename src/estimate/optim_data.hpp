#pragma once
// What the maximisation steps share, so that each takes a short list: the data
// of one maximisation (OptimData), the tolerances of its tests (Tolerances),
// the point the steps move from with what belongs to it (IterateState), and
// what one step reports back (StepOutcome). docs/ARCHITECTURE.md, section 4.
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"

namespace velk {

struct Run;

// The data one maximisation works on. P is rebuilt for the populations with
// missing baseline by the baseline update; the missing-baseline totals and
// frequencies receive its estimates (one entry per population and character
// without baseline data, numbered as model/missing_baseline.hpp does; resized
// when too small).
struct OptimData {
  Mat<double>& P;                              // np x genotypes
  Vec<double>& lscale;                         // per genotype: log-scale of its column
  const Vec<std::int32_t>& count;              // per genotype: individuals
  const Vec<std::int32_t>& class_genotypes;    // per class: genotypes
  const Vec<std::int32_t>& class_individuals;  // per class: individuals
  int nclasses = 0;
  // For the baseline update.
  const Arr3<std::int8_t>& copies;        // (type, character, genotype)
  const Mat<std::int32_t>& base_totals;   // (character, population)
  const Arr3<std::int16_t>& base_counts;  // (type, character, population)
  int nmissing = 0;                       // missing-baseline entries
  Vec<double>& missing_totals;
  Mat<double>& missing_freqs;  // (type, entry)
  // Per genotype, the population of the known fish it stands for (0 or none:
  // unknown fish); the baseline update keeps their columns indicators.
  const Vec<std::int32_t>* known = nullptr;

  // Number of genotypes: the classes' genotypes together.
  int Genotypes() const {
    int n = 0;
    for (int k = 1; k <= nclasses; ++k) n += class_genotypes(k);
    return n;
  }
};

// The tolerances of the steps' tests.
struct Tolerances {
  double eps = 0.0;  // estimate convergence: the largest change of a proportion
  double tau = 0.0;  // likelihood: a gain within |L| tau is no gain
};

// The run's tolerances (run.par.eps, run.par.ftol).
Tolerances RunTolerances(const Run& run);

// The point the steps move from and what belongs to it. The arrays are the
// caller's (the maximisation driver's, or a test's); np is theta.Size().
struct IterateState {
  Vec<double>& theta;                       // np: the current point
  Vec<double>& newtheta;                    // np: storage of a trial point
  double& L;                                // log-likelihood at theta (Hood)
  Vec<std::int32_t>& possible;              // per genotype: 1 possible, 0 screened out
  Mat<double>& S;                           // np x classes: mass of the possible genotypes (Genes)
  Vec<std::int32_t>& possible_individuals;  // per class: individuals of possible genotypes (Genes)
  double* q;                                // per genotype: mixture probability at theta (Genexp)
  double* u;                                // per class: mass outside its possible genotypes
  Vec<double>& score;                       // np: derivative of L by theta_i (Genexp)
  Convergence& conv;                        // the last step's largest change, percent of maximum

  int Populations() const { return theta.Size(); }
};

// What a conjugate-gradient or IRLS step (or an EM step of the driver) did.
// The warnings are written by the step; the driver steers by the outcome.
enum class StepOutcome {
  kMoved,   // theta and L took the accepted point
  kShrunk,  // warning 1006: the step was halved below the estimate tolerance
  kNoGain,  // warning 1007: the trial gained no more than the likelihood tolerance
};

}  // namespace velk
