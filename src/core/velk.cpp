// Placeholder until the run driver lands.
#include "core/velk.hpp"

#include "core/error.hpp"

namespace velk {

Outcome Velk(Process& process, Platform& platform, const Request& request) {
  Run run(process, platform);
  run.control_file = request.control_file;
  run.error.status = "000000200CONTROL FILE:  " + request.control_file + "\r";
  Error(run, 1);
  Outcome out;
  out.aborted = true;
  SetStatusColour(run, "200000000");
  AppendStatus(run, "Analysis Aborted");
  out.status = run.error.status;
  return out;
}

}  // namespace velk
