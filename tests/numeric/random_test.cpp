// The generators; expected values computed independently from their constants.
#include "numeric/random.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <vector>

#include "core/run.hpp"
#include "model/dirich.hpp"
#include "support/arrays.hpp"

namespace velk {
namespace {

using test::VecOf;

// A process whose generator messages are captured.
struct QuietProcess {
  Process process;
  std::ostringstream console;
  explicit QuietProcess(int lagged_seed = -1) {
    process.random.console = &console;
    if (lagged_seed >= 0) ZBQLINI(process, lagged_seed);
  }
  LaggedGenerator& lagged() { return process.random.lagged; }
};

TEST(LaggedGenerator, SeededOncePerProcessThroughTheHandOverAndWarnsOnce) {
  QuietProcess a, b;
  a.process.Zbqlini(1);
  ZBQLINI(b.process, -1);  // the absolute value is taken
  EXPECT_EQ(a.process.lagged_seed, 1);
  EXPECT_TRUE(a.console.str().empty());
  QuietProcess unseeded;  // 286817366 - 263576576 from the start table
  EXPECT_EQ(ZBQLU01(unseeded.process), 23240790.0 / 424967291.0);

  // A later run hands over another seed: the sequence goes on untouched, and
  // nothing is said (the resampling reseeds from its own seed).
  a.process.Zbqlini(5);
  EXPECT_EQ(a.process.lagged_seed, 5);
  EXPECT_TRUE(a.console.str().empty());
  for (int n = 0; n < 100; ++n) EXPECT_EQ(ZBQLU01(a.process), ZBQLU01(b.process));
  // The generator itself, seeded twice, warns once.
  ZBQLINI(b.process, 5);
  const std::string warning = b.console.str();
  EXPECT_EQ(warning,
            "\n\n     ****WARNING**** You have called routine ZBQLINI more than\n"
            "     once. I'm ignoring any subsequent calls.\n\n\n");
  ZBQLINI(b.process, 6);
  EXPECT_EQ(b.console.str(), warning);  // the third call prints nothing
}

TEST(LaggedGenerator, SeedsOfZeroModBDoNotStickAtZeroAndTheMostNegativeStaysInRange) {
  for (int seed : {0, LaggedGenerator::B, 2 * LaggedGenerator::B}) {
    QuietProcess q(seed);
    // The unseeded start table; the large-shape gamma draw, which never accepts on
    // a stream of zeros, ends.
    EXPECT_EQ(q.lagged().lags, LaggedGenerator::kStartLags) << seed;
    EXPECT_GT(ZBQLGAM(q.process, 25.0, 1.0), 0.0);
  }
  QuietProcess q;
  ZBQLINI(q.process, INT32_MIN);
  for (int i = 1; i <= 43; ++i) {
    EXPECT_GE(q.lagged().ZBQLIX(i), 0);
    EXPECT_LT(q.lagged().ZBQLIX(i), LaggedGenerator::B);
  }
}

TEST(Gamma, IllegalParametersGiveZeroAndDrawNothing) {
  QuietProcess q(3);
  const auto before = q.lagged().lags;
  // 0 rate: infinite; NaN or infinite shape: would never accept.
  for (auto [g, rate] :
       {std::pair{0.0, 1.0}, {-2.0, 1.0}, {2.0, -1.0}, {2.0, 0.0}, {NAN, 1.0}, {INFINITY, 1.0}})
    EXPECT_EQ(ZBQLGAM(q.process, g, rate), 0.0) << g << " " << rate;
  EXPECT_EQ(q.lagged().lags, before);
  EXPECT_NE(q.console.str().find("     ****ERROR**** Illegal parameter value in  ZBQLGAM\n"
                                 "     (both parameters must be positive)\n"),
            std::string::npos);
}

TEST(Gamma, ExactZeroUniformNeverGivesAnInfiniteVariate) {
  for (double g : {0.5, 1.0, 4.0, 25.0}) {
    QuietProcess q(11);
    q.lagged().ZBQLIX(22) = q.lagged().ZBQLIX(43);  // the next uniform is exactly 0.0
    const double x = ZBQLGAM(q.process, g, 1.0);
    EXPECT_TRUE(std::isfinite(x)) << g;
    EXPECT_GE(x, 0.0) << g;
  }
}

// One gamma draw per nonzero Dirichlet parameter (one in each of the gamma draw's
// regimes), in order, normalised; a zero parameter gets zero without a draw.
TEST(Dirich, NormalisedGammaDrawsInOrder) {
  QuietProcess q(12345), r(12345);
  const double alpha[6] = {0.4, 0.0, 1.0, 2.5, 10.0, 14.0};
  double x[6], g[6];
  for (int rep = 0; rep < 100; ++rep) {
    Dirich(q.process, 6, alpha, x);
    double sum = 0.0;
    for (int k = 0; k < 6; ++k) sum += g[k] = alpha[k] > 0 ? ZBQLGAM(r.process, alpha[k], 1.0) : 0;
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(x[k], g[k] / sum, 1e-15) << k;
    EXPECT_EQ(x[1], 0.0);
  }
  EXPECT_EQ(ZBQLU01(q.process), ZBQLU01(r.process));
}

// The sequences themselves are pinned by the resampling runs' checked reports.
TEST(Dran2, SeedsThatWouldLeaveTheRangeStayInIt) {
  QuietProcess q;
  std::int32_t idum = -1;
  for (std::int32_t seed : {700000, 2000000000, INT32_MIN, INT32_MIN + 1}) {
    idum = seed;
    for (int n = 0; n < 2000; ++n) {
      const double u = Dran2(q.process, idum);
      ASSERT_TRUE(u >= 0.0 && u < 1.0 && idum >= 0 && idum < 714025) << seed;
    }
  }
}

// Categories follow the uniforms in order, one per trial; Mtnom1 is one trial of
// it; a sum short of 1 leaves the rest to the last category.
TEST(Dmtnom, CategoriesInOrderShortSumsAndOneTrial) {
  QuietProcess q;
  Vec<std::int32_t> counts(3, 99);
  std::int32_t idum = -1;
  // Uniforms 0.2210, 0.1671, 0.5602, 0.2286, 0.4593: categories 2, 1, 3, 2, 2.
  Dmtnom(q.process, 5, 3, VecOf({0.2, 0.3, 0.5}), counts, idum);
  EXPECT_EQ(std::vector<int>({counts(1), counts(2), counts(3), idum}),
            std::vector<int>({1, 3, 1, 262237}));
  Dmtnom(q.process, 0, 3, VecOf({0.2, 0.3, 0.5}), counts, idum);  // no trials draw nothing
  EXPECT_EQ(std::vector<int>({counts(1) + counts(2) + counts(3), idum}),
            std::vector<int>({0, 262237}));

  const Vec<double> p = VecOf({0.1, 0.0, 0.25, 0.6});
  Vec<std::int32_t> c4(4);
  QuietProcess a, b;
  std::int32_t ia = -77, ib = -77;
  int j = 0;
  for (int k = 0; k < 2000; ++k) {
    Mtnom1(a.process, 4, p, j, ia);
    Dmtnom(b.process, 1, 4, p, c4, ib);
    ASSERT_EQ(c4(j), 1);
  }
  Mtnom1(a.process, 2, VecOf({0.0, 0.0}), j, ia);  // every uniform lies above the sum
  EXPECT_EQ(j, 2);
}

}  // namespace
}  // namespace velk
