// The maximisation driver against an independent plain EM, and its stopping rules.
#include "estimate/optim.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "core/report_file.hpp"
#include "model/gmatrx.hpp"
#include "estimate/likelihood.hpp"
#include "support/files.hpp"
#include "support/groups.hpp"
#include "support/mixture.hpp"
#include "support/step_run.hpp"
#include "support/synthetic.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::AsMixture;
using test::PlainEm;

class OptimTest : public ::testing::Test {
 protected:
  void SetUp() override { Build(test::SyntheticShape{}); }

  void Build(const test::SyntheticShape& shape) {
    test::MakeSynthetic(run, shape);
    run.par.eps = 1.0e-9;
    run.par.ftol = 1.0e-15;
    run.par.gpa = 100.5;  // never reached: the tolerances decide
    run.par.irls_switch = 0.01;
    run.par.geno_tol = 0.0;
    run.par.max_iterations = 5000;
  }

  void MakeP() {
    int nmissing = 0;
    Gmatrx(run, P, nmissing);
    ASSERT_EQ(run.error.stop, 0);
  }

  // Optim from `start` (default equal shares) under the groups `g` (default one).
  void Maximise(int irls, int history = 0, const Groups& g = Groups{},
                const Vec<double>& start = Vec<double>{}) {
    const int np = run.par.npop;
    theta = start.Size() > 0 ? start : Vec<double>(np, 1.0 / np);
    groups = g.k > 0 ? g : OneGroup(np);
    possible = Vec<std::int32_t>(run.input.ngenotypes, 1);
    res = OptimResult{};
    res.nposs = run.input.sample_size;
    OptimSwitches sw;
    sw.irls = irls;
    sw.history = history;
    Optim(run, RunOptimData(run, P), sw, groups, theta, possible, res);
  }

  // At the plain EM maximum (scaled to the possible fraction); score = N where theta > 0.
  void ExpectMaximum() {
    const Vec<double> ml = PlainEm(AsMixture(run, P, possible));
    const double rho = groups.total(1);
    for (int i = 1; i <= run.par.npop; ++i) {
      EXPECT_NEAR(theta(i), rho * ml(i), 1.0e-5) << "population " << i;
      if (theta(i) > 1.0e-4) {
        EXPECT_NEAR(res.score(i) / res.nposs, 1.0 / rho, 1.0e-5);
      }
    }
    EXPECT_NEAR(Hood(run.par.npop, run.input.ngenotypes, P, theta, possible, run.input.geno_count),
                res.L, 1.0e-9 * std::fabs(res.L));
  }

  // Opens the history file `name`.itr in `dir`.
  void OpenHistory(const test::TempDir& dir, const std::string& name) {
    run.files.output = dir / name;
    ASSERT_TRUE(OpenReport(run, 4, ".itr", "iteration", "Iterations output to "));
  }

  test::StepRun s;
  velk::Run& run = s.run;
  Mat<double> P;
  Vec<double> theta;
  Vec<std::int32_t> possible;
  Groups groups;
  OptimResult res;
};

// Populations absent from the mixture go to zero (the many-loci test covers the rest).
TEST_F(OptimTest, ConjugateGradientAndIrlsReachThePlainEmMaximum) {
  Build({.theta = {0.6, 0.4, 0.0, 0.0}});
  MakeP();
  for (int irls = 0; irls <= 1; ++irls) {
    SCOPED_TRACE(irls);
    Maximise(irls);
    ASSERT_EQ(run.error.stop, 0);
    EXPECT_EQ(res.nposs, run.input.sample_size);
    ExpectMaximum();
  }
}

// SNP-like data: 400 loci put every genotype far below 1e-99. The search still reaches
// the maximum (no flat floored likelihood, no 1006 from IRLS); unscreened underflow
// leaves every share finite.
TEST_F(OptimTest, SearchesReachTheMaximumWithManyLoci) {
  test::SyntheticShape shape{
      .np = 12, .nc = 400, .t = 2, .copies_per_population = 100, .individuals = 400, .seed = 11};
  shape.theta.clear();
  double sum = 0.0;
  for (int i = 1; i <= shape.np; ++i) sum += std::pow(0.6, i);
  for (int i = 1; i <= shape.np; ++i) shape.theta.push_back(std::pow(0.6, i) / sum);
  Build(shape);
  MakeP();
  EXPECT_LT(P(1, 1), 1.0e-99);
  for (double tolerance : {1.0e-300, 0.0}) {
    run.par.geno_tol = tolerance;
    for (int irls = 0; irls <= 1; ++irls) {
      SCOPED_TRACE(testing::Message() << "tolerance " << tolerance << " irls " << irls);
      Maximise(irls);
      ASSERT_EQ(run.error.stop, 0);
      EXPECT_NE(run.error.last_code, 1006);
      EXPECT_LT(res.iterations, 100);
      if (tolerance > 0.0) {
        ExpectMaximum();
      } else {
        for (int i = 1; i <= shape.np; ++i) EXPECT_TRUE(std::isfinite(theta(i))) << i;
        EXPECT_TRUE(std::isfinite(res.L));
      }
    }
  }
}

TEST_F(OptimTest, ImpossibleGenotypesAreScreenedAndTheSampleAdjusted) {
  MakeP();
  // Ten individuals carry a genotype no population can give.
  for (int g = 1; g <= 10; ++g) {
    for (int i = 1; i <= run.par.npop; ++i) P(i, g) = 1.0e-12;
  }
  run.par.geno_tol = 1.0e-10;
  Maximise(0);
  ASSERT_EQ(run.error.stop, 0);
  EXPECT_EQ(res.nposs, run.input.sample_size - 10);
  for (int g = 1; g <= run.input.ngenotypes; ++g) EXPECT_EQ(possible(g), g <= 10 ? 0 : 1);
  const double rho = static_cast<double>(res.nposs) / run.input.sample_size;
  EXPECT_DOUBLE_EQ(groups.total(1), rho);
  ExpectMaximum();

  // Everything impossible stops the run.
  run.par.geno_tol = 2.0;
  Maximise(0);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.last_code, 3036);
}

// Group 1 holds population 2 alone at 0.25; group 2 the others at 0.75.
TEST_F(OptimTest, AGroupOfOnePopulationKeepsItsTotal) {
  MakeP();
  const int np = run.par.npop;
  const Groups two = test::MakeGroups({{2}, {1, 3, 4}}, {0.25, 0.75});
  const Vec<double> ml =
      test::GroupEm(AsMixture(run, P, Vec<std::int32_t>(run.input.ngenotypes, 1)), two);
  for (int irls = 0; irls <= 1; ++irls) {
    Maximise(irls, 0, two, Vec<double>(np, 0.25));
    ASSERT_EQ(run.error.stop, 0);
    EXPECT_DOUBLE_EQ(theta(2), 0.25);
    for (int i = 1; i <= np; ++i) EXPECT_NEAR(theta(i), ml(i), 1.0e-5) << "population " << i;
  }
}

TEST_F(OptimTest, TheIterationLimitAndTheGpaThresholdEndTheSearch) {
  MakeP();
  run.par.max_iterations = 2;
  Maximise(0);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(res.iterations, 2);
  EXPECT_EQ(res.finished, 1);
  EXPECT_EQ(run.error.last_code, 1008);

  run.par.max_iterations = 5000;
  run.par.gpa = 50.0;
  Maximise(0);
  EXPECT_EQ(run.error.last_code, 102);
  EXPECT_GT(res.conv.pctmax, 50.0);
  EXPECT_LT(res.iterations, 50);
}

// Started at the maximum, conjugate gradient finds nothing to gain (1007): with
// IRLS off the search ends stalled after one pass; with it on IRLS takes over.
TEST_F(OptimTest, AStalledConjugateGradientEndsOrHandsOverToIrls) {
  MakeP();
  Maximise(1);
  const Vec<double> best = theta;
  for (int irls = 0; irls <= 1; ++irls) {
    Maximise(irls, 0, Groups{}, best);
    ASSERT_EQ(run.error.stop, 0);
    if (irls == 0) {
      EXPECT_EQ(res.stalled, 1);
      EXPECT_EQ(res.iterations, 1);
      EXPECT_EQ(res.finished, 0);
    } else {
      EXPECT_GE(res.iterations, 2);
    }
    for (int i = 1; i <= run.par.npop; ++i) EXPECT_NEAR(theta(i), best(i), 1.0e-7);
  }
}

// A missing baseline pair: EM with the baseline update, then IRLS stalls at pass 29,
// whose line the tail writes; checked by hand against the layouts.
TEST_F(OptimTest, TheHistoryOfAShortRunMatchesItsExpectedFile) {
  Build({.np = 3, .nc = 2, .t = 3, .individuals = 40, .theta = {0.5, 0.3, 0.2}});
  test::DropBaseline(run, 2, 1);
  MakeP();
  test::TempDir dir;
  OpenHistory(dir, "short");
  run.par.max_iterations = 33;
  run.par.eps = 1.0e-30;
  run.par.ftol = 1.0e-300;
  Maximise(1, 1);
  run.output.unit[4].Close();
  test::ExpectGolden(test::ReadFile(dir / "short.itr"), "optim_short.itr");
}

}  // namespace
}  // namespace velk
