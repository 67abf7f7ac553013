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

  TempDir dir;
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
