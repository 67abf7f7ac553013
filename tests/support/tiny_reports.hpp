#pragma once
// A tiny estimation for the report tests: three populations, three characters
// (a locus, an isolocus with a ten-character name, a five-type phenotype with
// a two-character name), a region hierarchy of two levels, two classes (the
// second misses the isolocus) and one impossible genotype. The estimate is
// given, not computed: the reports print what they are handed.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/array.hpp"
#include "core/error.hpp"
#include "core/run.hpp"
#include "estimate/groups.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"

namespace velk::test {

// An expected report of tests/golden.
inline std::string Golden(const std::string& name) {
  return ReadFile(std::string(VELK_SOURCE_DIR) + "/tests/golden/" + name);
}

// Compares a report with its golden file. With VELK_REPORT_DIFF_DIR set, the
// report written is also kept there under the golden file's name, to be read
// against the layouts when a golden file is made or a test fails.
inline void ExpectGolden(const std::string& actual, const std::string& name) {
  if (const char* keep = std::getenv("VELK_REPORT_DIFF_DIR"))
    WriteFile(std::string(keep) + "/" + name, actual);
  EXPECT_EQ(actual, Golden(name)) << "golden file " << name;
}

class TinyReport : public testing::Test {
 protected:
  void SetUp() override {
    Error(run, 1);
    ASSERT_TRUE(run.output.unit[0].Open(dir / "tiny.log"));
    run.title = "Tiny mixture";
    run.files.output = dir / "tiny";
    run.par.npop = 3;
    run.par.nchar = 3;
    run.par.nregions = 3;
    run.par.nlevels = 2;

    run.chars.Resize(3);
    run.chars(1) = Character{"Omy77", 1, 3, 2};
    run.chars(2) = Character{"Oneu1SNP10", 2, 3, 4};
    run.chars(3) = Character{"mt", 3, 5, 1};
    run.pops.Resize(3);
    run.pops(1).name = "North Fork";
    run.pops(2).name = "South Fork";
    run.pops(3).name = "Coastal";
    run.regions.level = Vec<int>(3, 1);
    run.regions.level(3) = 2;
    run.regions.name.Resize(3);
    run.regions.name(1) = "Interior";
    run.regions.name(2) = "Coast";
    run.regions.name(3) = "Upper interior";

    // Class 1: genotypes 1-3 (7 individuals); class 2, isolocus missing:
    // genotypes 4-5 (3 individuals), genotype 4 impossible.
    class_genotypes = Vec<std::int32_t>(2);
    class_genotypes(1) = 3;
    class_genotypes(2) = 2;
    class_individuals = Vec<std::int32_t>(2);
    class_individuals(1) = 7;
    class_individuals(2) = 3;
    count = Vec<std::int32_t>(5);
    const int counts[] = {4, 2, 1, 1, 2};
    for (int g = 1; g <= 5; ++g) count(g) = counts[g - 1];
    possible = Vec<std::int32_t>(5, 1);
    possible(4) = 0;
    copies.Resize(5, 3, 5);
    const int types[5][3][5] = {
        {{2, 0, 0}, {2, 1, 1}, {0, 1, 0, 0, 0}}, {{1, 1, 0}, {0, 4, 0}, {1, 0, 0, 0, 0}},
        {{0, 1, 1}, {1, 1, 2}, {0, 0, 0, 0, 1}}, {{0, 0, 2}, {0, 0, 0}, {0, 0, 1, 0, 0}},
        {{1, 1, 0}, {0, 0, 0}, {0, 1, 0, 0, 0}},
    };
    for (int g = 1; g <= 5; ++g)
      for (int c = 1; c <= 3; ++c)
        for (int t = 1; t <= 5; ++t)
          copies(t, c, g) = static_cast<std::int8_t>(types[g - 1][c - 1][t - 1]);

    // Genotype probabilities, population fastest.
    P = Mat<double>(3, 5);
    const double probs[5][3] = {{0.012, 0.0003, 0.00002},
                                {0.0041, 0.0041, 0.25},
                                {1.5e-5, 0.0, 0.00097},
                                {0.0, 0.0, 0.0},
                                {0.034567, 0.12, 0.0055}};
    for (int g = 1; g <= 5; ++g)
      for (int i = 1; i <= 3; ++i) P(i, g) = probs[g - 1][i - 1];

    // The estimate: theta sums to the possible share 0.9.
    theta = Vec<double>(3);
    theta(1) = 0.6;
    theta(2) = 0.3;
    theta(3) = 0.0;
    sd = Vec<double>(3);
    sd(1) = 0.12;
    sd(2) = 0.11;
    score = Vec<double>(3);
    score(1) = 10.0;
    score(2) = 10.0;
    score(3) = 7.46;
    cov = Mat<double>(3, 3);
    cov(1, 1) = 0.0144;
    cov(1, 2) = -0.0127;
    cov(2, 1) = -0.962;
    cov(2, 2) = 0.0121;
    regional = Mat<double>(3, 2);
    regional(1, 1) = 0.9;
    regional(1, 2) = 0.05;
    regional(3, 1) = 0.6;
    regional(3, 2) = 0.12;
    region_cov = Mat<double>(3, 3);
    region_cov(1, 1) = 0.0025;
    region_cov(1, 3) = 0.0017;
    region_cov(3, 1) = 0.283;
    region_cov(3, 3) = 0.0144;
    record.change = 4.5e-5;
    record.pctmax = 99.87;
  }

  // The run log so far (closes it).
  std::string Log() {
    run.output.unit[0].Close();
    return ReadFile(dir / "tiny.log");
  }

  TempDir dir;
  RecordingPlatform platform;
  Process process;
  velk::Run run{process, platform};

  Vec<std::int32_t> class_genotypes, class_individuals, count, possible;
  Arr3<std::int8_t> copies;
  Mat<double> P;
  Vec<double> theta, sd, score;
  Mat<double> cov, regional, region_cov;
  Convergence record;
};

}  // namespace velk::test
