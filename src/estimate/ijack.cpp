#include "estimate/ijack.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "model/groups.hpp"
#include "numeric/kernels.hpp"
#include "numeric/lapack.hpp"

namespace velk {

namespace {

// Entries below the diagonal in column k and left of it in row k divided by d,
// for every k with a positive d: each one ends as a correlation.
void Correlations(Mat<double>& m, int n, const Vec<double>& d) {
  for (int k = 1; k <= n; ++k) {
    if (!(d(k) > 0.0)) continue;
    for (int i = k + 1; i <= n; ++i) m(i, k) /= d(k);
    for (int j = 1; j < k; ++j) m(k, j) /= d(k);
  }
}

void Transpose(Mat<double>& m, int n) {
  for (int j = 1; j <= n; ++j)
    for (int i = j + 1; i <= n; ++i) std::swap(m(i, j), m(j, i));
}

// Genotypes whose terms are added to the jackknife sums in one pass.
constexpr int kJackBlock = 4;

// Adds the terms of K genotypes, in order, to the lower triangles s and b (row
// by row): x holds their columns pi = P(i, g) / q'(g) one after the other, c
// their counts.
template <int K>
void AddTerms(std::size_t np, const double* x, const double* c, double* s, double* b) {
  for (std::size_t i = 0; i < np; ++i) {
    double cp[K];
    double cm[K];
    for (int t = 0; t < K; ++t) {
      const double pi = x[static_cast<std::size_t>(t) * np + i];
      cp[t] = c[t] * pi;
      cm[t] = c[t] * (pi - 1.0);
    }
    for (std::size_t j = 0; j <= i; ++j) {
      double sv = s[j];
      double bv = b[j];
      for (int t = 0; t < K; ++t) {
        const double pj = x[static_cast<std::size_t>(t) * np + j];
        sv += cp[t] * pj;
        bv += cm[t] * (pj - 1.0);
      }
      s[j] = sv;
      b[j] = bv;
    }
    s += i + 1;
    b += i + 1;
  }
}

// From this many populations on, the covariance is made through LAPACK and BLAS
// (IjackLarge); below it by the exact hand-written path, whose reports are the
// reference (the two differ in the rounding of their sums only).
constexpr int kLargeFrom = 500;

// The jackknife of many populations. With x_g = P(., g) / q'(g) and c_g the
// counts, the information is M = Theta S + diag(n - e) with S = sum c_g x_g x_g^T,
// and the score products are B = Z Z^T with Z's columns
// sqrt(c_g) Theta (x_g - 1); so C = M^-1 B M^-T = W W^T with W = M^-1 Z, solved
// through the LU factors of M. This takes one factorisation and products of
// populations x genotypes matrices instead of an inverse and two
// populations-cubed products. `rq` holds 1/q'(g) (0 for genotypes not used).
bool IjackLarge(Run& run, const JackknifePoint& at, const std::vector<double>& rq,
                const RegionMembers& regions, Jackknife& jack) {
  const int np = at.theta.Size();
  const int ngenotypes = at.ngenotypes;
  const int n = at.n;
  const Vec<double>& theta = at.theta;
  const auto unp = static_cast<std::size_t>(np);
  int nused = 0;
  for (int g = 1; g <= ngenotypes; ++g) nused += rq[static_cast<std::size_t>(g - 1)] > 0.0;
  const std::size_t cols = static_cast<std::size_t>(std::max(nused, 1));
  std::vector<double> x(unp * cols, 0.0), z(unp * cols, 0.0), e(unp, 0.0);
  std::size_t u = 0;
  for (int g = 1; g <= ngenotypes; ++g) {
    const double r = rq[static_cast<std::size_t>(g - 1)];
    if (!(r > 0.0)) continue;
    const double c = at.count(g);
    const double root = std::sqrt(c);
    const double* col = at.P.Ptr(1, g);
    double* xu = x.data() + u * unp;
    double* zu = z.data() + u * unp;
    for (std::size_t i = 0; i < unp; ++i) {
      const double pi = col[i] * r;
      e[i] += c * pi;
      xu[i] = root * pi;
      zu[i] = root * theta(static_cast<int>(i) + 1) * (pi - 1.0);
    }
    ++u;
  }

  Mat<double>& M = jack.cov;  // the information, then its LU factors, then C
  SyrkLower(np, nused, x.data(), np, M.Data(), M.Rows());
  std::vector<double>().swap(x);
  for (int j = 1; j <= np; ++j) {
    for (int i = j + 1; i <= np; ++i) {
      const double sij = M(i, j);
      M(i, j) = theta(i) * sij;
      M(j, i) = theta(j) * sij;
    }
    M(j, j) = theta(j) * M(j, j) + static_cast<double>(n) - e[static_cast<std::size_t>(j - 1)];
  }
  std::vector<int> pivots(unp);
  if (!LuFactor(np, M.Data(), M.Rows(), pivots.data())) {
    M.Fill(0.0);
    Error(run, 2005, {});
    return false;
  }
  LuSolve(np, nused, M.Data(), M.Rows(), pivots.data(), z.data(), np);
  SyrkLower(np, nused, z.data(), np, M.Data(), M.Rows());
  for (int j = 1; j <= np; ++j)
    for (int i = j + 1; i <= np; ++i) M(j, i) = M(i, j);
  Sumcov(np, regions, jack);
  return true;
}

}  // namespace

RegionMembers RunRegions(const Run& run) {
  return RegionMembers{run.par.nregions, run.regions.size, run.regions.members};
}

void Clsum(const RegionMembers& regions, const Vec<double>& x, double* sums) {
  ForEachList(regions.nr, regions.size, [&](int r, int first, int size) {
    double s = 0.0;
    for (int m = first; m < first + size; ++m) s += x(regions.members(m));
    sums[r - 1] = s;
  });
}

void JackknifeInit(Jackknife& jack, int np, int nr) {
  const int r = std::max(nr, 1);
  jack.sd.Resize(np, 0.0);
  jack.regional_sd.Resize(r, 0.0);
  jack.cov.Resize(np, np, 0.0);
  jack.region_cov.Resize(r, r, 0.0);
}

bool Ijack(Run& run, const JackknifePoint& at, const RegionMembers& regions, Jackknife& jack) {
  const int np = at.theta.Size();
  const int ngenotypes = at.ngenotypes;
  const Vec<double>& theta = at.theta;
  const Mat<double>& P = at.P;
  JackknifeInit(jack, np, regions.nr);
  // 1/q'(g) of every genotype used; 0 for the others, which are skipped.
  std::vector<double> rq(static_cast<std::size_t>(std::max(ngenotypes, 1)), 0.0);
  for (int g = 1; g <= ngenotypes; ++g) {
    if (at.possible(g) != 1) continue;
    const double q = Ddot(np, theta.Data(), 1, P.Ptr(1, g), 1);
    const double floor = kJackFloor * Dmax(np, P.Ptr(1, g), 1);
    const double qf = std::max(q, floor);
    // A genotype impossible in every population carries no information.
    if (qf > 0.0) rq[static_cast<std::size_t>(g - 1)] = 1.0 / qf;
  }
  if (np >= kLargeFrom) return IjackLarge(run, at, rq, regions, jack);
  auto used = [&](int g) { return rq[static_cast<std::size_t>(g - 1)] > 0.0; };

  // The sums over the genotypes: for every i >= j,
  // s(i, j) = sum of count(g) pi pj and b(i, j) = sum of count(g) (pi - 1)(pj - 1)
  // with pi = P(i, g) / q'(g), and e(i) = sum of count(g) P(i, g) / q'(g).
  // Each sum adds its terms in genotype order; the lower triangles are kept row
  // by row and updated kJackBlock genotypes at a time, so that each pass runs
  // through memory in order.
  const auto unp = static_cast<std::size_t>(np);
  std::vector<double> s(unp * (unp + 1) / 2, 0.0), b(s.size(), 0.0), e(unp, 0.0);
  std::vector<double> x(kJackBlock * unp);
  double c[kJackBlock];
  int nb = 0;
  for (int g = 1; g <= ngenotypes; ++g) {
    if (!used(g)) continue;
    const double r = rq[static_cast<std::size_t>(g - 1)];
    c[nb] = at.count(g);
    const double* col = P.Ptr(1, g);
    double* xg = x.data() + static_cast<std::size_t>(nb) * unp;
    for (std::size_t i = 0; i < unp; ++i) {
      xg[i] = col[i] * r;
      e[i] += c[nb] * col[i] * r;
    }
    if (++nb == kJackBlock) {
      AddTerms<kJackBlock>(unp, x.data(), c, s.data(), b.data());
      nb = 0;
    }
  }
  for (int t = 0; t < nb; ++t)
    AddTerms<1>(unp, x.data() + static_cast<std::size_t>(t) * unp, c + t, s.data(), b.data());

  Mat<double>& M = jack.cov;  // the information, then its inverse
  Mat<double> B(np, np, 0.0);
  std::size_t k = 0;
  for (int i = 1; i <= np; ++i) {
    for (int j = 1; j <= i; ++j, ++k) {
      M(i, j) = theta(i) * s[k];
      M(j, i) = theta(j) * s[k];
      B(i, j) = theta(i) * theta(j) * b[k];
      B(j, i) = B(i, j);
    }
    M(i, i) += static_cast<double>(at.n) - e[static_cast<std::size_t>(i - 1)];
  }

  std::vector<int> index(static_cast<std::size_t>(np));
  double det = 0.0;
  Mhxint(M, np, det, index.data());
  if (det == 0.0) {
    M.Fill(0.0);
    Error(run, 2005, {});
    return false;
  }
  // C = M^-1 B M^-T: with X = M^-1 B, C = M^-1 X^T because B is symmetric.
  std::vector<double> work(static_cast<std::size_t>(np));
  Mhmult(np, M.Data(), B.Data(), work.data());
  Transpose(B, np);
  Mhmult(np, M.Data(), B.Data(), work.data());
  M = B;
  Sumcov(np, regions, jack);
  return true;
}

void Sumcov(int np, const RegionMembers& regions, Jackknife& jack) {
  const Mat<double>& C = jack.cov;
  Mat<double>& RC = jack.region_cov;
  const int nr = regions.nr;
  // First member of every region in the member list.
  std::vector<int> first(static_cast<std::size_t>(nr) + 1, 1);
  ForEachList(nr, regions.size,
              [&](int r, int f, int) { first[static_cast<std::size_t>(r - 1)] = f; });
  auto member = [&](int r, int k) {
    return regions.members(first[static_cast<std::size_t>(r - 1)] + k - 1);
  };

  for (int r = 1; r <= nr; ++r) {
    double v = 0.0;
    for (int a = 1; a <= regions.size(r); ++a) {
      const int i = member(r, a);
      v += C(i, i);
      for (int b = a + 1; b <= regions.size(r); ++b) v += 2.0 * C(member(r, b), i);
    }
    RC(r, r) = std::max(v, 0.0);
    for (int s = r + 1; s <= nr; ++s) {
      double c = 0.0;
      for (int a = 1; a <= regions.size(r); ++a)
        for (int b = 1; b <= regions.size(s); ++b) c += C(member(r, a), member(s, b));
      RC(r, s) = c;
      RC(s, r) = c;
    }
    jack.regional_sd(r) = std::sqrt(RC(r, r));
  }
  Correlations(RC, nr, jack.regional_sd);

  for (int i = 1; i <= np; ++i) jack.sd(i) = std::sqrt(std::max(jack.cov(i, i), 0.0));
  Correlations(jack.cov, np, jack.sd);
}

}  // namespace velk
