#include "estimate/irls.hpp"

#include <cmath>
#include <numbers>

#include "core/error.hpp"
#include "core/run.hpp"
#include "estimate/likelihood.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

// Sum over the groups of total_l * col(ref_l): the part of a mixture
// probability fixed by the group sums (col is P(., g) or S(., k)).
double RefSum(const Groups& groups, const double* col) {
  double s = 0.0;
  ForEachGroup(groups, [&](int, int first, int size, double total) {
    if (size >= 1) s += total * col[groups.members(first + size - 1) - 1];
  });
  return s;
}

// Regressors x_j = col(j) - col(ref(j)) of the non-reference members; 0.0 for
// the references.
void Regressors(const Groups& groups, const double* col, Vec<double>& x) {
  ForEachGroup(groups, [&](int, int first, int size, double) {
    if (size < 1) return;
    const int ref = groups.members(first + size - 1);
    const double pref = col[ref - 1];
    for (int j = first; j < first + size - 1; ++j) {
      const int i = groups.members(j);
      x(i) = col[i - 1] - pref;
    }
    x(ref) = 0.0;
  });
}

// Adds w * x_i * x_j to the lower triangle (i >= j) of the tableau's first
// block and w * x_j * z to the right side, with x the regressors in work.w1
// (work.w2 takes w x).
void Accumulate(int np, double w, double z, StepWork& work) {
  const Vec<double>& x = work.w1;
  Vec<double>& wx = work.w2;
  for (int i = 1; i <= np; ++i) wx(i) = w * x(i);
  for (int j = 1; j <= np; ++j) {
    const double xj = x(j);
    if (xj == 0.0) continue;
    double* col = work.tableau.Ptr(1, j);
    for (int i = j; i <= np; ++i) col[i - 1] += wx(i) * xj;
    work.rhs(j) += wx(j) * z;
  }
}

// The possible genotypes of every class with possible individuals: response
// count / N' less the part fixed by the group sums, weight N' / q (the
// expected information of the genotype's cell). When the genotype's expected
// count N' q is far below its observed count, as for every genotype of data
// with many characters, the observed genotypes hold next to nothing of their
// pattern's probability and their expected information next to nothing of
// the curvature; such a genotype brings its observed information
// count / q^2 instead, in terms relative to q (x / q), which do not change
// when the genotype's column of P is scaled. Its response keeps the right
// side at A theta + score, so that the problem's gradient at theta stays the
// score and the maximum is a fixed point.
void AddGenotypeTerms(const OptimData& data, const Groups& groups, const IterateState& at,
                      StepWork& work) {
  const int np = at.Populations();
  Vec<double>& x = work.w1;
  int g = 0;
  for (int k = 1; k <= data.nclasses; ++k) {
    const int ng = data.class_genotypes(k);
    if (at.possible_individuals(k) <= 0) {
      g += ng;
      continue;
    }
    const double n = static_cast<double>(at.possible_individuals(k));
    for (int m = 1; m <= ng; ++m) {
      ++g;
      if (at.possible(g) == 0) continue;
      const double* pg = data.P.Ptr(1, g);
      const double c = static_cast<double>(data.count(g));
      const double qg = at.q[g - 1] == 0.0 ? kProbFloor : at.q[g - 1];
      // The genotype's true mixture probability: a scaled column's q is q(g)
      // divided by exp(lscale(g)), far below kExpectedCountFloor / N'.
      const double lscale = data.lscale(g);
      const double qtrue = lscale == 0.0 ? qg : qg * std::exp(lscale);
      Regressors(groups, pg, x);
      if (lscale == 0.0 && n * qg >= kExpectedCountFloor * c) {
        const double z = c / n - RefSum(groups, pg);
        Accumulate(np, n / qg, z, work);
      } else {
        for (int j = 1; j <= np; ++j) x(j) = x(j) / qg;
        const double z = 2.0 - RefSum(groups, pg) / qg - n * qtrue / c;
        Accumulate(np, c, z, work);
      }
    }
  }
}

// One term per class for its mass outside the possible genotypes: response 1
// less the fixed part, weight N' / u. A class whose possible genotypes hold
// all of its pattern's probability (u not above 0) carries no such term.
void AddClassTerms(const OptimData& data, const Groups& groups, const IterateState& at,
                   StepWork& work) {
  for (int k = 1; k <= data.nclasses; ++k) {
    if (at.possible_individuals(k) <= 0 || !(at.u[k - 1] > 0.0)) continue;
    const double n = static_cast<double>(at.possible_individuals(k));
    const double* sk = at.S.Ptr(1, k);
    const double z = 1.0 - RefSum(groups, sk);
    Regressors(groups, sk, work.w1);
    Accumulate(at.Populations(), n / at.u[k - 1], z, work);
  }
}

// Stationarity rows of the non-reference members, group-sum rows of the
// references, with their basic columns.
void ConstraintRows(int np, const Groups& groups, StepWork& work) {
  Mat<double>& tab = work.tableau;
  Vec<double>& b = work.rhs;
  ForEachGroup(groups, [&](int, int first, int size, double total) {
    if (size < 1) return;
    const int ref = groups.members(first + size - 1);
    for (int m = first; m < first + size - 1; ++m) {
      const int j = groups.members(m);
      const double bj = b(j);
      if (bj != 0.0) {
        for (int i = 1; i <= np; ++i) tab(j, i) = tab(j, i) / bj;
        tab(j, np + j) = -1.0 / bj;
        tab(j, np + ref) = 1.0 / bj;
        tab(j, 2 * np + j) = 1.0;
        b(j) = 1.0;
        work.basis(j) = 2 * np + j;
      } else {
        for (int i = 1; i <= np; ++i) tab(j, i) = -tab(j, i);
        tab(j, np + j) = 1.0;
        tab(j, np + ref) = -1.0;
        tab(j, 2 * np + j) = 0.0;
        b(j) = 0.0;
        work.basis(j) = np + j;
      }
    }
    for (int i = 1; i <= np; ++i) tab(ref, i) = 0.0;
    for (int m = first; m < first + size; ++m) tab(ref, groups.members(m)) = 1.0;
    b(ref) = total;
    work.basis(ref) = ref;
  });
}

// A rule's root counts only when it is positive and finite.
bool Positive(double x) {
  return x > 0.0 && std::isfinite(x);
}

}  // namespace

void Abmat(const OptimData& data, const Groups& groups, const IterateState& at, StepWork& work) {
  const int np = at.Populations();
  Mat<double>& tab = work.tableau;
  tab.Fill(0.0);
  work.rhs.Fill(0.0);
  AddGenotypeTerms(data, groups, at, work);
  AddClassTerms(data, groups, at, work);
  for (int j = 1; j <= np; ++j) {
    for (int i = j + 1; i <= np; ++i) tab(j, i) = tab(i, j);
  }
  ConstraintRows(np, groups, work);
  for (int c = 1; c <= 2 * np; ++c) work.cost(c) = 0.0;
  for (int c = 2 * np + 1; c <= 3 * np; ++c) work.cost(c) = -1.0;
}

WolfeOutcome Wolfe(Run& run, int np, StepWork& work) {
  for (int changes = 0;; ++changes) {
    const int e = Enter(np, work.tableau, work.cost, work.basis);
    if (e == 0) {
      Dcopy(np, work.rhs.Data(), 1, work.solution.Data(), 1);
      return WolfeOutcome::kSolved;
    }
    if (changes == kMaxBasisChanges) {
      Error(run, 3028, {.n1 = kMaxBasisChanges});
      return WolfeOutcome::kTooManyChanges;
    }
    const int row = Leave(np, e, work.tableau, work.rhs, work.active, work.ties);
    if (row == 0) {
      Error(run, 1011, {});
      return WolfeOutcome::kNoLeavingRow;
    }
    Operat(np, row, e, work.tableau, work.rhs, work.pivot);
    work.basis(row) = e;
  }
}

int Enter(int np, const Mat<double>& tableau, const Vec<double>& cost,
          const Vec<std::int32_t>& basis) {
  int best = 0;
  double rmin = 0.0;
  for (int c = 1; c <= 2 * np; ++c) {
    if (!Czeck(np, c, basis)) continue;
    double r = 0.0;
    for (int row = 1; row <= np; ++row) r += tableau(row, c) * cost(basis(row));
    r = r - cost(c);
    if (r < rmin) {
      rmin = r;
      best = c;
    }
  }
  return best;
}

bool Czeck(int np, int c, const Vec<std::int32_t>& basis) {
  const int complement = c <= np ? c + np : c - np;
  for (int row = 1; row <= np; ++row) {
    if (basis(row) == c || basis(row) == complement) return false;
  }
  return true;
}

int Leave(int np, int e, const Mat<double>& tableau, const Vec<double>& rhs,
          Vec<std::int32_t>& list1, Vec<std::int32_t>& list2) {
  int n1 = 0;
  double rmin = 1.0e20;
  for (int row = 1; row <= np; ++row) {
    const double entry = tableau(row, e);
    if (!(entry > 0.0)) continue;
    const double ratio = rhs(row) / entry;
    if (ratio < rmin) {
      rmin = ratio;
      n1 = 1;
      list1(1) = row;
    } else if (ratio == rmin) {
      list1(++n1) = row;
    }
  }
  if (n1 == 0) return 0;

  // Ties: column by column, keep the rows with the smallest entry / pivot entry.
  for (int c = 1; c <= 3 * np && n1 > 1; ++c) {
    int n2 = 0;
    double vmin = 0.0;
    for (int m = 1; m <= n1; ++m) {
      const int row = list1(m);
      const double v = tableau(row, c) / tableau(row, e);
      if (n2 == 0 || v < vmin) {
        vmin = v;
        n2 = 1;
        list2(1) = row;
      } else if (v == vmin) {
        list2(++n2) = row;
      }
    }
    for (int m = 1; m <= n2; ++m) list1(m) = list2(m);
    n1 = n2;
  }
  return list1(1);
}

void Operat(int np, int row, int e, Mat<double>& tableau, Vec<double>& rhs, Vec<double>& column) {
  const int ncols = 3 * np;
  const double pivot = tableau(row, e);
  for (int c = 1; c <= ncols; ++c) tableau(row, c) = tableau(row, c) / pivot;
  rhs(row) = rhs(row) / pivot;

  for (int i = 1; i <= np; ++i) column(i) = tableau(i, e);
  for (int c = 1; c <= ncols; ++c) {
    const double prc = tableau(row, c);
    double* col = tableau.Ptr(1, c);
    for (int i = 1; i <= np; ++i) {
      if (i == row || column(i) == 0.0) continue;
      col[i - 1] -= column(i) * prc;
    }
  }
  for (int i = 1; i <= np; ++i) {
    if (i == row || column(i) == 0.0) continue;
    rhs(i) -= column(i) * rhs(row);
  }
}

namespace {

// Wolfe's solution into at.newtheta (0 for the populations not basic), the
// populations basic in it into work.active, and the direction towards it into
// work.dir. Returns the direction's largest component.
double TowardsSolution(IterateState& at, StepWork& work) {
  const int np = at.Populations();
  Vec<double>& trial = at.newtheta;
  Dhset(np, 0.0, trial.Data(), 1);
  Ifill(np, 0, work.active.Data(), 1);
  for (int row = 1; row <= np; ++row) {
    const int b = work.basis(row);
    if (b >= 1 && b <= np) {
      trial(b) = work.solution(row);
      work.active(b) = 1;
    }
  }
  Vec<double>& d = work.dir;
  double maxchange = 0.0;
  for (int j = 1; j <= np; ++j) {
    d(j) = trial(j) - at.theta(j);
    if (std::fabs(d(j)) > maxchange) maxchange = std::fabs(d(j));
  }
  return maxchange;
}

}  // namespace

StepOutcome Newges(Run& run, const OptimData& data, const Tolerances& tol, IterateState& at,
                   StepWork& work) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  Vec<double>& theta = at.theta;
  Vec<double>& trial = at.newtheta;
  const double maxchange = TowardsSolution(at, work);
  const Vec<double>& d = work.dir;
  const double ftol = std::fabs(at.L) * tol.tau;
  const double t0 = Csolve(Taylor(data, at, work));

  // Halving from t0 until the trial is non-negative and loses at most ftol.
  double s = 2.0 * t0;
  double next = at.L;
  for (;;) {
    s = s / 2.0;
    // Written so that a direction that is not a number gives up as well.
    if (!(s * maxchange >= tol.eps)) {
      Dcopy(np, theta.Data(), 1, trial.Data(), 1);
      Error(run, 1006, {.a1 = "IRLS"});
      at.conv.change = maxchange * s;
      return StepOutcome::kShrunk;
    }
    bool negative = false;
    for (int j = 1; j <= np; ++j) {
      trial(j) = theta(j) + s * d(j);
      if (trial(j) < 0.0) negative = true;
    }
    if (negative) continue;
    next = Hood(np, ngenotypes, data.P, data.lscale, trial, at.possible, data.count);
    if (at.L - next <= ftol) break;
  }

  StepOutcome outcome = StepOutcome::kMoved;
  if (std::fabs(at.L - next) > ftol) {
    at.L = next;
    Dcopy(np, trial.Data(), 1, theta.Data(), 1);
  } else {
    Error(run, 1007, {.x1 = tol.tau, .x2 = at.conv.pctmax});
    outcome = StepOutcome::kNoGain;
  }
  at.conv.change = maxchange * s;
  return outcome;
}

// The Taylor terms. Along d the mixture probability of genotype g moves by
// t * sum_j P(j, g) d_j. Taylor uses the terms T_k(g) = sum_j (P(j, g) d_j)^k,
// the powers of the single products (not the power of their sum, which would be
// the exact series of ln(q + t sum_j P(j, g) d_j)); the two agree for k = 1.
// This form is kept on purpose: the first trial, and with it the iteration
// history, stays what users of the program have always seen; the trial only
// seeds the halving search, which keeps every accepted step sound. Each term is taken as (P(j, g) d_j / q')^k, the same
// quantity as T_k(g) / q'^k, so that the powers neither under- nor overflow
// when a genotype's probabilities are very small.
std::array<double, 4> Taylor(const OptimData& data, const IterateState& at,
                             const StepWork& work) {
  const int np = at.Populations();
  const int ngenotypes = data.Genotypes();
  const Vec<double>& d = work.dir;
  std::array<double, 4> coef = {0.0, 0.0, 0.0, 0.0};
  for (int g = 1; g <= ngenotypes; ++g) {
    if (at.possible(g) == 0) continue;
    // Relative floor: unchanged when the genotype's column of P is scaled.
    const double floor = kTaylorFloor * work.colmax(g);
    const double qf = at.q[g - 1] > floor ? at.q[g - 1] : floor;
    if (!(qf > 0.0)) continue;  // a column of zeros adds nothing
    const double* pg = data.P.Ptr(1, g);
    std::array<double, 4> t{};
    for (int j = 0; j < np; ++j) {
      const double r = pg[j] * d(j + 1) / qf;
      if (r == 0.0) continue;
      const double r2 = r * r;
      t[0] += r;
      t[1] += r2;
      t[2] += r * r2;
      t[3] += r2 * r2;
    }
    const double c = static_cast<double>(data.count(g));
    for (int k = 0; k < 4; ++k) coef[k] += c * t[k];
  }
  // The alternating series of ln(1 + x), divided by t.
  coef[1] = -coef[1] / 2.0;
  coef[2] = coef[2] / 3.0;
  coef[3] = -coef[3] / 4.0;
  return coef;
}

double Csolve(const std::array<double, 4>& coef) {
  const double c1 = coef[0];
  const double c2 = coef[1];
  const double c3 = coef[2];
  const double c4 = coef[3];

  if (std::fabs(c4) > 1.0e-6) {
    const double a = c3 / c4;
    const double b = c2 / c4;
    const double c = c1 / c4;
    const double Q = (a * a - 3.0 * b) / 9.0;
    const double R = (2.0 * a * a * a - 9.0 * a * b + 27.0 * c) / 54.0;
    const double disc = R * R - Q * Q * Q;
    double root = 0.0;
    if (disc < 0.0) {
      // Three real roots: the smallest positive one.
      const double phi = std::acos(R / std::sqrt(Q * Q * Q));
      const double m = -2.0 * std::sqrt(Q);
      for (int k = 0; k < 3; ++k) {
        const double x = m * std::cos((phi + 2.0 * std::numbers::pi * k) / 3.0) - a / 3.0;
        if (x > 0.0 && (root <= 0.0 || x < root)) root = x;
      }
    } else {
      const double A = std::pow(std::fabs(R) + std::sqrt(disc), 1.0 / 3.0);
      const double sign = R < 0.0 ? -1.0 : 1.0;
      root = -sign * (A + (A != 0.0 ? Q / A : 0.0)) - a / 3.0;
    }
    if (Positive(root)) return root;
  }
  if (std::fabs(c3) > 1.0e-6) {
    const double D = c2 * c2 - 4.0 * c1 * c3;
    if (D >= 0.0) {
      const double r1 = (-c2 + std::sqrt(D)) / (2.0 * c3);
      const double r2 = (-c2 - std::sqrt(D)) / (2.0 * c3);
      const double root = (r2 > 0.0 && c2 < 0.0) ? r2 : r1;
      if (Positive(root)) return root;
    }
  }
  if (std::fabs(c2) > 1.0e-6) {
    const double root = -c1 / c2;
    if (Positive(root)) return root;
  }
  return 0.5;
}

}  // namespace velk
