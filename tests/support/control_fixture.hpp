#pragma once
// A run set up as the run driver leaves it for the control-file reader: message
// state initialised, a recording platform, and (when asked) the run log open.
#include <memory>
#include <string>

#include "core/error.hpp"
#include "core/run.hpp"
#include "support/recording_platform.hpp"

namespace velk::test {

struct RunFixture {
  Process process;
  RecordingPlatform platform;
  std::unique_ptr<Run> run;

  explicit RunFixture(const std::string& log_path = "") {
    run = std::make_unique<Run>(process, platform);
    Error(*run, 1);
    if (!log_path.empty()) run->output.unit[0].Open(log_path);
  }
};

}  // namespace velk::test
