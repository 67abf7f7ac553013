// The velk command: runs control files one after another.
#include <cstdio>
#include <string>

#include "core/velk.hpp"

namespace {
class TerminalPlatform : public velk::Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string& text, const std::string&) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};
}  // namespace

int main(int argc, char** argv) {
  velk::Process process;
  TerminalPlatform platform;
  int rc = 0;
  for (int k = 1; k < argc; ++k) {
    velk::Request req;
    req.control_file = argv[k];
    velk::Outcome out = velk::Velk(process, platform, req);
    if (out.aborted) rc = 1;
  }
  return rc;
}
