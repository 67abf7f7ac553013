#include "estimate/likelihood.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/run.hpp"
#include "model/gprob.hpp"
#include "support/baseline.hpp"
#include "support/groups.hpp"
#include "support/run_fixture.hpp"
#include "support/step_run.hpp"

namespace velk {
namespace {

TEST(LikelihoodTest, GprobOfOneCharacterByItsKind) {
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
      {4, 4, f4, {0, 0, 0, 4}, d * d * d * d, "isolocus 4"},
      {4, 4, f4, {1, 1, 1, 1}, 24.0 * a * b * c * d, "isolocus 1+1+1+1"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    test::RunFixture f;
    test::SetBaseline(f.run, {r.ntypes}, {{{}}}, {r.ploidy});
    Mat<double> freq(r.ntypes, 1);
    std::vector<std::int8_t> copies;
    for (int k = 1; k <= r.ntypes; ++k) {
      freq(k, 1) = r.freq[static_cast<std::size_t>(k - 1)];
      copies.push_back(static_cast<std::int8_t>(r.copies[static_cast<std::size_t>(k - 1)]));
    }
    EXPECT_DOUBLE_EQ(Gprob(f.run, copies.data(), freq), r.want);
  }
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
    test::Mixture m;
    m.np = 2;
    m.ngenotypes = 1;
    m.P = Mat<double>(2, 1);
    m.P(1, 1) = r.top;
    m.P(2, 1) = r.top / 4;
    m.lscale = Vec<double>(1, r.lscale);
    m.count = Vec<std::int32_t>(1, 3);
    m.possible = Vec<std::int32_t>(1);
    m.class_genotypes = Vec<std::int32_t>(1, 1);
    m.class_individuals = Vec<std::int32_t>(1, 3);
    test::StepState s(m, test::MakeGroups({{1, 2}}, {1.0}));
    EXPECT_EQ(Setfrq(s.data, r.bound, s.at), r.possible == 0);
    EXPECT_EQ(s.m.possible(1), r.possible);
    EXPECT_EQ(s.nposs(1), 3 * r.possible);
    // The class mass holds the true probabilities.
    EXPECT_DOUBLE_EQ(s.S(1, 1), r.possible ? r.top * std::exp(r.lscale) : 0.0);
  }
  // The log-likelihood adds count * log-scale; only a flag of exactly 1 counts;
  // a mixture probability of 0 takes the floor.
  for (double p : {0.5, 0.0})
    for (int flag : {1, 2})
      EXPECT_DOUBLE_EQ(Hood(1, 1, Mat<double>(1, 1, p), Vec<double>(1, -900.0),
                            Vec<double>(1, 1.0), Vec<std::int32_t>(1, flag),
                            Vec<std::int32_t>(1, 3)),
                       flag == 1 ? 3 * (std::log(p > 0.0 ? p : kProbFloor) - 900.0) : 0.0);
}

}  // namespace
}  // namespace velk
