#pragma once
// The conjugate-gradient step of the maximisation, in the square-root
// parametrisation x_i = sqrt(theta_i), with its line search.
#include <array>
#include <cstdint>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "estimate/stepwork.hpp"

namespace velk {

struct Run;

// Relative floor on a genotype's mixture probability in the line coefficients:
// q' = max(q(g), kTaymaxFloor * colmax(g)).
inline constexpr double kTaymaxFloor = 1.0e-30;

// One conjugate-gradient iteration. q and score belong to theta (Genexp); the
// direction, the previous squared gradient norm and colmax are in work, the
// restart rule (em.hpp) having run before. On success theta and L become the
// accepted point; with no progress theta and L stay and the step reports 1007
// (relative function convergence) or 1006 (too many step reductions).
// conv.change receives the largest change of the last trial. newtheta is the
// trial point's storage.
void Conjas(Run& run, int np, int nclasses, const Vec<std::int32_t>& class_genotypes,
            Vec<double>& theta, Vec<double>& newtheta, const Mat<double>& P,
            const Vec<double>& lscale, const Vec<std::int32_t>& count, const Vec<double>& score,
            const double* q, const Vec<std::int32_t>& possible, double& L, const Groups& groups,
            double eps, double tau, Convergence& conv, StepWork& work);

// First and second derivative of the constrained log-likelihood along d at
// theta, as the coefficient set (D1, D2, 0, 0) for Csolve. sd and dd are np
// doubles of scratch.
void Taymax(int np, int ngenotypes, const Vec<double>& theta, const Vec<double>& d, const double* q,
            const Vec<std::int32_t>& count, const Mat<double>& P, std::array<double, 4>& coef,
            const Vec<std::int32_t>& possible, const Vec<double>& colmax, Vec<double>& sd,
            Vec<double>& dd);

// The point reached with step t: (sqrt(theta_i) + t d_i)^2 scaled to each
// group's total (a group of one gets its total); conv.change receives the
// largest change of a scaled member.
void Normal(const Vec<double>& theta, Vec<double>& newtheta, double t, const Vec<double>& d,
            const Groups& groups, Convergence& conv);

}  // namespace velk
