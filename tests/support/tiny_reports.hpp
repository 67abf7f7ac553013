#pragma once
// A tiny estimation for the report tests: three populations, a locus, an isolocus
// and a phenotype, two region levels and classes, and a given estimate.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/array.hpp"
#include "model/groups.hpp"
#include "support/arrays.hpp"
#include "support/run_fixture.hpp"

namespace velk::test {

// An expected report of tests/golden.
inline std::string Golden(const std::string& name) {
  return ReadFile(std::string(VELK_SOURCE_DIR) + "/tests/golden/" + name);
}

// Compares a report with its golden file; with VELK_REPORT_DIFF_DIR set, the
// report is also kept there under the golden file's name.
inline void ExpectGolden(const std::string& actual, const std::string& name) {
  if (const char* keep = std::getenv("VELK_REPORT_DIFF_DIR"))
    WriteFile(std::string(keep) + "/" + name, actual);
  EXPECT_EQ(actual, Golden(name)) << "golden file " << name;
}

class TinyReport : public testing::Test, public LoggedRun {
 protected:
  void SetUp() override {
    run.title = "Tiny mixture";
    run.files.output = dir / "tiny";
    run.par.npop = 3;
    run.par.nchar = 3;
    run.par.nregions = 3;
    run.par.nlevels = 2;

    run.chars = VecOf<Character>({{"Omy77", 1, 3, 2}, {"Oneu1SNP10", 2, 3, 4}, {"mt", 3, 5, 1}});
    run.pops.Resize(3);
    run.pops(1).name = "North Fork";
    run.pops(2).name = "South Fork";
    run.pops(3).name = "Coastal";
    run.regions.level = VecOf({1, 1, 2});
    run.regions.name = VecOf<std::string>({"Interior", "Coast", "Upper interior"});

    // Class 1: genotypes 1-3 (7 individuals); class 2, isolocus missing:
    // genotypes 4-5 (3 individuals), genotype 4 impossible.
    class_genotypes = VecOf<std::int32_t>({3, 2});
    class_individuals = VecOf<std::int32_t>({7, 3});
    count = VecOf<std::int32_t>({4, 2, 1, 1, 2});
    possible = VecOf<std::int32_t>({1, 1, 1, 0, 1});
    copies.Resize(5, 3, 5);  // the copies of each type, character by character
    const char* types[5] = {"200 211 01000", "110 040 10000", "011 112 00001", "002 000 00100",
                            "110 000 01000"};
    for (int g = 1; g <= 5; ++g)
      for (int c = 1, at = 0; c <= 3; ++c, ++at)
        for (int t = 1; t <= run.chars(c).ntypes; ++t) copies(t, c, g) = types[g - 1][at++] - '0';

    // Genotype probabilities (population, genotype).
    P = MatOf<double>({{0.012, 0.0041, 1.5e-5, 0.0, 0.034567},
                       {0.0003, 0.0041, 0.0, 0.0, 0.12},
                       {0.00002, 0.25, 0.00097, 0.0, 0.0055}});

    // The estimate: theta sums to the possible share 0.9.
    theta = VecOf({0.6, 0.3, 0.0});
    sd = VecOf({0.12, 0.11, 0.0});
    score = VecOf({10.0, 10.0, 7.46});
    cov = MatOf<double>({{0.0144, -0.0127, 0}, {-0.962, 0.0121, 0}, {0, 0, 0}});
    regional = MatOf<double>({{0.9, 0.05}, {0, 0}, {0.6, 0.12}});
    region_cov = MatOf<double>({{0.0025, 0, 0.0017}, {0, 0, 0}, {0.283, 0, 0.0144}});
    record.change = 4.5e-5;
    record.pctmax = 99.87;
  }

  Vec<std::int32_t> class_genotypes, class_individuals, count, possible;
  Arr3<std::int8_t> copies;
  Mat<double> P;
  Vec<double> theta, sd, score;
  Mat<double> cov, regional, region_cov;
  Convergence record;
};

}  // namespace velk::test
