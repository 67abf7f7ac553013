#pragma once
// The IRLS step of the maximisation: the likelihood linearised around theta
// into a weighted least-squares problem (Abmat), solved under theta >= 0 and
// the group sums by Wolfe's simplex method (Wolfe with Enter, Czeck, Leave,
// Operat), and a safeguarded line search towards the solution (Newges) whose
// first trial comes from a four-term Taylor series (Taylor, Csolve).
#include <array>
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "estimate/optim_data.hpp"
#include "estimate/stepwork.hpp"

namespace velk {

struct Run;

// Relative floor on a genotype's mixture probability in the Taylor terms:
// q' = max(q(g), kTaylorFloor * colmax(g)).
inline constexpr double kTaylorFloor = 1.0e-50;
// Abmat takes a genotype's observed information instead of its expected
// information when its expected count N' q(g) is below kExpectedCountFloor
// times its observed count.
inline constexpr double kExpectedCountFloor = 0.1;
// Most basis changes Wolfe makes before giving up (message 3028).
inline constexpr int kMaxBasisChanges = 200;

// Builds the quadratic problem around at.theta into work's tableau, right side,
// cost vector and basis list. at.q and at.u are the mixture probabilities of
// the genotypes and the classes' impossible masses for theta (Genexp). The last
// member of each group is its reference, eliminated through the group sum.
void Abmat(const OptimData& data, const Groups& groups, const IterateState& at, StepWork& work);

// How Wolfe's method ended.
enum class WolfeOutcome {
  kSolved,          // optimal: work.basis and work.solution hold the answer
  kNoLeavingRow,    // warning 1011 written: no row can leave the basis
  kTooManyChanges,  // fatal 3028 written (the run stops): 200 changes were not enough
};

// Wolfe's method on work's tableau: at most 200 basis changes, the basic
// columns in work.basis and their values in work.solution.
[[nodiscard]] WolfeOutcome Wolfe(Run& run, int np, StepWork& work);

// Entering column: the admissible column of 1..2np with the most negative
// reduced cost (first on ties); 0 when none is negative.
[[nodiscard]] int Enter(int np, const Mat<double>& tableau, const Vec<double>& cost,
                        const Vec<std::int32_t>& basis);
// Whether column c may enter: neither c nor its complementary column is basic.
[[nodiscard]] bool Czeck(int np, int c, const Vec<std::int32_t>& basis);
// Leaving row for entering column e by the smallest ratio right side / entry
// (from 1.0e20), ties broken lexicographically column by column; list1 and
// list2 are np integers of scratch. 0 when no row qualifies.
[[nodiscard]] int Leave(int np, int e, const Mat<double>& tableau, const Vec<double>& rhs,
                        Vec<std::int32_t>& list1, Vec<std::int32_t>& list2);
// Pivot on (row, column e); column is np doubles of scratch.
void Operat(int np, int row, int e, Mat<double>& tableau, Vec<double>& rhs, Vec<double>& column);

// The step from at.theta towards Wolfe's solution (work.basis, work.solution):
// first trial from Taylor and Csolve, halved until the trial is non-negative
// and loses no more than |L| * tau. kMoved: at.theta and at.L took the trial.
// Otherwise they stay and the step has written warning 1006 (kShrunk: the step
// fell below the estimate tolerance) or 1007 (kNoGain). at.conv.change receives
// the change actually made; work.active the populations basic in the solution;
// at.newtheta is the trial's storage.
[[nodiscard]] StepOutcome Newges(Run& run, const OptimData& data, const Tolerances& tol,
                                 IterateState& at, StepWork& work);

// Coefficients c_1 + c_2 t + c_3 t^2 + c_4 t^3 of the series of the
// log-likelihood gain along work.dir from at.theta, divided by t.
[[nodiscard]] std::array<double, 4> Taylor(const OptimData& data, const IterateState& at,
                                           const StepWork& work);

// A positive real root of coef[0] + coef[1] t + coef[2] t^2 + coef[3] t^3, by
// the cubic, quadratic and linear rules in turn; 0.5 when none is positive.
[[nodiscard]] double Csolve(const std::array<double, 4>& coef);

}  // namespace velk
