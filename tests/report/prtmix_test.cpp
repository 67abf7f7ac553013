#include "report/prtmix.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::ReadFile;
using test::ReadLines;

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
    std::string name("L");
    name.append(std::to_string(c));
    run.chars(c) = Character{name, c, 9, 2};
    many(1 + c % 9, c, 1) = 2;
  }
  Prtmix(run, Mix(), many, possible);
  std::vector<std::string> lines = ReadLines(dir / "tiny.cmx");
  std::vector<std::size_t> underlines;
  for (const std::string& line : lines) {
    if (line.size() > 1 && line.find_first_not_of('_', 1) == std::string::npos)
      underlines.push_back(line.size() - 1);
    if (line.starts_with("  Type  N")) {
      EXPECT_EQ(line.size(), 1025u);
    }
  }
  // Two groups in each of the two classes.
  EXPECT_EQ(underlines, (std::vector<std::size_t>{1020, 200, 1020, 200}));
  // Genotype 1, character 101 (type 3 = 1 + 101 % 9) at column 1011, character
  // 102 in the next group at column 11.
  const std::string& g1 = lines[7];
  ASSERT_EQ(g1.size(), 1024u);
  EXPECT_EQ(g1.substr(0, 9), "    1   4");
  EXPECT_EQ(g1.substr(1010, 9), "002000000");
  EXPECT_EQ(lines[11].find("L102"), 10u);
  EXPECT_EQ(lines[13].substr(10, 9), "000200000");
}

TEST_F(PrtmixTest, ConditionalGenotypeProbabilities) {
  Prtgen(run, Mix(), P, true);
  test::ExpectGolden(ReadFile(dir / "tiny.gen"), "tiny.gen");
  EXPECT_EQ(run.output.written[3], 1);
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

// Eleven populations: groups of 9 and 2 with underlines of 93 and 30; a tie for
// the largest probability counts for the first population.
TEST_F(PrtmixTest, ElevenPopulationsInTwoGroups) {
  run.par.npop = 11;
  Mat<double> p(11, 5, 0.001);
  p(10, 1) = 0.5;
  p(11, 1) = 0.5;
  Prtgen(run, Mix(), p, true);
  std::vector<std::string> lines = ReadLines(dir / "tiny.gen");
  std::vector<std::size_t> underlines;
  for (const std::string& line : lines)
    if (line.starts_with("  __")) underlines.push_back(line.size() - 2);
  EXPECT_EQ(underlines, (std::vector<std::size_t>{93, 93, 30, 30, 93, 93, 30, 30}));
  EXPECT_NE(ReadFile(dir / "tiny.gen").find("\n  max freqs        4        0\n"),
            std::string::npos);
}

}  // namespace
}  // namespace velk
