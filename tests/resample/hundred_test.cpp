// Hundred percent simulations: every unit's resamples are those of a simulation
// control file of its own (its true proportions, its seeds, a fresh process),
// whatever the number of threads.
#include "resample/hundred.hpp"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>

#include "support/resample_runs.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

TEST(HundredPercent, SeedsOfTheUnits) {
  struct Case {
    int seed, seco, u, unit_seed, unit_seco;
  };
  for (Case c :
       {Case{-12345, 54321, 2, -7666666, 7708642}, Case{0, 0, 1, 0, 0},
        Case{-20000000, 20000000, 1, 0, 0}, Case{-9999999, 9999999, 2, -7654320, 7654320}}) {
    EXPECT_EQ(HundredSeed(c.seed, c.u), c.unit_seed) << c.seed << " " << c.u;
    EXPECT_EQ(HundredSecondSeed(c.seco, c.u), c.unit_seco) << c.seco << " " << c.u;
  }
}

// The three stocks (Coast without sample at L5, so that the simulation draws
// that entry from the prior) under the Rannala-Mountain model, by population
// and by region: the reports as once checked against each unit's own control
// file, the same on one thread and on two.
TEST(HundredPercent, ReportsAsCheckedOnOneThreadAndTwo) {
  const std::string options =
      "Resample baseline: yes\nRannala-Mountain model: yes\nPrint bootstrap estimates: yes\n"
      "Print likelihoods: yes\nPrint tables: yes\n";
  const std::string parameters = "Number of resamples: 4\nSize: 40\nSeed: 4242\nSecond seed: 777\n";
  for (const std::string units : {"population", "region"}) {
    std::map<std::string, std::string> outputs[2];
    for (int threads : {1, 2}) {
      test::ResampleAnalysis a(test::kLoci, true);
      const Outcome out = a.Go(
          test::ResampleControl(
              true, options + "Hundred percent simulations: yes by " + units + "\n", parameters),
          threads);
      ASSERT_FALSE(out.aborted) << a.Log();
      outputs[threads - 1] = a.Outputs();
      std::string& log = outputs[threads - 1]["three.log"];
      for (std::size_t at; (at = log.find(a.dir.Path().string())) != std::string::npos;)
        log.replace(at, a.dir.Path().string().size(), "DIR");
      // Listed with the report, in place of a simulation's tables.
      EXPECT_EQ(out.table_flags, (std::array<int, kTableCount>{0, 0, 0, 0, 0, 0, 1, 1, 0, 0}));
    }
    EXPECT_EQ(outputs[0], outputs[1]) << "one thread and two";
    EXPECT_NE(outputs[0]["three.log"].find("       population Coast, character L5\n"),
              std::string::npos)
        << "the entry without data is drawn from the prior";
    for (const char* ext : {".hps", ".hps.csv", ".rsm", ".rlk"})
      test::ExpectGolden(outputs[0]["out/three" + std::string(ext)], "hundred_" + units + ext);
  }
}

}  // namespace
}  // namespace velk
