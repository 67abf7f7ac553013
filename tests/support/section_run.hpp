#pragma once
// A run whose control file holds the given lines, positioned as the section
// readers find it: just after a section header (two lines already counted).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "control/values.hpp"
#include "core/error.hpp"
#include "core/run.hpp"

namespace velk::testing {

class QuietPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

// True once the value readers find the first number or logical word of a
// sentence (the early stand-ins do not); section tests skip until then.
inline bool ValueReadersReady() {
  Process process;
  QuietPlatform platform;
  Run run(process, platform);
  Error(run, 1);
  int pos = 0;
  return Igint(run, "Seed: 12", pos) == 12 && Greal(run, "Tolerance: 1e-12", pos) == 1e-12 &&
         Glogic(run, "Print: no") == 0;
}

#define VELK_NEEDS_VALUE_READERS() \
  if (!::velk::testing::ValueReadersReady()) GTEST_SKIP() << "value readers not ready yet"

class SectionRun {
 public:
  // `lines` is written as is; give the line ends you want to test ("\n" or "\r\n").
  explicit SectionRun(std::string_view lines) : run(process, platform) {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::path(::testing::TempDir()) /
            ("velk_section_" + std::to_string(counter++) + ".ctl");
    std::ofstream(path_, std::ios::binary) << lines;
    EXPECT_TRUE(run.inputs.Control().Open(path_.string()));
    run.parse.nline = 2;  // the analysis header and the section header
    Error(run, 1);        // a fresh message state
  }
  ~SectionRun() {
    run.inputs.Control().Close();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }

  Process process;
  QuietPlatform platform;
  Run run;

 private:
  std::filesystem::path path_;
};

}  // namespace velk::testing
