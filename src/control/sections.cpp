#include "control/sections.hpp"

#include "core/error.hpp"

namespace velk {

bool ReadControlLine(Run& run) {
  int status = run.inputs.Control().Read(run.parse.whole, LineReader::kRunaway);
  if (status != 0) {
    Error(run, 3014, {.a1 = "control file", .n1 = run.parse.nline, .iostat = status});
    return false;
  }
  run.parse.line = run.parse.whole.substr(0, 132);
  ++run.parse.nline;
  run.parse.pos = 1;
  return true;
}

bool IsCommentLine(std::string_view line) {
  return !line.empty() && (line[0] == '\\' || line[0] == '/');
}

}  // namespace velk
