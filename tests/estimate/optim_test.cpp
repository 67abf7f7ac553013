// The maximisation driver against an independent plain EM, and its stopping rules.
#include "estimate/optim.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "estimate/likelihood.hpp"
#include "model/gmatrx.hpp"
#include "support/files.hpp"
#include "support/groups.hpp"
#include "support/mixture.hpp"
#include "support/reference_em.hpp"
#include "support/step_run.hpp"
#include "support/synthetic.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::AsMixture;

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
    Gmatrx(run, P, lscale, nmissing);
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
    Optim(run, RunOptimData(run, P, lscale), sw, groups, theta, possible, res);
  }

  test::StepRun s;
  velk::Run& run = s.run;
  Mat<double> P;
  Vec<double> lscale;
  Vec<double> theta;
  Vec<std::int32_t> possible;
  Groups groups;
  OptimResult res;
};

// A maximisation from even shares in one group, on r's own genotype matrix.
struct Maximum {
  Vec<double> theta;
  Vec<std::int32_t> flags;
  OptimResult res;
};
Maximum MaximiseEvenly(velk::Run& r, Mat<double>& P, Vec<double>& lscale, const OptimSwitches& sw) {
  int nmissing = 0;
  Gmatrx(r, P, lscale, nmissing);
  const int np = r.par.npop;
  Maximum m{Vec<double>(np, 1.0 / np), Vec<std::int32_t>(r.input.ngenotypes, 1), OptimResult{}};
  Groups g = OneGroup(np);
  m.res.nposs = r.input.sample_size;
  Optim(r, RunOptimData(r, P, lscale), sw, g, m.theta, m.flags, m.res);
  return m;
}

// SNP panels whose probabilities fall far below the range of a double (2 % of
// the loci missing, Rannala-Mountain): every search and every kind of genotype
// tolerance reaches the log-space EM reference on the genotypes it keeps (the
// bound compared with the true probability).
TEST_F(OptimTest, SnpPanelsReachTheLogSpaceReference) {
  const double unset = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    int np, loci;
    double tolerance;
    int irls;
  };
  const Case cases[] = {
      {12, 400, unset, 0},  {12, 400, 0.0, 1},  {12, 720, 1e-300, 0}, {12, 720, 1e-300, 1},
      {20, 1500, unset, 1}, {20, 1500, 0.0, 0}, {100, 500, unset, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.np << " populations, " << c.loci << " loci, tolerance "
                                    << c.tolerance << ", irls " << c.irls);
    test::StepRun fresh;
    velk::Run& r = fresh.run;
    test::MakeSnpPanel(r, c.np, c.loci, 300, 0.02, 31u + c.loci, 100);
    r.opt.rannala_mountain = 1;
    r.par.eps = 1.0e-10;
    r.par.ftol = 1.0e-15;
    r.par.gpa = 100.5;
    r.par.max_iterations = 5000;
    r.par.geno_tol = c.tolerance;
    OptimSwitches sw;
    sw.irls = c.irls;
    const Maximum max = MaximiseEvenly(r, P, lscale, sw);
    ASSERT_EQ(r.error.stop, 0);
    EXPECT_LT(lscale(1), std::log(1e-99));
    const Vec<double>& th = max.theta;
    const Vec<std::int32_t>& flags = max.flags;
    const OptimResult& out = max.res;
    // Screened exactly when the true largest probability is below the bound.
    const std::vector<double> logp = test::LogProbabilities(r);
    for (int gg = 1; gg <= r.input.ngenotypes; ++gg) {
      const auto first = logp.begin() + (gg - 1) * c.np;
      const double top = *std::max_element(first, first + c.np);
      EXPECT_EQ(flags(gg), c.tolerance > 0.0 && top < std::log(c.tolerance) ? 0 : 1) << gg;
    }
    const test::Reference ref =
        test::ReferenceEm(r, logp, std::vector<int>(flags.begin(), flags.end()));
    const double rho = static_cast<double>(out.nposs) / r.input.sample_size;
    for (int i = 1; i <= c.np; ++i)
      EXPECT_NEAR(th(i), rho * ref.theta[static_cast<std::size_t>(i - 1)], 1e-5) << i;
    EXPECT_NEAR(out.L, ref.L, 1e-9 * std::fabs(ref.L));
  }
}

// The predictive genotype model on a SNP panel (2 % missing) and on nine
// microsatellites of twelve alleles: the estimate equals EM on the compound
// Dirichlet-multinomial probabilities written from the counts, and differs
// from the plug-in model's by more than that.
TEST_F(OptimTest, ThePredictiveModelReachesItsReference) {
  for (bool snps : {true, false}) {
    SCOPED_TRACE(snps ? "SNP panel" : "microsatellites");
    test::StepRun fresh;
    velk::Run& r = fresh.run;
    if (snps) {
      test::MakeSnpPanel(r, 12, 400, 300, 0.02, 431u, 40);
    } else {
      test::MakeSynthetic(r, {.np = 6, .nc = 9, .t = 12, .copies_per_population = 60,
                              .individuals = 300, .theta = {0.3, 0.25, 0.2, 0.15, 0.1, 0.0}});
    }
    const int np = r.par.npop;
    r.opt.predictive = 1;
    r.opt.rannala_mountain = 1;
    r.par.eps = 1.0e-10;
    r.par.ftol = 1.0e-15;
    r.par.gpa = 100.5;
    r.par.max_iterations = 5000;
    const Maximum max = MaximiseEvenly(r, P, lscale, OptimSwitches{});
    ASSERT_EQ(r.error.stop, 0);
    const Vec<double>& th = max.theta;
    const OptimResult& out = max.res;
    const test::Reference ref = test::ReferenceEm(r, test::LogProbabilities(r), {}, 1e-12);
    r.opt.predictive = 0;
    const test::Reference plug_in = test::ReferenceEm(r, test::LogProbabilities(r), {}, 1e-12);
    double gap = 0.0;
    for (int i = 1; i <= np; ++i) {
      const auto k = static_cast<std::size_t>(i - 1);
      EXPECT_NEAR(th(i), ref.theta[k], 1e-6) << i;
      gap = std::max(gap, std::fabs(plug_in.theta[k] - ref.theta[k]));
    }
    EXPECT_NEAR(out.L, ref.L, 1e-9 * std::fabs(ref.L));
    EXPECT_GT(gap, 1e-4);
  }
}

// 100 populations told apart by 6 SNP loci: the conjugate-gradient search
// stalls far from the maximum (1006); the EM steps after it reach the maximum.
TEST_F(OptimTest, AStalledSearchGoesOnToTheMaximum) {
  test::StepRun fresh;
  velk::Run& r = fresh.run;
  test::MakeSnpPanel(r, 100, 6, 2000, 0.0, 5u, 200);
  r.par.geno_tol = 0.0;
  r.par.eps = 1.0e-6;
  r.par.gpa = 99.999;
  r.par.max_iterations = 3000;
  const Maximum max = MaximiseEvenly(r, P, lscale, OptimSwitches{});
  ASSERT_EQ(r.error.stop, 0);
  const OptimResult& out = max.res;
  const test::Reference ref = test::ReferenceEm(r, test::LogProbabilities(r), {}, 1e-7);
  EXPECT_NEAR(out.L, ref.L, 1e-6 * std::fabs(ref.L));
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

TEST_F(OptimTest, TheIterationLimitEndsTheSearch) {
  MakeP();
  run.par.max_iterations = 2;
  Maximise(0);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(res.iterations, 2);
  EXPECT_EQ(res.finished, 1);
  EXPECT_EQ(run.error.last_code, 1008);
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
  run.files.output = dir / "short";
  ASSERT_TRUE(OpenReport(run, Report::kIterations, "iteration", "Iterations output to "));
  run.par.max_iterations = 33;
  run.par.eps = 1.0e-30;
  run.par.ftol = 1.0e-300;
  Maximise(1, 1);
  ASSERT_TRUE(CloseReport(run, 4));
  test::ExpectGolden(test::ReadFile(dir / "short.itr"), "optim_short.itr");
}

}  // namespace
}  // namespace velk
