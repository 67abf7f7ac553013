#pragma once
// A run as the driver leaves it for the routines it calls: messages initialised,
// a recording platform, and (when asked) the run log open.
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"

namespace velk::test {

struct RunFixture {
  explicit RunFixture(const std::string& log_path = "") {
    Error(run, 1);
    if (!log_path.empty()) run.output.unit[0].Open(log_path);
  }
  // The last message number (cleared when read).
  int Last() { return Lastcd(run); }

  RecordingPlatform platform;
  Process process;
  velk::Run run{process, platform};
};

// A run whose log is open as "run.log" in a fresh temporary folder `dir`.
struct TempFolder {
  TempDir dir;
};
struct LoggedRun : TempFolder, RunFixture {
  LoggedRun() : RunFixture(dir / "run.log") {}
  // The log so far (closes it).
  std::string Log() {
    run.output.unit[0].Close();
    return ReadFile(dir / "run.log");
  }
};

}  // namespace velk::test
