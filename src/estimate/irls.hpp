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

// Builds the quadratic problem around theta into work's tableau, right side,
// cost vector and basis list. q and u are the mixture probabilities of the
// genotypes and the classes' impossible masses for theta (Genexp). The last
// member of each group is its reference, eliminated through the group sum.
void Abmat(int np, int nclasses, const Vec<std::int32_t>& count, const double* q, const double* u,
           const Mat<double>& P, const Vec<double>& lscale, const Mat<double>& S,
           const Vec<std::int32_t>& class_genotypes, const Vec<std::int32_t>& possible_individuals,
           const Vec<std::int32_t>& possible, const Groups& groups, StepWork& work);

// Wolfe's method on work's tableau: at most 200 basis changes, the basic
// columns in work.basis and their values in work.solution. Returns 0 when
// optimal, 1011 (reported) when no row can leave the basis, 3028 (reported,
// stops the run) when 200 changes were not enough.
int Wolfe(Run& run, int np, StepWork& work);

// Entering column: the admissible column of 1..2np with the most negative
// reduced cost (first on ties); 0 when none is negative.
int Enter(int np, const Mat<double>& tableau, const Vec<double>& cost,
          const Vec<std::int32_t>& basis);
// Whether column c may enter: neither c nor its complementary column is basic.
bool Czeck(int np, int c, const Vec<std::int32_t>& basis);
// Leaving row for entering column e by the smallest ratio right side / entry
// (from 1.0e20), ties broken lexicographically column by column; list1 and
// list2 are np integers of scratch. 0 when no row qualifies.
int Leave(int np, int e, const Mat<double>& tableau, const Vec<double>& rhs,
          Vec<std::int32_t>& list1, Vec<std::int32_t>& list2);
// Pivot on (row, column e); column is np doubles of scratch.
void Operat(int np, int row, int e, Mat<double>& tableau, Vec<double>& rhs, Vec<double>& column);

// The step from theta towards Wolfe's solution (work.basis, work.solution):
// first trial from Taylor and Csolve, halved until the trial is non-negative
// and loses no more than |L| * tau. On success theta and L take the trial;
// otherwise they stay and 1006 or 1007 is reported. conv.change receives the
// change actually made; work.active the populations basic in the solution.
void Newges(Run& run, int np, int ngenotypes, const Vec<std::int32_t>& possible, Vec<double>& theta,
            Vec<double>& trial, const Mat<double>& P, const Vec<double>& lscale,
            const Vec<std::int32_t>& count, const double* q, double& L, double eps, double tau,
            Convergence& conv, StepWork& work);

// Coefficients c_1 + c_2 t + c_3 t^2 + c_4 t^3 of the series of the
// log-likelihood gain along d, divided by t.
void Taylor(int np, int ngenotypes, std::array<double, 4>& coef, const Vec<double>& d,
            const Mat<double>& P, const Vec<std::int32_t>& count, const double* q,
            const Vec<std::int32_t>& possible, const Vec<double>& colmax);

// A positive real root of coef[0] + coef[1] t + coef[2] t^2 + coef[3] t^3, by
// the cubic, quadratic and linear rules in turn; 0.5 when none is positive.
double Csolve(const std::array<double, 4>& coef);

}  // namespace velk
