#pragma once
// A test platform that asks the run to stop once it shows a given resample counter.
#include <atomic>
#include <string>

#include "support/recording_platform.hpp"

namespace velk::test {

class StoppingPlatform : public RecordingPlatform {
 public:
  void ShowStatus(const std::string& text) override {
    RecordingPlatform::ShowStatus(text);
    if (!counter.empty() && text.size() >= counter.size() &&
        text.compare(text.size() - counter.size(), counter.size(), counter) == 0)
      stop = true;
  }
  std::string counter;  // e.g. "Resampling:     3"
  std::atomic<bool> stop{false};
};

}  // namespace velk::test
