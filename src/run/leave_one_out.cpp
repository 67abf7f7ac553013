#include "run/leave_one_out.hpp"

#include "core/error.hpp"
#include "core/run.hpp"
#include "core/status.hpp"
#include "data/reference.hpp"
#include "estimate/selfassign.hpp"
#include "report/prtloo.hpp"

namespace velk {

void LeaveOneOut(Run& run) {
  AppendStatus(run, "Leave-one-out self-assignment...");
  ReferenceFish fish;
  ReadReference(run, fish);
  if (run.error.stop) return;
  SelfAssignment a;
  SelfAssign(run, fish, a);
  if (run.error.stop) return;
  Prtloo(run, fish, a);
}

}  // namespace velk
