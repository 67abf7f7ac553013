#pragma once
// A run fixture for the control-file section readers, with a control file
// written to a temporary folder and opened on the control unit.
#include <string>
#include <string_view>

#include "support/files.hpp"
#include "support/run_fixture.hpp"

namespace velk::test {

class ControlRun : public RunFixture {
 public:
  ~ControlRun() { run.inputs.Control().Close(); }

  // Writes `text` as the control file "test.ctl" and opens it; the folder of
  // the control file (with its trailing "/") becomes run.control_dir.
  void Open(std::string_view text) {
    std::string path = dir / "test.ctl";
    WriteFile(path, std::string(text));
    run.control_file = path;
    run.control_dir = dir.Path().string() + "/";
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

  TempDir dir;

 private:
  static std::string Pad(int i, int width) {
    std::string s = std::to_string(i);
    return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, ' ') + s;
  }
};

// A control file of `lines` (written as is) positioned just after a section
// header, as the section readers find it (two lines already counted).
class SectionRun : public ControlRun {
 public:
  explicit SectionRun(std::string_view lines) {
    Open(lines);
    run.parse.nline = 2;  // the analysis header and the section header
  }
};

}  // namespace velk::test
