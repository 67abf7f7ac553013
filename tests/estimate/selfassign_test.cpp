// Leave-one-out posteriors against a computation of their own; the checked
// leave-one-out tables pin the z-scores and the regions.
#include "estimate/selfassign.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/run.hpp"
#include "support/baseline.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

// Two populations, two diploid loci of three types. Type 3 of locus 1 has one
// copy, carried by individual 2: taken out, the individual has probability 0
// everywhere under the plain model and is not assigned. Individual 3 is not
// scored at locus 2. Character 3 is haploid.
TEST(SelfAssign, PosteriorsTakeTheIndividualOutOfItsPopulation) {
  const std::vector<test::PopulationCounts> base = {{{8, 2, 0}, {5, 5, 0}, {4, 6, 0}},
                                                    {{3, 6, 1}, {2, 8, 0}, {7, 3, 0}}};
  const int pop[4] = {1, 2, 1, 2};
  const int copies[4][3][3] = {{{1, 1, 0}, {2, 0, 0}, {0, 1, 0}},
                               {{0, 1, 1}, {0, 2, 0}, {1, 0, 0}},
                               {{2, 0, 0}, {0, 0, 0}, {1, 0, 0}},
                               {{0, 2, 0}, {1, 1, 0}, {0, 1, 0}}};
  // model 0: observed frequencies; 1: Rannala-Mountain; 2: predictive.
  for (int model : {1, 0, 2}) {
    SCOPED_TRACE(model);
    const bool rannala = model >= 1;
    test::RunFixture f;
    test::SetBaseline(f.run, {3, 3, 3}, base, {2, 2, 1});
    f.run.opt.rannala_mountain = rannala ? 1 : 0;
    f.run.opt.predictive = model == 2 ? 1 : 0;
    ReferenceFish fish;
    fish.count = 4;
    fish.pop = Vec<int>(4);
    fish.copies = Arr3<std::int8_t>(3, 3, 4);
    for (int n = 1; n <= 4; ++n) {
      fish.pop(n) = pop[n - 1];
      for (int c = 1; c <= 3; ++c)
        for (int k = 1; k <= 3; ++k)
          fish.copies(k, c, n) = static_cast<std::int8_t>(copies[n - 1][c - 1][k - 1]);
    }
    SelfAssignment a;
    SelfAssign(f.run, fish, a);
    for (int n = 1; n <= 4; ++n) {
      double P[2] = {1.0, 1.0};
      for (int i = 0; i < 2; ++i) {
        for (int c = 0; c < 3; ++c) {
          const int* x = copies[n - 1][c];
          double left[3], total = 0.0;
          for (int k = 0; k < 3; ++k)
            total += left[k] = base[i][c][k] - (i + 1 == pop[n - 1] ? x[k] : 0);
          const int m = x[0] + x[1] + x[2];
          if (m == 2 && x[0] < 2 && x[1] < 2 && x[2] < 2) P[i] *= 2.0;
          if (model == 2) {
            // The copies drawn one after the other from the Dirichlet posterior.
            for (int k = 0; k < 3; ++k)
              for (int j = 0; j < x[k]; ++j) P[i] *= left[k] + 1.0 / 3 + j;
            for (int j = 0; j < m; ++j) P[i] /= total + 1.0 + j;
            continue;
          }
          for (int k = 0; k < 3; ++k)
            P[i] *= std::pow(rannala ? (left[k] + 1.0 / 3) / (total + 1.0) : left[k] / total, x[k]);
        }
      }
      const double sum = P[0] + P[1];
      EXPECT_EQ(a.assigned(n), sum == 0.0 ? 0 : P[0] >= P[1] ? 1 : 2) << n;
      for (int i = 1; sum > 0.0 && i <= 2; ++i)
        EXPECT_NEAR(a.posterior(i, n), P[i - 1] / sum, 1e-12) << n << " in " << i;
    }
  }
}


// The moments of ln P over every diploid genotype, against the genotypes
// listed one by one: one type, a type of frequency 0, many types.
TEST(SelfAssign, TwoCopyMomentsAsEveryGenotypeListed) {
  const std::vector<std::vector<double>> tables = {
      {1.0}, {0.7, 0.0, 0.3}, {0.1, 0.2, 0.3, 0.4}, std::vector<double>(30, 1.0 / 30)};
  for (const std::vector<double>& f : tables) {
    SCOPED_TRACE(f.size());
    double s1 = 0.0, s2 = 0.0;
    for (std::size_t k = 0; k < f.size(); ++k)
      for (std::size_t l = k; l < f.size(); ++l) {
        const double p = f[k] * f[l] * (k == l ? 1.0 : 2.0);
        if (p == 0.0) continue;
        s1 += p * std::log(p);
        s2 += p * std::log(p) * std::log(p);
      }
    double mean = 0.0, var = 0.0;
    LogMoments(f.data(), static_cast<int>(f.size()), 2, 2, mean, var);
    EXPECT_NEAR(mean, s1, 1e-12);
    EXPECT_NEAR(var, s2 - s1 * s1, 1e-12);
  }
}

}  // namespace
}  // namespace velk
