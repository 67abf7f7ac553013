// Leave-one-out self-assignment: the z-score's moments, and every
// pseudo-individual of three chinook populations against a computation of its
// own (frequencies from the counts without it, products of genotype
// probabilities, normalised), under the Rannala-Mountain and the plain model.
#include "estimate/selfassign.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "data/base.hpp"
#include "data/reference.hpp"
#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

TEST(SelfAssign, LogMomentsOfOneCharacter) {
  const double h = std::log(0.5);
  struct Case {
    std::vector<double> f;
    int ploidy, n;
    double mean, var;
  };
  for (const Case& c : {Case{{1.0, 0.0}, 2, 2, 0.0, 0.0}, Case{{0.5, 0.5}, 1, 1, h, 0.0},
                        // 11 and 22 at 1/4 each, 12 at 1/2: ln 1/4 or ln 1/2, evenly.
                        Case{{0.5, 0.5}, 2, 2, 1.5 * h, 0.25 * h * h},
                        // one copy scored of a diploid: ln 0.2 or ln 0.8.
                        Case{{0.2, 0.8},
                             2,
                             1,
                             0.2 * std::log(0.2) + 0.8 * std::log(0.8),
                             0.16 * std::pow(std::log(0.2) - std::log(0.8), 2)}}) {
    double mean = 0.0, var = 0.0;
    LogMoments(c.f.data(), static_cast<int>(c.f.size()), c.ploidy, c.n, mean, var);
    EXPECT_NEAR(mean, c.mean, 1e-12);
    EXPECT_NEAR(var, c.var, 1e-12);
  }
}

// Pseudo-individuals of population p: its gene copies at every locus, type 1
// first, dealt two by two to individuals 1, 2, ... (the last may get one
// copy; individuals beyond a locus's copies miss it). Their copies add up to
// the population's counts exactly.
std::string PseudoIndividuals(const Run& run, int p) {
  int nfish = 0;
  for (int c = 1; c <= run.par.nchar; ++c)
    nfish = std::max(nfish, (run.input.base_totals(c, p) + 1) / 2);
  std::ostringstream s;
  for (int f = 0; f < nfish; ++f) {
    s << "P" << p << "-" << f + 1 << " " << p;
    for (int c = 1; c <= run.par.nchar; ++c) {
      int x[2] = {0, 0};
      const int a = run.input.base_counts(1, c, p);
      const int total = a + run.input.base_counts(2, c, p);
      for (int k = 2 * f; k < std::min(2 * f + 2, total); ++k) ++x[k < a ? 0 : 1];
      s << " " << x[0] << x[1];
    }
    s << "\n";
  }
  return s.str();
}

TEST(SelfAssign, ChinookPseudoIndividualsAgreeWithAnIndependentComputation) {
  const fs::path data = fs::path(VELK_SHARED_DATA) / "chinook";
  if (!fs::exists(data / "chinook.bse")) GTEST_SKIP() << "the chinook data are not present";
  for (int rannala : {1, 0}) {
    SCOPED_TRACE(rannala);
    test::TempDir dir;
    test::RunFixture f(dir / "run.log");
    velk::Run& run = f.run;
    const int np = 69, nc = 91;
    run.par.npop = np;
    run.par.nchar = nc;
    run.par.max_types = 2;
    run.opt.rannala_mountain = rannala;
    run.pops.Resize(np);
    for (int i = 1; i <= np; ++i) run.pops(i).id = i;
    run.chars.Resize(nc);
    for (int c = 1; c <= nc; ++c) {
      run.chars(c).name = (c < 10 ? "L0" : "L") + std::to_string(c);
      run.chars(c).ntypes = 2;
    }
    run.files.baseline = data / "chinook.bse";
    run.input.base_counts.Resize(2, nc, np);
    run.input.base_totals.Resize(nc, np);
    Base(run);
    ASSERT_EQ(run.error.stop, 0);

    // Feather_H_sp, and the two populations with loci without data.
    std::string ref = "\\ pseudo-individuals\n* characters\nID\nPOP\n";
    for (int c = 1; c <= nc; ++c) ref += run.chars(c).name + "\n";
    ref += "* end\n";
    for (int p : {1, 63, 69}) ref += PseudoIndividuals(run, p);
    test::WriteFile(dir / "three.ref", ref);
    run.files.reference = dir / "three.ref";
    ReferenceFish fish;
    ReadReference(run, fish);
    ASSERT_EQ(run.error.stop, 0);
    ASSERT_GT(fish.count, 500);
    SelfAssignment a;
    SelfAssign(run, fish, a);

    int assigned = 0;
    for (int n = 1; n <= fish.count; ++n) {
      const int j = fish.pop(n);
      std::vector<double> P(np + 1, 1.0);
      double sum = 0.0;
      for (int i = 1; i <= np; ++i) {
        for (int c = 1; c <= nc; ++c) {
          const int x1 = fish.copies(1, c, n), x2 = fish.copies(2, c, n);
          if (x1 + x2 == 0) continue;
          double n1 = run.input.base_counts(1, c, i), n2 = run.input.base_counts(2, c, i);
          if (i == j) n1 -= x1, n2 -= x2;
          double f1 = 0.5, f2 = 0.5;
          if (rannala == 1) {
            f1 = (n1 + 0.5) / (n1 + n2 + 1.0), f2 = (n2 + 0.5) / (n1 + n2 + 1.0);
          } else if (n1 + n2 >= 1) {
            f1 = n1 / (n1 + n2), f2 = n2 / (n1 + n2);
          }
          P[i] *= x1 + x2 == 1 ? (x1 == 1 ? f1 : f2)
                               : (x1 == 2   ? f1 * f1
                                  : x2 == 2 ? f2 * f2
                                            : 2 * f1 * f2);
        }
        sum += P[i];
      }
      if (sum == 0.0) {
        EXPECT_EQ(a.assigned(n), 0) << fish.id[n - 1];
        continue;
      }
      ++assigned;
      for (int i = 1; i <= np; ++i)
        ASSERT_NEAR(a.posterior(i, n), P[i] / sum, 1e-9) << fish.id[n - 1] << " in " << i;
    }
    EXPECT_GT(assigned, fish.count / 2);
  }
}

}  // namespace
}  // namespace velk
