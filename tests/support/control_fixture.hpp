#pragma once
// Helpers for tests that read control files: a temporary folder that is
// removed afterwards, a platform that shows nothing, and a run whose control
// file is open on its input unit as the run driver leaves it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk::ctltest {

class TempDir {
 public:
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "velk-test-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending with "/".
  std::string Dir() const { return path_ + "/"; }
  std::string Write(const std::string& name, const std::string& text) const {
    std::string p = Dir() + name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

 private:
  std::string path_;
};

class QuietPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
  LocalTime Now() override { return now; }
  LocalTime now{2024, 5, 17, 13, 45, 30, 12};
};

// A run with its message state initialised and the log written to `log_path`
// (when given), as the run driver sets it up.
struct RunFixture {
  Process process;
  QuietPlatform platform;
  std::unique_ptr<Run> run;

  explicit RunFixture(const std::string& log_path = "") {
    run = std::make_unique<Run>(process, platform);
    Error(*run, 1);
    if (!log_path.empty()) run->output.unit[0].Open(log_path);
  }
};

}  // namespace velk::ctltest
