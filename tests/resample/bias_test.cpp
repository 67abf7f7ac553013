// Bias-corrected regions. On stocks that locus L1 tells apart every simulated
// fish is assigned exactly, so the estimate is unbiased: the correction stays
// within the Monte Carlo error of the resamples and the interval is the
// binomial spread, with held-out reference individuals as with individuals
// drawn from the baseline; the same bytes for any number of threads.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "support/resample_runs.hpp"

namespace velk {
namespace {

using test::ResampleAnalysis;

// 50, 30 and 20 fish that L1 gives to North, South and Coast.
std::string SeparatedMixture() {
  std::ostringstream s;
  const char* l1[3] = {"2000", "0200", "0020"};
  const int n[3] = {50, 30, 20};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < n[i]; ++k) s << l1[i] << " 1100 0110 1010 0011\n";
  return s.str();
}

// Three reference fish of each stock, L1 private to it.
std::string SeparatedReference() {
  std::ostringstream s;
  s << "* characters\nID\nPOP\nL1\nL2\nL3\nL4\nL5\n* end\n";
  const char* l1[3] = {"2000", "0200", "0020"};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k)
      s << "r" << i << k << ' ' << i + 1 << ' ' << l1[i] << " 1100 1100 1010 0011\n";
  return s.str();
}

TEST(BiasCorrectedTest, AnUnbiasedEstimateStaysWithinMonteCarloError) {
  const int R = 200, n = 100;
  for (bool held : {false, true}) {
    SCOPED_TRACE(held ? "held out" : "in sample");
    std::map<std::string, std::string> outputs[2];
    for (int threads : {1, 2}) {
      ResampleAnalysis a;
      test::WriteFile(a.dir / "three.bse", test::PrivateL1Baseline());
      test::WriteFile(a.dir / "three.mix", SeparatedMixture());
      test::WriteFile(a.dir / "three.ref", SeparatedReference());
      std::string control = test::ResampleControl(
          false, "Bias-corrected regions: yes\nPrint tables: yes\n",
          "Number of resamples: 200\nRandom seed: 4711\nGuaranteed percent of maximum: 99.9999\n");
      if (held) {
        const std::string out = "Output file: out\\three\n";
        control.replace(control.find(out), out.size(),
                        out + "Reference individuals file: three.ref\n");
      }
      const Outcome o = a.Go(control, threads);
      ASSERT_FALSE(o.aborted) << a.Log();
      EXPECT_NE(a.Report(".est").find(held ? "resamples of held-out reference individuals"
                                           : "resamples of individuals drawn from the baseline"),
                std::string::npos);
      for (const EstimateRow& row : o.estimates) {
        if (row.level != 1) {
          EXPECT_TRUE(std::isnan(row.bias_corrected)) << row.name;
          continue;
        }
        const double p = row.estimate, sd = std::sqrt(p * (1 - p) / n);
        EXPECT_NEAR(p, row.id == 1 ? 0.8 : 0.2, 1e-6) << row.name;
        EXPECT_NEAR(row.bias_corrected, p, 4.0 * sd / std::sqrt(R)) << row.name;
        EXPECT_LT(row.bias_lo, row.bias_corrected);
        EXPECT_GT(row.bias_hi, row.bias_corrected);
        EXPECT_NEAR((row.bias_hi - row.bias_lo) / (2 * 1.6449 * sd), 1.0, 0.3) << row.name;
      }
      EXPECT_NE(a.Report(".estimates.csv").find(",\"bias_corrected\",\"bias_corrected_lower\","),
                std::string::npos);
      outputs[threads - 1] = a.Outputs();
      outputs[threads - 1].erase("three.log");  // it names its folder
    }
    EXPECT_EQ(outputs[0], outputs[1]);
  }
}

}  // namespace
}  // namespace velk
