// The shipped simulation and bootstrap examples through the velk command, as a
// user runs them (repeatability is the resampling tests' own).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.hpp"
#include "support/velk_command.hpp"

namespace velk::test {
namespace {

namespace fs = std::filesystem;

TEST(ResampleExamples, SimulationAndBootstrapComplete) {
  TempDir dir;
  for (const char* name :
       {"simulate.ctl", "bootstrap.ctl", "example.bse", "example.mix", "complete.bse"})
    fs::copy_file(fs::path(VELK_SOURCE_DIR) / "examples" / name, dir.Path() / name);

  const CommandResult r = RunVelk("simulate.ctl bootstrap.ctl", dir.Path().string());
  ASSERT_EQ(r.status, 0) << r.output << ReadFile(dir / "simulate.log")
                         << ReadFile(dir / "bootstrap.log");
  // Not a terminal: the counter appears once, finished.
  for (const char* shown : {"Performing simulation...", "Performing bootstrap...",
                            "\tResampling:   200\n", "\tBootstrap output to out/bootstrap.bot"})
    EXPECT_NE(r.output.find(shown), std::string::npos) << shown << r.output;
  for (const char* report : {"simulate.rsm", "simulate.rlk", "bootstrap.rsm"})
    EXPECT_FALSE(ReadFile(dir.Path() / "out" / report).empty()) << report;
  EXPECT_NE(ReadFile(dir / "out/bootstrap.bot").find("Mixture resampling goodness of fit"),
            std::string::npos);
  EXPECT_NE(ReadFile(dir / "out/simulate.sim").find("Random seed                 :       -4242"),
            std::string::npos);
}

}  // namespace
}  // namespace velk::test
