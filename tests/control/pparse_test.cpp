#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::SectionRun;

Par Read(SectionRun& s) {
  Pparse(s.run, 0);
  return s.run.par;
}

// Free sentences: comments and blank lines pass, any case, the value after the words.
TEST(Pparse, FreeSentences) {
  SectionRun free(
      "\\ Comment: Seed 5\r\n/ Number of stocks 99\r\n"
      "The Number of STOCKS in this analysis is: 12\r\n\r\n"
      "number of characters in analysis: 7   \r\n   Maximum number of iterations allowed: 500\r\n"
      "MAXIMUM NUMBER OF GENOTYPES: 250\r\nThe maximum number of classes is 4\r\n"
      "Maximum missing loci: 3\r\nThe estimate convergence tolerance: 0.00001\r\n"
      "Genotype tolerance: 1e-12\r\nAlgorithm switch tolerance = 0.05\r\n"
      "Relative function tolerance: 1e-8\r\nNumber of resamples: 200\r\n"
      "Mixture sample size: 150\r\nSeed: 12345\r\nSecond seed: 678\r\n"
      "Guaranteed percent of maximum: 99\r\nConfidence level: 95\r\n* Files\r\n");
  Par a = Read(free);
  EXPECT_EQ(free.run.error.stop, 0);
  const int Par::*ints[] = {&Par::npop,          &Par::nchar,       &Par::max_iterations,
                            &Par::max_genotypes, &Par::max_classes, &Par::max_missing,
                            &Par::nresamples,    &Par::sample_size, &Par::seed,
                            &Par::seco,          &Par::confidence};
  const int want[] = {12, 7, 500, 250, 4, 3, 200, 150, -12345, 678, 95};
  for (int k = 0; k < 11; ++k) EXPECT_EQ(a.*ints[k], want[k]) << k;
  const double Par::*reals[] = {&Par::eps, &Par::geno_tol, &Par::irls_switch, &Par::ftol,
                                &Par::gpa};
  const double want_real[] = {1e-5, 1e-12, 0.05, 1e-8, 99.0};
  for (int k = 0; k < 5; ++k) EXPECT_DOUBLE_EQ(a.*reals[k], want_real[k]) << k;
  EXPECT_TRUE(a.gpa_set);
  // The header is handed back for the control-file reader.
  EXPECT_EQ(free.run.parse.line, "* Files");
  EXPECT_EQ(free.run.parse.pos, 2);
  EXPECT_EQ(free.run.parse.nline, 2 + 20);
}

TEST(Pparse, KeywordOrderAndFallBack) {
  SectionRun s(
      "Maximum number of iterations: 50\n"  // "maxi" comes first: not the "numb" phrase
      "Number of maximum iterations: 60\n"  // "numb" has none of its own: on to "maxi"
      "Maximum number of stocks: 7\n"       // "maxi" has none of its own: on to "numb"
      "Genotype tolerance: 1e-12\n"         // "geno" primary, then "tole"
      "Maximum number of genotypes: 321\n"  // "maxi" primary, then "geno"
      "GPAs wanted: 95\n"                   // "gpa" by three letters
      "Number: 5\n"                         // no secondary keyword: nothing
      "Tolerance of the estimate: 0.5\n"    // "tole" stands before "esti": nothing
      "Seed\n"                              // a keyword at the end of the line: nothing
      "Level of confidence\n"
      "Max iterations: 9\n"  // "max" is not "maxi"
      "Size of the mixture sample: 77\n"
      "      * Seed: 5\n"  // a star after column five makes no header
      "  *   Characters\n");
  Par p = Read(s);
  EXPECT_EQ(s.run.error.stop, 0);
  // Lines that set nothing are kept, by record number.
  std::vector<int> noted;
  for (const ControlLine& l : s.run.parse.not_understood) noted.push_back(l.line);
  EXPECT_EQ(noted, (std::vector<int>{9, 10, 11, 12, 13}));
  EXPECT_EQ(p.max_iterations, 60);
  EXPECT_EQ(p.npop, 7);
  EXPECT_EQ(p.nchar, 0);
  EXPECT_DOUBLE_EQ(p.geno_tol, 1e-12);
  EXPECT_EQ(p.max_genotypes, 321);
  EXPECT_DOUBLE_EQ(p.gpa, 95.0);
  EXPECT_DOUBLE_EQ(p.eps, 0.0001);
  EXPECT_EQ(p.confidence, 90);
  EXPECT_EQ(p.sample_size, 77);
  EXPECT_EQ(p.seed, -5);
  EXPECT_EQ(s.run.parse.pos, 4);
}

// Seeds and their signs, handed over at the closing header (the most negative
// seeds do not overflow), and the missing loci clipped to the characters.
TEST(Pparse, SeedsAndMissingLoci) {
  struct Case {
    const char* text;
    int seed, seco;  // as given before the section
    int Par::*field;
    int want, lagged;
    int code = 0;
  };
  const Case cases[] = {
      {"Seed: 77\nSecond seed: -5\n* Files\n", 0, 0, &Par::seed, -77, 5},
      {"Seed: 77\nSecond seed: -5\n* Files\n", 0, 0, &Par::seco, 5, 5},
      {"Seed: -77\nSecond seed: 5\n* Files\n", 0, 0, &Par::seed, -77, 5},
      {"* Files\n", INT_MIN, INT_MIN, &Par::seed, INT_MIN, INT_MAX},
      {"* Files\n", INT_MIN, INT_MIN, &Par::seco, INT_MAX, INT_MAX},
      {"Seed: 5\nNumber of stocks: 3\n", 0, 0, &Par::npop, 3, 0, 3014},  // no hand-over
      {"Number of characters: 10\nMaximum number of missing loci: 99\n* Files\n", 0, 0,
       &Par::max_missing, 9, 0},
      {"Number of characters: 10\nMaximum missing: -3\n* Files\n", 0, 0, &Par::max_missing, 0, 0},
      {"Maximum missing: 2\n* Files\n", 0, 0, &Par::max_missing, 0, 0},  // no characters yet
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SectionRun s(c.text);
    s.run.par.seed = c.seed;
    s.run.par.seco = c.seco;
    EXPECT_EQ(Read(s).*c.field, c.want);
    EXPECT_EQ(s.process.lagged_seed, c.lagged);
    EXPECT_EQ(s.run.error.last_code, c.code);
  }
}

}  // namespace
}  // namespace velk
