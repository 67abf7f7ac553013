#include "report/prtest.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/files.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using test::ReadFile;

class PrtestTest : public test::TinyReport {
 protected:
  // Writes the report for the tiny estimation and returns it.
  std::string Report(int nclasses, int possible_size, bool standard_errors) {
    EXPECT_TRUE(run.output.unit[5].Open(dir / "tiny.est"));
    Prtest(run, EstimatesReport{.nclasses = nclasses,
                                .ngenotypes = 5,
                                .possible_size = possible_size,
                                .class_genotypes = class_genotypes,
                                .class_individuals = class_individuals,
                                .iterations = 12,
                                .log_likelihood = -23.456789,
                                .record = record,
                                .theta = theta,
                                .sd = sd,
                                .score = score,
                                .cov = cov,
                                .regional = regional,
                                .region_cov = region_cov,
                                .standard_errors = standard_errors});
    run.output.unit[5].Close();
    return ReadFile(dir / "tiny.est");
  }
};

// Two classes, an impossible genotype, regions on two levels, standard errors,
// the Rannala-Mountain model; populations 3 and region 2 are left out of the tables.
TEST_F(PrtestTest, StandardErrorsRegionsClassesAndUnknown) {
  run.opt.rannala_mountain = 1;
  test::ExpectGolden(Report(2, 9, true), "tiny_se.est");
}

// One class, nothing impossible, no regions, no standard errors, Pella-Masuda.
TEST_F(PrtestTest, PlainEstimateWithoutRegions) {
  run.opt.pella_masuda = 1;
  run.par.nregions = 0;
  class_genotypes = Vec<std::int32_t>(1, 5);
  class_individuals = Vec<std::int32_t>(1, 10);
  test::ExpectGolden(Report(1, 10, false), "tiny_plain.est");
}

// No region above the floor: the region table without its covariances.
TEST_F(PrtestTest, NoRegionAboveTheFloorPrintsTheRegionTableWithoutItsCovariances) {
  regional.Fill(0.0);
  test::ExpectGolden(Report(2, 9, true), "tiny_floor.est");
}

// A tie for the largest score marks the first; nothing unknown when all is possible.
TEST_F(PrtestTest, LargestScoreIsMarkedFirstOnTies) {
  score(3) = 10.5;
  test::ExpectGolden(Report(2, 10, false), "tiny_ties.est");
}

// Seven entries: columns 1-5, then 6-7; correlations of -1 and negative
// covariances print in full.
TEST(PrcovTest, SevenEntriesInTwoBlocks) {
  test::TempDir dir;
  Vec<std::string> names(8);
  for (int i = 1; i <= 8; ++i) names(i) = "Stock " + std::string(1, static_cast<char>('A' + i - 1));
  // Entry 4 of the matrix is left out of the list.
  Mat<double> m(8, 8);
  for (int r = 1; r <= 8; ++r)
    for (int c = 1; c <= 8; ++c)
      m(r, c) = r > c ? 0.1 * (r - c) - 0.25 : 0.001 * (r + c) * (r == c ? 2 : -1);
  m(2, 1) = -1.0;
  m(8, 7) = 0.9996;
  Vec<std::int32_t> index(8);
  const int list[] = {1, 2, 3, 5, 6, 7, 8};
  for (int k = 1; k <= 7; ++k) index(k) = list[k - 1];
  Unit unit;
  ASSERT_TRUE(unit.Open(dir / "cov.txt"));
  Prcov(unit, names, m, 7, index);
  unit.Close();
  test::ExpectGolden(ReadFile(dir / "cov.txt"), "prcov_seven.txt");
}

// No entries write nothing; a vector is written on one line.
TEST(PrcovTest, NoEntriesWriteNothingAndAVectorTakesOneLine) {
  test::TempDir dir;
  Unit unit;
  ASSERT_TRUE(unit.Open(dir / "cov.txt"));
  Prcov(unit, Vec<std::string>(2), Mat<double>(2, 2), 0, Vec<std::int32_t>(2));
  Prtvec(unit, Vec<double>(2), 0);
  Prtvec(unit, test::VecOf({0.5, -0.03127, 12.0}), 3);
  unit.Close();
  EXPECT_EQ(ReadFile(dir / "cov.txt"), "  0.5000  -0.0313  12.0000\n");
}

}  // namespace
}  // namespace velk
