#pragma once
// A run whose control file holds the given lines, positioned as the section
// readers find it: just after a section header (two lines already counted).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "core/error.hpp"
#include "core/run.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"

namespace velk::test {

class SectionRun {
 public:
  // `lines` is written as is; give the line ends you want to test ("\n" or "\r\n").
  explicit SectionRun(std::string_view lines) : run(process, platform) {
    std::string path = dir_ / "section.ctl";
    WriteFile(path, std::string(lines));
    EXPECT_TRUE(run.inputs.Control().Open(path));
    run.parse.nline = 2;  // the analysis header and the section header
    Error(run, 1);        // a fresh message state
  }
  ~SectionRun() { run.inputs.Control().Close(); }

 private:
  TempDir dir_;  // made before the run opens its file, removed after

 public:
  Process process;
  RecordingPlatform platform;
  Run run;
};

}  // namespace velk::test
