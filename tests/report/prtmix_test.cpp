#include "report/prtmix.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/files.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::ReadFile;

class PrtmixTest : public test::TinyReport {
 protected:
  MixtureCounts Mix() {
    return MixtureCounts{.nclasses = class_genotypes.Size(),
                         .class_genotypes = class_genotypes,
                         .class_individuals = class_individuals,
                         .geno_count = count};
  }
};

TEST_F(PrtmixTest, CondensedMixtureMarksTheImpossibleGenotype) {
  Prtmix(run, Mix(), copies, possible);
  test::ExpectGolden(ReadFile(dir / "tiny.cmx"), "tiny.cmx");
  EXPECT_EQ(run.output.written[8], 1);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_NE(platform.LastStatus().find("\tCondensed mixture to " + (dir / "tiny.cmx") + "\r"),
            std::string::npos);
  EXPECT_NE(Log().find("     Compressed Mixture sent to file:\n     " + (dir / "tiny.cmx") + ".\n"),
            std::string::npos);
}

// 120 characters of nine types take ten columns each: 101 fit the first
// 1024-column line (the last starting at column 1010), 19 the second.
TEST_F(PrtmixTest, CharactersAreGroupedToFitTheLine) {
  run.par.nchar = 120;
  run.chars.Resize(120);
  Arr3<std::int8_t> many(9, 120, 5);
  for (int c = 1; c <= 120; ++c) {
    std::string name("L");  // not "L" + ...: a false -Wrestrict of GCC 12
    run.chars(c) = Character{name.append(std::to_string(c)), c, 9, 2};
    many(1 + c % 9, c, 1) = 2;
  }
  Prtmix(run, Mix(), many, possible);
  test::ExpectGolden(ReadFile(dir / "tiny.cmx"), "tiny_wide.cmx");
}

TEST_F(PrtmixTest, ConditionalPopulationProbabilitiesOfOneClass) {
  class_genotypes = Vec<std::int32_t>(1, 5);
  class_individuals = Vec<std::int32_t>(1, 10);
  Mat<double> W(3, 5);
  const double w[5][3] = {
      {0.97, 0.03, 0.0}, {0.01, 0.01, 0.98}, {0.5, 0.0, 0.5}, {0.0, 0.0, 0.0}, {0.21, 0.73, 0.06}};
  for (int g = 1; g <= 5; ++g)
    for (int i = 1; i <= 3; ++i) W(i, g) = w[g - 1][i - 1];
  Prtgen(run, Mix(), W, false);
  test::ExpectGolden(ReadFile(dir / "tiny.pop"), "tiny.pop");
  EXPECT_EQ(run.output.written[2], 1);
}

// Eleven populations: groups of 9 and 2; a tie for the largest probability
// counts for the first population.
TEST_F(PrtmixTest, ElevenPopulationsInTwoGroups) {
  run.par.npop = 11;
  Mat<double> p(11, 5, 0.001);
  p(10, 1) = 0.5;
  p(11, 1) = 0.5;
  Prtgen(run, Mix(), p, true);
  test::ExpectGolden(ReadFile(dir / "tiny.gen"), "tiny_eleven.gen");
}

}  // namespace
}  // namespace velk
