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
  EXPECT_NE(r.output.find("Performing simulation..."), std::string::npos);
  EXPECT_NE(r.output.find("Performing bootstrap..."), std::string::npos);
  // Not a terminal: the counter appears once, finished.
  EXPECT_NE(r.output.find("\tResampling:   200\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("\tBootstrap output to out/bootstrap.bot"), std::string::npos);
  for (const char* report : {"simulate.rsm", "simulate.rlk", "bootstrap.rsm"})
    EXPECT_FALSE(ReadFile(dir.Path() / "out" / report).empty()) << report;
  EXPECT_NE(ReadFile(dir.Path() / "out/bootstrap.bot").find("Mixture resampling goodness of fit"),
            std::string::npos);
  EXPECT_NE(
      ReadFile(dir.Path() / "out/simulate.sim").find("Random seed                 :       -4242"),
      std::string::npos);
}

}  // namespace
}  // namespace velk::test
