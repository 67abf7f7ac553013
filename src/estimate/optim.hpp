#pragma once
// The maximisation of the mixture likelihood: EM with the baseline update while
// baseline frequencies are missing, then conjugate gradient, then (when allowed)
// IRLS; the screening of impossible genotypes, every convergence test and the
// iteration history.
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "estimate/optim_data.hpp"
#include "estimate/stepwork.hpp"
#include "estimate/upgmat.hpp"

namespace velk {

struct Run;

// The run's own mixture and baseline (run.input) with the matrix P.
OptimData RunOptimData(Run& run, Mat<double>& P, Vec<double>& lscale);

// The switches of one call.
struct OptimSwitches {
  int history = 0;  // write the iteration history (report slot 4, when open)
  int irls = 0;     // IRLS allowed
  int screen = 1;   // screen impossible genotypes on entry
  int draw = 0;     // Dirichlet draws in the baseline update
};

// How a search ended. The message that says so is written where the search
// ends; callers steer by the outcome (estmtr's advice after a search that ended
// below the guaranteed percent of maximum).
enum class SearchOutcome {
  kOther,                // none of the below (a stall, or the run stopped)
  kEstimateTolerance,    // note 101: the largest change below the estimate tolerance
  kPercentOfMaximum,     // note 102: the guaranteed percent of maximum reached
  kLikelihoodTolerance,  // warning 1007: a step gained no more than the likelihood tolerance
  kIterationLimit,       // warning 1008: the maximum number of iterations
  kNoLeavingRow,         // warning 1011: Wolfe's method found no row to leave the basis
};

// What a maximisation hands back besides theta, the possible flags and the
// group totals.
struct OptimResult {
  int nposs = 0;       // in: the mixture sample size; out: the possible sample size
  int iterations = 0;  // passes made
  double L = 0.0;      // log-likelihood at theta
  Convergence conv;    // last maximum change and percent of maximum
  Vec<double> score;   // score at theta (np)
  int finished = 0;    // converged by a tolerance, or the iteration limit reached
  int stalled = 0;     // the last step rule made no progress
  // What ended the search. A likelihood-tolerance stop of the baseline update's
  // EM steps is kept even when the other rules then go on.
  SearchOutcome ended_by = SearchOutcome::kOther;
};

// Working storage of one maximisation, sized on entry (a caller that maximises
// many times may keep one and hand it to every call).
struct OptimWork {
  StepWork step;
  Mat<double> S;                           // np x classes: possible mass per class
  Vec<std::int32_t> possible_individuals;  // max(classes, largest number of types)
  Vec<double> qu;                          // genotypes + classes: q, then u
  Vec<double> trial;                       // np
  Vec<int> best;                           // per group: best member (Pctmax)
  Vec<double> best_score;                  // per group
  BaselineWork baseline;                   // the baseline-update mode only
};

// The three step rules, as numbered in the history.
enum class OptimMode { kEm = 1, kCg = 2, kIrls = 3 };

// Maximises the mixture likelihood over theta (in: the start) under `groups`.
// On entry res.nposs holds the mixture sample size; `possible` holds the flags
// to use when screening is off. Screening lowers res.nposs and scales theta and
// the group totals to the possible fraction. When the conjugate-gradient or
// IRLS step stalls (warning 1006) the search goes on with EM steps, which never lower
// the likelihood, until a convergence test holds or the iteration limit. A
// search that ends with a log-likelihood that is not finite, or with a mixture
// probability of 0 for every possible genotype, is fatal message 3041. Leaves
// theta at the last accepted point on every exit; after a fatal message
// (run.error.stop) it returns at once.
void Optim(Run& run, const OptimData& data, const OptimSwitches& sw, Groups& groups,
           Vec<double>& theta, Vec<std::int32_t>& possible, OptimResult& res, OptimWork& work);
void Optim(Run& run, const OptimData& data, const OptimSwitches& sw, Groups& groups,
           Vec<double>& theta, Vec<std::int32_t>& possible, OptimResult& res);

}  // namespace velk
