#pragma once
// A run set up for driving the control-file section readers directly: a quiet
// platform, a fresh process, and a control file written to a private temporary
// folder and opened on the control unit.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk::testing {

class QuietPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

class ControlRun {
 public:
  ControlRun() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velk-ctl-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
    Error(run, 1);
  }
  ~ControlRun() {
    run.inputs.Control().Close();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ControlRun(const ControlRun&) = delete;
  ControlRun& operator=(const ControlRun&) = delete;

  // Writes `text` as the control file "test.ctl" and opens it; the folder of
  // the control file (with its trailing "/") becomes run.control_dir.
  void Open(std::string_view text) {
    std::string path = (dir_ / "test.ctl").string();
    std::ofstream(path, std::ios::binary) << text;
    run.control_file = path;
    run.control_dir = dir_.string() + "/";
    run.inputs.Control().Open(path);
  }

  // Tables sized and filled with their defaults, as the control-file reader
  // leaves them after the parameters section.
  void Tables(int npop, int nchar) {
    run.par.npop = npop;
    run.par.nchar = nchar;
    run.pops.Resize(npop);
    for (int i = 1; i <= npop; ++i) {
      run.pops(i).id = i;
      run.pops(i).name = "Population " + Pad(i, 3);
    }
    run.chars.Resize(nchar);
    for (int i = 1; i <= nchar; ++i) {
      run.chars(i).id = i;
      run.chars(i).name = "CHAR-" + Pad(i, 2);
    }
  }

  // Region names with their defaults, as the reader allocates them after Setclv.
  void RegionNames() {
    run.regions.name.Resize(run.par.nregions);
    for (int r = 1; r <= run.par.nregions; ++r) run.regions.name(r) = "Region " + Pad(r, 2);
  }

  const std::filesystem::path& Dir() const { return dir_; }

  QuietPlatform platform;
  Process process;
  Run run{process, platform};

 private:
  static std::string Pad(int i, int width) {
    std::string s = std::to_string(i);
    return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, ' ') + s;
  }
  std::filesystem::path dir_;
};

}  // namespace velk::testing
