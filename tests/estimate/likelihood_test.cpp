#include "estimate/likelihood.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/run.hpp"
#include "model/gprob.hpp"
#include "support/groups.hpp"
#include "support/recording_platform.hpp"

namespace velk {
namespace {

// A run with the characters (types, ploidy) given and room for np populations.
class LikelihoodTest : public ::testing::Test {
 protected:
  void Setup(int np, const std::vector<std::pair<int, int>>& chars) {
    const int nc = static_cast<int>(chars.size());
    int maxtyp = 1;
    for (auto [t, ploidy] : chars) maxtyp = std::max(maxtyp, t);
    run_.par.npop = np;
    run_.par.nchar = nc;
    run_.par.max_types = maxtyp;
    run_.chars.Resize(nc);
    for (int c = 1; c <= nc; ++c) {
      run_.chars(c).ntypes = chars[static_cast<std::size_t>(c - 1)].first;
      run_.chars(c).ploidy = chars[static_cast<std::size_t>(c - 1)].second;
    }
    counts_.Resize(maxtyp, nc, np);
    totals_.Resize(nc, np);
    freq_.Resize(maxtyp, nc);
    geno_.assign(static_cast<std::size_t>(maxtyp * nc), 0);
  }
  // Sets the copy counts of character c in the genotype under test.
  void Copies(int c, std::vector<int> x) {
    for (std::size_t k = 0; k < x.size(); ++k)
      geno_[static_cast<std::size_t>((c - 1) * run_.par.max_types) + k] =
          static_cast<std::int8_t>(x[k]);
  }
  double Prob() { return Gprob(run_, geno_.data(), freq_); }
  void Counts(int c, int pop, std::vector<int> n, int total) {
    for (std::size_t k = 0; k < n.size(); ++k)
      counts_(static_cast<int>(k) + 1, c, pop) = static_cast<std::int16_t>(n[k]);
    totals_(c, pop) = total;
  }

  Process process_;
  test::RecordingPlatform platform_;
  velk::Run run_{process_, platform_};
  Arr3<std::int16_t> counts_;
  Mat<std::int32_t> totals_;
  Mat<double> freq_;
  std::vector<std::int8_t> geno_;
};

TEST_F(LikelihoodTest, GprobOfOneCharacterByItsKind) {
  struct Row {
    int ntypes, ploidy;
    std::vector<double> freq;
    std::vector<int> copies;
    double want;
    const char* what;
  };
  const double a = 0.1, b = 0.2, c = 0.3, d = 0.4;
  const std::vector<double> f3{0.1, 0.2, 0.7}, h3{0.25, 0.5, 0.25}, f4{a, b, c, d};
  const Row rows[] = {
      {3, 2, f3, {0, 0, 0}, 1.0, "nothing scored"},
      {3, 2, f3, {1, 1, 0}, 0.04, "heterozygote"},
      {3, 2, f3, {2, 0, 0}, 0.01, "homozygote"},
      {3, 2, f3, {0, 0, 1}, 0.7, "partly scored: its actual number of copies"},
      {3, 2, {0.1, 0.2, 0.0}, {0, 1, 1}, 0.0, "a scored type of frequency 0"},
      {3, 1, h3, {0, 1, 0}, 0.5, "haploid"},
      {3, 1, h3, {0, 0, 2}, 0.25, "haploid: the first scored type"},
      {4, 4, f4, {2, 2, 0, 0}, 6.0 * a * a * b * b, "isolocus 2+2"},
      {4, 4, f4, {3, 1, 0, 0}, 4.0 * a * a * a * b, "isolocus 3+1"},
      {4, 4, f4, {0, 0, 0, 4}, d * d * d * d, "isolocus 4"},
      {4, 4, f4, {1, 1, 1, 1}, 24.0 * a * b * c * d, "isolocus 1+1+1+1"},
      {4, 4, f4, {2, 1, 1, 0}, 12.0 * a * a * b * c, "isolocus 2+1+1"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Setup(1, {{r.ntypes, r.ploidy}});
    for (int k = 1; k <= r.ntypes; ++k) freq_(k, 1) = r.freq[static_cast<std::size_t>(k - 1)];
    Copies(1, r.copies);
    EXPECT_DOUBLE_EQ(Prob(), r.want);
  }
}

TEST_F(LikelihoodTest, PlainModelDividesByTheStoredTotal) {
  Setup(2, {{3, 2}, {2, 2}, {3, 2}});
  Counts(1, 1, {3, 1, 0}, 4);
  Counts(2, 1, {1, 1}, 4);  // the total, not the sum of the counts, divides
  Counts(3, 1, {0, 0, 0}, 0);
  freq_.Fill(9.0);
  int missing = -1;
  Relfrq(run_, counts_, totals_, 1, freq_, missing, 0);
  // Type 3 of character 2 is beyond its types; character 3 has no data.
  const double want[3][3] = {{0.75, 0.25, 0.0}, {0.25, 0.25, 0.0}, {1.0 / 3, 1.0 / 3, 1.0 / 3}};
  for (int c = 1; c <= 3; ++c)
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(freq_(k, c), want[c - 1][k - 1]) << k << "," << c;
  EXPECT_EQ(missing, 1);
}

TEST_F(LikelihoodTest, RannalaMountainAddsOneOverTypes) {
  Setup(1, {{2, 2}, {4, 2}});
  Counts(1, 1, {3, 1}, 4);
  Counts(2, 1, {0, 0, 0, 0}, 0);
  run_.opt.rannala_mountain = 1;
  int missing = -1;
  Relfrq(run_, counts_, totals_, 1, freq_, missing, 0);
  EXPECT_EQ(freq_(1, 1), 3.5 / 5.0);
  EXPECT_EQ(freq_(2, 1), 1.5 / 5.0);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(freq_(k, 2), 0.25);
  EXPECT_EQ(missing, 0);  // no data, but the prior fills it: not counted

  // With both switches the Rannala-Mountain rule is used.
  run_.opt.pella_masuda = 1;
  run_.input.pm_weight = Vec<double>(2, 23.0);
  run_.input.pm_prior = Mat<double>(4, 2, 0.25);
  Mat<double> both(4, 2);
  Relfrq(run_, counts_, totals_, 1, both, missing, 0);
  EXPECT_EQ(both(1, 1), 3.5 / 5.0);
}

// A scaled column (largest value 1, log-scale l) is screened through its true
// largest probability exp(l), strictly below the bound; an unset bound screens
// only columns of zeros.
TEST(Setfrq, ScaledColumnsAndTheUnsetBound) {
  const double unset = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    double top, lscale, bound;
    int possible;
  };
  const Row rows[] = {
      {1.0, -800.0, 1e-300, 0}, {1.0, -600.0, 1e-300, 1}, {1.0, -5000.0, 0.0, 1},
      {1.0, -5000.0, unset, 1}, {0.0, 0.0, unset, 0},     {1e-12, 0.0, unset, 1},
      {1e-12, 0.0, 1e-10, 0},   {1.0, -30.0, 1e-10, 0},   {1.0, -20.0, 1e-10, 1},
      {0.5, 0.0, 0.5, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.top << " " << r.lscale << " " << r.bound);
    Mat<double> P(2, 1);
    P(1, 1) = r.top;
    P(2, 1) = r.top / 4;
    Vec<double> lscale(1, r.lscale);
    Vec<std::int32_t> cg(1, 1), ci(1, 3), count(1, 3), possible(1), nposs(1);
    Mat<double> S(2, 1);
    int any = -1;
    Setfrq(2, 1, P, lscale, cg, ci, S, possible, any, nposs, count, r.bound);
    EXPECT_EQ(possible(1), r.possible);
    EXPECT_EQ(any, 1 - r.possible);
    EXPECT_EQ(nposs(1), 3 * r.possible);
    // The class mass holds the true probabilities.
    EXPECT_DOUBLE_EQ(S(1, 1), r.possible ? r.top * std::exp(r.lscale) : 0.0);
  }
  // The log-likelihood adds count * log-scale; only a flag of exactly 1 counts.
  Mat<double> P(1, 1, 0.5);
  for (int flag : {1, 2})
    EXPECT_DOUBLE_EQ(Hood(1, 1, P, Vec<double>(1, -900.0), Vec<double>(1, 1.0),
                          Vec<std::int32_t>(1, flag), Vec<std::int32_t>(1, 3)),
                     flag == 1 ? 3 * (std::log(0.5) - 900.0) : 0.0);
}

TEST(Pctmax, TwoGroupsUseTheirBestMembersAndTotals) {
  // Group 1: populations 3 and 1; group 2: populations 2 and 4.
  const Groups groups = test::MakeGroups({{3, 1}, {2, 4}}, {0.3, 0.7});
  const Vec<double> theta = test::Values({0.1, 0.4, 0.2, 0.3});
  // Population 1's score equals population 3's: the group's first member stays best.
  const Vec<double> score = test::Values({5.0, 2.0, 5.0, 3.0});
  Convergence conv;
  Vec<int> best(2);
  Vec<double> best_score(2);
  Pctmax(4, 10, groups, theta, score, conv, best, best_score);
  EXPECT_EQ(best(1), 3);
  EXPECT_EQ(best(2), 4);
  EXPECT_EQ(best_score(1), 5.0);
  EXPECT_EQ(best_score(2), 3.0);
  const double gap = 5.0 * (0.3 - 0.2) + 5.0 * (0.0 - 0.1) + 2.0 * (0.0 - 0.4) + 3.0 * (0.7 - 0.3);
  EXPECT_DOUBLE_EQ(conv.pctmax, 100.0 * std::exp(-gap));
}

// Hood and Genexp against a plain computation, and the score against a
// numerical derivative of Hood.
TEST(LikelihoodDifferential, HoodAndGenexpOnRandomMixtures) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> unif(0.0, 1.0);
  for (int trial = 0; trial < 50; ++trial) {
    const int np = 1 + static_cast<int>(rng() % 7);
    const int nclasses = 1 + static_cast<int>(rng() % 3);
    Vec<std::int32_t> cg(nclasses), ci(nclasses, 0), nposs(nclasses);
    int ng = 0;
    for (int k = 1; k <= nclasses; ++k) ng += cg(k) = 1 + static_cast<int>(rng() % 5);
    Mat<double> P(np, ng);
    const Vec<double> lscale(ng, 0.0);
    Vec<std::int32_t> count(ng), possible(ng);
    int k = 1, in_class = 0;
    for (int g = 1; g <= ng; ++g) {
      for (int i = 1; i <= np; ++i) P(i, g) = unif(rng) < 0.2 ? 0.0 : unif(rng) * 0.1;
      count(g) = 1 + static_cast<int>(rng() % 4);
      possible(g) = unif(rng) < 0.8 ? 1 : 0;
      ci(k) += count(g);
      if (++in_class == cg(k)) {
        ++k;
        in_class = 0;
      }
    }
    Vec<double> theta(np);
    double sum = 0.0;
    for (int i = 1; i <= np; ++i) sum += theta(i) = 0.05 + unif(rng);
    for (int i = 1; i <= np; ++i) theta(i) /= sum;

    Mat<double> S(np, nclasses);
    Genes(np, nclasses, P, lscale, cg, ci, S, possible, nposs, count);
    std::vector<double> work(static_cast<std::size_t>(ng + nclasses));
    Vec<double> score(np);
    Genexp(np, nclasses, theta, count, work.data(), work.data() + ng, P, S, cg, possible, nposs,
           score);
    const double hood = Hood(np, ng, P, lscale, theta, possible, count);

    double plain_hood = 0.0;
    std::vector<double> plain_score(static_cast<std::size_t>(np), 0.0);
    bool floored = false;
    for (int g = 1; g <= ng; ++g) {
      double q = 0.0;
      for (int i = 1; i <= np; ++i) q += theta(i) * P(i, g);
      EXPECT_EQ(work[static_cast<std::size_t>(g - 1)], q);
      if (possible(g) != 1) continue;
      if (q == 0.0) floored = true;
      plain_hood += count(g) * std::log(std::max(q, 1.0e-99));
      for (int i = 1; i <= np; ++i)
        plain_score[static_cast<std::size_t>(i - 1)] += count(g) / std::max(q, 1e-99) * P(i, g);
    }
    EXPECT_DOUBLE_EQ(hood, plain_hood);
    for (int i = 1; i <= np; ++i) {
      EXPECT_DOUBLE_EQ(score(i), plain_score[static_cast<std::size_t>(i - 1)]);
      if (floored) continue;  // the floored log has no derivative to compare with
      const double h = 1e-6;
      Vec<double> up = theta, down = theta;
      up(i) += h;
      down(i) -= h;
      const double numeric = (Hood(np, ng, P, lscale, up, possible, count) -
                              Hood(np, ng, P, lscale, down, possible, count)) /
                             (2 * h);
      EXPECT_NEAR(score(i), numeric, 1e-4 * (1.0 + std::fabs(numeric)));
    }
    for (int c = 1; c <= nclasses; ++c) {
      double u = 0.0;
      if (nposs(c) > 0)
        for (int i = 1; i <= np; ++i) u += (1.0 - S(i, c)) * theta(i);
      EXPECT_EQ(work[static_cast<std::size_t>(ng + c - 1)], u);
    }
  }
}

}  // namespace
}  // namespace velk
