#include "model/gmatrx.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "core/run.hpp"
#include "estimate/likelihood.hpp"
#include "model/gprob.hpp"
#include "support/baseline.hpp"
#include "support/reference_em.hpp"
#include "support/run_fixture.hpp"
#include "support/synthetic.hpp"

namespace velk {
namespace {

// Random baselines and genotypes over loci, isoloci and haploid characters (up to
// twelve types, so both ways of comparing copy patterns are used), with characters
// missing from some populations and some genotypes.
class GmatrxTest : public ::testing::Test, public test::RunFixture {
 protected:
  void Build(unsigned seed, int np, int nc, int ng, int most_types = 12) {
    std::mt19937 rng(seed);
    const int ploidies[3] = {1, 2, 4};
    run.par.npop = np;
    run.par.nchar = nc;
    run.chars.Resize(nc);
    int maxtyp = 1;
    for (int c = 1; c <= nc; ++c) {
      run.chars(c).ntypes = 1 + static_cast<int>(rng() % static_cast<unsigned>(most_types));
      run.chars(c).ploidy = ploidies[rng() % 3];
      maxtyp = std::max(maxtyp, run.chars(c).ntypes);
    }
    run.par.max_types = maxtyp;
    Input& in = run.input;
    in.base_counts.Resize(maxtyp, nc, np);
    in.base_totals.Resize(nc, np);
    for (int i = 1; i <= np; ++i) {
      for (int c = 1; c <= nc; ++c) {
        if (rng() % 8 == 0) continue;  // no data for this character
        std::vector<int> n(static_cast<std::size_t>(run.chars(c).ntypes));
        for (int& x : n) x = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % 40);
        test::SetCounts(run, i, c, n);
      }
    }
    in.ngenotypes = ng;
    in.copies.Resize(maxtyp, nc, ng);
    for (int g = 1; g <= ng; ++g) {
      for (int c = 1; c <= nc; ++c) {
        if (rng() % 6 == 0) continue;  // not scored
        const int t = run.chars(c).ntypes;
        int n = run.chars(c).ploidy;
        if (n == 2 && rng() % 10 == 0) n = 1;  // partly scored
        for (int j = 0; j < n; ++j) ++in.copies(1 + static_cast<int>(rng() % t), c, g);
      }
    }
    in.pm_weight = Vec<double>(nc);
    in.pm_prior = Mat<double>(maxtyp, nc);
    for (int c = 1; c <= nc; ++c) {
      in.pm_weight(c) = 1.0 + (rng() % 1000) / 10.0;
      const int t = run.chars(c).ntypes;
      for (int k = 1; k <= t; ++k) in.pm_prior(k, c) = 1.0 / t;
    }
  }

  // P(i, g) must be exactly Gprob under population i's Relfrq table.
  void ExpectMatchesGprob(const Mat<double>& P) {
    Mat<double> freq(run.par.max_types, run.par.nchar);
    for (int i = 1; i <= run.par.npop; ++i) {
      int missing = 0;
      Relfrq(run, run.input.base_counts, run.input.base_totals, i, freq, missing, 0);
      for (int g = 1; g <= run.input.ngenotypes; ++g)
        ASSERT_EQ(P(i, g), Gprob(run, run.input.copies.Ptr(1, 1, g), freq))
            << "population " << i << " genotype " << g;
    }
  }
};

// A matrix larger than needed is kept and only the genotypes given are filled
// (column 26 keeps its -1); genotype 1, scored nowhere, has probability 1.
TEST_F(GmatrxTest, EveryEntryIsGprobOfThePopulationsFrequenciesUnderEachModel) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    Build(seed, 1 + static_cast<int>(seed % 9), 1 + static_cast<int>(seed % 7), 25);
    for (int c = 1; c <= run.par.nchar; ++c)
      for (int k = 1; k <= run.par.max_types; ++k) run.input.copies(k, c, 1) = 0;
    int plain_missing = 0;  // (population, character) pairs without data
    for (int i = 1; i <= run.par.npop; ++i)
      for (int c = 1; c <= run.par.nchar; ++c) plain_missing += run.input.base_totals(c, i) < 1;
    for (int model = 0; model < 3; ++model) {
      run.opt.rannala_mountain = model == 1;
      run.opt.pella_masuda = model == 2;
      Mat<double> P(run.par.npop, 30, -1.0);
      Vec<double> lscale;
      int nmissing = -1;
      Gmatrx(run, P, lscale, nmissing);
      ASSERT_EQ(P.Cols(), 30);
      EXPECT_EQ(nmissing, model == 0 ? plain_missing : 0);
      ExpectMatchesGprob(P);
      if (HasFatalFailure()) return;
      for (int i = 1; i <= run.par.npop; ++i) EXPECT_EQ(P(i, 1) + P(i, 26), 0.0);
    }
  }
}

// SNP panels of a dozen to thousands of loci: the matrix, its unscaled copy and
// the draws' one-column path agree with the logarithms; kScaleBound decides scaling.
TEST(GmatrxScaling, ColumnsAgreeWithTheLogarithms) {
  for (int loci : {12, 150, 3000}) {
    for (int rm : {0, 1}) {
      SCOPED_TRACE(testing::Message() << loci << " loci, model " << rm);
      test::RunFixture f;
      auto& run = f.run;
      test::MakeSnpPanel(run, 9, loci, 40, 0.02, 3u + loci, 60);
      run.opt.rannala_mountain = rm;
      Mat<double> P;
      Vec<double> lscale;
      int nmissing = 0;
      Gmatrx(run, P, lscale, nmissing);
      const std::vector<double> logp = test::LogProbabilities(run);
      PopulationFrequencies tables;
      Popfrq(run, run.input.base_counts, run.input.base_totals, 0, tables, nmissing);
      std::vector<double> col(9);
      const Mat<double> unscaled = Unscaled(P, lscale, run.input.ngenotypes);
      for (int g = 1; g <= run.input.ngenotypes; ++g) {
        double top = 0.0, one = 0.0;
        for (int i = 1; i <= 9; ++i) top = std::max(top, P(i, g));
        if (lscale(g) == 0.0) {
          EXPECT_TRUE(top >= kScaleBound || top == 0.0) << g;
        } else {
          EXPECT_TRUE(top == 1.0 && lscale(g) < std::log(kScaleBound)) << g;
        }
        Gpcol(run, tables, run.input.copies.Ptr(1, 1, g), col.data(), one);
        for (int i = 1; i <= 9; ++i) {
          const double want = logp[static_cast<std::size_t>((g - 1) * 9 + i - 1)];
          if (std::isinf(want)) {  // a type of frequency 0 under the plain model
            EXPECT_EQ(P(i, g), 0.0);
            continue;
          }
          const double tol = 1e-12 * (1.0 + std::fabs(want));
          EXPECT_NEAR(std::log(P(i, g)) + lscale(g), want, tol) << g << " " << i;
          EXPECT_NEAR(std::log(col[static_cast<std::size_t>(i - 1)]) + one, want, tol);
          EXPECT_NEAR(unscaled(i, g), std::exp(want), 2 * tol * std::exp(want));
        }
      }
    }
  }
}

}  // namespace
}  // namespace velk
