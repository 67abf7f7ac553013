#pragma once
// A run for the maximisation-step tests: messages go nowhere but are counted,
// and the last message number can be read back.
#include "core/error.hpp"
#include "core/run.hpp"
#include "support/recording_platform.hpp"

namespace velk::test {

struct StepRun {
  StepRun() { Error(run, 1); }
  RecordingPlatform platform;
  Process process;
  velk::Run run{process, platform};
};

}  // namespace velk::test
