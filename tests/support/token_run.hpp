#pragma once
// A run with a silent platform, for tests of the tokenizer and value readers.
#include <string>

#include "core/run.hpp"

namespace velk::testing {

class SilentPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

struct TokenRun {
  Process process;
  SilentPlatform platform;
  Run run{process, platform};
};

}  // namespace velk::testing
