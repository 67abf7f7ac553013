// The shipped simulation and bootstrap examples through the velk command, as a
// user runs them: both complete, and a second run writes the same reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.hpp"
#include "support/velk_command.hpp"

namespace velk::test {
namespace {

namespace fs = std::filesystem;

TEST(ResampleExamples, SimulationAndBootstrapCompleteAndRepeat) {
  TempDir dir;
  for (const char* name :
       {"simulate.ctl", "bootstrap.ctl", "example.bse", "example.mix", "complete.bse"})
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "examples" / name, dir.Path() / name);

  std::string first[5];
  const char* reports[5] = {"simulate.sim", "simulate.rsm", "simulate.rlk", "bootstrap.bot",
                            "bootstrap.rsm"};
  for (int run = 0; run < 2; ++run) {
    const CommandResult r = RunVelk("simulate.ctl bootstrap.ctl", dir.Path().string());
    ASSERT_EQ(r.status, 0) << r.output << ReadFile(dir / "simulate.log")
                           << ReadFile(dir / "bootstrap.log");
    EXPECT_NE(r.output.find("Performing simulation..."), std::string::npos);
    EXPECT_NE(r.output.find("Performing bootstrap..."), std::string::npos);
    // Not a terminal: the counter appears once, finished.
    EXPECT_NE(r.output.find("\tResampling:   200\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\tBootstrap output to out/bootstrap.bot"), std::string::npos);
    for (int k = 0; k < 5; ++k) {
      const std::string text = ReadFile(dir.Path() / "out" / reports[k]);
      ASSERT_FALSE(text.empty()) << reports[k];
      if (run == 0)
        first[k] = text;
      else
        EXPECT_EQ(text, first[k]) << reports[k];
    }
  }
  EXPECT_NE(first[3].find("Mixture resampling goodness of fit"), std::string::npos);
  EXPECT_NE(first[0].find("Random seed                 :       -4242"), std::string::npos);
}

}  // namespace
}  // namespace velk::test
